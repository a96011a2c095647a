#include "Vimbra/StyledControls/StyledPopUpButton.hpp"

#include "Vimbra/MainThreadDelivery.hpp"
#include "Vimbra/PopUpExtensions.hpp"
#include "Vimbra/StyledControls/CellControlState.hpp"
#include "Vimbra/StyledControls/StyledButton.hpp"

#include <algorithm>
#include <cmath>

namespace vimbra {

using graphics::Rect;
using graphics::Size;

graphics::AttributedString labelledPopUpTitle(const std::string& title, const graphics::ColorRef& textColor,
                                              const std::optional<std::string>& label,
                                              const graphics::ColorRef& labelColor,
                                              const graphics::ColorRef& fallbackColor) {
    graphics::TextAttributes attributes;
    attributes.font = graphics::Font::systemFont(10, graphics::FontWeight::regular);
    attributes.foregroundColor = textColor ? textColor : fallbackColor;
    attributes.paragraphStyle.alignment = graphics::TextAlignment::left;
    attributes.paragraphStyle.lineBreakMode = graphics::LineBreakMode::truncatingTail;
    if (!label || !labelColor) {
        return graphics::AttributedString(title, attributes);
    }
    auto labelAttributes = attributes;
    labelAttributes.foregroundColor = labelColor;
    auto titleAttributes = attributes;
    titleAttributes.font = graphics::Font::systemFont(10, graphics::FontWeight::medium);
    graphics::AttributedString result(*label, labelAttributes);
    result.append(" " + title, titleAttributes);
    return result;
}

// ---------------------------------------------------------------------------------------------------

StyledPopUpButtonCell::StyledPopUpButtonCell(std::string title, bool pullsDown)
    : ui::PopUpButtonCell(std::move(title), pullsDown) {
    requireMainThread();
    setHighlightsBy(0);
}

std::shared_ptr<PopUpButtonCellStyle> StyledPopUpButtonCell::sharedStyle() {
    static const auto shared = std::make_shared<PopUpButtonCellStyle>();
    return shared;
}

void StyledPopUpButtonCell::setLabel(std::optional<std::string> label) {
    requireMainThread();
    label_ = std::move(label);
}

StyledControlState StyledPopUpButtonCell::controlState() const {
    return popUpCellControlState(*this);
}

ui::BackgroundStyle StyledPopUpButtonCell::interiorBackgroundStyle() const {
    return static_cast<ui::BackgroundStyle>(style()->interiorBackgroundStyle);
}

Rect StyledPopUpButtonCell::titleRectForBounds(const Rect& bounds) const {
    requireMainThread();
    if (imagePosition() == ui::ImagePosition::imageOnly || title().empty()) {
        return {};
    }
    return Rect(10, std::round(bounds.midY() - 7), bounds.width() - 24, 14).integral();
}

void StyledPopUpButtonCell::drawImageWithFrame(const Rect& frame, ui::View& controlView) {
    requireMainThread();
    if (label_ && !label_->empty()) {
        return;
    }
    ui::PopUpButtonCell::drawImageWithFrame(frame, controlView);
}

void StyledPopUpButtonCell::drawBezelWithFrame(const Rect& frame, ui::View& controlView) {
    requireMainThread();
    drawStyledBezel(style()->bezelImageForState(controlState()), frame, frame, isEnabled(), controlView);
}

Rect StyledPopUpButtonCell::drawTitle(const graphics::AttributedString& title, const Rect& frame, ui::View&) {
    requireMainThread();
    if (imagePosition() == ui::ImagePosition::imageOnly || title.empty()) {
        return {};
    }
    labelledTitle(title.string(), style()->textColorForState(controlState()), label_,
                  graphics::Color::secondaryLabelColor())
        .draw(frame);
    return frame;
}

void StyledPopUpButtonCell::highlight(bool flag, const Rect& frame, ui::View& controlView) {
    requireMainThread();
    ui::PopUpButtonCell::highlight(flag, frame, controlView);
    setHighlighted(flag);
    controlView.setNeedsDisplay(true);
}

graphics::AttributedString StyledPopUpButtonCell::labelledTitle(const std::string& title,
                                                                const graphics::ColorRef& textColor,
                                                                const std::optional<std::string>& label,
                                                                const graphics::ColorRef& labelColor) const {
    requireMainThread();
    return labelledPopUpTitle(title, textColor, label, labelColor, style()->textColor);
}

// ---------------------------------------------------------------------------------------------------

StyledPopUpButton::StyledPopUpButton(const Rect& frame, bool pullsDown, std::optional<double> fixedWidth)
    : StyledPopUpButton(frame, pullsDown, fixedWidth,
                        std::make_shared<StyledPopUpButtonCell>(std::string{}, pullsDown)) {}

StyledPopUpButton::StyledPopUpButton(const Rect& frame, bool pullsDown, std::optional<double> fixedWidth,
                                     std::shared_ptr<StyledPopUpButtonCell> cell)
    : ui::PopUpButton(frame, pullsDown, std::move(cell)), fixedWidth_(fixedWidth) {
    requireMainThread();
    setFont(graphics::Font::systemFont(11));
    installExtensionActions();
}

std::shared_ptr<StyledPopUpButtonCell> StyledPopUpButton::styledCell() const {
    return std::dynamic_pointer_cast<StyledPopUpButtonCell>(cell());
}

void StyledPopUpButton::setLabel(std::optional<std::string> label) {
    requireMainThread();
    label_ = std::move(label);
    if (auto cell = styledCell()) {
        cell->setLabel(label_);
    }
}

void StyledPopUpButton::setFixedWidth(std::optional<double> width) {
    requireMainThread();
    fixedWidth_ = width;
}

void StyledPopUpButton::setTitle(const std::string& title) {
    requireMainThread();
    ui::PopUpButton::setTitle(title);
}

graphics::EdgeInsets StyledPopUpButton::alignmentRectInsets() const {
    requireMainThread();
    if (styledCell()) {
        return StyledPopUpButtonCell::sharedStyle()->alignmentRectInsets;
    }
    return ui::PopUpButton::alignmentRectInsets();
}

namespace {

// At least the bezel image's width and exactly its height, both less the control's alignment insets,
// when the control is bordered and its style has an image for the state; else size unchanged.
Size fittedToBezel(Size size, const ui::PopUpButton& control, const StyledPopUpButtonCell* cell) {
    if (!control.isBordered() || !cell) {
        return size;
    }
    if (auto image = cell->style()->bezelImageForState(cell->controlState())) {
        const auto insets = control.alignmentRectInsets();
        size.width = std::max(size.width, image->width()) - (insets.left + insets.right);
        size.height = image->height() - (insets.top + insets.bottom);
    }
    return size;
}

} // namespace

Size StyledPopUpButton::intrinsicContentSize() const {
    requireMainThread();
    Size size = ui::PopUpButton::intrinsicContentSize();
    if (fixedWidth_) {
        size.width = *fixedWidth_;
    }
    return fittedToBezel(size, *this, styledCell().get());
}

void StyledPopUpButton::draw(const Rect& dirtyRect) {
    requireMainThread();
    ui::PopUpButton::draw(dirtyRect);
    if (auto cell = styledCell()) {
        drawControlFocusRing(*this, focusRingMaskBounds(),
                             cell->style()->focusRingColorForState(cell->controlState()));
    }
}

// ---------------------------------------------------------------------------------------------------

std::shared_ptr<ToolPopUpButtonCellStyle> ToolPopUpButtonCell::sharedToolStyle() {
    static const auto shared = std::make_shared<ToolPopUpButtonCellStyle>();
    return shared;
}

ToolPopUpButton::ToolPopUpButton(const Rect& frame, bool pullsDown, std::optional<double> fixedWidth)
    : StyledPopUpButton(frame, pullsDown, fixedWidth,
                        std::make_shared<ToolPopUpButtonCell>(std::string{}, pullsDown)) {}

graphics::EdgeInsets ToolPopUpButton::alignmentRectInsets() const {
    requireMainThread();
    if (std::dynamic_pointer_cast<ToolPopUpButtonCell>(cell())) {
        return ToolPopUpButtonCell::sharedToolStyle()->alignmentRectInsets;
    }
    return StyledPopUpButton::alignmentRectInsets();
}

Size ToolPopUpButton::intrinsicContentSize() const {
    const Size size = StyledPopUpButton::intrinsicContentSize();
    auto cell = std::dynamic_pointer_cast<ToolPopUpButtonCell>(this->cell());
    return fittedToBezel(size, *this, cell.get());
}

} // namespace vimbra
