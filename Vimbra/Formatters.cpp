#include "Vimbra/Formatters.hpp"

#include "core/Unicode.hpp"

#include <cerrno>
#include <locale.h>
#include <stdlib.h>

namespace vimbra {

namespace {

const std::string* stringValue(const core::FormatterValue& value) {
    return std::get_if<std::string>(&value);
}

// Characters outside letters, marks, digits and "$_-.".
const core::CharacterSet& invalidNameCharacters() {
    static const core::CharacterSet set =
        core::CharacterSet::alphanumerics().unioned(core::CharacterSet::characters("$_-.")).inverted();
    return set;
}

locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

} // namespace

std::optional<std::string> ConstantNameFormatter::string(const core::FormatterValue& value) const {
    const auto* text = stringValue(value);
    if (!text) {
        return std::nullopt;
    }
    if (text->starts_with(requiredPrefix)) {
        return *text;
    }
    return requiredPrefix + *text;
}

std::optional<std::string> ConstantNameFormatter::editingString(const core::FormatterValue& value) const {
    const auto* text = stringValue(value);
    if (!text) {
        return std::nullopt;
    }
    if (auto range = core::localizedStandardRange(*text, requiredPrefix)) {
        return text->substr(range->location + range->length);
    }
    return *text;
}

bool ConstantNameFormatter::validate(std::string_view text, std::string* error) const {
    if (!invalidNameCharacters().firstIndex(text)) {
        return true;
    }
    if (error) {
        // The message has no placeholder: formatting it with the sigil leaves it as it is.
        *error = invalidCharactersMessage;
    }
    return false;
}

bool ConstantNameFormatter::getObjectValue(core::FormatterValue& value, std::string_view text,
                                           std::string* error) const {
    if (!validate(text, error)) {
        return false;
    }
    value = std::string(text);
    return true;
}

bool ConstantNameFormatter::isPartialStringValid(std::string_view partial,
                                                 std::optional<std::string>* newString,
                                                 std::string* error) const {
    if (!validate(partial, error)) {
        return false;
    }
    if (newString) {
        *newString = std::string(partial);
    }
    return true;
}

ExpressionFormatter::ExpressionFormatter(std::string locale) : core::NumberFormatter(std::move(locale)) {
    setFormatterBehavior(Behavior::standard);
    setLenient(true);
}

bool ExpressionFormatter::isNumber(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    const auto first = static_cast<unsigned char>(text.front());
    if (first == 0 || (first >= 9 && first <= 13) || first == 32) {
        return false;
    }
    const std::string copy(text); // NUL-terminated; an embedded NUL stops the conversion short
    char* end = nullptr;
    errno = 0;
    (void)strtod_l(copy.c_str(), &end, cLocale());
    return end == copy.c_str() + copy.size();
}

std::optional<std::string> ExpressionFormatter::string(const core::FormatterValue& value) const {
    const auto* text = stringValue(value);
    if (text && !isNumber(*text)) {
        return *text;
    }
    auto result = core::NumberFormatter::string(value);
    if (!result) {
        if (!text) {
            return std::nullopt;
        }
        result = *text;
    }
    const auto suffix = positiveSuffix();
    if (formatterBehavior() != Behavior::legacy && !result->empty() && !suffix.empty() &&
        !endsWith(*result, suffix)) {
        *result += suffix;
    }
    return result;
}

std::optional<std::string> ExpressionFormatter::editingString(const core::FormatterValue& value) const {
    const auto* text = stringValue(value);
    if (text && (text->empty() || !isNumber(*text))) {
        return *text;
    }
    auto result = core::NumberFormatter::editingString(value);
    const auto suffix = positiveSuffix();
    if (formatterBehavior() != Behavior::legacy && result && !suffix.empty()) {
        if (auto range = core::localizedStandardRange(*result, suffix)) {
            result->resize(range->location);
        }
    }
    return result;
}

bool ExpressionFormatter::getObjectValue(core::FormatterValue& value, std::string_view text,
                                         std::string* error) const {
    if (isNumber(text)) {
        return core::NumberFormatter::getObjectValue(value, text, error);
    }
    value = std::string(text);
    return true;
}

} // namespace vimbra
