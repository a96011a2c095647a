#pragma once

// The editing model of a single line of text: a UTF-8 string (stored text may be ill-formed) with a
// selection (anchor and caret as byte offsets on character boundaries) and the keyboard commands of a
// text field. The field editor and the declarative text field both edit through it.

#include "core/Text.hpp"
#include "ui/Event.hpp"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace ui {

// What a key did to the model.
enum class TextKeyResult {
    ignored, // not an editing key: the caller passes it on
    moved,   // the selection changed, the text did not
    edited,  // the text changed
    submit,  // Return or Enter
    tab,     // Tab
    backTab, // Shift-Tab
};

// Clipboard access for cut, copy and paste; any function may be empty.
struct TextClipboardAccess {
    // The text at hand, at once.
    std::function<std::optional<std::string>()> read;
    std::function<void(const std::string&)> write;
    // Asks for the text, which comes to the handler when the clipboard has it (nullopt: none). A text
    // view with this pastes through it rather than read, so a slow clipboard never holds up typing.
    std::function<void(std::function<void(std::optional<std::string>)>)> request = {};
};

class TextEditingModel {
public:
    TextEditingModel() = default;
    // The caret starts after the text, as after setText.
    explicit TextEditingModel(std::string text)
        : text_(std::move(text)), anchor_(text_.size()), caret_(text_.size()) {}

    const std::string& text() const { return text_; }
    // Replaces the text; the caret goes to the end.
    void setText(std::string text);
    std::size_t anchor() const { return anchor_; }
    std::size_t caret() const { return caret_; }
    // The selection as (start, end), start <= end.
    std::pair<std::size_t, std::size_t> selectedRange() const;
    // Sets the selection, clamped to the text and moved onto character boundaries.
    void setSelection(std::size_t anchor, std::size_t caret);
    void selectAll() { setSelection(0, text_.size()); }

    // Replaces the selection with text, kept as well-formed UTF-8 (U+FFFD for each ill-formed sequence)
    // without control characters; line breaks and U+2028, U+2029 and U+0085 become spaces (one line only).
    void insertText(const std::string& text);
    void deleteBackward();
    void deleteForward();

    // What the last edit did (every edit goes through insertText): at start, removed gave way to
    // inserted. An editor keeps these for undo instead of copies of the whole text.
    struct Replacement {
        std::size_t start = 0;
        std::string removed;
        std::string inserted;
    };
    const Replacement& lastReplacement() const { return lastReplacement_; }
    // Replaces length bytes at start with text as it is (undo puts back what was there); the caret goes
    // after it (to the start of a character the text joined into with the bytes after it).
    void replace(std::size_t start, std::size_t length, const std::string& text);

    // One key press: arrows (Shift extends), Home/End, Backspace/Delete, Command- or Control-A/C/X/V,
    // printable characters; Return, Enter, Tab and Shift-Tab are reported for the caller to act on.
    TextKeyResult handleKey(const std::string& characters, std::optional<char32_t> specialKey,
                            ModifierFlags modifiers, const TextClipboardAccess& clipboard = {});

private:
    std::string text_;
    std::size_t anchor_ = 0;
    std::size_t caret_ = 0;
    Replacement lastReplacement_;
};

// Character boundaries in UTF-8 that may be ill-formed, as the whole system takes them.
using core::characterStart;
using core::nextCharacterBoundary;
using core::previousCharacterBoundary;

} // namespace ui
