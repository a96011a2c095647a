// Unicode character sets and locale-aware text search (ICU).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace core {

// An immutable set of Unicode code points. Copies share their storage.
class CharacterSet {
public:
    // Letters, marks and numbers (general categories L*, M*, N*).
    static CharacterSet alphanumerics();
    static CharacterSet letters();
    static CharacterSet decimalDigits();
    static CharacterSet whitespaces();
    static CharacterSet whitespacesAndNewlines();
    static CharacterSet punctuationCharacters();
    // Exactly the characters of the UTF-8 text.
    static CharacterSet characters(std::string_view utf8);

    CharacterSet unioned(const CharacterSet& other) const;
    CharacterSet inverted() const;

    bool contains(char32_t codePoint) const;
    // Whether every character of the text is in the set (true for empty text).
    bool containsAll(std::string_view utf8) const;
    // The byte offset of the first character of the text that is in the set.
    std::optional<std::size_t> firstIndex(std::string_view utf8) const;

private:
    struct Storage;
    explicit CharacterSet(std::shared_ptr<const Storage> storage);
    std::shared_ptr<const Storage> storage_;
};

// A match as byte offsets into the searched UTF-8 text.
struct TextRange {
    std::size_t location;
    std::size_t length;
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

// The first occurrence of needle in text, ignoring case and diacritics and honouring the locale's
// collation ("Strasse" finds "straße", "cafe" finds "CAFÉ"). The locale is an ICU/POSIX identifier;
// empty means the process default (the root collation when that is the POSIX locale). Empty needles
// match nothing.
std::optional<TextRange> localizedStandardRange(std::string_view text, std::string_view needle,
                                                std::string_view locale = {});
bool localizedStandardContains(std::string_view text, std::string_view needle, std::string_view locale = {});

} // namespace core
