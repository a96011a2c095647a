#include "dsp/BandVoice.hpp"

#include "dsp/tests/TestWavetable.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <utility>

namespace {

WavetableSlot load(const testwt::File& f) {
    WavetableSlot slot;
    const auto bytes = f.bytes();
    EXPECT_TRUE(slot.parse(bytes.data(), bytes.size()));
    return slot;
}

TEST(BandVoiceTest, ShapeWeightEdges) {
    float w[3];
    BandVoice::shapeWeights(0.25f, 2.0f, w); // y above 1 acts as 1: pure sine
    EXPECT_EQ(w[2], 1.0f);
    EXPECT_EQ(w[0], 0.0f);
    BandVoice::shapeWeights(0.25f, -0.5f, w); // below 0: no sine at all
    EXPECT_EQ(w[0], 0.25f);
    EXPECT_EQ(w[1], 0.75f);
    EXPECT_EQ(w[2], 0.0f);
    BandVoice::shapeWeights(1.5f, 0.25f, w); // x is not clamped
    EXPECT_EQ(w[1], -0.25f);
}

TEST(BandVoiceTest, ChooseRecord) {
    testwt::File f;
    f.addCycle(testwt::Shape::Sine, 60, 100, 1.0f);
    const WavetableSlot single = load(f);
    auto voice = std::make_unique<BandVoice>();
    voice->randomState = 12345;
    EXPECT_EQ(voice->chooseRecord(single, 60.0, 100.0f), 0u);
    EXPECT_EQ(voice->chooseRecord(single, 10.0, 3.0f), 0u); // outside the note window: the whole table
    EXPECT_EQ(voice->randomState, 12345u);                  // one candidate: no random draw

    // Two equally long records: the pick follows their weights (1 : 9).
    testwt::File two;
    two.addCycle(testwt::Shape::Sine, 60, 100, 1.0f);
    two.addCycle(testwt::Shape::Sine, 60, 100, 9.0f);
    const WavetableSlot weighted = load(two);
    int heavy = 0;
    for (int i = 0; i < 4000; ++i) {
        heavy += voice->chooseRecord(weighted, 60.4, 100.0f) == 1u ? 1 : 0;
    }
    EXPECT_NEAR(heavy / 4000.0, 0.9, 0.03);
}

TEST(BandVoiceTest, RenderReadsOnlyWeightedShapesAndWrapsOnce) {
    BandVoice::Tables tables{load(testwt::makeShapeTable(testwt::Shape::Sawtooth)),
                             load(testwt::makeShapeTable(testwt::Shape::Square)), WavetableSlot{}};
    auto voice = std::make_unique<BandVoice>();
    voice->sampleRate = 48000.0;
    const float sawOnly[3] = {1.0f, 0.0f, 0.0f};
    for (int i = 0; i < 100; ++i) {
        voice->render(tables, sawOnly, 69.0, 440.0);
    }
    EXPECT_TRUE(voice->shapes[0].valid);
    EXPECT_FALSE(voice->shapes[1].valid);

    // A frequency above the sample rate wraps more than once in a call; only one re-choice (one draw)
    // happens.
    voice->countdown = 0.0;
    voice->phase = 0.5;
    voice->randomState = 12345;
    auto once = std::make_unique<BandVoice>(*voice);
    once->render(tables, sawOnly, 69.0, 48000.0 * 0.7); // wraps once
    voice->render(tables, sawOnly, 69.0, 48000.0 * 2.7);
    EXPECT_NEAR(voice->phase, 0.2, 1e-9);
    EXPECT_EQ(voice->countdown, 48000.0 * 0.005);
    EXPECT_EQ(voice->randomState, once->randomState);
    EXPECT_NE(voice->randomState, 12345u);

    voice->phase = 0.0; // frequency 0 still advances by a millionth of a cycle per second
    voice->render(tables, sawOnly, 69.0, 0.0);
    EXPECT_EQ(voice->phase, 0.000001 / 48000.0);

    auto high = std::make_unique<BandVoice>(); // note 200 acts as 127
    high->render(tables, sawOnly, 200.0, 100.0);
    EXPECT_EQ(high->shapes[0].current, tables[0].noteMap[120].first);

    // Non-finite notes and frequencies neither index outside the tables nor leave the phase NaN.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(std::isfinite(voice->render(tables, sawOnly, i % 2 ? nan : -inf, i % 3 ? nan : inf)));
    }
    EXPECT_TRUE(std::isfinite(voice->phase));
}

