#pragma once

// How a dial label turns a parameter value into text and typed text back into a value.

#include "ZeltoCore/AudioParameter.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelto {

class LabelFormatter {
public:
    virtual ~LabelFormatter() = default;
    virtual std::string format(float value) const = 0;
    // Absent when the text cannot be read.
    virtual std::optional<float> value(std::string_view text) const = 0;
};

// Numbers with a fixed count of decimals, after the parameter's save scale (absolute cents show as
// semitones). Never depends on the process locale: the decimal separator is always a point.
class DefaultLabelFormatter final : public LabelFormatter {
public:
    // A negative count of decimals shows none.
    DefaultLabelFormatter(const AudioParameter& param, int decimalPlaces);

    int decimalPlaces() const { return decimalPlaces_; }
    float saveScaleFactor() const { return saveScaleFactor_; }

    std::string format(float value) const override;
    // The whole text as a finite decimal number ("2.5", "-1e3", "+4"); no white space, no hexadecimal, no
    // "nan" or "inf". No scale is applied: the label applies the parameter's display scale.
    std::optional<float> value(std::string_view text) const override;

private:
    int decimalPlaces_;
    float saveScaleFactor_;
};

// The names of an indexed parameter's values.
class LabelNameFormatter final : public LabelFormatter {
public:
    explicit LabelNameFormatter(const AudioParameter& param);

    const std::vector<std::string>& valueStrings() const { return valueStrings_; }

    // The name at the value rounded to a whole index. An index without a name (negative, past the end, not
    // finite) is the caller's mistake: it is logged and gives empty text.
    std::string format(float value) const override;
    // The index of the first name equal to the text, ignoring letter case by the user's locale.
    std::optional<float> value(std::string_view text) const override;

private:
    std::vector<std::string> valueStrings_;
};

} // namespace zelto
