#include "core/Text.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

namespace core {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Checks the grammar ourselves: from_chars would also take "inf", "nan" and "infinity".
bool isPlainDecimal(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        std::size_t exponentDigits = 0;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            return false;
        }
    }
    return i == text.size();
}

std::string toUTF8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

icu::UnicodeString fromUTF8(std::string_view utf8) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
}

} // namespace

std::optional<double> parseDecimal(std::string_view text) {
    if (!isPlainDecimal(text)) {
        return std::nullopt;
    }
    // from_chars takes no leading '+'.
    if (text.front() == '+') {
        text.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<float> parseDecimalFloat(std::string_view text) {
    const auto value = parseDecimal(text);
    if (!value || std::abs(*value) > static_cast<double>(std::numeric_limits<float>::max())) {
        return std::nullopt;
    }
    return static_cast<float>(*value);
}

std::optional<std::int64_t> parseInteger(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        // "+-5" is not a number.
        if (!text.empty() && text.front() == '-') {
            return std::nullopt;
        }
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string formatFixed(double value, int fractionDigits) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-inf" : "inf";
    }
    fractionDigits = std::clamp(fractionDigits, 0, 1000);
    // Sign, up to 309 integer digits, the point and the fraction.
    std::string text(static_cast<std::size_t>(312 + fractionDigits), '\0');
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value,
                                            std::chars_format::fixed, fractionDigits);
    if (error != std::errc()) {
        return {};
    }
    text.resize(static_cast<std::size_t>(end - text.data()));
    return text;
}

std::string formatShortest(double value) {
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : std::string();
}

std::string formatShortest(float value) {
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : std::string();
}

std::string formatInteger(std::int64_t value) {
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : std::string();
}

std::string uppercased(std::string_view utf8) {
    return toUTF8(fromUTF8(utf8).toUpper(icu::Locale::getRoot()));
}

std::string lowercased(std::string_view utf8) {
    return toUTF8(fromUTF8(utf8).toLower(icu::Locale::getRoot()));
}

namespace {

icu::Locale localeNamed(std::string_view identifier) {
    return identifier.empty() ? icu::Locale::getDefault() : icu::Locale(std::string(identifier).c_str());
}

} // namespace

std::string localizedUppercased(std::string_view utf8, std::string_view locale) {
    return toUTF8(fromUTF8(utf8).toUpper(localeNamed(locale)));
}

std::string localizedLowercased(std::string_view utf8, std::string_view locale) {
    return toUTF8(fromUTF8(utf8).toLower(localeNamed(locale)));
}

std::string trimmingWhitespace(std::string_view utf8) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(utf8.data());
    const auto length = static_cast<int32_t>(utf8.size());
    int32_t start = 0;
    while (start < length) {
        int32_t next = start;
        UChar32 c;
        U8_NEXT(bytes, next, length, c);
        if (c < 0 || !u_isUWhiteSpace(c)) {
            break;
        }
        start = next;
    }
    int32_t end = length;
    while (end > start) {
        int32_t previous = end;
        UChar32 c;
        U8_PREV(bytes, start, previous, c);
        if (c < 0 || !u_isUWhiteSpace(c)) {
            break;
        }
        end = previous;
    }
    return std::string(utf8.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start)));
}

std::string validUTF8(std::string_view text, std::size_t maximumBytes) {
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    // Every character takes at least one byte, so what lies past this can never fit.
    const auto length = static_cast<int32_t>(
        std::min<std::size_t>(text.size(), std::min<std::size_t>(maximumBytes, INT32_MAX - 4) + 4));
    // Runs of well-formed characters are copied whole.
    std::string out;
    std::size_t kept = 0; // the bytes out holds and will hold for the run so far
    int32_t run = 0;      // where the present run of well-formed characters starts
    int32_t runEnd = 0;   // and where its last character ends
    for (int32_t at = 0; at < length;) {
        const int32_t start = at;
        UChar32 c;
        U8_NEXT(bytes, at, length, c);
        const std::size_t size = c < 0 ? kReplacement.size() : static_cast<std::size_t>(at - start);
        if (kept + size > maximumBytes) {
            break;
        }
        kept += size;
        if (c < 0) {
            out.append(text.substr(static_cast<std::size_t>(run), static_cast<std::size_t>(start - run)));
            out += kReplacement;
            run = at;
        }
        runEnd = at;
    }
    out.append(text.substr(static_cast<std::size_t>(run), static_cast<std::size_t>(runEnd - run)));
    return out;
}

namespace {

// The length of the well-formed UTF-8 sequence that starts at byte offset i, 0 when none does: the lead
// byte bounds the second byte (no overlong forms, surrogates or code points past U+10FFFF), and every
// further byte is 80..BF.
std::size_t wellFormedLength(std::string_view s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (s.size() - i < length || byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

} // namespace

std::size_t characterStart(std::string_view s, std::size_t i) {
    i = std::min(i, s.size());
    // Only a continuation byte can lie inside a character, and only one whose lead is at most three
    // bytes before it.
    if (i == s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
        return i;
    }
    for (std::size_t back = 1; back <= 3 && back <= i; ++back) {
        if (wellFormedLength(s, i - back) > back) {
            return i - back;
        }
    }
    return i;
}

std::size_t previousCharacterBoundary(std::string_view s, std::size_t i) {
    if (i == 0) {
        return 0;
    }
    return characterStart(s, std::min(i, s.size()) - 1);
}

std::size_t nextCharacterBoundary(std::string_view s, std::size_t i) {
    if (i >= s.size()) {
        return s.size();
    }
    const std::size_t start = characterStart(s, i);
    return start + std::max<std::size_t>(wellFormedLength(s, start), 1);
}

} // namespace core
