#include "dsp/DSPKernel.hpp"
#include "dsp/tests/TestSupport.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <memory>

namespace {

float coefficient(float ms, float sr) {
    return 1.0f - std::exp(-1000.0f / (ms * sr));
}

TEST(KernelParameters, AddressesBandsAndDirtyBits) {
    auto k = std::make_unique<DSPKernel>();
    for (auto [raw, expected] : {std::pair{0.9f, 1}, {64.7f, 64}, {-3.0f, 1}, {100.0f, 64}, {1e30f, 64}}) {
        k->setParameter(0, raw, false);
        EXPECT_EQ(k->engine.params.bands, expected) << raw;
        EXPECT_EQ(k->sharedState.paramValues[0].load(), raw);
    }
    EXPECT_EQ(k->sharedState.dirtyMask.load(), 0u); // markDirty false never touches the mask

    k->setParameter(9, 42.0f, true); // no engine field, but stored and flagged
    EXPECT_EQ(k->sharedState.paramValues[9].load(), 42.0f);
    k->setParameter(19, 1.0f, true);
    k->setParameter(~uint64_t{0}, 1.0f, true);
    k->setParameter(18, 0.25f, true);
    EXPECT_EQ(k->sharedState.dirtyMask.load(), (1u << 18) | (1u << 9));

    k->setParameter(8, 250.0f, false); // stored unclamped
    EXPECT_FLOAT_EQ(k->engine.smoothers.mix.target, 2.5f);

    // NaN and infinities are ignored entirely: nothing stored, no bit.
    k->sharedState.dirtyMask.store(0);
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        for (uint64_t address : {0u, 4u, 6u, 9u, 17u}) {
            k->setParameter(address, bad, true);
        }
    }
    EXPECT_EQ(k->sharedState.dirtyMask.load(), 0u);
    EXPECT_EQ(k->engine.params.bands, 64);
    EXPECT_EQ(k->sharedState.paramValues[9].load(), 42.0f);
    EXPECT_TRUE(std::isfinite(k->engine.channels[1].noteSmoothers[3].coefficient));
}

TEST(KernelParameters, DerivedValues) {
    auto k = std::make_unique<DSPKernel>();
    // Before prepare the construction rate of 44100 Hz applies; attack 0 ms acts as 0.01 ms, and setting
    // either time recomputes both coefficients.
    k->engine.params.gateReleaseCoefficient = 0.0f;
    k->setParameter(15, 0.0f, false);
    EXPECT_EQ(k->engine.params.gateAttackCoefficient, coefficient(0.01f, 44100.0f));
    EXPECT_EQ(k->engine.params.gateReleaseCoefficient, coefficient(100.0f, 44100.0f));
    k->engine.params.gateAttackCoefficient = 0.0f;
    k->setParameter(16, 250.0f, false);
    EXPECT_EQ(k->engine.params.gateAttackCoefficient, coefficient(0.01f, 44100.0f));

    // Octave and note combine whichever comes last.
    testsupport::setParameters(*k, {{11, -50.0f}, {10, 1.0f}});
    EXPECT_FLOAT_EQ(k->engine.smoothers.pitch.target, 11.5f);
    k->setParameter(11, 25.0f, false);
    EXPECT_FLOAT_EQ(k->engine.smoothers.pitch.target, 12.25f);

    // Blur sets the glide of both channels' 64 note smoothers: 5 ms at 0 %, 2000 ms at 100 %.
    k->engine.prepare(48000.0);
    for (auto [blur, glide] : {std::pair{0.0f, 5.0f}, {100.0f, 2000.0f}}) {
        k->setParameter(4, blur, false);
        for (const auto& channel : k->engine.channels) {
            for (const auto& s : channel.noteSmoothers) {
                ASSERT_EQ(s.timeMs, glide);
                ASSERT_EQ(s.coefficient, coefficient(glide, 48000.0f));
            }
        }
    }
}

TEST(Smoother, StepsTowardTargetAndSnaps) {
    OnePoleSmoother s;
    s.sampleRate = 1000.0;
    s.setTime(1.0f);
    EXPECT_FLOAT_EQ(s.coefficient, 1.0f - std::exp(-1.0f));
    s.target = 1.0f;
    EXPECT_FLOAT_EQ(s.step(), s.coefficient);
    for (int i = 0; i < 40; ++i) {
        s.step();
    }
    EXPECT_EQ(s.current, 1.0f); // snapped once within 1e-5
}

