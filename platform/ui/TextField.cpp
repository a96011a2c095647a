#include "ui/TextField.hpp"

#include "core/NotificationCenter.hpp"
#include "ui/Window.hpp"

namespace ui {

using graphics::Rect;
using graphics::Size;

// MARK: - TextFieldCell

TextFieldCell::TextFieldCell(std::string text) : Cell(std::move(text)) {}

void TextFieldCell::setEditable(bool flag) {
    editable_ = flag;
}

void TextFieldCell::setSelectable(bool flag) {
    selectable_ = flag;
    if (!flag) {
        editable_ = false; // what cannot be selected cannot be edited
    }
}

graphics::ParagraphStyle TextFieldCell::paragraphStyle() const {
    graphics::ParagraphStyle style;
    style.alignment = alignment();
    style.lineBreakMode = lineBreakMode();
    style.maximumNumberOfLines = maximumNumberOfLines_;
    style.allowsDefaultTighteningForTruncation = allowsTightening_;
    return style;
}

graphics::AttributedString TextFieldCell::attributedTitle() const {
    graphics::TextAttributes attributes;
    attributes.font = font();
    attributes.foregroundColor = !isEnabled() ? graphics::Color::disabledControlTextColor()
                                 : textColor_ ? textColor_
                                              : graphics::Color::controlTextColor();
    attributes.paragraphStyle = paragraphStyle();
    return graphics::AttributedString(title(), attributes);
}

graphics::AttributedString TextFieldCell::attributedPlaceholder() const {
    graphics::TextAttributes attributes;
    attributes.font = font();
    attributes.foregroundColor = graphics::Color::tertiaryLabelColor();
    attributes.paragraphStyle = paragraphStyle();
    return graphics::AttributedString(placeholder_, attributes);
}

bool TextFieldCell::isTextTruncatedInFrame(const Rect& frame) const {
    const graphics::AttributedString text = attributedTitle();
    if (text.empty()) {
        return false;
    }
    const Rect rect = titleRectForBounds(frame);
    if (rect.width() <= 0) {
        return true;
    }
    // Lines the limit dropped, or an ellipsis, change the text shown; lines past the rect's bottom and
    // a clipped line overflow the rect.
    if (text.displayedText(rect.width()) != text.string()) {
        return true;
    }
    if (text.paragraphStyle().lineBreakMode == graphics::LineBreakMode::clipping &&
        text.size().width > rect.width() + 0.5) {
        return true;
    }
    return text.boundingSize({rect.width(), 0}).height > rect.height() + 0.5;
}

void TextFieldCell::drawWithFrame(const Rect& frame, View& controlView) {
    if (auto* context = graphics::GraphicsContext::current()) {
        if (drawsBackground_ && backgroundColor_) {
            context->fillRect(frame, backgroundColor_);
        }
        if (isBezeled() || isBordered()) {
            auto border = graphics::BezierPath::rect(frame.insetBy(0.5, 0.5));
            border.setLineWidth(1);
            context->strokePath(border, graphics::Color::separatorColor());
        }
    }
    drawInteriorWithFrame(frame, controlView);
}

void TextFieldCell::drawInteriorWithFrame(const Rect& frame, View&) {
    if (showsFirstResponder_) {
        return; // the field editor shows the text
    }
    if (!stringValue().empty()) {
        attributedTitle().draw(titleRectForBounds(frame));
    } else if (!placeholder_.empty()) {
        attributedPlaceholder().draw(titleRectForBounds(frame));
    }
}

std::shared_ptr<Text> TextFieldCell::setUpFieldEditorAttributes(const std::shared_ptr<Text>& editor) {
    editor->setFont(font());
    editor->setTextColor(textColor_ ? textColor_ : graphics::Color::controlTextColor());
    editor->setBackgroundColor(backgroundColor_);
    editor->setDrawsBackground(drawsBackground_);
    editor->setAlignment(alignment());
    editor->setEditable(editable_);
    editor->setSelectable(isSelectable());
    return editor;
}

void TextFieldCell::placeEditor(const Rect& rect, View& controlView, const std::shared_ptr<Text>& given,
                                const std::shared_ptr<Object>& delegate) {
    auto editor = setUpFieldEditorAttributes(given);
    if (!editor) {
        return;
    }
    editor->setFrame(drawingRectForBounds(rect));
    editor->setString(stringValue());
    editor->setDelegate(delegate);
    showsFirstResponder_ = true;
    controlView.addSubview(editor);
    controlView.setNeedsDisplay();
    if (auto window = controlView.window()) {
        window->makeFirstResponder(editor);
    }
}

void TextFieldCell::editWithFrame(const Rect& rect, View& controlView, const std::shared_ptr<Text>& editor,
                                  const std::shared_ptr<Object>& delegate, const Event* event) {
    if (!editor) {
        return;
    }
    placeEditor(rect, controlView, editor, delegate);
    if (event) {
        editor->mouseDown(*event);
    }
}

void TextFieldCell::selectWithFrame(const Rect& rect, View& controlView, const std::shared_ptr<Text>& editor,
                                    const std::shared_ptr<Object>& delegate, std::size_t start,
                                    std::size_t length) {
    if (!editor) {
        return;
    }
    placeEditor(rect, controlView, editor, delegate);
    editor->setSelectedRange(start, length);
}

void TextFieldCell::endEditing(Text& editor) {
    showsFirstResponder_ = false;
    editor.setDelegate(nullptr);
    if (auto view = controlView()) {
        view->setNeedsDisplay();
    }
    editor.removeFromSuperview();
}

// MARK: - TextField

TextField::TextField(const Rect& frame, std::shared_ptr<TextFieldCell> cell)
    : Control(frame, cell ? std::move(cell) : std::make_shared<TextFieldCell>()) {
    auto c = textFieldCell();
    if (c->backgroundColor() == nullptr) {
        c->setBezeled(true);
        c->setDrawsBackground(true);
        c->setBackgroundColor(graphics::Color::textBackgroundColor());
        c->setTextColor(graphics::Color::textColor());
    }
}

std::shared_ptr<TextField> TextField::labelWithString(const std::string& text) {
    auto field = std::make_shared<TextField>();
    auto c = field->textFieldCell();
    c->setBezeled(false);
    c->setDrawsBackground(false);
    c->setSelectable(false);
    c->setTextColor(graphics::Color::labelColor());
    field->setStringValue(text);
    field->sizeToFit();
    return field;
}

std::shared_ptr<TextField> TextField::textFieldWithString(const std::string& text) {
    auto field = std::make_shared<TextField>();
    field->setStringValue(text);
    field->sizeToFit();
    return field;
}

std::shared_ptr<TextFieldCell> TextField::textFieldCell() const {
    // A text field's cell is always a text field cell: the constructor installs one, and setCell keeps
    // whatever the caller gives, so look before casting.
    auto c = std::dynamic_pointer_cast<TextFieldCell>(cell());
    if (!c) {
        if (!fallbackCell_) {
            fallbackCell_ = std::make_shared<TextFieldCell>();
        }
        return fallbackCell_;
    }
    return c;
}

void TextField::setEditable(bool flag) {
    textFieldCell()->setEditable(flag);
    setNeedsDisplay();
}

void TextField::setSelectable(bool flag) {
    textFieldCell()->setSelectable(flag);
    setNeedsDisplay();
}

void TextField::setBezeled(bool flag) {
    textFieldCell()->setBezeled(flag);
    setNeedsDisplay();
}

void TextField::setBordered(bool flag) {
    textFieldCell()->setBordered(flag);
    setNeedsDisplay();
}

void TextField::setDrawsBackground(bool flag) {
    textFieldCell()->setDrawsBackground(flag);
    setNeedsDisplay();
}

void TextField::setTextColor(graphics::ColorRef color) {
    textFieldCell()->setTextColor(std::move(color));
    setNeedsDisplay();
}

void TextField::setBackgroundColor(graphics::ColorRef color) {
    textFieldCell()->setBackgroundColor(std::move(color));
    setNeedsDisplay();
}

void TextField::setPlaceholderString(std::string placeholder) {
    textFieldCell()->setPlaceholderString(std::move(placeholder));
    setNeedsDisplay();
}

void TextField::setMaximumNumberOfLines(int lines) {
    textFieldCell()->setMaximumNumberOfLines(lines);
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void TextField::setAllowsDefaultTighteningForTruncation(bool flag) {
    textFieldCell()->setAllowsDefaultTighteningForTruncation(flag);
    setNeedsDisplay();
}

TextFieldDelegate* TextField::fieldDelegate() const {
    return dynamic_cast<TextFieldDelegate*>(delegate_.lock().get());
}

void TextField::setObjectValue(std::any value) {
    Control::setObjectValue(std::move(value));
    if (editor_) {
        editor_->setString(stringValue());
    }
}

std::shared_ptr<Text> TextField::currentEditor() const {
    return editor_;
}

bool TextField::acceptsFirstResponder() const {
    // While its field editor stands in for it, a click on the field's margin must not start over.
    return !editor_ && textFieldCell()->acceptsFirstResponder();
}

void TextField::selectText(const std::shared_ptr<Object>&) {
    auto w = window();
    if (!w || !acceptsFirstResponder()) {
        return;
    }
    if (editor_) {
        editor_->selectAll();
        return;
    }
    auto editor = w->fieldEditor(true, sharedAs<Object>());
    if (auto other = std::dynamic_pointer_cast<TextField>(editor->delegate()); other && other.get() != this) {
        other->abortEditing(); // one editor per window: its last field lets go first
    }
    editor_ = editor;
    textFieldCell()->selectWithFrame(bounds(), *this, editor, sharedAs<Object>(), 0, stringValue().size());
}

bool TextField::becomeFirstResponder() {
    if (!acceptsFirstResponder()) {
        return false;
    }
    selectText();
    return true;
}

bool TextField::abortEditing() {
    if (!editor_) {
        return false;
    }
    auto editor = editor_;
    editor->abandonEditing();
    return true;
}

void TextField::mouseDown(const Event& event) {
    hideExpansionToolTip();
    if (!isSelectable() || !isEnabled()) {
        Responder::mouseDown(event); // a label lets the click through to what contains it
        return;
    }
    if (!editor_) {
        if (auto w = window()) {
            w->makeFirstResponder(sharedAs<Responder>());
        }
    }
    if (editor_) {
        editor_->mouseDown(event);
    }
}

void TextField::mouseDragged(const Event& event) {
    if (editor_) {
        editor_->mouseDragged(event);
    } else if (!isSelectable()) {
        Responder::mouseDragged(event);
    }
}

void TextField::mouseUp(const Event& event) {
    if (!editor_ && !isSelectable()) {
        Responder::mouseUp(event);
    }
}

Size TextField::intrinsicContentSize() const {
    Size size = cell()->cellSize();
    if (isEditable()) {
        size.width = noIntrinsicMetric;
    }
    return size;
}

void TextField::textDidBeginEditing(Text&) {
    auto self = sharedAs<TextField>();
    hideExpansionToolTip();
    if (auto* d = fieldDelegate()) {
        d->controlTextDidBeginEditing(*this);
    }
    core::NotificationCenter::defaultCenter().post("NSControlTextDidBeginEditingNotification", this);
}

void TextField::textDidChange(Text& text) {
    auto self = sharedAs<TextField>();
    cell()->assignStringValue(text.string());
    invalidateIntrinsicContentSize();
    if (auto* d = fieldDelegate()) {
        d->controlTextDidChange(*this);
    }
    core::NotificationCenter::defaultCenter().post("NSControlTextDidChangeNotification", this);
}

void TextField::textDidEndEditing(Text& text, TextMovement movement) {
    auto self = sharedAs<TextField>();
    cell()->setObjectValue(text.string());
    textFieldCell()->endEditing(text);
    editor_.reset();
    setNeedsDisplay();
    if (auto* d = fieldDelegate()) {
        d->controlTextDidEndEditing(*this);
    }
    core::NotificationCenter::defaultCenter().post("NSControlTextDidEndEditingNotification", this,
                                                   {{"NSTextMovement", static_cast<int>(movement)}});
    const bool sends = movement == TextMovement::returnKey ||
                       (movement != TextMovement::cancel && textFieldCell()->sendsActionOnEndEditing());
    if (sends) {
        sendAction();
    }
}

} // namespace ui
