#include "tools/render/DemoSignal.hpp"
#include "tools/render/RenderSummary.hpp"

#include <cmath>
#include <gtest/gtest.h>

TEST(DemoSignal, IsDeterministicFiniteAndWithinFullScale) {
    const AudioBuffer demo = makeDemoSignal();
    EXPECT_EQ(demo.channels, makeDemoSignal().channels);
    EXPECT_DOUBLE_EQ(demo.sampleRate, 48000.0);
    ASSERT_EQ(demo.channelCount(), 2u);
    EXPECT_EQ(demo.frameCount(), 6u * 48000u);
    EXPECT_NE(demo.channels[0], demo.channels[1]);
    for (const auto& channel : demo.channels) {
        for (const float sample : channel) {
            ASSERT_TRUE(std::isfinite(sample));
            ASSERT_LE(std::abs(sample), 1.0f);
        }
    }
    EXPECT_NEAR(measureLevels(demo).peak, 0.8, 1e-6);
}

TEST(DemoSignal, CarriesSoundThroughout) {
    // Every half second carries sound, even at another rate and length.
    const AudioBuffer demo = makeDemoSignal(44100.0, 3.0);
    const std::size_t half = 22050;
    ASSERT_EQ(demo.frameCount(), 6 * half);
    for (std::size_t start = 0; start < demo.frameCount(); start += half) {
        AudioBuffer window{demo.sampleRate, {}};
        for (const auto& channel : demo.channels) {
            window.channels.emplace_back(channel.begin() + static_cast<std::ptrdiff_t>(start),
                                         channel.begin() + static_cast<std::ptrdiff_t>(start + half));
        }
        EXPECT_GT(measureLevels(window).rms, 0.02) << "at frame " << start;
    }
}
