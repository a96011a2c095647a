#include "ui/TextEditing.hpp"

#include "core/Text.hpp"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <string_view>

namespace ui {

void TextEditingModel::setText(std::string text) {
    text_ = std::move(text);
    anchor_ = caret_ = text_.size();
}

std::pair<std::size_t, std::size_t> TextEditingModel::selectedRange() const {
    return std::minmax(anchor_, caret_);
}

void TextEditingModel::setSelection(std::size_t anchor, std::size_t caret) {
    anchor_ = characterStart(text_, anchor);
    caret_ = characterStart(text_, caret);
}

void TextEditingModel::insertText(const std::string& text) {
    // Well-formed UTF-8 only (each ill-formed sequence becomes U+FFFD), without control characters;
    // line breaks and the line, paragraph and next-line separators become spaces. Every control character
    // is one ASCII byte in well-formed text.
    std::string line = core::validUTF8(text, std::numeric_limits<std::size_t>::max());
    // What stays moves up over what goes, in place.
    std::size_t kept = 0;
    std::size_t run = 0;
    for (std::size_t i = 0; i < line.size();) {
        const auto c = static_cast<unsigned char>(line[i]);
        const std::string_view at = std::string_view(line).substr(i, 3);
        std::size_t length = 0; // of a control character or separator
        bool space = false;
        if (c < 0x20 || c == 0x7f) {
            length = 1;
            space = c == '\n' || c == '\r';
        } else if ((c == 0xC2 && at.starts_with("\u0085")) ||
                   (c == 0xE2 && (at == "\u2028" || at == "\u2029"))) {
            length = c == 0xC2 ? 2 : 3;
            space = true;
        } else {
            ++i;
            continue;
        }
        std::memmove(line.data() + kept, line.data() + run, i - run);
        kept += i - run;
        if (space) {
            line[kept++] = ' ';
        }
        i += length;
        run = i;
    }
    std::memmove(line.data() + kept, line.data() + run, line.size() - run);
    line.resize(kept + line.size() - run);
    const auto [lo, hi] = selectedRange();
    lastReplacement_.start = lo;
    lastReplacement_.removed.assign(text_, lo, hi - lo);
    // Room to type on after a large insertion, so the next key does not copy the whole text again.
    const std::size_t size = text_.size() - (hi - lo) + line.size();
    if (size > text_.capacity()) {
        text_.reserve(size + size / 2);
    }
    text_.replace(lo, hi - lo, line);
    // Ill-formed bytes on both sides of a deletion may join into a character: the caret goes to its start.
    anchor_ = caret_ = characterStart(text_, lo + line.size());
    lastReplacement_.inserted = std::move(line);
}

void TextEditingModel::replace(std::size_t start, std::size_t length, const std::string& text) {
    start = std::min(start, text_.size());
    length = std::min(length, text_.size() - start);
    text_.replace(start, length, text);
    anchor_ = caret_ = characterStart(text_, start + text.size());
}

void TextEditingModel::deleteBackward() {
    if (anchor_ == caret_) {
        anchor_ = previousCharacterBoundary(text_, caret_);
    }
    insertText("");
}

void TextEditingModel::deleteForward() {
    if (anchor_ == caret_) {
        anchor_ = nextCharacterBoundary(text_, caret_);
    }
    insertText("");
}

TextKeyResult TextEditingModel::handleKey(const std::string& characters, std::optional<char32_t> specialKey,
                                          ModifierFlags modifiers, const TextClipboardAccess& clipboard) {
    anchor_ = characterStart(text_, anchor_);
    caret_ = characterStart(text_, caret_);
    const bool shift = modifiers & Modifier::shift;
    const bool command = modifiers & (Modifier::control | Modifier::command);
    const auto [lo, hi] = selectedRange();
    auto moveTo = [&](std::size_t position) {
        caret_ = position;
        if (!shift) {
            anchor_ = position;
        }
        return TextKeyResult::moved;
    };
    if (specialKey) {
        switch (*specialKey) {
        case SpecialKey::leftArrow:
            return moveTo(!shift && lo != hi ? lo : previousCharacterBoundary(text_, caret_));
        case SpecialKey::rightArrow:
            return moveTo(!shift && lo != hi ? hi : nextCharacterBoundary(text_, caret_));
        case SpecialKey::home:
        case SpecialKey::upArrow:
            return moveTo(0);
        case SpecialKey::end:
        case SpecialKey::downArrow:
            return moveTo(text_.size());
        case SpecialKey::deleteCharacter:
        case SpecialKey::backspace:
            deleteBackward();
            return TextKeyResult::edited;
        case SpecialKey::deleteForward:
            deleteForward();
            return TextKeyResult::edited;
        case SpecialKey::carriageReturn:
        case SpecialKey::enter:
        case SpecialKey::newline:
            return TextKeyResult::submit;
        case SpecialKey::tab:
            return shift ? TextKeyResult::backTab : TextKeyResult::tab;
        case SpecialKey::backTab:
            return TextKeyResult::backTab;
        default:
            return TextKeyResult::ignored;
        }
    }
    if (command) {
        char key = characters.empty()
                       ? '\0'
                       : static_cast<char>(std::tolower(static_cast<unsigned char>(characters[0])));
        if (key >= 1 && key <= 26) {
            key = static_cast<char>('a' + key - 1); // a control character stands for its letter
        }
        if (key == 'a') {
            selectAll();
            return TextKeyResult::moved;
        }
        if ((key == 'c' || key == 'x') && clipboard.write && lo != hi) {
            clipboard.write(text_.substr(lo, hi - lo));
            if (key == 'x') {
                insertText("");
                return TextKeyResult::edited;
            }
            return TextKeyResult::moved;
        }
        if (key == 'v' && clipboard.read) {
            insertText(clipboard.read().value_or(""));
            return TextKeyResult::edited;
        }
        return TextKeyResult::ignored;
    }
    if (characters.empty() || static_cast<unsigned char>(characters[0]) < 0x20 || characters[0] == 0x7f) {
        return TextKeyResult::ignored;
    }
    insertText(characters);
    return TextKeyResult::edited;
}

} // namespace ui
