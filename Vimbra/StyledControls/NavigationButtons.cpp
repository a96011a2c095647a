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

void setUpSquareCell(ui::ButtonCell& cell, ui::ButtonType type) {
    cell.setBezelStyle(ui::BezelStyle::shadowlessSquare);
    cell.setButtonType(type);
}

graphics::ImageRef exactEntry(FavouriteCheckBoxCellStyle& style, S key) {
    const auto& table = style.buttonImages();
    const auto found = table.find(key);
    return found == table.end() ? nullptr : found->second;
}

} // namespace

// ---------------------------------------------------------------------------------------------------

BackButtonCell::BackButtonCell(std::string title) : StyledButtonCell(std::move(title)) {
    setUpSquareCell(*this, ui::ButtonType::toggle);
}

BackButtonCell::BackButtonCell(graphics::ImageRef image) : StyledButtonCell(std::move(image)) {
    setUpSquareCell(*this, ui::ButtonType::toggle);
}

std::shared_ptr<BackButtonCellStyle> BackButtonCell::sharedStyle() {
    static const auto style = std::make_shared<BackButtonCellStyle>();
    return style;
}

CornerButtonCell::CornerButtonCell(std::string title) : StyledButtonCell(std::move(title)) {
    setUpSquareCell(*this, ui::ButtonType::momentaryChange);
}

CornerButtonCell::CornerButtonCell(graphics::ImageRef image) : StyledButtonCell(std::move(image)) {
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

FavouriteCheckBoxCell::FavouriteCheckBoxCell(std::string title) : StyledCheckBoxCell(std::move(title)) {}

FavouriteCheckBoxCell::FavouriteCheckBoxCell(graphics::ImageRef image)
    : StyledCheckBoxCell(std::move(image)) {}

std::shared_ptr<FavouriteCheckBoxCellStyle> FavouriteCheckBoxCell::sharedStyle() {
    static const auto style = std::make_shared<FavouriteCheckBoxCellStyle>();
    return style;
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

// ---------------------------------------------------------------------------------------------------

BackButton::BackButton(const graphics::Rect& frame, std::optional<double> fixedWidth)
    : StyledButton(frame, std::make_shared<BackButtonCell>()) {
    setFixedWidth(fixedWidth);
}

void BackButton::setAlphaValue(double alpha) {
    StyledButton::setAlphaValue(alpha);
    if (alpha > 0 && isHidden()) {
        setHidden(false);
    } else if (alpha == 0 && !isHidden()) {
        setHidden(true);
    }
}

// ---------------------------------------------------------------------------------------------------

CornerButton::CornerButton(const graphics::Rect& frame)
    : StyledButton(frame, std::make_shared<CornerButtonCell>()) {}

bool CornerButton::popUpAlternateMenu() {
    if (!alternateMenu_) {
        return false;
    }
    // A menu opened while another is shown closes that one first; only the latest one's closing counts.
    const auto session = ++menuSessions_;
    const std::weak_ptr<CornerButton> weak = sharedAs<CornerButton>();
    const auto b = bounds();
    menuShown_ = true;
    const bool shown =
        alternateMenu_->popUp(nullptr, {b.minX(), b.maxY() + menuGap}, sharedAs<ui::View>(), [weak, session] {
            auto button = weak.lock();
            if (button && button->menuSessions_ == session) {
                button->menuShown_ = false;
                button->setHighlighted(false);
            }
        });
    if (!shown && menuSessions_ == session) {
        menuShown_ = false;
    }
    return shown;
}

void CornerButton::mouseDown(const ui::Event& event) {
    auto self = sharedAs<CornerButton>();
    setHighlighted(true);
    const auto point = convertPointFromView(event.locationInWindow, nullptr);
    if (alternateMenu_ && event.clickCount <= 1 && bounds().contains(point)) {
        popUpAlternateMenu();
    } else if (!handleSecondaryClick(event)) {
        // Ordinary tracking: it keeps the highlight while the pointer is inside and clears it on release.
        StyledButton::mouseDown(event);
        if (isTracking()) {
            return;
        }
    }
    // A menu that is shown takes the highlight away when it closes.
    if (!menuShown_) {
        setHighlighted(false);
    }
}

void CornerButton::rightMouseDown(const ui::Event& event) {
    if (!handleSecondaryClick(event)) {
        StyledButton::rightMouseDown(event);
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
    if (!popUpAlternateMenu()) {
        setHighlighted(false);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------------

FavouriteCheckBox::FavouriteCheckBox(const graphics::Rect& frame)
    : StyledCheckBox(frame, std::make_shared<FavouriteCheckBoxCell>()) {}

void FavouriteCheckBox::mouseDown(const ui::Event& event) {
    setAlphaValue(pressedAlpha);
    StyledCheckBox::mouseDown(event);
    if (!isTracking()) {
        setAlphaValue(1.0);
    }
}

void FavouriteCheckBox::mouseDragged(const ui::Event& event) {
    StyledCheckBox::mouseDragged(event);
    if (!isTracking()) {
        setAlphaValue(1.0);
    }
}

void FavouriteCheckBox::mouseUp(const ui::Event& event) {
    StyledCheckBox::mouseUp(event);
    setAlphaValue(1.0);
}

} // namespace vimbra
