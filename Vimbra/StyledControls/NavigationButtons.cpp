#include "Vimbra/StyledControls/NavigationButtons.hpp"

#include "Vimbra/StyledControls/CellControlState.hpp"
#include "graphics/GraphicsContext.hpp"

#include <cmath>

namespace vimbra {

namespace {

using S = StyledControlState;

constexpr double pressedAlpha = 0.5;
constexpr double menuGap = 4.0;
constexpr graphics::Size defaultBoxSize{16, 16};
constexpr double boxTitleGap = 4.0;

void setUpSquareCell(ui::ButtonCell& cell, ui::ButtonType type) {
    cell.setBezelStyle(ui::BezelStyle::shadowlessSquare);
    cell.setButtonType(type);
    cell.setBordered(true);
}

graphics::ImageRef exactEntry(FavouriteCheckBoxCellStyle& style, S key) {
    const auto& table = style.buttonImages();
    const auto found = table.find(key);
    return found == table.end() ? nullptr : found->second;
}

} // namespace

// ---------------------------------------------------------------------------------------------------

StyledControlState StyleBezelButtonCell::controlState() const {
    return buttonCellControlState(*this, false);
}

void StyleBezelButtonCell::drawBezelWithFrame(const graphics::Rect& frame, ui::View&) {
    auto* context = graphics::GraphicsContext::current();
    const auto image = style()->bezelImageForState(controlState());
    if (!context || !image) {
        return;
    }
    image->drawInRect(frame, {}, graphics::CompositingOperation::sourceOver, isEnabled() ? 1.0 : 0.5, true);
}

BackButtonCell::BackButtonCell(std::string title) : StyleBezelButtonCell(std::move(title)) {
    setUpSquareCell(*this, ui::ButtonType::toggle);
}

BackButtonCell::BackButtonCell(graphics::ImageRef image) : StyleBezelButtonCell(std::move(image)) {
    setUpSquareCell(*this, ui::ButtonType::toggle);
}

std::shared_ptr<BackButtonCellStyle> BackButtonCell::sharedStyle() {
    static const auto style = std::make_shared<BackButtonCellStyle>();
    return style;
}

CornerButtonCell::CornerButtonCell(std::string title) : StyleBezelButtonCell(std::move(title)) {
    setUpSquareCell(*this, ui::ButtonType::momentaryChange);
}

CornerButtonCell::CornerButtonCell(graphics::ImageRef image) : StyleBezelButtonCell(std::move(image)) {
    setUpSquareCell(*this, ui::ButtonType::momentaryChange);
}

std::shared_ptr<CornerButtonCellStyle> CornerButtonCell::sharedStyle() {
    static const auto style = [] {
        auto made = std::make_shared<CornerButtonCellStyle>();
        made->edgeInsets = {};
        made->setBezelImages(makeImageTable({{S::default_, "qel-button"},
                                             {S::on, "qel-button-selected"},
                                             {S::highlighted, "qel-button-down"}}));
        return made;
    }();
    return style;
}

// ---------------------------------------------------------------------------------------------------

FavouriteCheckBoxCell::FavouriteCheckBoxCell(std::string title) : ButtonCell(std::move(title)) {
    setButtonType(ui::ButtonType::switchButton);
    setImagePosition(ui::ImagePosition::imageLeft);
}

std::shared_ptr<FavouriteCheckBoxCellStyle> FavouriteCheckBoxCell::sharedStyle() {
    static const auto style = std::make_shared<FavouriteCheckBoxCellStyle>();
    return style;
}

StyledControlState FavouriteCheckBoxCell::controlState() const {
    return buttonCellControlState(*this, false);
}

graphics::Size FavouriteCheckBoxCell::imageSize() const {
    const auto image = sharedStyle()->buttonImageForState(controlState());
    return image ? image->size() : defaultBoxSize;
}

graphics::ImageRef FavouriteCheckBoxCell::image() const {
    return exactEntry(*sharedStyle(), S::default_);
}

graphics::ImageRef FavouriteCheckBoxCell::alternateImage() const {
    return exactEntry(*sharedStyle(), S::on);
}

int FavouriteCheckBoxCell::nextState() const {
    return state() == ui::StateValue::on ? ui::StateValue::off : ui::StateValue::on;
}

graphics::Rect FavouriteCheckBoxCell::imageRectForBounds(const graphics::Rect& bounds) const {
    const auto d = drawingRectForBounds(bounds);
    const auto size = imageSize();
    return {d.minX(), std::round(d.midY() - size.height / 2), size.width, size.height};
}

graphics::Rect FavouriteCheckBoxCell::titleRectForBounds(const graphics::Rect& bounds) const {
    const auto d = drawingRectForBounds(bounds);
    const double x = imageRectForBounds(bounds).maxX() + boxTitleGap;
    return {x, d.minY(), std::max(0.0, d.maxX() - x), d.height()};
}

void FavouriteCheckBoxCell::drawInteriorWithFrame(const graphics::Rect& frame, ui::View& controlView) {
    if (!graphics::GraphicsContext::current()) {
        return;
    }
    if (const auto star = sharedStyle()->buttonImageForState(controlState())) {
        star->drawInRect(imageRectForBounds(frame), {}, graphics::CompositingOperation::sourceOver,
                         isEnabled() ? 1.0 : 0.5, true);
    }
    drawTitle(attributedTitle(), titleRectForBounds(frame), controlView);
}

// ---------------------------------------------------------------------------------------------------

BackButton::BackButton(const graphics::Rect& frame, std::shared_ptr<ui::ButtonCell> cell)
    : Button(frame, cell ? std::move(cell) : std::make_shared<BackButtonCell>()) {}

void BackButton::setAlphaValue(double alpha) {
    Button::setAlphaValue(alpha);
    if (alpha > 0 && isHidden()) {
        setHidden(false);
    } else if (alpha == 0 && !isHidden()) {
        setHidden(true);
    }
}

// ---------------------------------------------------------------------------------------------------

CornerButton::CornerButton(const graphics::Rect& frame, std::shared_ptr<ui::ButtonCell> cell)
    : Button(frame, cell ? std::move(cell) : std::make_shared<CornerButtonCell>()) {}

void CornerButton::popUpAlternateMenu() {
    if (alternateMenu_) {
        const auto b = bounds();
        alternateMenu_->popUp(nullptr, {b.minX(), b.maxY() + menuGap}, sharedAs<ui::View>());
    }
}

void CornerButton::mouseDown(const ui::Event& event) {
    auto self = sharedAs<CornerButton>();
    setHighlighted(true);
    const auto point = convertPointFromView(event.locationInWindow, nullptr);
    if (alternateMenu_ && event.clickCount <= 1 && bounds().contains(point)) {
        popUpAlternateMenu();
    } else if (!handleSecondaryClick(event)) {
        // Ordinary tracking: it keeps the highlight while the pointer is inside and clears it on release.
        Button::mouseDown(event);
        if (isTracking()) {
            return;
        }
    }
    setHighlighted(false);
}

void CornerButton::rightMouseDown(const ui::Event& event) {
    if (!handleSecondaryClick(event)) {
        Button::rightMouseDown(event);
    }
}

std::shared_ptr<ui::Menu> CornerButton::menuForEvent(const ui::Event&) {
    return nullptr;
}

bool CornerButton::handleSecondaryClick(const ui::Event& event) {
    const bool secondary =
        event.type == ui::EventType::rightMouseDown ||
        (event.type == ui::EventType::leftMouseDown && (event.modifierFlags & ui::Modifier::control));
    if (!secondary) {
        return false;
    }
    auto self = sharedAs<CornerButton>();
    setHighlighted(true);
    popUpAlternateMenu();
    setHighlighted(false);
    return true;
}

// ---------------------------------------------------------------------------------------------------

FavouriteCheckBox::FavouriteCheckBox(const graphics::Rect& frame, std::shared_ptr<ui::ButtonCell> cell)
    : Button(frame, cell ? std::move(cell) : std::make_shared<FavouriteCheckBoxCell>()) {}

void FavouriteCheckBox::mouseDown(const ui::Event& event) {
    setAlphaValue(pressedAlpha);
    Button::mouseDown(event);
    if (!isTracking()) {
        setAlphaValue(1.0);
    }
}

void FavouriteCheckBox::mouseDragged(const ui::Event& event) {
    Button::mouseDragged(event);
    if (!isTracking()) {
        setAlphaValue(1.0);
    }
}

void FavouriteCheckBox::mouseUp(const ui::Event& event) {
    Button::mouseUp(event);
    setAlphaValue(1.0);
}

} // namespace vimbra
