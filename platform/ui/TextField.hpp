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
    virtual void setPlaceholderString(std::string placeholder) { placeholder_ = std::move(placeholder); }
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
    // At most this many lines of text (0: no limit). With more than one, truncating line-break modes
    // wrap at words and truncate the last line; wrapping modes drop the lines past the limit.
    int maximumNumberOfLines() const { return maximumNumberOfLines_; }
    void setMaximumNumberOfLines(int lines) { maximumNumberOfLines_ = lines < 0 ? 0 : lines; }
    // Whether a line that is to be truncated may first draw its characters a little closer together.
    bool allowsDefaultTighteningForTruncation() const { return allowsTightening_; }
    void setAllowsDefaultTighteningForTruncation(bool flag) { allowsTightening_ = flag; }
    // The paragraph style of the cell's text: its alignment, line breaking, line limit and tightening.
    graphics::ParagraphStyle paragraphStyle() const;
    // Whether the text, drawn in the title rect of frame, loses characters to truncation or to the
    // line limit (or clipping at the rect's bottom).
    virtual bool isTextTruncatedInFrame(const graphics::Rect& frame) const;

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
    int maximumNumberOfLines_ = 0;
    bool allowsTightening_ = false;
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
    ~TextField() override;
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
    int maximumNumberOfLines() const { return textFieldCell()->maximumNumberOfLines(); }
    void setMaximumNumberOfLines(int lines);
    bool allowsDefaultTighteningForTruncation() const {
        return textFieldCell()->allowsDefaultTighteningForTruncation();
    }
    void setAllowsDefaultTighteningForTruncation(bool flag);

    // Expansion tool tips: when the pointer rests on a field whose text is cut short (truncated, or
    // beyond the line limit) for expansionToolTipDelay, a tool tip shows the whole text below the
    // field; it goes when the pointer leaves or presses, the field starts editing or leaves its
    // window. The delay runs on the window's animation run loop (tests drive its clock).
    bool allowsExpansionToolTips() const { return allowsExpansionToolTips_; }
    void setAllowsExpansionToolTips(bool flag);
    static constexpr double expansionToolTipDelay = 1.0; // seconds
    // The tool tip window while one is shown, else null.
    std::shared_ptr<Window> expansionToolTipWindow() const;

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
    void mouseEntered(const Event& event) override;
    void mouseMoved(const Event& event) override;
    void mouseExited(const Event& event) override;
    void updateTrackingAreas() override;
    void viewWillMoveToWindow(const std::shared_ptr<Window>& newWindow) override;
    graphics::Size intrinsicContentSize() const override;

    // Field editor delegate.
    void textDidBeginEditing(Text& text) override;
    void textDidChange(Text& text) override;
    void textDidEndEditing(Text& text, TextMovement movement) override;

private:
    struct ExpansionToolTip;
    TextFieldDelegate* fieldDelegate() const;
    // Expansion tool tips (ToolTip.cpp).
    void scheduleExpansionToolTip();
    void showExpansionToolTip();
    void hideExpansionToolTip();
    std::shared_ptr<ExpansionToolTip> expansionToolTip_;
    bool allowsExpansionToolTips_ = false;
    std::weak_ptr<Object> delegate_;
    std::shared_ptr<Text> editor_;
    // Answers the cell accessors when someone installed a cell of another kind.
    mutable std::shared_ptr<TextFieldCell> fallbackCell_;
};

} // namespace ui
