#pragma once

// Text fields: a control showing a line of text that the user can select and edit. Editing happens in
// the window's field editor, which the field puts over itself when it takes keyboard focus; the field
// is its delegate and hears each change and the end of the session.

#include "ui/Control.hpp"
#include "ui/Text.hpp"

#include <memory>
#include <string>

namespace ui {

class TextField;

// The cell of a text field: colours, background, placeholder and the editing protocol.
class TextFieldCell : public Cell {
public:
    explicit TextFieldCell(std::string text = {});

    graphics::ColorRef textColor() const { return textColor_; }
    void setTextColor(graphics::ColorRef color) { textColor_ = std::move(color); }
    graphics::ColorRef backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(graphics::ColorRef color) { backgroundColor_ = std::move(color); }
    bool drawsBackground() const { return drawsBackground_; }
    void setDrawsBackground(bool flag) { drawsBackground_ = flag; }
    const std::string& placeholderString() const { return placeholder_; }
    void setPlaceholderString(std::string placeholder) { placeholder_ = std::move(placeholder); }
    bool isEditable() const { return editable_; }
    void setEditable(bool flag);
    bool isSelectable() const { return selectable_ || editable_; }
    void setSelectable(bool flag);
    // Whether ending the editing session by Tab, Shift-Tab or a focus change also sends the action
    // (Return always does).
    bool sendsActionOnEndEditing() const { return sendsActionOnEndEditing_; }
    void setSendsActionOnEndEditing(bool flag) { sendsActionOnEndEditing_ = flag; }
    // True for the whole editing session: the field editor shows the text, the cell draws none.
    bool showsFirstResponder() const { return showsFirstResponder_; }
    void setShowsFirstResponder(bool flag) { showsFirstResponder_ = flag; }

    bool acceptsFirstResponder() const override {
        return isEnabled() && isSelectable() && !refusesFirstResponder();
    }
    graphics::AttributedString attributedTitle() const override;
    // The placeholder in the placeholder colour with the cell's font and paragraph style.
    graphics::AttributedString attributedPlaceholder() const;

    // Drawing: background, a one-point frame when bezeled or bordered, then the interior.
    void drawWithFrame(const graphics::Rect& frame, View& controlView) override;
    // The value (or, when empty, the placeholder) at the title rect; nothing while showing first responder.
    void drawInteriorWithFrame(const graphics::Rect& frame, View& controlView) override;

    // The editing protocol. edit (a click, with its event) and select (keyboard focus, with a range)
    // place the editor over the drawing rect of `rect`, prepare it with setUpFieldEditorAttributes,
    // load the value, select, add the editor to the control view with the delegate and make it first
    // responder. endEditing takes it away again.
    virtual void editWithFrame(const graphics::Rect& rect, View& controlView,
                               const std::shared_ptr<Text>& editor, const std::shared_ptr<Object>& delegate,
                               const Event* event);
    virtual void selectWithFrame(const graphics::Rect& rect, View& controlView,
                                 const std::shared_ptr<Text>& editor, const std::shared_ptr<Object>& delegate,
                                 std::size_t start, std::size_t length);
    virtual void endEditing(Text& editor);
    // Gives the editor the cell's font, colours and alignment; returns the editor to use.
    virtual std::shared_ptr<Text> setUpFieldEditorAttributes(const std::shared_ptr<Text>& editor);

private:
    void placeEditor(const graphics::Rect& rect, View& controlView, const std::shared_ptr<Text>& editor,
                     const std::shared_ptr<Object>& delegate);

    graphics::ColorRef textColor_;
    graphics::ColorRef backgroundColor_;
    bool drawsBackground_ = false;
    std::string placeholder_;
    bool editable_ = true;
    bool selectable_ = true;
    bool sendsActionOnEndEditing_ = true;
    bool showsFirstResponder_ = false;
};

// What a text field tells its delegate. The same news goes out as notifications (object: the field)
// named "NSControlTextDidBeginEditingNotification", "NSControlTextDidChangeNotification" and
// "NSControlTextDidEndEditingNotification" on the default centre.
class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual void controlTextDidBeginEditing(TextField& field) { (void)field; }
    virtual void controlTextDidChange(TextField& field) { (void)field; }
    virtual void controlTextDidEndEditing(TextField& field) { (void)field; }
};

class TextField : public Control, public TextDelegate {
public:
    // An editable, selectable, bezeled field that draws its background.
    explicit TextField(const graphics::Rect& frame = {}, std::shared_ptr<TextFieldCell> cell = nullptr);
    // A static label: not editable or selectable, no bezel, no background.
    static std::shared_ptr<TextField> labelWithString(const std::string& text);
    static std::shared_ptr<TextField> textFieldWithString(const std::string& text);

    std::shared_ptr<TextFieldCell> textFieldCell() const;
    bool isEditable() const { return textFieldCell()->isEditable(); }
    void setEditable(bool flag);
    bool isSelectable() const { return textFieldCell()->isSelectable(); }
    void setSelectable(bool flag);
    bool isBezeled() const { return textFieldCell()->isBezeled(); }
    void setBezeled(bool flag);
    bool isBordered() const { return textFieldCell()->isBordered(); }
    void setBordered(bool flag);
    bool drawsBackground() const { return textFieldCell()->drawsBackground(); }
    void setDrawsBackground(bool flag);
    graphics::ColorRef textColor() const { return textFieldCell()->textColor(); }
    void setTextColor(graphics::ColorRef color);
    graphics::ColorRef backgroundColor() const { return textFieldCell()->backgroundColor(); }
    void setBackgroundColor(graphics::ColorRef color);
    const std::string& placeholderString() const { return textFieldCell()->placeholderString(); }
    void setPlaceholderString(std::string placeholder);

    std::shared_ptr<Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<Object>& delegate) { delegate_ = delegate; }

    // While editing, the value follows every change in the editor; setting it replaces the editor's text.
    void setObjectValue(std::any value) override;
    std::shared_ptr<Text> currentEditor() const override;
    // Selects the whole text in a new editing session (keyboard focus).
    void selectText(const std::shared_ptr<Object>& sender = nullptr);
    // Ends the session without sending the action, keeping the editor's text.
    bool abortEditing();

    // True for an enabled, selectable field that is not being edited already.
    bool acceptsFirstResponder() const override;
    // Taking focus starts an editing session: the field editor becomes first responder in the field's place.
    bool becomeFirstResponder() override;
    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void mouseUp(const Event& event) override;
    graphics::Size intrinsicContentSize() const override;

    // Field editor delegate.
    void textDidBeginEditing(Text& text) override;
    void textDidChange(Text& text) override;
    void textDidEndEditing(Text& text, TextMovement movement) override;

private:
    TextFieldDelegate* fieldDelegate() const;
    std::weak_ptr<Object> delegate_;
    std::shared_ptr<Text> editor_;
    // Answers the cell accessors when someone installed a cell of another kind.
    mutable std::shared_ptr<TextFieldCell> fallbackCell_;
};

} // namespace ui