TEST(BandVoiceTest, ChosenIndexIsClampedPerTable) {
    testwt::File big;
    for (uint32_t len = 90; len < 100; ++len) {
        big.addCycle(testwt::Shape::Sine, 60, len, 1.0f);
    }
    testwt::File small;
    small.addCycle(testwt::Shape::Square, 60, 95, 1.0f);
    BandVoice::Tables tables{load(big), load(small), WavetableSlot{}};
    auto voice = std::make_unique<BandVoice>();
    voice->sampleRate = 48000.0;
    const float all[3] = {0.5f, 0.5f, 0.5f};
    for (int i = 0; i < 20000; ++i) {
        voice->render(tables, all, 60.0, 500.0);
        ASSERT_EQ(voice->shapes[1].next, 0u);
    }
    EXPECT_FALSE(voice->shapes[2].valid); // an empty table is never read
}

} // namespace

// The vector path against the scalar reference, over runs with cycle ends, record re-choices, skipped frames,
// huge and NaN frequencies and phases outside [0, 1), for every set of played shapes; also while the shapes
// play different records (when the shared table cannot serve them).
TEST(BandVoiceTest, SharedTablePathMatchesScalarBitForBit) {
    if (!BandVoice::hasAvx2()) {
        GTEST_SKIP() << "no AVX2 on this processor";
    }
    const BandVoice::Tables tables{load(testwt::makeShapeTable(testwt::Shape::Sawtooth)),
                                   load(testwt::makeShapeTable(testwt::Shape::Square)),
                                   load(testwt::makeShapeTable(testwt::Shape::Sine))};
    BandVoice::SharedTable shared;
    ASSERT_TRUE(shared.build(tables));
    const auto views = BandVoice::viewsOf(tables);

    uint32_t rng = 2024;
    const auto uniform = [&rng] {
        rng = rng * 1664525u + 1013904223u;
        return static_cast<float>(rng >> 8) / 16777216.0f;
    };
    constexpr uint32_t kFrames = BandVoice::kMaxRun;
    const auto render = [&]<int Shapes>(BandVoice& voice, bool vector, const float(*weights)[3],
                                        const float* levels, const float* notes, const float* frequencies,
                                        float* sum) {
        voice.beginShapes(tables, views, Shapes, notes[0]);
        if (vector) {
            voice.renderRunShared<Shapes>(tables, views, shared, weights, levels, notes, frequencies, 0,
                                          kFrames, sum);
        } else {
            voice.renderRun<Shapes>(tables, views, weights, levels, notes, frequencies, 0, kFrames, sum);
        }
    };
    const auto check = [&]<int Shapes>() {
        for (int trial = 0; trial < 60; ++trial) {
            BandVoice scalar;
            scalar.sampleRate = 48000.0;
            scalar.randomState = 1 + static_cast<uint32_t>(trial);
            scalar.phase = trial % 7 == 0 ? -0.25 : (trial % 11 == 0 ? 3.5 : uniform());
            if (trial % 5 == 1) {
                // Shapes at different records: the lanes cannot be used until the next cycle end.
                scalar.beginShapes(tables, views, Shapes, 40.0);
                scalar.shapes[2].current = scalar.shapes[2].next = 3;
            }
            BandVoice vector = scalar;
            float weights[kFrames][3], levels[kFrames], notes[kFrames], frequencies[kFrames];
            float sumScalar[kFrames] = {}, sumVector[kFrames] = {};
            const float note = 20.0f + 90.0f * uniform();
            for (uint32_t j = 0; j < kFrames; ++j) {
                for (float& w : weights[j]) {
                    w = uniform();
                }
                levels[j] = uniform() < 0.1f ? -1.0f : uniform();
                notes[j] = note;
                const float hz =
                    440.0f * std::exp2((note - 69.0f) / 12.0f) * (trial % 9 == 0 ? 150.0f : 1.0f);
                frequencies[j] =
                    trial % 13 == 0 && j % 17 == 0 ? std::numeric_limits<float>::quiet_NaN() : hz;
            }
            for (int block = 0; block < 8; ++block) {
                render.template operator()<Shapes>(scalar, false, weights, levels, notes, frequencies,
                                                   sumScalar);
                render.template operator()<Shapes>(vector, true, weights, levels, notes, frequencies,
                                                   sumVector);
            }
            ASSERT_EQ(0, std::memcmp(sumScalar, sumVector, sizeof sumScalar)) << "shapes " << Shapes;
            ASSERT_EQ(scalar.phase, vector.phase);
            ASSERT_EQ(scalar.countdown, vector.countdown);
            ASSERT_EQ(scalar.randomState, vector.randomState);
            for (int s = 0; s < BandVoice::kShapeCount; ++s) {
                ASSERT_EQ(scalar.shapes[s].current, vector.shapes[s].current);
                ASSERT_EQ(scalar.shapes[s].next, vector.shapes[s].next);
            }
        }
    };
    check.template operator()<1>();
    check.template operator()<2>();
    check.template operator()<3>();
    check.template operator()<4>();
    check.template operator()<5>();
    check.template operator()<6>();
    check.template operator()<7>();
}

