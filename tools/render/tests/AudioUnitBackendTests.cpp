#include "extension/TessarayAudioUnit.hpp"
#include "tools/render/AudioUnitBackend.hpp"
#include "tools/render/DemoSignal.hpp"
#include "tools/render/Renderer.hpp"

#include <cstring>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

namespace {

AudioBuffer monoDemo(double seconds) {
    const AudioBuffer demo = makeDemoSignal(44100.0, seconds);
    AudioBuffer mono;
    mono.sampleRate = demo.sampleRate;
    mono.channels.assign(1, demo.channels[0]);
    return mono;
}

} // namespace

TEST(AudioUnitBackend, AutomatedMixChangeTakesEffectFromItsSample) {
    const AudioBuffer input = monoDemo(0.2);
    AudioUnitBackend backend(extensionBundleDirectory());
    const std::vector<ParameterSetting> settings{{parameterByIdentifier("mix"), 0}};
    applyParameters(backend, settings);
    backend.prepare(input.sampleRate, 1, 2, 512);

    // Frame 1000 lies inside the second block, so the render call itself is split there.
    const std::vector<AutomationEvent> automation{{{1000, false}, {parameterByIdentifier("mix"), 100}}};
    const AudioBuffer output = renderBuffer(backend, input, 512, automation);
    ASSERT_EQ(output.channelCount(), 2u);
    ASSERT_EQ(output.frameCount(), input.frameCount());
    for (const auto& channel : output.channels) {
        // Fully dry before the event: the mono input on both sides, bit for bit.
        EXPECT_EQ(std::memcmp(channel.data(), input.channels[0].data(), 1000 * sizeof(float)), 0);
        std::size_t firstDifference = 1000;
        while (firstDifference < channel.size() &&
               channel[firstDifference] == input.channels[0][firstDifference]) {
            ++firstDifference;
        }
        EXPECT_LT(firstDifference, 1010u);
    }
    // The host-style event flags the change for the editor and the analyser has run.
    EXPECT_NE(backend.unit().sharedState().dirtyMask.load() & (1u << 8), 0u);
    EXPECT_EQ(backend.analyser().bandCount, 64);
}

TEST(AudioUnitBackend, SetupsTheEffectCannotRunThrow) {
    AudioUnitBackend backend(extensionBundleDirectory());
    EXPECT_THROW(backend.prepare(44100.0, 40, 2, 512), std::runtime_error);
    EXPECT_THROW(AudioUnitBackend("/nonexistent/TessarayExtension.bundle"), std::runtime_error);
}
