#include "tools/render/DemoSignal.hpp"
#include "tools/render/RenderSummary.hpp"

#include <cmath>
#include <gtest/gtest.h>

TEST(DemoSignal, IsDeterministicWithinFullScaleAndCarriesSoundThroughout) {
    const AudioBuffer demo = makeDemoSignal(44100.0, 3.0);
    EXPECT_EQ(demo.channels, makeDemoSignal(44100.0, 3.0).channels);
    ASSERT_EQ(demo.channelCount(), 2u);
    EXPECT_NE(demo.channels[0], demo.channels[1]);
    EXPECT_NEAR(measureLevels(demo).peak, 0.5, 1e-6);
    EXPECT_EQ(makeDemoSignal().frameCount(), 6u * 48000u);

    // Every half second carries sound, and nothing is out of range.
    const std::size_t half = 22050;
    ASSERT_EQ(demo.frameCount(), 6 * half);
    for (std::size_t start = 0; start < demo.frameCount(); start += half) {
        AudioBuffer window{demo.sampleRate, {}};
        for (const auto& channel : demo.channels) {
            window.channels.emplace_back(channel.begin() + std::ptrdiff_t(start),
                                         channel.begin() + std::ptrdiff_t(start + half));
        }
        const SignalLevels levels = measureLevels(window);
        EXPECT_GT(levels.rms, 0.02) << "at frame " << start;
        EXPECT_TRUE(std::isfinite(levels.rms) && levels.peak <= 1.0) << "at frame " << start;
    }
}
