#pragma once

// Formatters for fields that edit the values of a calculation: names of constants shown behind a fixed
// sigil, and numbers that may also be expressions.

#include "core/Formatter.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace vimbra {

// Shows constant names with a leading sigil and accepts only names made of letters, marks and digits of
// any script and the characters "$_-.". The error message names fewer characters than are allowed; it is
// the message users have always seen.
class ConstantNameFormatter : public core::Formatter {
public:
    static constexpr const char* invalidCharactersMessage =
        "Constant names must only contain A-Z, a-z, 0-9 and the characters _ and $";

    ConstantNameFormatter() = default;

    std::string requiredPrefix = "$";

    // A text already starting with the sigil (exactly) as it is, any other text behind the sigil; no
    // text for other values.
    std::optional<std::string> string(const core::FormatterValue& value) const override;
    // The text after the first occurrence of the sigil, found ignoring case and diacritics (whatever
    // stands before it goes too); the text itself when it holds no sigil.
    std::optional<std::string> editingString(const core::FormatterValue& value) const override;
    // A valid name is its own value, sigil included.
    bool getObjectValue(core::FormatterValue& value, std::string_view text,
                        std::string* error) const override;
    bool isPartialStringValid(std::string_view partial, std::optional<std::string>* newString,
                              std::string* error) const override;

private:
    bool validate(std::string_view text, std::string* error) const;
};

// A lenient number formatter that lets any text that is not a number through unchanged, so a field can
// hold an expression that is evaluated elsewhere. Numbers are formatted and parsed as the number
// formatter does; a non-empty positive suffix is shown once and left out of the editing text.
class ExpressionFormatter : public core::NumberFormatter {
public:
    explicit ExpressionFormatter(std::string locale = {});

    // Whether text is a plain number: not empty, not starting with white space or NUL, and read whole by
    // the C library's decimal conversion in the C locale (exponents, hexadecimal forms, inf and nan
    // included; spaces, grouping and suffixes not).
    static bool isNumber(std::string_view text);

    using core::NumberFormatter::string;
    std::optional<std::string> string(const core::FormatterValue& value) const override;
    std::optional<std::string> editingString(const core::FormatterValue& value) const override;
    // Numbers go to the number formatter, with its verdict; any other text (empty included) is its own
    // value.
    bool getObjectValue(core::FormatterValue& value, std::string_view text,
                        std::string* error) const override;
};

} // namespace vimbra