// Tables of different layouts get no shared table; the voices then read each shape on its own.
TEST(BandVoiceTest, SharedTableOnlyForOneLayout) {
    BandVoice::Tables tables{load(testwt::makeShapeTable(testwt::Shape::Sawtooth)),
                             load(testwt::makeShapeTable(testwt::Shape::Square)), WavetableSlot{}};
    BandVoice::SharedTable shared;
    EXPECT_FALSE(shared.build(tables));
    tables[2] = load(testwt::makeShapeTable(testwt::Shape::Sine, 44100));
    EXPECT_FALSE(shared.build(tables));
    EXPECT_FALSE(shared.usable());
    tables[2] = load(testwt::makeShapeTable(testwt::Shape::Sine));
    ASSERT_TRUE(shared.build(tables));
    // Each record's copy ends in a copy of its first sample, for every shape.
    const WavetableRecord& last = tables[0].records.back();
    const size_t guard = 4 * (shared.groups.back() + last.length);
    for (size_t s = 0; s < 3; ++s) {
        EXPECT_EQ(shared.samples[guard + s], tables[s].samples[last.start]);
        EXPECT_EQ(shared.samples[4 * shared.groups.back() + 4 + s], tables[s].samples[last.start + 1]);
    }
    // The double rows: each position's values and the step to the next one, the last position stepping back
    // to the first; 64-byte aligned, in a copy too (the vector lanes load whole rows from aligned addresses).
    const BandVoice::SharedTable copy = shared;
    for (const BandVoice::SharedTable* table : {&std::as_const(shared), &copy}) {
        EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(table->steps.data()) % 64);
        ASSERT_EQ(table->steps.size(), 2 * table->samples.size());
        const size_t row = 8 * (table->groups.back() + last.length - 1);
        for (size_t s = 0; s < 3; ++s) {
            const double end = tables[s].samples[last.start + last.length - 1];
            EXPECT_EQ(table->steps[row + s], end);
            EXPECT_EQ(table->steps[row + 4 + s], static_cast<double>(tables[s].samples[last.start]) - end);
        }
    }
    tables[1] = WavetableSlot{};
    EXPECT_FALSE(shared.build(tables));
    EXPECT_TRUE(shared.steps.empty());
}
