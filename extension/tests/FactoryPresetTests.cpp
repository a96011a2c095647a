#include "extension/FactoryPreset.hpp"

#include <gtest/gtest.h>

namespace {

TEST(FactoryPresetTest, SixPresetsInOrderDefaultFirstAndEveryValueInRange) {
    const auto& presets = factoryPresetList();
    const std::vector<std::string> names{"Default",   "Ghost Choir", "Shimmer Halo",
                                         "Slow Melt", "Sub Monster", "Feedback Fever"};
    ASSERT_EQ(presets.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(presets[i].name, names[i]);
        EXPECT_EQ(indexOfFactoryPreset(presets, names[i]), int(i));
    }
    EXPECT_EQ(indexOfFactoryPreset(presets, "sub monster"), -1) << "letter case matters";
    EXPECT_EQ(indexOfFactoryPreset(presets, ""), -1);

    // Spot checks of the value order: a transposed column would land elsewhere.
    EXPECT_EQ(presets[5].morphY, 0.16f);
    EXPECT_EQ(presets[1].values()[parameterIndex(*parameterByIdentifier("morphY"))], 0.5625f);
    EXPECT_EQ(presets[4].value(parameterIndex(*parameterByIdentifier("octave"))), -2.0f);

    for (std::size_t i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(presets[0].values()[i], kParameterTable[i].defaultValue) << kParameterTable[i].identifier;
        for (const auto& preset : presets) {
            EXPECT_TRUE(kParameterTable[i].contains(preset.values()[i]))
                << preset.name << " " << kParameterTable[i].identifier;
        }
    }
}

} // namespace
