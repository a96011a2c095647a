#pragma once

// Text: a view that shows and edits one line of text. A window's field editor is one of these: the
// text field that has keyboard focus puts it over itself, and while the user types the field editor,
// not the field, is the window's first responder.

#include "graphics/Color.hpp"
#include "graphics/Font.hpp"
#include "ui/TextEditing.hpp"
#include "ui/View.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace ui {

class Text;

// How editing ended (AppKit's raw values).
enum class TextMovement { other = 0, returnKey = 0x10, tab = 0x11, backtab = 0x12, cancel = 0x17 };

// What a text object tells its delegate (a field editor's delegate is the field being edited).
class TextDelegate {
public:
    virtual ~TextDelegate() = default;
    virtual void textDidBeginEditing(Text& text) { (void)text; }
    virtual void textDidChange(Text& text) { (void)text; }
    // Offered every key press before the text acts on it; true when the delegate handled it (a combo
    // box moves through its list with the arrows, for one).
    virtual bool textShouldHandleKey(Text& text, const Event& event) {
        (void)text;
        (void)event;
        return false;
    }
    // Asked before editing ends; false keeps the text object first responder.
    virtual bool textShouldEndEditing(Text& text) {
        (void)text;
        return true;
    }
    virtual void textDidEndEditing(Text& text, TextMovement movement) {
        (void)text;
        (void)movement;
    }
};

// The colours of selected text.
struct SelectedTextAttributes {
    graphics::ColorRef foregroundColor;
    graphics::ColorRef backgroundColor;
};

class Text : public View {
public:
    explicit Text(const graphics::Rect& frame = {});

    const std::string& string() const { return model_.text(); }
    // Replaces the text (the caret goes to the end); the delegate hears no change.
    void setString(const std::string& text);
    std::pair<std::size_t, std::size_t> selectedRange() const { return model_.selectedRange(); }
    void setSelectedRange(std::size_t start, std::size_t length);
    void selectAll(const std::shared_ptr<Object>& sender = nullptr);
    // Typing: replaces the selection and tells the delegate.
    void insertText(const std::string& text);
    void deleteBackward();
    const TextEditingModel& model() const { return model_; }

    bool isFieldEditor() const { return fieldEditor_; }
    void setFieldEditor(bool flag) { fieldEditor_ = flag; }
    bool isEditable() const { return editable_; }
    void setEditable(bool flag) { editable_ = flag; }
    bool isSelectable() const { return selectable_ || editable_; }
    void setSelectable(bool flag) { selectable_ = flag; }

    // The delegate (held weakly); it hears from the text when it is a TextDelegate.
    std::shared_ptr<Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<Object>& delegate) { delegate_ = delegate; }

    graphics::FontRef font() const { return font_; }
    void setFont(graphics::FontRef font);
    graphics::ColorRef textColor() const { return textColor_; }
    void setTextColor(graphics::ColorRef color);
    graphics::ColorRef backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(graphics::ColorRef color);
    bool drawsBackground() const { return drawsBackground_; }
    void setDrawsBackground(bool flag);
    graphics::ColorRef insertionPointColor() const { return insertionPointColor_; }
    void setInsertionPointColor(graphics::ColorRef color) { insertionPointColor_ = std::move(color); }
    const SelectedTextAttributes& selectedTextAttributes() const { return selectedTextAttributes_; }
    void setSelectedTextAttributes(SelectedTextAttributes attributes) {
        selectedTextAttributes_ = std::move(attributes);
    }
    graphics::TextAlignment alignment() const { return alignment_; }
    void setAlignment(graphics::TextAlignment alignment) { alignment_ = alignment; }

    // Clipboard access for cut, copy and paste (none by default).
    void setClipboardAccess(TextClipboardAccess access) { clipboard_ = std::move(access); }
    const TextClipboardAccess& clipboardAccess() const { return clipboard_; }

    // The x of the caret before byte offset index, in view coordinates (for tests and drawing).
    double caretOffset(std::size_t index) const;
    // The byte offset nearest to x (view coordinates).
    std::size_t characterIndexForX(double x) const;

    // Undo and redo of edits (Control-Z, Control-Shift-Z; Command too): a run of typed characters counts
    // as one edit. Replacing the whole text with setString forgets the history. Both tell the delegate
    // of the change; false when there was nothing to undo or redo.
    bool undo();
    bool redo();
    bool canUndo() const { return !undoStack_.empty(); }
    bool canRedo() const { return !redoStack_.empty(); }

    // The field editor ends its session without the delegate's say (the field left its window).
    void abandonEditing();

    bool isFlipped() const override { return true; }
    bool acceptsFirstResponder() const override { return isSelectable(); }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    void keyDown(const Event& event) override;
    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void draw(const graphics::Rect& dirtyRect) override;
    void viewWillMoveToWindow(const std::shared_ptr<Window>& newWindow) override;

