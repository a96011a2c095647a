#include "core/Formatter.hpp"

#include "core/Log.hpp"

#include <algorithm>
#include <cmath>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/unum.h>

namespace core {

namespace {

icu::UnicodeString fromUTF8(std::string_view text) {
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

std::string toUTF8(const icu::UnicodeString& text) {
    std::string result;
    text.toUTF8String(result);
    return result;
}

bool isWhite(UChar32 c) {
    return u_isUWhiteSpace(c);
}

} // namespace

struct NumberFormatter::Engine {
    UNumberFormat* format = nullptr;
    ~Engine() {
        if (format) {
            unum_close(format);
        }
    }

    std::string textAttribute(UNumberFormatTextAttribute attribute) const {
        UChar buffer[64];
        UErrorCode status = U_ZERO_ERROR;
        const int32_t length = unum_getTextAttribute(format, attribute, buffer, 64, &status);
        if (U_FAILURE(status) || length > 64) {
            return {};
        }
        return toUTF8(icu::UnicodeString(buffer, length));
    }

    std::string symbol(UNumberFormatSymbol which) const {
        UChar buffer[16];
        UErrorCode status = U_ZERO_ERROR;
        const int32_t length = unum_getSymbol(format, which, buffer, 16, &status);
        if (U_FAILURE(status) || length > 16) {
            return {};
        }
        return toUTF8(icu::UnicodeString(buffer, length));
    }
};

NumberFormatter::NumberFormatter(std::string locale) : locale_(std::move(locale)) {}

NumberFormatter::~NumberFormatter() = default;

void NumberFormatter::invalidate() {
    engine_.reset();
}

void NumberFormatter::setLocale(std::string locale) {
    locale_ = std::move(locale);
    invalidate();
}

void NumberFormatter::setNumberStyle(Style style) {
    style_ = style;
    if (style == Style::decimal) {
        minimumFractionDigits_ = 0;
        maximumFractionDigits_ = 3;
        grouping_ = true;
    } else {
        minimumFractionDigits_ = 0;
        maximumFractionDigits_ = 0;
        grouping_ = false;
    }
    invalidate();
}

void NumberFormatter::setLenient(bool lenient) {
    lenient_ = lenient;
    invalidate();
}

void NumberFormatter::setMinimumFractionDigits(int digits) {
    minimumFractionDigits_ = std::max(digits, 0);
    maximumFractionDigits_ = std::max(maximumFractionDigits_, minimumFractionDigits_);
    invalidate();
}

void NumberFormatter::setMaximumFractionDigits(int digits) {
    maximumFractionDigits_ = std::max(digits, 0);
    minimumFractionDigits_ = std::min(minimumFractionDigits_, maximumFractionDigits_);
    invalidate();
}

void NumberFormatter::setUsesGroupingSeparator(bool uses) {
    grouping_ = uses;
    invalidate();
}

void NumberFormatter::setPositivePrefix(std::string text) {
    positivePrefix_ = std::move(text);
    invalidate();
}
void NumberFormatter::setPositiveSuffix(std::string text) {
    positiveSuffix_ = std::move(text);
    invalidate();
}
void NumberFormatter::setNegativePrefix(std::string text) {
    negativePrefix_ = std::move(text);
    invalidate();
}
void NumberFormatter::setNegativeSuffix(std::string text) {
    negativeSuffix_ = std::move(text);
    invalidate();
}

std::string NumberFormatter::positivePrefix() const {
    return positivePrefix_ ? *positivePrefix_ : engine().textAttribute(UNUM_POSITIVE_PREFIX);
}
std::string NumberFormatter::positiveSuffix() const {
    return positiveSuffix_ ? *positiveSuffix_ : engine().textAttribute(UNUM_POSITIVE_SUFFIX);
}
std::string NumberFormatter::negativePrefix() const {
    return negativePrefix_ ? *negativePrefix_ : engine().textAttribute(UNUM_NEGATIVE_PREFIX);
}
std::string NumberFormatter::negativeSuffix() const {
    return negativeSuffix_ ? *negativeSuffix_ : engine().textAttribute(UNUM_NEGATIVE_SUFFIX);
}

std::string NumberFormatter::decimalSeparator() const {
    return engine().symbol(UNUM_DECIMAL_SEPARATOR_SYMBOL);
}
std::string NumberFormatter::groupingSeparator() const {
    return engine().symbol(UNUM_GROUPING_SEPARATOR_SYMBOL);
}

NumberFormatter::Engine& NumberFormatter::engine() const {
    if (engine_) {
        return *engine_;
    }
    auto engine = std::make_unique<Engine>();
    UErrorCode status = U_ZERO_ERROR;
    engine->format =
        unum_open(UNUM_DECIMAL, nullptr, 0, locale_.empty() ? nullptr : locale_.c_str(), nullptr, &status);
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        engine->format = unum_open(UNUM_DECIMAL, nullptr, 0, "root", nullptr, &status);
        if (U_FAILURE(status)) {
            fatal(std::string("unable to create a number format: ") + u_errorName(status));
        }
    }
    unum_setAttribute(engine->format, UNUM_MIN_FRACTION_DIGITS, minimumFractionDigits_);
    unum_setAttribute(engine->format, UNUM_MAX_FRACTION_DIGITS, maximumFractionDigits_);
    unum_setAttribute(engine->format, UNUM_GROUPING_USED, grouping_ ? 1 : 0);
    unum_setAttribute(engine->format, UNUM_LENIENT_PARSE, lenient_ ? 1 : 0);
    unum_setAttribute(engine->format, UNUM_ROUNDING_MODE, UNUM_ROUND_HALFEVEN);
    const auto setText = [&](UNumberFormatTextAttribute attribute, const std::optional<std::string>& text) {
        if (text) {
            const auto value = fromUTF8(*text);
            UErrorCode error = U_ZERO_ERROR;
            unum_setTextAttribute(engine->format, attribute, value.getBuffer(), value.length(), &error);
        }
    };
    setText(UNUM_POSITIVE_PREFIX, positivePrefix_);
    setText(UNUM_POSITIVE_SUFFIX, positiveSuffix_);
    setText(UNUM_NEGATIVE_PREFIX, negativePrefix_);
    setText(UNUM_NEGATIVE_SUFFIX, negativeSuffix_);
    engine_ = std::move(engine);
    return *engine_;
}

std::optional<std::string> NumberFormatter::string(const FormatterValue& value) const {
    if (const auto* number = std::get_if<double>(&value)) {
        return string(*number);
    }
    return std::nullopt;
}

std::optional<std::string> NumberFormatter::string(double number) const {
    UChar buffer[256];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = unum_formatDouble(engine().format, number, buffer, 256, nullptr, &status);
    if (U_FAILURE(status) || length > 256) {
        return std::nullopt;
    }
    return toUTF8(icu::UnicodeString(buffer, length));
}

std::optional<double> NumberFormatter::number(std::string_view text) const {
    icu::UnicodeString input = fromUTF8(text);
    // Tolerate white space around the number, as people type it.
    int32_t start = 0, end = input.length();
    while (start < end && isWhite(input.char32At(start))) {
        start = input.moveIndex32(start, 1);
    }
    while (end > start && isWhite(input.char32At(input.moveIndex32(end, -1)))) {
        end = input.moveIndex32(end, -1);
    }
    if (start == end) {
        return std::nullopt;
    }
    input = icu::UnicodeString(input, start, end - start);
    int32_t position = 0;
    UErrorCode status = U_ZERO_ERROR;
    const double value =
        unum_parseDouble(engine().format, input.getBuffer(), input.length(), &position, &status);
    if (U_FAILURE(status) || position != input.length() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

bool NumberFormatter::getObjectValue(FormatterValue& value, std::string_view text, std::string* error) const {
    if (const auto number = this->number(text)) {
        value = *number;
        return true;
    }
    if (error) {
        *error = "The value \u201c" + std::string(text) + "\u201d is invalid.";
    }
    return false;
}

} // namespace core
