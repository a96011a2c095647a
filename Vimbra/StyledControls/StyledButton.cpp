#include "Vimbra/StyledControls/StyledButton.hpp"

#include "Vimbra/ImageOps.hpp"
#include "Vimbra/StyledControls/CellControlState.hpp"
#include "Vimbra/ViewExtensions.hpp"
#include "core/Log.hpp"
#include "graphics/BezierPath.hpp"
#include "ui/Window.hpp"

#include <algorithm>
#include <cmath>

namespace vimbra {

using graphics::Rect;
using graphics::Size;

Rect insetRect(const Rect& rect, const graphics::EdgeInsets& insets) {
    return Rect(rect.x() + insets.left, rect.y() + insets.bottom, rect.width() - (insets.left + insets.right),
                rect.height() - (insets.top + insets.bottom))
        .integral();
}

void flipAboutMiddle(const Rect& rect) {
    if (auto* context = graphics::GraphicsContext::current()) {
        context->concat(
            graphics::AffineTransform::makeTranslation(0, 2 * rect.minY() + rect.height()).scaledBy(1, -1));
    }
}

Rect styledImageRect(Size s, const Rect& frame, ui::ImageScaling scaling) {
    switch (scaling) {
    case ui::ImageScaling::proportionallyDown:
    case ui::ImageScaling::proportionallyUpOrDown:
        return Rect(std::max(frame.minX(), std::min(frame.maxX(), s.width) - s.width),
                    std::max(frame.minY(), std::min(frame.maxY(), s.height) - s.height), s.width, s.height);
    case ui::ImageScaling::axesIndependently:
        return frame;
    case ui::ImageScaling::none:
        return Rect(frame.minX() + std::round((frame.width() - s.width) * 0.5),
                    frame.minY() + std::round((frame.height() - s.height) * 0.5), s.width, s.height);
    }
    core::fatal("Unhandled image scaling value");
}

namespace {

// Draws with the current context flipped about the frame's middle in a flipped control view; nothing
// without a context or an image.
template <class Draw>
void drawUpright(const graphics::ImageRef& image, const Rect& frame, const ui::View& controlView,
                 Draw&& draw) {
    auto* context = graphics::GraphicsContext::current();
    if (!context || !image) {
        return;
    }
    graphics::GraphicsContext::StateGuard guard(*context);
    if (controlView.isFlipped()) {
        flipAboutMiddle(frame);
    }
    draw();
}

} // namespace

void drawStyledImage(const ui::ButtonCell& cell, const graphics::ImageRef& image, const Rect& frame,
                     const ui::View& controlView) {
    drawUpright(image, frame, controlView, [&] {
        const Rect target = styledImageRect(image->size(), frame, cell.imageScaling());
        const double fraction = cell.isHighlighted() ? 0.5 : (cell.isEnabled() ? 1.0 : 0.5);
        image->drawInRect(target, {}, graphics::CompositingOperation::sourceOver, fraction, false);
    });
}

void drawStyledBezel(const graphics::ImageRef& image, const Rect& frame, const Rect& target, bool enabled,
                     const ui::View& controlView) {
    drawUpright(image, frame, controlView, [&] {
        tinted(image, graphics::Color::controlTextColor())
            ->drawInRect(target, {}, graphics::CompositingOperation::sourceOver, enabled ? 1.0 : 0.5, false);
    });
}

namespace {

// placed at its own x and size, centred vertically on bounds (rounded half away from zero), integral.
Rect centredVertically(const Rect& placed, const Rect& bounds) {
    return Rect(placed.x(), std::round(bounds.midY() - placed.height() * 0.5), placed.width(),
                placed.height())
        .integral();
}

} // namespace

Rect styledImageRectForBounds(const ui::ButtonCell& cell, const Rect& bounds,
                              const graphics::EdgeInsets& insets) {
    const Rect r = insetRect(bounds, insets);
    if (cell.imagePosition() == ui::ImagePosition::imageOnly) {
        return r;
    }
    return centredVertically(cell.ui::ButtonCell::imageRectForBounds(r), bounds);
}

Rect styledFocusRingMaskBounds(const ui::ButtonCell& cell, const Rect& frame) {
    if (cell.isBezeled() || cell.isBordered()) {
        return frame;
    }
    return cell.drawingRectForBounds(frame);
}

graphics::AttributedString styledTitle(const std::string& title, const graphics::FontRef& font,
                                       const graphics::ColorRef& color) {
    graphics::TextAttributes attributes;
    attributes.font = font;
    attributes.foregroundColor = color;
    attributes.paragraphStyle.alignment = graphics::TextAlignment::center;
    attributes.paragraphStyle.lineBreakMode = graphics::LineBreakMode::truncatingTail;
    return graphics::AttributedString(title, attributes);
}

void drawControlFocusRing(const ui::View& view, const Rect& mask, const graphics::ColorRef& color) {
    auto* context = graphics::GraphicsContext::current();
    auto window = view.window();
    if (!context || !color || !window || !window->isKeyWindow() || !isFirstResponder(view)) {
        return;
    }
    auto path = graphics::BezierPath::roundedRect(mask.insetBy(1, 1), 3, 3);
    path.setLineWidth(2);
    path.setLineCapStyle(graphics::LineCap::round);
    path.setLineJoinStyle(graphics::LineJoin::round);
    if (auto fill = color->withAlphaComponent(0.3)) {
        context->fillPath(path, fill, context->compositingOperation());
    }
    context->strokePath(path, color);
}

// ---------------------------------------------------------------------------------------------------

StyledButtonCell::StyledButtonCell(std::string title) : ui::ButtonCell(std::move(title)) {
    setHighlightsBy(0);
}

StyledButtonCell::StyledButtonCell(graphics::ImageRef image) : ui::ButtonCell(std::move(image)) {
    setHighlightsBy(0);
}

std::shared_ptr<ButtonCellStyle> StyledButtonCell::sharedStyle() {
    static const auto shared = std::make_shared<ButtonCellStyle>();
    return shared;
}

StyledControlState StyledButtonCell::controlState() const {
    return buttonCellControlState(*this, selected_);
}

graphics::AttributedString StyledButtonCell::attributedTitleString(const std::string& title, ui::ControlSize,
                                                                   const graphics::ColorRef& color) const {
    const auto s = style();
    return styledTitle(title, s->font, color ? color : s->textColor);
}

Rect StyledButtonCell::drawingRectForBounds(const Rect& bounds) const {
    if (isBezeled() || isBordered()) {
        return insetRect(bounds, style()->edgeInsets);
    }
    return bounds;
}

Rect StyledButtonCell::imageRectForBounds(const Rect& bounds) const {
    return styledImageRectForBounds(*this, bounds, style()->imageEdgeInsets);
}

Rect StyledButtonCell::titleRectForBounds(const Rect& bounds) const {
    const Rect r = insetRect(bounds, style()->titleEdgeInsets);
    const Rect placed = ui::ButtonCell::titleRectForBounds(r);
    return verticallyCenterTitle_ ? centredVertically(placed, bounds) : placed;
}

Rect StyledButtonCell::focusRingMaskBoundsForFrame(const Rect& frame, ui::View&) const {
    return styledFocusRingMaskBounds(*this, frame);
}

void StyledButtonCell::drawWithFrame(const Rect& frame, ui::View& controlView) {
    if (isBordered() || isBezeled()) {
        drawBezelWithFrame(frame, controlView);
    }
    drawInteriorWithFrame(frame, controlView);
}

void StyledButtonCell::drawBezelWithFrame(const Rect& frame, ui::View& controlView) {
    drawStyledBezel(style()->bezelImageForState(controlState()), frame, frame, isEnabled(), controlView);
}

void StyledButtonCell::drawImage(const graphics::ImageRef& image, const Rect& frame, ui::View& controlView) {
    drawStyledImage(*this, image, frame, controlView);
}

Rect StyledButtonCell::drawTitle(const graphics::AttributedString& title, const Rect& frame,
                                 ui::View& controlView) {
    const auto styled =
        attributedTitleString(title.string(), controlSize(), style()->textColorForState(controlState()));
    return ui::ButtonCell::drawTitle(styled, frame, controlView);
}

// ---------------------------------------------------------------------------------------------------

StyledButton::StyledButton(const Rect& frame, std::optional<double> fixedWidth)
    : StyledButton(frame, std::make_shared<StyledButtonCell>()) {
    fixedWidth_ = fixedWidth;
}

StyledButton::StyledButton(const Rect& frame, std::shared_ptr<ui::ButtonCell> cell)
    : ui::Button(frame, std::move(cell)) {
    setBordered(true);
    StyledButton::setupButton();
}

void StyledButton::setupButton() {
    if (auto cell = styledCell()) {
        cell->setHighlightsBy(0);
    }
}

std::shared_ptr<StyledButtonCell> StyledButton::styledCell() const {
    return std::dynamic_pointer_cast<StyledButtonCell>(cell());
}

bool StyledButton::isSelected() const {
    return isCellSelected<StyledButtonCell>(*this);
}

void StyledButton::setSelected(bool selected) {
    setCellSelected<StyledButtonCell>(*this, selected);
}

graphics::EdgeInsets StyledButton::alignmentRectInsets() const {
    if (styledCell()) {
        return StyledButtonCell::sharedStyle()->alignmentRectInsets;
    }
    return ui::Button::alignmentRectInsets();
}

Size StyledButton::intrinsicContentSize() const {
    Size size = ui::Button::intrinsicContentSize();
    if (fixedWidth_) {
        size.width = *fixedWidth_;
    }
    auto cell = styledCell();
    if (!isBordered() || !cell) {
        return size;
    }
    if (auto image = cell->style()->bezelImageForState(cell->controlState())) {
        const auto insets = alignmentRectInsets();
        size.width =
            std::max(size.width, fixedWidth_.value_or(image->width())) - (insets.left + insets.right);
        size.height = image->height() - (insets.top + insets.bottom);
    }
    return size;
}

void StyledButton::draw(const Rect& dirtyRect) {
    ui::Button::draw(dirtyRect);
    if (auto cell = styledCell()) {
        drawControlFocusRing(*this, focusRingMaskBounds(),
                             cell->style()->focusRingColorForState(cell->controlState()));
    }
}

} // namespace vimbra
