#include "Vimbra/StyledControls/StyledPopDownButton.hpp"

#include "Vimbra/PopUpExtensions.hpp"
#include "Vimbra/StyledControls/CellControlState.hpp"
#include "Vimbra/StyledControls/StyledButton.hpp"
#include "Vimbra/StyledControls/StyledPopUpButton.hpp"

#include <algorithm>
#include <cmath>

namespace vimbra {

using graphics::Rect;
using graphics::Size;

StyledPopDownButtonCell::StyledPopDownButtonCell(std::string title, bool pullsDown)
    : ui::PopUpButtonCell(std::move(title), pullsDown) {}

std::shared_ptr<StyledPopDownButtonCellStyle> StyledPopDownButtonCell::sharedStyle() {
    static const auto shared = std::make_shared<StyledPopDownButtonCellStyle>();
    return shared;
}

StyledControlState StyledPopDownButtonCell::controlState() const {
    return vimbra::controlState(*this);
}

ui::BackgroundStyle StyledPopDownButtonCell::interiorBackgroundStyle() const {
    return static_cast<ui::BackgroundStyle>(sharedStyle()->interiorBackgroundStyle);
}

Rect StyledPopDownButtonCell::titleRectForBounds(const Rect& bounds) const {
    const Rect r = insetRect(ui::PopUpButtonCell::titleRectForBounds(bounds), sharedStyle()->titleEdgeInsets);
    return Rect(r.x(), std::round(bounds.midY() - r.height() / 2), r.width(), r.height()).integral();
}

void StyledPopDownButtonCell::drawBezelWithFrame(const Rect& frame, ui::View& controlView) {
    drawStyledBezel(sharedStyle()->bezelImageForState(controlState()), frame, frame, isEnabled(),
                    controlView);
}

Rect StyledPopDownButtonCell::drawTitle(const graphics::AttributedString& title, const Rect& frame,
                                        ui::View& controlView) {
    const auto style = sharedStyle();
    const auto labelled = labelledPopUpTitle(title.string(), style->textColorForState(controlState()), label_,
                                             graphics::Color::secondaryLabelColor(), style->textColor);
    return ui::PopUpButtonCell::drawTitle(labelled, frame, controlView);
}

// ---------------------------------------------------------------------------------------------------

StyledPopDownButton::StyledPopDownButton(const Rect& frame)
    : ui::PopUpButton(frame, false, std::make_shared<StyledPopDownButtonCell>()) {
    setFont(graphics::Font::systemFont(11));
    installExtensionActions();
}

std::shared_ptr<StyledPopDownButtonCell> StyledPopDownButton::styledCell() const {
    return std::dynamic_pointer_cast<StyledPopDownButtonCell>(cell());
}

void StyledPopDownButton::setLabel(std::optional<std::string> label) {
    label_ = std::move(label);
    if (auto cell = styledCell()) {
        cell->setLabel(label_);
    }
}

std::string StyledPopDownButton::title() const {
    auto cell = styledCell();
    auto item = cell ? cell->titleItem() : nullptr;
    return item ? item->title() : std::string{};
}

void StyledPopDownButton::setTitle(const std::string& title) {
    if (auto cell = styledCell()) {
        cell->setUsesItemFromMenu(false);
        cell->setMenuItem(ui::MenuItem::make(title));
        setNeedsDisplay();
    }
}

graphics::EdgeInsets StyledPopDownButton::alignmentRectInsets() const {
    if (styledCell()) {
        return StyledPopDownButtonCell::sharedStyle()->alignmentRectInsets;
    }
    return ui::PopUpButton::alignmentRectInsets();
}

Size StyledPopDownButton::intrinsicContentSize() const {
    Size size = ui::PopUpButton::intrinsicContentSize();
    auto cell = styledCell();
    if (!isBordered() || !cell) {
        return size;
    }
    if (auto image = StyledPopDownButtonCell::sharedStyle()->bezelImageForState(cell->controlState())) {
        const auto insets = alignmentRectInsets();
        size.width = std::max(size.width, image->width()) - (insets.left + insets.right);
        size.height = image->height() - (insets.top + insets.bottom);
    }
    return size;
}

void StyledPopDownButton::draw(const Rect& dirtyRect) {
    ui::PopUpButton::draw(dirtyRect);
    if (auto cell = styledCell()) {
        drawControlFocusRing(
            *this, focusRingMaskBounds(),
            StyledPopDownButtonCell::sharedStyle()->focusRingColorForState(cell->controlState()));
    }
}

void StyledPopDownButton::mouseDown(const ui::Event&) {
    if (!isEnabled()) {
        return;
    }
    pressed_ = true;
    setHighlighted(true);
}

void StyledPopDownButton::mouseUp(const ui::Event& event) {
    if (!pressed_) {
        return;
    }
    pressed_ = false;
    auto self = sharedAs<StyledPopDownButton>(); // the action may release the control
    setHighlighted(false);
    const auto point = convertPointFromView(event.locationInWindow, nullptr);
    if (bounds().contains(point) && !action().empty()) {
        sendAction(action(), target());
    }
}

void StyledPopDownButton::rightMouseDown(const ui::Event& event) {
    ui::Button::rightMouseDown(event);
}

void StyledPopDownButton::keyDown(const ui::Event& event) {
    const auto special = event.specialKey();
    if (event.characters == " " || (special && *special == ui::SpecialKey::carriageReturn)) {
        performClick();
        return;
    }
    ui::Button::keyDown(event);
}

void StyledPopDownButton::didClick() {
    sendAction();
}

} // namespace vimbra
