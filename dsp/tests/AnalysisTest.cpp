#include "dsp/RealFFT.hpp"
#include "dsp/tests/TestSupport.hpp"

#include <cmath>
#include <complex>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <numbers>
#include <random>

namespace {

TEST(RealFFTTest, MatchesDirectDFT) {
    RealFFT fft;
    fft.init(4096);
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> x(4096), re(2048), im(2048);
    for (float& v : x) {
        v = dist(rng);
    }
    fft.forward(x.data(), re.data(), im.data());
    double worst = 0.0;
    for (int k = 0; k <= 2048; k += (k < 8 || k > 2040) ? 1 : 37) {
        std::complex<double> sum = 0.0;
        for (int n = 0; n < 4096; ++n) {
            const double angle = -2.0 * std::numbers::pi * static_cast<double>(k) * n / 4096.0;
            sum += static_cast<double>(x[n]) * std::complex<double>(std::cos(angle), std::sin(angle));
        }
        std::complex<double> got;
        if (k == 0) {
            got = {re[0], 0.0};
        } else if (k == 2048) {
            got = {im[0], 0.0};
        } else {
            got = {re[k], im[k]};
        }
        worst = std::max(worst, std::abs(got - sum));
    }
    // Random input gives bins of magnitude ~37; single precision keeps errors far below that.
    EXPECT_LT(worst, 2e-3);
}

// Every vector path must give the scalar path's bits, at every size and for hostile input too (NaN and
// infinities propagate the same way, huge values overflow the same way).
TEST(RealFFTTest, VectorPathMatchesScalarBitForBit) {
    if (!RealFFT::hasAvx2()) {
        GTEST_SKIP() << "no AVX2 on this processor";
    }
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    for (int32_t n = 4; n <= 8192; n *= 2) {
        RealFFT fft;
        fft.init(n);
        for (int variant = 0; variant < 3; ++variant) {
            std::vector<float> x(static_cast<size_t>(n));
            for (float& v : x) {
                v = dist(rng) * (variant == 2 ? 3e38f : 1.0f);
            }
            if (variant == 1) {
                x[static_cast<size_t>(n) / 3] = std::numeric_limits<float>::quiet_NaN();
                x[1] = std::numeric_limits<float>::infinity();
            }
            std::vector<float> re0(n / 2), im0(n / 2), re1(n / 2), im1(n / 2);
            fft.forwardScalar(x.data(), re0.data(), im0.data());
            fft.forward(RealFFT::Path::Avx2, x.data(), re1.data(), im1.data());
            ASSERT_EQ(0, std::memcmp(re0.data(), re1.data(), re0.size() * 4))
                << "n " << n << " variant " << variant;
            ASSERT_EQ(0, std::memcmp(im0.data(), im1.data(), im0.size() * 4))
                << "n " << n << " variant " << variant;
        }
    }
}

struct AnalysisFixture : ::testing::Test {
    std::unique_ptr<DSPKernel> k = testsupport::makeKernel(44100.0, 512);
    DSPEngine& e = k->engine;

    void fillRing(int channel, double hz, double amplitude) {
        for (int n = 0; n < 4096; ++n) {
            e.channels[channel].ring[n] =
                static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * hz * n / 44100.0));
        }
        e.channels[channel].writeIndex = 0;
    }

    int bandOf(double hz, int bands, double lo = 125.0, double hi = 8000.0) const {
        return static_cast<int>(std::floor(std::log2(hz / lo) / std::log2(hi / lo) * bands));
    }
};

TEST_F(AnalysisFixture, SineOnBinCentreGivesFullLevelAndItsNote) {
    const double binWidth = 44100.0 / 4096.0;
    const double hz = 100 * binWidth; // ~1076.7 Hz
    fillRing(0, hz, 1.0);
    e.analyseSlice(0, true);
    const int band = bandOf(hz, 16);
    const float note = static_cast<float>(12.0 * std::log2(hz / 440.0) + 69.0);
    EXPECT_EQ(e.analyser.bandCount, 16);
    EXPECT_TRUE(e.channels[0].bandActive[band]);
    EXPECT_NEAR(e.channels[0].levelSmoothers[band].target, 1.0f, 0.01f);
    EXPECT_NEAR(e.channels[0].noteSmoothers[band].target, note, 0.02f);
    EXPECT_EQ(e.channels[0].noteSmoothers[band].current, e.channels[0].noteSmoothers[band].target);
    EXPECT_NEAR(e.analyser.levels[band], 1.0f, 0.01f);
    EXPECT_EQ(e.analyser.levels[16], 0.0f); // beyond the band count

    // Silence deactivates every band.
    fillRing(0, hz, 0.0);
    e.analyseSlice(0, true);
    for (int b = 0; b < 64; ++b) {
        EXPECT_FALSE(e.channels[0].bandActive[b]);
        EXPECT_EQ(e.channels[0].levelSmoothers[b].target, 0.0f);
        EXPECT_EQ(e.analyser.levels[b], 0.0f);
    }
}

TEST_F(AnalysisFixture, RangeAndDisplayRules) {
    fillRing(0, 1000.0, 0.5);
    fillRing(1, 3000.0, 0.8);
    testsupport::setParameters(*k, {{1, 8000.0f}, {2, 125.0f}});
    e.analyseSlice(0, true);
    const auto swapped = e.analyser;
    testsupport::setParameters(*k, {{1, 125.0f}, {2, 8000.0f}});
    e.analyseSlice(0, true);
    EXPECT_EQ(swapped.rangeLo, e.analyser.rangeLo);
    EXPECT_EQ(swapped.levels, e.analyser.levels);

    // The second channel raises the display per band, never lowers it.
    const auto firstOnly = e.analyser.levels;
    e.analyseSlice(1, false);
    for (int b = 0; b < 64; ++b) {
        EXPECT_GE(e.analyser.levels[b], firstOnly[b]);
    }
    EXPECT_GT(e.analyser.levels[bandOf(3000.0, 16)], firstOnly[bandOf(3000.0, 16)]);

    testsupport::setParameters(*k, {{1, 5.0f}, {2, 30000.0f}});
    e.analyseSlice(0, true);
    EXPECT_EQ(e.analyser.rangeLo, 20.0f);
    EXPECT_EQ(e.analyser.rangeHi, 19845.0f);

    // 64 bands between 20 and 100 Hz: most hold no whole bin; they are shown but not sung.
    fillRing(0, 60.0, 1.0);
    testsupport::setParameters(*k, {{0, 64.0f}, {1, 20.0f}, {2, 100.0f}});
    e.analyseSlice(0, true);
    int shownOnly = 0;
    for (int b = 0; b < 64; ++b) {
        if (!e.channels[0].bandActive[b] && e.analyser.levels[b] > 0.0f) {
            ++shownOnly;
        }
    }
    EXPECT_GT(shownOnly, 40);
}

} // namespace
