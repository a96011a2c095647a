#include "tools/render/RenderSummary.hpp"

#include <gtest/gtest.h>
#include <limits>

TEST(RenderSummary, ShowsEveryBandWithoutTrustingTheLevels) {
    AnalyserSnapshot analyser;
    analyser.bandCount = 3;
    analyser.rangeLo = 20;
    analyser.rangeHi = 20000;
    analyser.levels[0] = 1.0f;
    analyser.levels[1] = 0.01f; // -40 dB
    analyser.levels[2] = 0.0005f;
    analyser.levels[3] = std::numeric_limits<float>::quiet_NaN();
    analyser.levels[4] = 7.0f;

    const std::string bar = bandLevelBar(analyser);
    ASSERT_EQ(bar.size(), 64u);
    EXPECT_EQ(bar.substr(0, 5), "#-  #");

    AudioBuffer silence{48000, {std::vector<float>(480)}};
    const std::string text = formatSummary(silence, silence, analyser);
    EXPECT_NE(text.find("0.010 s"), std::string::npos);
    EXPECT_NE(text.find("peak -inf dBFS"), std::string::npos);
    EXPECT_NE(text.find("3 bands, 20.0 to 20000.0 Hz"), std::string::npos);
    EXPECT_NE(text.find("levels  1-16 1000   10    1    0 1000"), std::string::npos);
    EXPECT_EQ(formatDbfs(0.5), "-6.0");
    EXPECT_EQ(formatDbfs(std::numeric_limits<double>::quiet_NaN()), "-inf");
}
