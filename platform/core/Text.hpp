#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace core {

// Number text that never depends on the process locale ('.' as the decimal point, ASCII digits).

// A plain decimal number: an optional sign, digits with an optional '.', an optional exponent.
// Rejects empty text, white space anywhere, "nan", "inf", hexadecimal and values out of range.
std::optional<double> parseDecimal(std::string_view text);
std::optional<float> parseDecimalFloat(std::string_view text);

// An optional '+' or '-' followed by decimal digits only, within the 64-bit range.
std::optional<std::int64_t> parseInteger(std::string_view text);

// Fixed notation with the given number of fraction digits, rounded ("%.*f" in the C locale).
std::string formatFixed(double value, int fractionDigits);
// The shortest text that reads back as the same value.
std::string formatShortest(double value);
std::string formatShortest(float value);
std::string formatInteger(std::int64_t value);

// Unicode case mapping of UTF-8 text, independent of any locale ("straße" -> "STRASSE").
std::string uppercased(std::string_view utf8);
std::string lowercased(std::string_view utf8);
// The same by the rules of a locale (an ICU/POSIX identifier such as "tr_TR"); empty means the user's
// current locale. Turkish maps "i" to "İ" and "I" to "ı".
std::string localizedUppercased(std::string_view utf8, std::string_view locale = {});
std::string localizedLowercased(std::string_view utf8, std::string_view locale = {});

// Removes Unicode white space and line breaks from both ends of UTF-8 text.
std::string trimmingWhitespace(std::string_view utf8);

// The text as well-formed UTF-8 of at most maximumBytes: each ill-formed sequence becomes U+FFFD, and the
// text ends before the first character that would not fit whole.
std::string validUTF8(std::string_view text, std::size_t maximumBytes);

// Character boundaries in UTF-8 that may be ill-formed: a well-formed sequence is one character, and
// every byte that is not part of one (a stray continuation byte, a truncated or overlong sequence, a
// surrogate, a byte that never occurs in UTF-8) is a character of its own, as Pango draws it.
// The byte offsets of the neighbouring boundaries, and the start of the character that holds byte offset
// i (i itself when it is a boundary; the end for offsets past it).
std::size_t previousCharacterBoundary(std::string_view s, std::size_t i);
std::size_t nextCharacterBoundary(std::string_view s, std::size_t i);
std::size_t characterStart(std::string_view s, std::size_t i);

} // namespace core