private:
    class LineLayout;
    // The layout of the present text: brought up to date when the text changed, made again for a new font,
    // laid out around the caret. A long text not measured whole is measured on in later run-loop turns.
    const LineLayout& lineLayout() const;
    void measureLater() const;
    // One such turn: measures on for a while, keeping the caret where it is in the view.
    void measureStep();
    TextDelegate* textDelegate() const;
    graphics::AttributedString attributedString(const std::string& text) const;
    double textOriginX() const;
    void didEdit();
    void scrollCaretIntoView();
    // Control-V with a clipboard that answers later: the text goes in when it arrives, if this text is
    // still the first responder of its open window in the same session, and no later paste was asked.
    void requestPaste();
    // Ends a field editor's session with a movement: the window moves focus, which makes this text
    // give up first responder and report the movement.
    void endEditing(TextMovement movement);

    // Keeps the model's last edit for undo, with the selection before it; typing onto the end of typing
    // joins the last entry.
    void recordEdit(std::size_t anchor, std::size_t caret, bool typing);
    // Whether the key is a Control or Command combination for letter (X gives control characters).
    static bool isCommandKey(const Event& event, char letter);

    // An edit as undo and redo replay it: at start, removed gave way to inserted; anchor and caret are
    // the selection before it.
    struct Edit {
        std::size_t start;
        std::string removed;
        std::string inserted;
        std::size_t anchor;
        std::size_t caret;
    };

    TextEditingModel model_;
    std::vector<Edit> undoStack_;
    std::vector<Edit> redoStack_;
    bool typingRun_ = false;
    std::weak_ptr<Object> delegate_;
    bool fieldEditor_ = false;
    bool editable_ = true;
    bool selectable_ = true;
    bool beganEditing_ = false;
    bool ending_ = false;
    TextMovement movement_ = TextMovement::other;
    graphics::FontRef font_;
    graphics::ColorRef textColor_;
    graphics::ColorRef backgroundColor_;
    graphics::ColorRef insertionPointColor_;
    bool drawsBackground_ = false;
    SelectedTextAttributes selectedTextAttributes_;
    graphics::TextAlignment alignment_ = graphics::TextAlignment::natural;
    TextClipboardAccess clipboard_;
    // Grows with every paste asked for and every new editing session; a paste lands only while it holds.
    std::uint64_t pasteRequest_ = 0;
    double scrollX_ = 0; // keeps the caret visible in a line longer than the view
    mutable std::shared_ptr<LineLayout> layout_;
    // Counts changes of the text, so the layout is compared with the text only after one.
    std::uint64_t textRevision_ = 0;
    mutable std::uint64_t layoutRevision_ = 0;
    mutable bool measuring_ = false; // a measuring step is queued
    // Widths of the pieces of long lines by their content, in the present font (up to a bound).
    mutable std::unordered_map<std::string, double> pieceWidths_;
};

} // namespace ui
