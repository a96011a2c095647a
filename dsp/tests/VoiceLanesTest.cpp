#include "dsp/VoiceLanes.hpp"

#include "dsp/tests/TestWavetable.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <vector>

namespace {

WavetableSlot load(const testwt::File& f) {
    WavetableSlot slot;
    const auto bytes = f.bytes();
    EXPECT_TRUE(slot.parse(bytes.data(), bytes.size()));
    return slot;
}

// Voices side by side in lanes against each voice rendered alone by the scalar reference: contributions,
// phases, countdowns, random draws and records, over runs with cycle ends, record re-choices (several in one
// run for the fast bands), skipped frames, gliding and NaN notes, idle lanes and every set of played shapes.
// Every path the processor has is checked.
TEST(VoiceLanesTest, LanesMatchTheScalarVoiceBitForBit) {
    if (!VoiceLanes::available()) {
        GTEST_SKIP() << "no vector lanes on this processor";
    }
    const BandVoice::Tables tables{load(testwt::makeShapeTable(testwt::Shape::Sawtooth)),
                                   load(testwt::makeShapeTable(testwt::Shape::Square)),
                                   load(testwt::makeShapeTable(testwt::Shape::Sine))};
    BandVoice::SharedTable shared;
    ASSERT_TRUE(shared.build(tables));
    const auto views = BandVoice::viewsOf(tables);

    uint32_t rng = 77;
    const auto uniform = [&rng] {
        rng = rng * 1664525u + 1013904223u;
        return static_cast<float>(rng >> 8) / 16777216.0f;
    };
    constexpr uint32_t kFrames = BandVoice::kMaxRun;
    constexpr int kLanes = VoiceLanes::kMaxLanes;
    const auto check = [&]<int Shapes>(VoiceLanes::Path path) {
        const int width = VoiceLanes::lanes(path);
        for (int trial = 0; trial < 24; ++trial) {
            // Busy and idle lanes in varying patterns, in either half of the rows for the narrow path.
            const int busy = std::max((trial * 37 + 5) & ((1 << width) - 1), 1);
            const int column = width < kLanes ? (trial % 2) * width : 0;
            std::vector<BandVoice> scalar(kLanes), lanes(kLanes);
            float weights[kFrames][3];
            float levels[kLanes][kFrames], notes[kLanes][kFrames], frequencies[kLanes][kFrames];
            alignas(64) float rowLevels[kFrames][kLanes], rowFrequencies[kFrames][kLanes];
            for (uint32_t j = 0; j < kFrames; ++j) {
                for (float& w : weights[j]) {
                    w = uniform();
                }
                for (int c = 0; c < kLanes; ++c) {
                    rowLevels[j][c] = -1.0f;
                    rowFrequencies[j][c] = 1.0f;
                }
            }
            for (int v = 0; v < width; ++v) {
                if ((busy & (1 << v)) == 0) {
                    continue;
                }
                scalar[v].sampleRate = 48000.0;
                scalar[v].randomState = 1 + static_cast<uint32_t>(trial * kLanes + v);
                scalar[v].phase = uniform();
                scalar[v].countdown = 300.0 * uniform();
                float note = 20.0f + 100.0f * uniform();
                const bool sparse = (trial + v) % 3 == 0;
                for (uint32_t j = 0; j < kFrames; ++j) {
                    levels[v][j] = sparse && uniform() < 0.3f ? -1.0f : uniform();
                    note += 0.01f; // gliding
                    notes[v][j] = note;
                    frequencies[v][j] = (trial + v) % 7 == 3 && j % 19 == 0
                                            ? std::numeric_limits<float>::quiet_NaN()
                                            : VoiceLanes::frequency(note, 22560.0f);
                    rowLevels[j][column + v] = levels[v][j];
                    rowFrequencies[j][column + v] = frequencies[v][j];
                }
                lanes[v] = scalar[v];
            }
            std::vector<float> sumScalar(kLanes * kFrames, 0.0f), sumLanes(kLanes * kFrames, 0.0f);
            for (int block = 0; block < 6; ++block) {
                VoiceLanes::Band bands[kLanes];
                for (int v = 0; v < width; ++v) {
                    if ((busy & (1 << v)) == 0) {
                        continue;
                    }
                    uint32_t first = 0;
                    while (first < kFrames && levels[v][first] < 0.0f) {
                        ++first;
                    }
                    std::fill(sumScalar.begin() + v * kFrames, sumScalar.begin() + (v + 1) * kFrames, 0.0f);
                    scalar[v].beginShapes(tables, views, Shapes, notes[v][first]);
                    scalar[v].renderRun<Shapes>(tables, views, weights, levels[v], notes[v], frequencies[v],
                                                first, kFrames, sumScalar.data() + v * kFrames);
                    lanes[v].beginShapes(tables, views, Shapes, notes[v][first]);
                    ASSERT_TRUE(VoiceLanes::fits(lanes[v], Shapes));
                    bands[v] = {&lanes[v], notes[v], sumLanes.data() + v * kFrames};
                }
                const VoiceLanes::Frames frames{rowLevels, rowFrequencies, weights};
                VoiceLanes::render(path, Shapes, tables, views, shared, frames, column, bands, kFrames);
                // Zeroed rows take the scalar sums; a skipped frame's +0 stands for an untouched frame.
                ASSERT_EQ(0, std::memcmp(sumScalar.data(), sumLanes.data(), sumLanes.size() * sizeof(float)))
                    << "lanes " << width << " shapes " << Shapes << " trial " << trial << " block " << block;
                for (int v = 0; v < width; ++v) {
                    if ((busy & (1 << v)) == 0) {
                        continue;
                    }
                    ASSERT_EQ(scalar[v].phase, lanes[v].phase);
                    ASSERT_EQ(scalar[v].countdown, lanes[v].countdown);
                    ASSERT_EQ(scalar[v].randomState, lanes[v].randomState);
                    for (int s = 0; s < BandVoice::kShapeCount; ++s) {
                        ASSERT_EQ(scalar[v].shapes[s].current, lanes[v].shapes[s].current);
                        ASSERT_EQ(scalar[v].shapes[s].next, lanes[v].shapes[s].next);
                    }
                }
            }
        }
    };
    for (const auto path : {VoiceLanes::Path::Avx2, VoiceLanes::Path::Avx512}) {
        if (!VoiceLanes::has(path)) {
            continue;
        }
        check.template operator()<1>(path);
        check.template operator()<2>(path);
        check.template operator()<3>(path);
        check.template operator()<4>(path);
        check.template operator()<5>(path);
        check.template operator()<6>(path);
        check.template operator()<7>(path);
    }
}

// Voices whose shapes play different records, or whose phase lies outside [0, 1), keep out of the lanes.
TEST(VoiceLanesTest, OnlyVoicesOnOneRecordPairFit) {
    const BandVoice::Tables tables{load(testwt::makeShapeTable(testwt::Shape::Sawtooth)),
                                   load(testwt::makeShapeTable(testwt::Shape::Square)),
                                   load(testwt::makeShapeTable(testwt::Shape::Sine))};
    const auto views = BandVoice::viewsOf(tables);
    BandVoice voice;
    voice.beginShapes(tables, views, 7, 60.0);
    EXPECT_TRUE(VoiceLanes::fits(voice, 7));
    voice.shapes[2].next = voice.shapes[2].current + 1;
    EXPECT_FALSE(VoiceLanes::fits(voice, 7));
    EXPECT_TRUE(VoiceLanes::fits(voice, 3)); // the odd shape is not played
    voice.phase = 1.5;
    EXPECT_FALSE(VoiceLanes::fits(voice, 3));
    voice.phase = -0.25;
    EXPECT_FALSE(VoiceLanes::fits(voice, 3));
    voice.phase = 0.0;
    voice.shapes[0].valid = false;
    EXPECT_FALSE(VoiceLanes::fits(voice, 3));
}

void checkFrequencies(VoiceLanes::Path path) {
    constexpr uint32_t kBatch = 4096;
    std::vector<float> midis(kBatch), lanes(kBatch);
    const float cap = 22560.0f;
    const auto compare = [&](uint32_t n) {
        VoiceLanes::frequencies(path, midis.data(), n, cap, lanes.data());
        for (uint32_t i = 0; i < n; ++i) {
            const float expected = std::min(440.0f * std::exp2((midis[i] - 69.0f) / 12.0f), cap);
            if (std::bit_cast<uint32_t>(lanes[i]) != std::bit_cast<uint32_t>(expected)) {
                return ::testing::AssertionFailure()
                       << "note " << midis[i] << ": " << lanes[i] << " instead of " << expected;
            }
        }
        return ::testing::AssertionSuccess();
    };
    uint32_t bits = std::bit_cast<uint32_t>(0.5f);
    const uint32_t end = std::bit_cast<uint32_t>(256.0f);
    while (bits < end) {
        uint32_t n = 0;
        for (; n < kBatch && bits < end; ++n, ++bits) {
            midis[n] = std::bit_cast<float>(bits);
        }
        ASSERT_TRUE(compare(n));
    }
    const float outside[] = {-1000.0f,
                             -20.0f,
                             0.0f,
                             -0.0f,
                             0.25f,
                             0.4999f,
                             256.0f,
                             300.0f,
                             1e6f,
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity()};
    for (uint32_t i = 0; i < kBatch; ++i) {
        midis[i] = outside[i % std::size(outside)];
    }
    ASSERT_TRUE(compare(kBatch));
    // NaN notes give NaN frequencies, as the scalar expression does.
    midis.assign(kBatch, std::numeric_limits<float>::quiet_NaN());
    VoiceLanes::frequencies(path, midis.data(), 16, cap, lanes.data());
    for (uint32_t i = 0; i < 16; ++i) {
        EXPECT_TRUE(std::isnan(lanes[i]));
    }
}

// Every note the vector frequencies compute in lanes, [0.5, 256), checked exhaustively against the C
// library's exp2f on each path the processor has, and notes outside that range (handed to the library)
// spot-checked.
TEST(VoiceLanesTest, FrequenciesMatchTheLibraryForEveryNote) {
    bool any = false;
    for (const auto path : {VoiceLanes::Path::Avx2, VoiceLanes::Path::Avx512}) {
        if (VoiceLanes::vectorFrequencies(path)) {
            SCOPED_TRACE(VoiceLanes::lanes(path));
            checkFrequencies(path);
            any = true;
        }
    }
    if (!any) {
        GTEST_SKIP() << "frequencies are computed one by one on this machine";
    }
}

} // namespace
