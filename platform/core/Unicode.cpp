#include "core/Unicode.hpp"

#include <string>
#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/uniset.h>
#include <unicode/unistr.h>
#include <unicode/usearch.h>
#include <unicode/utf8.h>
#include <vector>

namespace core {

namespace {

icu::UnicodeString fromUTF8(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

icu::UnicodeSet pattern(const char16_t* text) {
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeSet set(icu::UnicodeString(text), status);
    return U_SUCCESS(status) ? set : icu::UnicodeSet();
}

// Walks UTF-8 text one code point at a time; malformed bytes read as U+FFFD, one byte each.
template <class Visit> void forEachCodePoint(std::string_view text, Visit visit) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    for (int32_t offset = 0; offset < length;) {
        const int32_t start = offset;
        UChar32 c;
        U8_NEXT(bytes, offset, length, c);
        if (!visit(start, c < 0 ? 0xFFFD : c)) {
            return;
        }
    }
}

} // namespace

// Frozen, so that any number of threads may read it at once.
struct CharacterSet::Storage {
    explicit Storage(const icu::UnicodeSet& source) : set(source) { set.freeze(); }
    icu::UnicodeSet set;

    std::unique_ptr<icu::UnicodeSet> thawed() const {
        return std::unique_ptr<icu::UnicodeSet>(set.cloneAsThawed());
    }
};

CharacterSet::CharacterSet(std::shared_ptr<const Storage> storage) : storage_(std::move(storage)) {}

CharacterSet CharacterSet::alphanumerics() {
    static const CharacterSet set(std::make_shared<const Storage>(pattern(u"[[:L:][:M:][:N:]]")));
    return set;
}
CharacterSet CharacterSet::letters() {
    static const CharacterSet set(std::make_shared<const Storage>(pattern(u"[[:L:][:M:]]")));
    return set;
}
CharacterSet CharacterSet::decimalDigits() {
    static const CharacterSet set(std::make_shared<const Storage>(pattern(u"[:Nd:]")));
    return set;
}
CharacterSet CharacterSet::whitespaces() {
    static const CharacterSet set(std::make_shared<const Storage>(pattern(u"[[:Zs:]\\u0009]")));
    return set;
}
CharacterSet CharacterSet::whitespacesAndNewlines() {
    static const CharacterSet set(std::make_shared<const Storage>(pattern(u"[[:Z:]\\u0009-\\u000D\\u0085]")));
    return set;
}
CharacterSet CharacterSet::punctuationCharacters() {
    static const CharacterSet set(std::make_shared<const Storage>(pattern(u"[:P:]")));
    return set;
}

CharacterSet CharacterSet::characters(std::string_view utf8) {
    icu::UnicodeSet set;
    forEachCodePoint(utf8, [&](int32_t, UChar32 c) {
        set.add(c);
        return true;
    });
    return CharacterSet(std::make_shared<const Storage>(set));
}

CharacterSet CharacterSet::unioned(const CharacterSet& other) const {
    const auto set = storage_->thawed();
    set->addAll(other.storage_->set);
    return CharacterSet(std::make_shared<const Storage>(*set));
}

CharacterSet CharacterSet::inverted() const {
    const auto set = storage_->thawed();
    set->complement();
    return CharacterSet(std::make_shared<const Storage>(*set));
}

bool CharacterSet::contains(char32_t codePoint) const {
    return storage_->set.contains(static_cast<UChar32>(codePoint));
}

bool CharacterSet::containsAll(std::string_view utf8) const {
    return !inverted().firstIndex(utf8).has_value();
}

std::optional<std::size_t> CharacterSet::firstIndex(std::string_view utf8) const {
    std::optional<std::size_t> found;
    forEachCodePoint(utf8, [&](int32_t offset, UChar32 c) {
        if (storage_->set.contains(c)) {
            found = static_cast<std::size_t>(offset);
            return false;
        }
        return true;
    });
    return found;
}

std::optional<TextRange> localizedStandardRange(std::string_view text, std::string_view needle,
                                                std::string_view locale) {
    if (needle.empty() || text.empty()) {
        return std::nullopt;
    }
    // UTF-16 for ICU, remembering where each UTF-16 unit came from in the UTF-8 text.
    icu::UnicodeString haystack;
    std::vector<std::size_t> byteOffset;
    forEachCodePoint(text, [&](int32_t offset, UChar32 c) {
        haystack.append(c);
        byteOffset.resize(static_cast<std::size_t>(haystack.length()), static_cast<std::size_t>(offset));
        return true;
    });
    byteOffset.push_back(text.size());
    const icu::UnicodeString pattern = fromUTF8(needle);

    // The POSIX locale (what ICU makes of LANG=C) collates ASCII in code-point order, case first, so it
    // would defeat the search: use the root collation instead.
    std::string localeName(locale.empty() ? std::string_view(uloc_getDefault()) : locale);
    if (localeName.find("POSIX") != std::string::npos || localeName == "C" || localeName == "c") {
        localeName = "root";
    }
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open(localeName.c_str(), &status);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    // Primary strength: base letters only, so case and diacritics do not count.
    ucol_setStrength(collator, UCOL_PRIMARY);
    UStringSearch* search =
        usearch_openFromCollator(pattern.getBuffer(), pattern.length(), haystack.getBuffer(),
                                 haystack.length(), collator, nullptr, &status);
    std::optional<TextRange> result;
    if (U_SUCCESS(status)) {
        // Matches must cover whole characters: "e" does not match inside a decomposed "é".
        usearch_setAttribute(search, USEARCH_ELEMENT_COMPARISON, USEARCH_STANDARD_ELEMENT_COMPARISON,
                             &status);
        const int32_t start = usearch_first(search, &status);
        if (U_SUCCESS(status) && start != USEARCH_DONE) {
            const int32_t length = usearch_getMatchedLength(search);
            const std::size_t from = byteOffset[static_cast<std::size_t>(start)];
            const std::size_t to = byteOffset[static_cast<std::size_t>(start + length)];
            result = TextRange{from, to - from};
        }
        usearch_close(search);
    }
    ucol_close(collator);
    return result;
}

bool localizedStandardContains(std::string_view text, std::string_view needle, std::string_view locale) {
    return localizedStandardRange(text, needle, locale).has_value();
}

} // namespace core
