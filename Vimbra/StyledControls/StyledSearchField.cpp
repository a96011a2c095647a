#include "Vimbra/StyledControls/StyledSearchField.hpp"

#include "Vimbra/Geometry.hpp"
#include "Vimbra/ImageOps.hpp"
#include "Vimbra/StyledControls/CellControlState.hpp"
#include "Vimbra/StyledControls/StyledButton.hpp"
#include "Vimbra/Styles.hpp"
#include "core/Log.hpp"
#include "graphics/GraphicsContext.hpp"
#include "ui/Text.hpp"

#include <algorithm>
#include <cmath>

namespace vimbra {

using graphics::Rect;
using graphics::Size;

// MARK: - StyledSearchFieldCell

StyledSearchFieldCell::StyledSearchFieldCell(std::string text) : ui::SearchFieldCell(std::move(text)) {
    setFocusRingType(ui::FocusRingType::none);
    setup();
}

std::shared_ptr<SearchFieldCellStyle> StyledSearchFieldCell::sharedStyle() {
    static const auto style = [] {
        auto s = std::make_shared<SearchFieldCellStyle>();
        s->setBezelImages(makeImageTable({{StyledControlState::default_, "qel-searchfield"},
                                          {StyledControlState::focused, "qel-searchfield-focus"}}));
        return s;
    }();
    return style;
}

StyledControlState StyledSearchFieldCell::controlState() const {
    return vimbra::controlState(*this);
}

void StyledSearchFieldCell::setup() {
    setTextColor(style()->textColorFor(controlState()));
    setBackgroundStyle(static_cast<ui::BackgroundStyle>(style()->backgroundStyle));
    if (auto search = searchButtonCell()) {
        search->setImagePosition(ui::ImagePosition::imageOnly);
    }
}

graphics::ImageRef StyledSearchFieldCell::currentBezelImage() const {
    if (showsSearchIcon_) {
        return style()->bezelImageFor(controlState());
    }
    return TextFieldCellStyle().bezelImageFor(controlState());
}

void StyledSearchFieldCell::setPlaceholderString(std::string placeholder) {
    internalPlaceholderString_ = placeholder;
    setPlaceholderAttributedString(attributedString(placeholder, Styles::textInputPlaceholderTextColor()));
    ui::SearchFieldCell::setPlaceholderString(std::move(placeholder));
}

void StyledSearchFieldCell::setPlaceholder(std::optional<std::string> placeholder) {
    if (placeholder) {
        setPlaceholderString(std::move(*placeholder));
        return;
    }
    internalPlaceholderString_.reset();
    ui::SearchFieldCell::setPlaceholderString({});
}

void StyledSearchFieldCell::setBackgroundStyle(ui::BackgroundStyle backgroundStyle) {
    ui::SearchFieldCell::setBackgroundStyle(backgroundStyle);
    setTextColor(style()->textColorFor(controlState()));
}

ui::BackgroundStyle StyledSearchFieldCell::interiorBackgroundStyle() const {
    return static_cast<ui::BackgroundStyle>(style()->interiorBackgroundStyle);
}

graphics::AttributedString StyledSearchFieldCell::attributedString(const std::string& text,
                                                                   const graphics::ColorRef& color) const {
    graphics::TextAttributes attributes;
    attributes.font = style()->font;
    attributes.foregroundColor = color ? color : style()->textColorFor(controlState());
    attributes.paragraphStyle.alignment = alignment();
    attributes.paragraphStyle.lineBreakMode = lineBreakMode();
    return graphics::AttributedString(text, attributes);
}

Rect StyledSearchFieldCell::drawingRectForBounds(const Rect& rect) const {
    if (isBeingEdited_ || isBeingSelected_) {
        return rect;
    }
    if (isBezeled() || isBordered()) {
        return insetRect(rect, style()->padding);
    }
    return rect;
}

Rect StyledSearchFieldCell::searchTextRectForBounds(const Rect& bounds) const {
    const Rect inherited = ui::SearchFieldCell::searchTextRectForBounds(bounds);
    const Rect search = searchButtonRectForBounds(bounds);
    const Rect cancel = cancelButtonRectForBounds(bounds);
    const double x = showsSearchIcon_ ? search.maxX() - 10.0 : 4.0;
    const double width = cancel == Rect() ? inherited.width() : cancel.minX() + 2.0 - x;
    double y = inherited.minY();
    if (verticallyCenter_) {
        const double h = attributedString(stringValue(), nullptr).size().height;
        y = Rect(x, inherited.minY(), width, inherited.height()).midY() - h * 0.5;
        if (auto view = controlView(); view && view->isFlipped()) {
            y = std::abs(y);
        }
    }
    return Rect(x, y, width, inherited.height()).integral();
}

void StyledSearchFieldCell::drawWithFrame(const Rect& frame, ui::View& controlView) {
    auto* context = graphics::GraphicsContext::current();
    if (!context) {
        return;
    }
    {
        graphics::GraphicsContext::StateGuard guard(*context);
        if (controlView.isFlipped()) {
            flipVertically(frame);
        }
        if (isBezeled() || isBordered()) {
            if (auto image = currentBezelImage()) {
                tinted(image, graphics::Color::controlTextColor())
                    ->drawInRect(frame, {}, graphics::CompositingOperation::sourceOver, 1.0, false);
            }
        }
    }
    drawInteriorWithFrame(frame, controlView);
}

void StyledSearchFieldCell::drawInteriorWithFrame(const Rect& frame, ui::View& controlView) {
    if (!showsFirstResponder() && !isBeingEdited_ && !isBeingSelected_) {
        std::optional<graphics::AttributedString> text;
        if (!stringValue().empty()) {
            text = attributedString(stringValue(), nullptr);
        } else if (internalPlaceholderString_) {
            text = attributedString(*internalPlaceholderString_, Styles::textInputPlaceholderTextColor());
        }
        if (text) {
            Rect rect = searchTextRectForBounds(frame);
            if (isBezeled() || isBordered()) {
                rect = rect.offsetBy(2.0, 1.0);
            }
            text->draw(rect);
        }
    }
    if (auto cancel = cancelButtonCell(); cancel && !stringValue().empty()) {
        cancel->drawWithFrame(cancelButtonRectForBounds(frame), controlView);
    }
}

Rect StyledSearchFieldCell::editorRectForBounds(const Rect& bounds) const {
    // The line where the interior draws the text: this toolkit's editor centres its line in its frame.
    const Rect text = searchTextRectForBounds(bounds);
    const bool bezelled = isBezeled() || isBordered();
    const double line =
        attributedString(stringValue().empty() ? std::string("x") : stringValue(), nullptr).size().height;
    return Rect(text.minX() + (bezelled ? 2.0 : 0.0), text.minY() + (bezelled ? 1.0 : 0.0),
                std::max(0.0, text.width() - (bezelled ? 2.0 : 0.0)), std::min(line, text.height()));
}

namespace {
void clearEditorBackground(const std::shared_ptr<ui::Text>& editor) {
    if (editor) {
        editor->setDrawsBackground(false);
        editor->setBackgroundColor(graphics::Color::clear());
    }
}
} // namespace

void StyledSearchFieldCell::editWithFrame(const Rect& rect, ui::View& controlView,
                                          const std::shared_ptr<ui::Text>& editor,
                                          const std::shared_ptr<ui::Object>& delegate,
                                          const ui::Event* event) {
    // The frame is narrowed here, so the editing itself is the plain text field cell's.
    isBeingEdited_ = true;
    ui::TextFieldCell::editWithFrame(editorRectForBounds(rect), controlView, editor, delegate, event);
    isBeingEdited_ = false;
    clearEditorBackground(editor);
}

void StyledSearchFieldCell::selectWithFrame(const Rect& rect, ui::View& controlView,
                                            const std::shared_ptr<ui::Text>& editor,
                                            const std::shared_ptr<ui::Object>& delegate, std::size_t start,
                                            std::size_t length) {
    isBeingSelected_ = true;
    ui::TextFieldCell::selectWithFrame(editorRectForBounds(rect), controlView, editor, delegate, start,
                                       length);
    isBeingSelected_ = false;
    clearEditorBackground(editor);
}

std::shared_ptr<ui::Text>
StyledSearchFieldCell::setUpFieldEditorAttributes(const std::shared_ptr<ui::Text>& editor) {
    auto result = ui::SearchFieldCell::setUpFieldEditorAttributes(editor);
    if (editor) {
        const auto s = style();
        // The editor shows the text in the font the cell draws it in, so it does not change on focus.
        editor->setFont(s->font);
        editor->setDrawsBackground(false);
        editor->setBackgroundColor(graphics::Color::clear());
        editor->setTextColor(s->textColor);
        editor->setInsertionPointColor(s->textColor);
        ui::SelectedTextAttributes selected = editor->selectedTextAttributes();
        selected.foregroundColor = s->selectedTextColor;
        selected.backgroundColor = s->selectedBackgroundColor;
        editor->setSelectedTextAttributes(selected);
    }
    return result;
}

// MARK: - StyledSearchField

StyledSearchField::StyledSearchField(const Rect& frame)
    : ui::SearchField(frame, std::make_shared<StyledSearchFieldCell>()) {}

void StyledSearchField::setCell(std::shared_ptr<ui::Cell> cell) {
    if (cell && !std::dynamic_pointer_cast<StyledSearchFieldCell>(cell)) {
        core::fatal("A styled search field takes only a styled search field cell");
    }
    ui::SearchField::setCell(std::move(cell));
}

std::shared_ptr<StyledSearchFieldCell> StyledSearchField::styledCell() const {
    return std::dynamic_pointer_cast<StyledSearchFieldCell>(cell());
}

void StyledSearchField::setVerticallyCenter(bool flag) {
    verticallyCenter_ = flag;
    auto c = styledCell();
    if (!c) {
        core::fatal("A styled search field needs a styled search field cell");
    }
    c->setVerticallyCenter(flag);
    setNeedsDisplay(true);
}

graphics::EdgeInsets StyledSearchField::alignmentRectInsets() const {
    if (styledCell()) {
        return StyledSearchFieldCell::sharedStyle()->alignmentRectInsets;
    }
    return ui::SearchField::alignmentRectInsets();
}

Size StyledSearchField::intrinsicContentSize() const {
    const Size size = ui::SearchField::intrinsicContentSize();
    auto c = styledCell();
    if (!isBezeled() || !c) {
        return size;
    }
    auto image = c->currentBezelImage();
    if (!image) {
        return size;
    }
    const graphics::EdgeInsets insets = alignmentRectInsets();
    const Size imageSize = image->size();
    // A field without a width of its own keeps having none: the bezel stretches to any width.
    const double width = size.width == noIntrinsicMetric
                             ? noIntrinsicMetric
                             : std::max(size.width, imageSize.width) - (insets.left + insets.right);
    return {width, std::max(size.height, imageSize.height) - (insets.top + insets.bottom)};
}

void StyledSearchField::draw(const Rect& dirtyRect) {
    ui::SearchField::draw(dirtyRect);
    if (auto c = styledCell()) {
        drawControlFocusRing(*this, focusRingMaskBounds(), c->style()->focusRingColorFor(c->controlState()));
    }
}

} // namespace vimbra