// Steps a note glide from `from` to `to` (semitones) at a blur and rate for 16 time constants, checking that
// it never moves by more than a cent in one sample, stays within a cent of the exact exponential after five
// time constants (so that a half-semitone glide is within a cent of its note), is within a cent of its note
// after eight and lands on it exactly.
void expectSmoothGlide(float from, float to, float blur, double rate) {
    SCOPED_TRACE(testing::Message() << from << " to " << to << " at blur " << blur << ", " << rate << " Hz");
    OnePoleSmoother note;
    note.sampleRate = rate;
    note.setTime(DSPEngine::glideTimeMs(blur));
    note.jumpTo(from);
    note.setTarget(to);
    const double perTimeConstant = DSPEngine::glideTimeMs(blur) * 0.001 * rate;
    const auto samplesFor = [&](double timeConstants) {
        return static_cast<long>(timeConstants * perTimeConstant);
    };
    const double interval = std::fabs(static_cast<double>(to) - from);
    float previous = from;
    for (long i = 1; i <= samplesFor(16.0); ++i) {
        const float value = note.step();
        ASSERT_LE(std::fabs(static_cast<double>(value) - previous), 0.01) << "sample " << i;
        previous = value;
        const double left = std::fabs(static_cast<double>(to) - value);
        if (i == samplesFor(5.0)) {
            // The exact exponential give or take a cent (the coefficient is rounded to single precision).
            EXPECT_NEAR(left, interval * std::exp(-5.0), 0.01);
            if (interval <= 1.0) {
                EXPECT_LE(left, 0.01);
            }
        } else if (i == samplesFor(8.0)) {
            EXPECT_LE(left, 0.01);
        }
    }
    EXPECT_EQ(note.current, to);
}

// A glide used to stall, or to snap the last stretch in one sample, wherever coefficient × gap fell below
// half a float step of the note (near MIDI note 70 a step is 7.6e-6): 37 cents flat at blur 100 and 48 kHz,
// and at 96 kHz glides under about 0.7 semitone jumped in one sample.
TEST(Smoother, GlidesSmoothlyAllTheWayToTheNote) {
    for (const double rate : {44100.0, 96000.0, 192000.0}) {
        for (const float blur : {20.0f, 50.0f, 100.0f}) {
            for (const float interval : {0.5f, 12.0f}) {
                expectSmoothGlide(69.0f, 69.0f + interval, blur, rate);
                expectSmoothGlide(100.25f, 100.25f - interval, blur, rate);
            }
        }
    }
}

TEST(Smoother, FadesReachTheirTargetsAtEveryRate) {
    for (const double rate : {44100.0, 48000.0, 96000.0, 192000.0}) {
        OnePoleSmoother mix;
        mix.sampleRate = rate;
        mix.setTime(200.0f);
        mix.target = 1.0f;
        for (int i = 0; i < static_cast<int>(rate * 10.0); ++i) {
            mix.step();
        }
        EXPECT_EQ(mix.current, 1.0f) << "the dry gain must reach exactly 0 at " << rate << " Hz";
    }
    // A smoother with no time constant yet does not move.
    OnePoleSmoother idle;
    idle.jumpTo(3.0f);
    idle.setTarget(5.0f);
    EXPECT_EQ(idle.step(), 3.0f);
}

TEST(Kernel, PublishesAnalyserAndCopiesDeeply) {
    auto k = testsupport::makeKernel(48000.0, 512);
    k->setParameter(3, 10.0f, false);
    k->setParameter(0, 24.0f, true);
    testsupport::Buffers(2, 2, 512).runRich(*k, 12);
    EXPECT_EQ(k->sharedState.vizBandCount.load(), 24);
    EXPECT_EQ(k->sharedState.vizRangeHi.load(), 8000.0f);
    for (int b = 0; b < 64; ++b) {
        EXPECT_EQ(k->sharedState.vizBandAmps[b].load(), k->engine.analyser.levels[b]);
    }
    EXPECT_GT(k->sharedState.vizBandAmps[10].load(), 0.01f);

    // A copy renders the same future as the original and is independent of it.
    auto copy = std::make_unique<DSPKernel>(*k);
    EXPECT_EQ(copy->sharedState.dirtyMask.load(), 1u);
    testsupport::Buffers a(2, 2, 512), b(2, 2, 512);
    a.runRich(*k, 1, 99);
    b.runRich(*copy, 1, 99);
    EXPECT_EQ(a.out, b.out);
    copy->setParameter(0, 3.0f, false);
    EXPECT_EQ(k->engine.params.bands, 24);
}

} // namespace
