#include "Vimbra/FieldsAndComponents/StyledTextField.hpp"

#include "Vimbra/Assets.hpp"
#include "Vimbra/ImageOps.hpp"
#include "Vimbra/StyledControls/CellControlState.hpp"
#include "Vimbra/StyledControls/StyledButton.hpp"
#include "Vimbra/ViewExtensions.hpp"
#include "core/Log.hpp"
#include "graphics/BezierPath.hpp"
#include "graphics/GraphicsContext.hpp"
#include "ui/Text.hpp"
#include "ui/Window.hpp"

#include <algorithm>

namespace vimbra {

using graphics::Rect;
using graphics::Size;

namespace {

// The cell's ring: a rounded rectangle (radius 3) over the mask inset by 2, filled with the colour at
// 30 % and stroked 2 points wide with it.
void drawCellFocusRing(const Rect& mask, const graphics::ColorRef& color) {
    auto* context = graphics::GraphicsContext::current();
    if (!context || !color) {
        return;
    }
    auto path = graphics::BezierPath::roundedRect(mask.insetBy(2, 2), 3, 3);
    path.setLineWidth(2);
    path.setLineCapStyle(graphics::LineCap::round);
    path.setLineJoinStyle(graphics::LineJoin::round);
    context->fillPath(path, color->withAlphaComponent(0.3), context->compositingOperation());
    context->strokePath(path, color);
}

// Where the interior draws the text: the title rect moved right by 2 points in a bezeled or bordered
// cell, else left by one device pixel. The field editor gets the same rect, so the text stays put when
// the field takes focus.
Rect interiorTextRect(const StyledTextFieldCell& cell, const Rect& frame, const ui::View& controlView) {
    const auto window = controlView.window();
    const double dx =
        cell.isBezeled() || cell.isBordered() ? 2.0 : -1.0 / (window ? window->backingScaleFactor() : 1.0);
    return cell.titleRectForBounds(frame).offsetBy(dx, 0);
}

} // namespace

// ---------------------------------------------------------------------------------------------------

StyledTextFieldCell::StyledTextFieldCell(std::string text) : ui::TextFieldCell(std::move(text)) {
    requireMainThread();
    setFocusRingType(ui::FocusRingType::none);
    applyStyle();
}

std::shared_ptr<TextFieldCellStyle> StyledTextFieldCell::sharedStyle() {
    static const auto shared = std::make_shared<TextFieldCellStyle>();
    return shared;
}

StyledControlState StyledTextFieldCell::controlState() const {
    return vimbra::controlState(*this);
}

void StyledTextFieldCell::applyStyle() {
    const auto s = style();
    const auto state = controlState();
    setFont(s->font);
    setTextColor(s->textColorFor(state));
    setBackgroundColor(s->backgroundColorFor(state));
    ui::TextFieldCell::setBackgroundStyle(static_cast<ui::BackgroundStyle>(s->backgroundStyle));
}

graphics::AttributedString StyledTextFieldCell::attributedString(const std::string& string,
                                                                 const graphics::ColorRef& textColor) const {
    const auto s = style();
    graphics::TextAttributes attributes;
    attributes.font = font() ? font() : s->font;
    attributes.foregroundColor = textColor ? textColor : s->textColorFor(controlState());
    attributes.paragraphStyle.alignment = alignment();
    attributes.paragraphStyle.lineBreakMode = lineBreakMode();
    attributes.paragraphStyle.maximumNumberOfLines = maximumNumberOfLines();
    attributes.paragraphStyle.allowsDefaultTighteningForTruncation = false;
    return graphics::AttributedString(string, attributes);
}

void StyledTextFieldCell::setBackgroundStyle(ui::BackgroundStyle backgroundStyle) {
    ui::TextFieldCell::setBackgroundStyle(backgroundStyle);
    setTextColor(style()->textColorFor(controlState()));
}

ui::BackgroundStyle StyledTextFieldCell::interiorBackgroundStyle() const {
    return static_cast<ui::BackgroundStyle>(style()->interiorBackgroundStyle);
}

Rect StyledTextFieldCell::drawingRectForBounds(const Rect& bounds) const {
    if (beingEdited_ || beingSelected_ || !(isBezeled() || isBordered())) {
        return bounds;
    }
    return insetRect(bounds, style()->padding);
}

Rect StyledTextFieldCell::titleRectForBounds(const Rect& bounds) const {
    Rect title = ui::TextFieldCell::titleRectForBounds(bounds);
    if (verticallyCenter_) {
        // One line, or as many as the text takes up to a line limit of more than one.
        const auto text = attributedTitle();
        const double line =
            maximumNumberOfLines() > 1 ? text.boundingSize({title.width(), 0}).height : text.size().height;
        title.origin.y += (title.height() - line) * 0.5;
        title.size.height = line;
    }
    return title;
}

Size StyledTextFieldCell::cellSizeForBounds(const Rect& bounds) const {
    Size size = ui::TextFieldCell::cellSizeForBounds(bounds);
    if (isBezeled() || isBordered()) {
        size.width += 2;
    }
    return size;
}

void StyledTextFieldCell::drawWithFrame(const Rect& frame, ui::View& controlView) {
    auto* context = graphics::GraphicsContext::current();
    if (!context) {
        return;
    }
    const auto s = style();
    const auto state = controlState();
    if (drawsBackground()) {
        graphics::GraphicsContext::StateGuard guard(*context);
        if (controlView.isFlipped()) {
            flipAboutMiddle(frame);
        }
        const auto bezel = isBezeled() || isBordered() ? s->bezelImageFor(state) : nullptr;
        if (bezel) {
            context->fillRect(frame.insetBy(-2, 0), graphics::Color::clear(),
                              context->compositingOperation());
            tinted(bezel, graphics::Color::controlTextColor())
                ->drawInRect(frame, {}, graphics::CompositingOperation::sourceOver, 1.0, false);
        } else if (backgroundColor()) {
            context->fillRect(frame, backgroundColor(), graphics::CompositingOperation::sourceOver);
        }
    }
    // The ring marks keyboard focus: only while the field (through its field editor) has it.
    auto window = controlView.window();
    if (dynamic_cast<ui::Control*>(&controlView) && window && window->isKeyWindow() &&
        isFirstResponder(controlView)) {
        drawCellFocusRing(focusRingMaskBoundsForFrame(frame, controlView), s->focusRingColorFor(state));
    }
    drawInteriorWithFrame(frame, controlView);
}

void StyledTextFieldCell::drawInteriorWithFrame(const Rect& frame, ui::View& controlView) {
    if (showsFirstResponder() || beingEdited_ || beingSelected_) {
        return;
    }
    graphics::AttributedString text;
    const std::string value = stringValue();
    if (!value.empty()) {
        text = attributedString(value, nullptr);
    } else if (!placeholderString().empty()) {
        text = attributedString(placeholderString(), vimbraColor("Grey 50%"));
    } else {
        return;
    }
    text.draw(interiorTextRect(*this, frame, controlView));
}

void StyledTextFieldCell::editWithFrame(const Rect& rect, ui::View& controlView,
                                        const std::shared_ptr<ui::Text>& editor,
                                        const std::shared_ptr<ui::Object>& delegate, const ui::Event* event) {
    const Rect title = interiorTextRect(*this, rect, controlView);
    beingEdited_ = true;
    ui::TextFieldCell::editWithFrame(title, controlView, editor, delegate, event);
    beingEdited_ = false;
}

void StyledTextFieldCell::selectWithFrame(const Rect& rect, ui::View& controlView,
                                          const std::shared_ptr<ui::Text>& editor,
                                          const std::shared_ptr<ui::Object>& delegate, std::size_t start,
                                          std::size_t length) {
    const Rect title = interiorTextRect(*this, rect, controlView);
    beingSelected_ = true;
    ui::TextFieldCell::selectWithFrame(title, controlView, editor, delegate, start, length);
    beingSelected_ = false;
}

std::shared_ptr<ui::Text>
StyledTextFieldCell::setUpFieldEditorAttributes(const std::shared_ptr<ui::Text>& editor) {
    auto result = ui::TextFieldCell::setUpFieldEditorAttributes(editor);
    if (editor) {
        const auto s = style();
        editor->setFont(s->font);
        editor->setDrawsBackground(false);
        editor->setBackgroundColor(s->textBackgroundColor);
        editor->setTextColor(s->textColor);
        editor->setInsertionPointColor(s->textColor);
        auto selected = editor->selectedTextAttributes();
        selected.foregroundColor = s->selectedTextColor;
        selected.backgroundColor = s->selectedBackgroundColor;
        editor->setSelectedTextAttributes(selected);
    }
    return result;
}

// ---------------------------------------------------------------------------------------------------

StyledTextField::StyledTextField(const Rect& frame, double verticalInset)
    : StyledTextField(frame, std::make_shared<StyledTextFieldCell>()) {
    verticalInset_ = verticalInset;
}

StyledTextField::StyledTextField(const Rect& frame, std::shared_ptr<StyledTextFieldCell> cell)
    : FirstResponderAwareTextField(frame, std::move(cell)) {
    // A new field is editable, selectable and bezeled and draws its background, as the toolkit's are.
    setBezeled(true);
    setDrawsBackground(true);
}

std::shared_ptr<StyledTextFieldCell> StyledTextField::styledCell() const {
    return std::dynamic_pointer_cast<StyledTextFieldCell>(cell());
}

void StyledTextField::setVerticallyCenter(bool flag) {
    verticallyCenter_ = flag;
    if (auto c = styledCell()) {
        c->setVerticallyCenter(flag);
    }
    setNeedsDisplay(true);
}

bool StyledTextField::isSelected() const {
    auto c = styledCell();
    return c && c->isSelected();
}

void StyledTextField::setSelected(bool selected) {
    if (auto c = styledCell()) {
        c->setSelected(selected);
    }
}

bool StyledTextField::acceptsCell(const ui::Cell& cell) const {
    return dynamic_cast<const StyledTextFieldCell*>(&cell) != nullptr;
}

void StyledTextField::setCell(std::shared_ptr<ui::Cell> cell) {
    requireMainThread();
    if (cell && !acceptsCell(*cell)) {
        core::fatal("A styled text field was given a cell of another class");
    }
    FirstResponderAwareTextField::setCell(std::move(cell));
}

graphics::EdgeInsets StyledTextField::alignmentRectInsets() const {
    if (isBezeled() || isBordered()) {
        return {verticalInset_, 2.0, verticalInset_, 2.0};
    }
    return FirstResponderAwareTextField::alignmentRectInsets();
}

double StyledTextField::firstBaselineOffsetFromTop() const {
    auto c = styledCell();
    if (!c) {
        return FirstResponderAwareTextField::firstBaselineOffsetFromTop();
    }
    const Rect b = bounds();
    const Rect t = c->titleRectForBounds(b);
    const auto insets = alignmentRectInsets();
    return isFlipped() ? b.minY() + t.maxY() - insets.top : b.maxY() - t.minY() + insets.top;
}

double StyledTextField::lastBaselineOffsetFromBottom() const {
    auto c = styledCell();
    if (!c) {
        return FirstResponderAwareTextField::lastBaselineOffsetFromBottom();
    }
    const Rect b = bounds();
    const Rect t = c->titleRectForBounds(b);
    const auto insets = alignmentRectInsets();
    return isFlipped() ? b.maxY() - t.maxY() + insets.bottom : b.minY() + t.minY() - insets.bottom;
}

Size StyledTextField::intrinsicContentSize() const {
    Size size = FirstResponderAwareTextField::intrinsicContentSize();
    auto c = styledCell();
    if ((isBezeled() || isBordered()) && c) {
        if (auto image = c->style()->bezelImageFor(c->controlState())) {
            // An editable field has no width of its own, and keeps having none: the bezel stretches.
            if (size.width != noIntrinsicMetric) {
                size.width = std::max(size.width, image->size().width);
            }
            size.height = std::max(size.height, image->size().height);
        }
    }
    return size;
}

} // namespace vimbra
