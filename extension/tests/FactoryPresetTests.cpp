#include "extension/FactoryPreset.hpp"

#include <gtest/gtest.h>

namespace {

TEST(FactoryPresetTest, SixPresetsInOrderWithDefaultFirst) {
    const auto& presets = factoryPresetList();
    const std::vector<std::string> names{"Default",   "Ghost Choir", "Shimmer Halo",
                                         "Slow Melt", "Sub Monster", "Feedback Fever"};
    ASSERT_EQ(presets.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(presets[i].name, names[i]);
        EXPECT_EQ(presets[i].id(), names[i]);
    }
    EXPECT_EQ(&factoryPresetList(), &presets) << "one shared list";

    EXPECT_EQ(indexOfFactoryPreset(presets, "Sub Monster"), 4);
    EXPECT_EQ(indexOfFactoryPreset(presets, "sub monster"), -1) << "letter case matters";
    EXPECT_EQ(indexOfFactoryPreset(presets, ""), -1);

    // Spot checks of the value order against the table: a transposed column would land elsewhere.
    const FactoryPreset& fever = presets[5];
    EXPECT_EQ(fever.feedback, 75.0f);
    EXPECT_EQ(fever.outputGain, -6.0f);
    EXPECT_EQ(fever.morphY, 0.16f);
    EXPECT_EQ(presets[1].values()[parameterIndex(*parameterByIdentifier("morphY"))], 0.5625f);
    EXPECT_EQ(presets[4].value(parameterIndex(*parameterByIdentifier("octave"))), -2.0f);
}

TEST(FactoryPresetTest, DefaultMatchesTheParameterDefaultsAndEveryValueIsInRange) {
    const auto& presets = factoryPresetList();
    const auto defaults = presets[0].values();
    for (std::size_t i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(defaults[i], kParameterTable[i].defaultValue) << kParameterTable[i].identifier;
    }
    for (const auto& preset : presets) {
        const auto values = preset.values();
        for (std::size_t i = 0; i < kParameterCount; ++i) {
            EXPECT_TRUE(kParameterTable[i].contains(values[i]))
                << preset.name << " " << kParameterTable[i].identifier << " = " << values[i];
        }
    }
}

} // namespace
