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

} // namespace core
