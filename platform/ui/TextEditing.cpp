#include "ui/TextEditing.hpp"

#include "core/Text.hpp"

#include <algorithm>
#include <cctype>
#include <limits>

namespace ui {

namespace {

bool isContinuation(const std::string& s, std::size_t i) {
    return i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80;
}

std::size_t onBoundary(const std::string& s, std::size_t i) {
    i = std::min(i, s.size());
    while (i > 0 && isContinuation(s, i)) {
        --i;
    }
    return i;
}

} // namespace

std::size_t previousCharacterBoundary(const std::string& s, std::size_t i) {
    if (i == 0) {
        return 0;
    }
    return onBoundary(s, std::min(i, s.size()) - 1);
}

std::size_t nextCharacterBoundary(const std::string& s, std::size_t i) {
    if (i >= s.size()) {
        return s.size();
    }
    ++i;
    while (isContinuation(s, i)) {
        ++i;
    }
    return i;
}

void TextEditingModel::setText(std::string text) {
    text_ = std::move(text);
    anchor_ = caret_ = text_.size();
}

std::pair<std::size_t, std::size_t> TextEditingModel::selectedRange() const {
    return std::minmax(anchor_, caret_);
}

void TextEditingModel::setSelection(std::size_t anchor, std::size_t caret) {
    anchor_ = onBoundary(text_, anchor);
    caret_ = onBoundary(text_, caret);
}

void TextEditingModel::insertText(const std::string& text) {
    // Well-formed UTF-8 only (each ill-formed sequence becomes U+FFFD), without control characters;
    // line breaks become spaces. Every control character is one ASCII byte in well-formed text.
    std::string line;
    for (const char c : core::validUTF8(text, std::numeric_limits<std::size_t>::max())) {
        if (c == '\n' || c == '\r') {
            line += ' ';
        } else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) {
            line += c;
        }
    }
    const auto [lo, hi] = selectedRange();
    lastReplacement_.start = lo;
    lastReplacement_.removed.assign(text_, lo, hi - lo);
    text_.replace(lo, hi - lo, line);
    anchor_ = caret_ = lo + line.size();
    lastReplacement_.inserted = std::move(line);
}

void TextEditingModel::replace(std::size_t start, std::size_t length, const std::string& text) {
    start = std::min(start, text_.size());
    length = std::min(length, text_.size() - start);
    text_.replace(start, length, text);
    anchor_ = caret_ = start + text.size();
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
    anchor_ = onBoundary(text_, anchor_);
    caret_ = onBoundary(text_, caret_);
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
