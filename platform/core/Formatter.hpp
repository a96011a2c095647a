// The formatter protocol between controls and values, and a locale-aware number formatter (ICU).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace core {

// What a formatter converts to and from: nothing, a number or text.
using FormatterValue = std::variant<std::monostate, double, std::string>;

// Converts values to text for display and editing and back, and vets text while it is typed.
class Formatter {
public:
    virtual ~Formatter() = default;

    // The text shown for a value; absent when the formatter cannot show it.
    virtual std::optional<std::string> string(const FormatterValue& value) const = 0;
    // The text to edit; the display text unless a formatter says otherwise.
    virtual std::optional<std::string> editingString(const FormatterValue& value) const {
        return string(value);
    }
    // Reads text back into value. On failure returns false and, when error is given, describes why.
    virtual bool getObjectValue(FormatterValue& value, std::string_view text, std::string* error) const = 0;
    // Whether a partly typed text may stand; a formatter may propose a replacement in newString.
    virtual bool isPartialStringValid(std::string_view partial, std::optional<std::string>* newString,
                                      std::string* error) const {
        (void)partial;
        (void)newString;
        (void)error;
        return true;
    }
};

// Numbers in a locale's conventions. Not thread-safe: use one formatter from one thread at a time.
class NumberFormatter : public Formatter {
public:
    enum class Style { none = 0, decimal = 1 };
    enum class Behavior { standard = 0, legacy = 1000, modern = 1040 };

    // The locale is an ICU/POSIX identifier ("en_US", "de_DE"); empty means the process default.
    explicit NumberFormatter(std::string locale = {});
    ~NumberFormatter() override;
    NumberFormatter(const NumberFormatter&) = delete;
    NumberFormatter& operator=(const NumberFormatter&) = delete;

    const std::string& locale() const { return locale_; }
    void setLocale(std::string locale);

    Behavior formatterBehavior() const { return behavior_; }
    void setFormatterBehavior(Behavior behavior) { behavior_ = behavior; }

    // None shows whole numbers without grouping; decimal shows up to three fraction digits, grouped.
    Style numberStyle() const { return style_; }
    void setNumberStyle(Style style);

    bool isLenient() const { return lenient_; }
    void setLenient(bool lenient);

    int minimumFractionDigits() const { return minimumFractionDigits_; }
    void setMinimumFractionDigits(int digits);
    int maximumFractionDigits() const { return maximumFractionDigits_; }
    void setMaximumFractionDigits(int digits);

    bool usesGroupingSeparator() const { return grouping_; }
    void setUsesGroupingSeparator(bool uses);

    std::string positivePrefix() const;
    std::string positiveSuffix() const;
    std::string negativePrefix() const;
    std::string negativeSuffix() const;
    void setPositivePrefix(std::string text);
    void setPositiveSuffix(std::string text);
    void setNegativePrefix(std::string text);
    void setNegativeSuffix(std::string text);

    std::string decimalSeparator() const;
    std::string groupingSeparator() const;

    // Numbers only: any other value gives no text.
    std::optional<std::string> string(const FormatterValue& value) const override;
    std::optional<std::string> string(double number) const;
    // The whole text must read as a number (surrounding white space is tolerated).
    bool getObjectValue(FormatterValue& value, std::string_view text, std::string* error) const override;
    std::optional<double> number(std::string_view text) const;

private:
    struct Engine;
    Engine& engine() const;
    void invalidate();

    std::string locale_;
    Behavior behavior_ = Behavior::standard;
    Style style_ = Style::none;
    bool lenient_ = false;
    int minimumFractionDigits_ = 0;
    int maximumFractionDigits_ = 0;
    bool grouping_ = false;
    std::optional<std::string> positivePrefix_, positiveSuffix_, negativePrefix_, negativeSuffix_;
    mutable std::unique_ptr<Engine> engine_;
};

} // namespace core
