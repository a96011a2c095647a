#include "ZeltoDialsCore/LabelFormatter.hpp"

#include "ZeltoCore/KitExtensions.hpp"
#include "ZeltoCore/KitResources.hpp"
#include "core/Log.hpp"
#include "core/Text.hpp"

#include <algorithm>
#include <cmath>

namespace zelto {

DefaultLabelFormatter::DefaultLabelFormatter(const AudioParameter& param, int decimalPlaces)
    : decimalPlaces_(decimalPlaces), saveScaleFactor_(param.saveScaleFactor()) {}

std::string DefaultLabelFormatter::format(float value) const {
    const float scaled = value * saveScaleFactor_;
    return core::formatFixed(static_cast<double>(scaled), std::max(0, decimalPlaces_));
}

std::optional<float> DefaultLabelFormatter::value(std::string_view text) const {
    return core::parseDecimalFloat(text);
}

LabelNameFormatter::LabelNameFormatter(const AudioParameter& param)
    : valueStrings_(param.valueStrings().value_or(std::vector<std::string>{})) {}

std::string LabelNameFormatter::format(float value) const {
    const float index = std::round(value);
    if (std::isfinite(index) && index >= 0.0f && index < static_cast<float>(valueStrings_.size())) {
        if (const auto* name = safe(valueStrings_, static_cast<std::ptrdiff_t>(index))) {
            return *name;
        }
    }
    core::logLine("Unable to format value " + core::formatShortest(value) + ", no value string found");
    return {};
}

std::optional<float> LabelNameFormatter::value(std::string_view text) const {
    const auto wanted = core::localizedLowercased(text);
    for (std::size_t i = 0; i < valueStrings_.size(); ++i) {
        if (core::localizedLowercased(valueStrings_[i]) == wanted) {
            return static_cast<float>(i);
        }
    }
    return std::nullopt;
}

} // namespace zelto
