#include "extension/FactoryPreset.hpp"
#include "extension/Settings.hpp"
#include "extension/TessarayAudioUnit.hpp"
#include "tools/render/AudioUnitBackend.hpp"
#include "tools/render/PresetApplication.hpp"
#include "tools/render/Renderer.hpp"

#include <gtest/gtest.h>

namespace {

TEST(PresetApplication, KernelAndSavedNameHoldThePresetBeforeRendering) {
    AudioUnitBackend backend(extensionBundleDirectory());
    auto unit = std::dynamic_pointer_cast<TessarayAudioUnit>(backend.unit().shared_from_this());
    const FactoryPreset& melt = factoryPresetList()[3];
    const auto settings = applyFactoryPreset(unit, melt);

    const auto values = melt.values();
    for (std::size_t i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(unit->sharedState().paramValues[kParameterTable[i].address].load(), values[i])
            << kParameterTable[i].identifier;
    }
    EXPECT_EQ(unit->currentPresetName(), "Slow Melt");
    EXPECT_EQ(settings->currentPresetIndex.get(), 3);
    EXPECT_FALSE(settings->isApplyingPreset.get()) << "the main queue has run";
    EXPECT_FALSE(settings->isCurrentPresetModified());
}

} // namespace
