#include "dsp/DenormalGuard.hpp"
#include "dsp/tests/TestSupport.hpp"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <xmmintrin.h>

using testsupport::Buffers;
using testsupport::makeKernel;

namespace {

TEST(EngineLifecycle, PrepareAndResetSetWhatTheyOwnOnly) {
    auto k = std::make_unique<DSPKernel>();
    DSPEngine& e = k->engine;
    e.channels[0].voices[5].countdown = 123.0; // prepare and reset leave these alone
    e.lastMix = 0.3f;
    e.analyser.bandCount = 7;
    testsupport::setParameters(*k, {{6, -20.0f}, {4, 0.0f}});
    e.setMaximumFrames(512);
    e.prepare(48000.0);
    ASSERT_TRUE(testsupport::loadTables(e));

    EXPECT_EQ(e.channels[0].voices[5].countdown, 123.0);
    EXPECT_EQ(e.lastMix, 0.3f);
    EXPECT_EQ(e.analyser.bandCount, 7);
    EXPECT_EQ(e.window[0], 0.0f);
    EXPECT_EQ(e.window[2048], 1.0f);
    EXPECT_EQ(e.channels[1].ring, std::vector<float>(4096, 0.0f));
    EXPECT_EQ(e.channels[1].feedbackBuffer.size(), 512u);
    EXPECT_EQ(e.channels[1].voices[63].randomState, e.channels[0].voices[63].randomState);
    EXPECT_NE(e.channels[0].voices[1].randomState, e.channels[0].voices[0].randomState);
    EXPECT_EQ(e.channels[0].noteSmoothers[9].current, 69.0f);
    EXPECT_FLOAT_EQ(e.smoothers.inputGain.current, 0.1f); // settled on the mirror: no glide after prepare
    EXPECT_EQ(e.smoothers.inputGain.target, e.smoothers.inputGain.current);
    float spread = 0.0f;
    for (float d : e.detune) {
        EXPECT_LE(std::fabs(d), 0.5f);
        spread = std::max(spread, std::fabs(d - e.detune[0]));
    }
    EXPECT_GT(spread, 0.3f);

    Buffers io(2, 2, 512);
    testsupport::setParameters(*k, {{5, 50.0f}, {3, 10.0f}});
    io.runRich(*k, 20);
    ASSERT_TRUE(e.channels[0].bandActive[2] || e.channels[0].bandActive[3]);
    const auto feedback = e.channels[0].feedbackBuffer;
    const float lastMix = e.lastMix;
    const double countdown = e.channels[1].voices[3].countdown;
    k->setParameter(8, 80.0f, false);

    e.reset();
    EXPECT_EQ(e.sliceCounter, 0u);
    for (const auto& ch : e.channels) {
        EXPECT_EQ(ch.ring, std::vector<float>(4096, 0.0f));
        EXPECT_EQ(ch.writeIndex, 0);
        EXPECT_EQ(ch.gateGain, 1.0f);
        EXPECT_EQ(ch.limiter.gain, 1.0f);
        for (uint32_t b = 0; b < 64; ++b) {
            ASSERT_EQ(ch.voices[b].phase, 0.0);
            ASSERT_EQ(ch.voices[b].randomState, BandVoice::seedForBand(b));
            ASSERT_FALSE(ch.voices[b].shapes[0].valid);
            ASSERT_EQ(ch.noteSmoothers[b].target, 69.0f);
            ASSERT_EQ(ch.levelSmoothers[b].current, 0.0f);
            ASSERT_FALSE(ch.bandActive[b]);
        }
    }
    EXPECT_FLOAT_EQ(e.smoothers.mix.current, 0.8f);
    EXPECT_EQ(e.channels[0].feedbackBuffer, feedback);
    EXPECT_EQ(e.lastMix, lastMix);
    EXPECT_EQ(e.channels[1].voices[3].countdown, countdown);
}

TEST(EngineProcess, SlicePeriodAnalysesOnCallBoundaries) {
    auto k = makeKernel(44100.0, 1024);
    DSPEngine& e = k->engine;
    k->setParameter(3, 10.0f, false); // 441 frames
    Buffers io(2, 2, 512);
    io.run(*k, 440);
    io.run(*k, 1);
    EXPECT_EQ(e.analyser.bandCount, 0); // nothing analysed yet
    io.run(*k, 10);
    EXPECT_EQ(e.sliceCounter, 10u);
    EXPECT_EQ(e.analyser.bandCount, 16);

    // 512-frame calls against a 441-frame period: one analysis at the start of every call.
    e.reset();
    for (int call = 0; call < 4; ++call) {
        io.run(*k, 512);
        EXPECT_EQ(e.sliceCounter, 512u);
    }

    // 1 ms would be 44 frames: the floor of 64 applies.
    k->setParameter(3, 1.0f, false);
    e.reset();
    io.run(*k, 63);
    io.run(*k, 1);
    io.run(*k, 5);
    EXPECT_EQ(e.sliceCounter, 5u);
}

TEST(EngineProcess, DryPathsAreBitExact) {
    auto k = makeKernel(48000.0, 512);
    Buffers io(2, 2, 512);
    io.fillRich(0, 48000.0);
    k->engine.setBypass(true);
    io.run(*k, 512);
    EXPECT_EQ(io.out, io.in);
    EXPECT_EQ(k->engine.sliceCounter, 0u);
    k->engine.setBypass(false);

    Buffers none(0, 2, 256); // no input channels: outputs untouched, nothing processed
    none.out[1].assign(256, 0.25f);
    none.run(*k, 256);
    EXPECT_EQ(none.out[1][100], 0.25f);
    EXPECT_EQ(k->engine.sliceCounter, 0u);

    // Without buffers (after deallocation, before any prepare) audio passes through.
    k->engine.deallocate();
    io.fillRich(3, 48000.0);
    io.run(*k, 512);
    EXPECT_EQ(io.out, io.in);
    auto fresh = std::make_unique<DSPKernel>();
    io.fillRich(7, 48000.0);
    io.run(*fresh, 512);
    EXPECT_EQ(io.out, io.in);

    // Mix 0 % is exactly the dry input, whatever the rest does.
    k = makeKernel(48000.0, 512);
    testsupport::setParameters(*k, {{6, 12.0f}, {7, -9.0f}, {5, 80.0f}, {13, -10.0f}, {8, 0.0f}});
    k->engine.reset(); // settles the mix smoother at 0
    for (int block = 0; block < 10; ++block) {
        io.runRich(*k, 1, block);
        ASSERT_EQ(io.out, io.in) << block;
    }
    EXPECT_TRUE(k->engine.channels[0].bandActive[4] || k->engine.channels[0].bandActive[5]);
}

TEST(EngineProcess, ChannelRouting) {
    // One input, two outputs: one channel from mono, and both outputs equal a one-in, one-out render.
    auto mono = makeKernel(48000.0, 512);
    auto single = std::make_unique<DSPKernel>(*mono);
    Buffers oneTwo(1, 2, 512), oneOne(1, 1, 512);
    oneTwo.runRich(*mono, 12);
    oneOne.runRich(*single, 12);
    EXPECT_EQ(oneTwo.out[0], oneOne.out[0]);
    EXPECT_EQ(oneTwo.out[1], oneOne.out[0]);
    EXPECT_NE(oneTwo.out[0], oneTwo.in[0]);
    EXPECT_EQ(mono->engine.channels[1].writeIndex, 0);

    // Two inputs, one output: one channel analysed from the average of the inputs.
    auto twoIn = makeKernel(48000.0, 512);
    auto averaged = std::make_unique<DSPKernel>(*twoIn);
    Buffers twoOne(2, 1, 512), avgOne(1, 1, 512);
    twoOne.runRich(*twoIn, 12);
    for (uint64_t block = 0; block < 12; ++block) {
        avgOne.fill(block * 512, 48000.0, [](int, uint64_t n, double rate) {
            return (testsupport::richSample(0, n, rate) + testsupport::richSample(1, n, rate)) * 0.5f;
        });
        avgOne.run(*averaged, 512);
    }
    EXPECT_EQ(twoIn->engine.channels[0].ring, averaged->engine.channels[0].ring);
    EXPECT_EQ(twoIn->engine.channels[1].writeIndex, 0);
}

TEST(Feedback, LimiterSwitchesGainAtFirstZeroCrossing) {
    EXPECT_EQ(FeedbackLimiter::gainForPeak(0.95f), 1.0f);
    EXPECT_EQ(FeedbackLimiter::gainForPeak(1.9f), 0.5f);

    FeedbackLimiter fresh; // last sample 0: the new gain applies from the first sample
    float a[] = {1.0f, -1.0f};
    fresh.apply(a, 2, 0.5f);
    EXPECT_EQ(a[0], 0.5f);
    EXPECT_EQ(fresh.lastSample, -0.5f);

    FeedbackLimiter running{1.0f, 0.3f};
    float b[] = {0.4f, 0.0f, 0.2f, -0.8f, 0.6f};
    running.apply(b, 5, 0.5f);
    EXPECT_EQ(b[2], 0.2f);  // a 0 sample is no crossing
    EXPECT_EQ(b[3], -0.4f); // 0.2 -> -0.8 is the first
    EXPECT_EQ(running.gain, 0.5f);

    FeedbackLimiter hidden{1.0f, 0.3f}; // a sign change across an exact 0 goes unseen
    float h[] = {0.4f, 0.0f, -0.2f};
    hidden.apply(h, 3, 0.5f);
    EXPECT_EQ(h[2], -0.2f);
}

TEST(Feedback, LimitedInBlocksAndDirectInLongBlocks) {
    auto k = makeKernel(48000.0, 512);
    testsupport::setParameters(*k, {{5, 100.0f}, {6, 18.0f}, {3, 10.0f}});
    k->engine.reset();
    Buffers io(2, 2, 1024);
    float lowestGain = 1.0f;
    for (int block = 0; block < 16; ++block) {
        io.fillRich(static_cast<uint64_t>(block) * 512, 48000.0);
        io.run(*k, 512);
        lowestGain = std::min(lowestGain, k->engine.channels[0].limiter.gain);
        const auto& fb = k->engine.channels[0].feedbackBuffer;
        EXPECT_LE(std::fabs(fb[511]), 0.95f * 1.0001f); // past the block's first crossing
    }
    EXPECT_LT(lowestGain, 1.0f);

    // A block longer than the feedback buffer feeds back into the ring at once; buffers and limiter stay.
    const auto bufferBefore = k->engine.channels[0].feedbackBuffer;
    const float gainBefore = k->engine.channels[0].limiter.gain;
    auto dry = std::make_unique<DSPKernel>(*k);
    dry->engine.smoothers.feedback.jumpTo(0.0f);
    Buffers twin(2, 2, 1024);
    io.fillRich(9000, 48000.0);
    twin.fillRich(9000, 48000.0);
    io.run(*k, 1024);
    twin.run(*dry, 1024);
    EXPECT_EQ(k->engine.channels[0].feedbackBuffer, bufferBefore);
    EXPECT_EQ(k->engine.channels[0].limiter.gain, gainBefore);
    EXPECT_NE(k->engine.channels[0].ring, dry->engine.channels[0].ring);
}

TEST(EngineProcess, RestoresCallersFloatingPointMode) {
    auto k = makeKernel(48000.0, 512);
    Buffers io(2, 2, 512);
    io.fillRich(0, 48000.0);
    const unsigned original = _mm_getcsr();
    for (unsigned mode : {original & ~0x8040u, original | 0x8000u}) {
        _mm_setcsr(mode);
        io.run(*k, 512);
        EXPECT_EQ(_mm_getcsr(), mode);
    }
    _mm_setcsr(original & ~0x8040u);
    {
        DenormalGuard guard;
        volatile float tiny = 1e-39f;
        volatile float scaled = tiny * 0.5f;
        EXPECT_EQ(scaled, 0.0f); // flushed inside the guard
    }
    _mm_setcsr(original);
}

} // namespace

// A NaN, an infinity or a burst of huge finite samples from the host must not poison a channel: non-finite
// input reads as silence, overflowed state starts afresh, and the output stays finite throughout, with the
// effect singing again once finite input is back.
TEST(EngineHostileInput, NonFiniteAndHugeInputNeverPoisonsTheOutput) {
    enum class Poison { nan, inf, huge, overflowing };
    for (const Poison poison : {Poison::nan, Poison::inf, Poison::huge, Poison::overflowing}) {
        for (const float mix : {0.0f, 50.0f, 100.0f}) {
            for (const float feedback : {0.0f, 100.0f}) {
                auto k = makeKernel(48000.0, 512);
                testsupport::setParameters(*k, {{8, mix}, {5, feedback}, {3, 50.0f}, {6, 12.0f}});
                Buffers io(2, 2, 512);
                double lateEnergy = 0.0;
                bool finite = true;
                for (int block = 0; block < 80; ++block) {
                    io.fillRich(static_cast<uint64_t>(block) * 512, 48000.0);
                    if (block == 20 && poison == Poison::nan) {
                        io.in[0][100] = std::nanf("");
                    } else if (block == 20 && poison == Poison::inf) {
                        io.in[1][7] = -INFINITY;
                    } else if (block >= 20 && block < 30 && poison != Poison::nan && poison != Poison::inf) {
                        const float level = poison == Poison::huge ? 1e36f : 3e38f; // 0.1 s
                        for (auto& channel : io.in) {
                            for (std::size_t i = 0; i < channel.size(); ++i) {
                                channel[i] = (i % 2 ? level : -level);
                            }
                        }
                    }
                    io.run(*k, 512);
                    for (const auto& channel : io.out) {
                        for (const float sample : channel) {
                            finite = finite && std::isfinite(sample);
                            if (block >= 60) {
                                lateEnergy += static_cast<double>(sample) * sample;
                            }
                        }
                    }
                }
                const auto where = ::testing::Message() << "poison " << static_cast<int>(poison) << ", mix "
                                                        << mix << ", feedback " << feedback;
                EXPECT_TRUE(finite) << where;
                EXPECT_GT(lateEnergy, 1e-3) << where << ": the channel never came back";
                for (const auto& ch : k->engine.channels) {
                    EXPECT_TRUE(std::isfinite(ch.envelope)) << where;
                    for (const float sample : ch.ring) {
                        ASSERT_TRUE(std::isfinite(sample)) << where;
                    }
                }
            }
        }
    }
}

namespace {

// Silence is analysed without a transform and silent band groups are passed over: the bands must still fall
// silent, the output must reach true silence, and sound arriving afterwards must wake the bands again.
TEST(EngineIdle, SilenceSettlesAndSoundWakesTheBands) {
    auto k = makeKernel(48000.0, 512);
    testsupport::applyWorstCaseSettings(*k);
    k->setParameter(5, 0.0f, false);   // no feedback: silence in, silence out
    k->setParameter(8, 100.0f, false); // wet only
    DSPEngine& e = k->engine;
    Buffers io(2, 2, 512);
    const auto activeBands = [&] {
        int active = 0;
        for (const auto& ch : e.channels) {
            for (bool a : ch.bandActive) {
                active += a ? 1 : 0;
            }
        }
        return active;
    };
    for (int b = 0; b < 30; ++b) {
        testsupport::fillAllBands(io, static_cast<uint64_t>(b) * 512, 48000.0);
        io.run(*k, 512);
    }
    ASSERT_GT(activeBands(), 100);

    Buffers quiet(2, 2, 512);
    for (int b = 0; b < 200; ++b) { // about two seconds: the ring empties and the levels fade out
        quiet.run(*k, 512);
    }
    EXPECT_EQ(activeBands(), 0);
    for (float level : e.analyser.levels) {
        EXPECT_EQ(level, 0.0f);
    }
    for (const auto& ch : e.channels) {
        for (const auto& level : ch.levelSmoothers) {
            EXPECT_EQ(level.current, 0.0f);
        }
    }
    for (const auto& channel : quiet.out) {
        for (float v : channel) {
            ASSERT_EQ(v, 0.0f);
        }
    }

    for (int b = 0; b < 20; ++b) {
        testsupport::fillAllBands(io, static_cast<uint64_t>(b) * 512, 48000.0);
        io.run(*k, 512);
    }
    EXPECT_GT(activeBands(), 100);
    float peak = 0.0f;
    for (float v : io.out[0]) {
        peak = std::max(peak, std::fabs(v));
    }
    EXPECT_GT(peak, 0.01f);
}

// A band's note glides in the engine as a lone smoother does, on the scalar reference and on the vector
// smoothers: at most a cent a frame, and all the way to its note (it once jumped the last 3 cents of a
// 12-semitone glide at blur 20 and 96 kHz in one frame).
TEST(EngineGlide, BandNotesGlideSmoothlyOnEveryPath) {
    for (const bool reference : {true, false}) {
        SCOPED_TRACE(reference ? "reference" : "fastest");
        auto k = makeKernel(96000.0, 64);
        k->engine.referencePaths = reference;
        k->setParameter(4, 20.0f, false);             // 84.8 ms glides
        storeRelaxed(k->engine.params.sliceMs, 1e9f); // no analysis: the test sets the targets itself
        for (auto& ch : k->engine.channels) {
            ch.levelSmoothers[11].jumpTo(1.0f);
            ch.bandActive[11] = true;
            ch.noteSmoothers[11].setTarget(81.0f);
        }
        Buffers io(2, 2, 1);
        const OnePoleSmoother& note = k->engine.channels[1].noteSmoothers[11];
        float previous = note.current;
        for (int i = 0; i < static_cast<int>(8.0 * 0.0848 * 96000.0); ++i) {
            io.run(*k, 1);
            ASSERT_LE(std::fabs(note.current - previous), 0.01f) << "frame " << i;
            previous = note.current;
        }
        EXPECT_NEAR(note.current, 81.0f, 0.01f);
        EXPECT_EQ(k->engine.channels[0].noteSmoothers[11].current, note.current);
    }
}

} // namespace

namespace {

void comparePaths(VoiceLanes::Path path);

// The vector paths this processor takes (band smoothers, band voices, transform) give the scalar reference's
// output to the bit, through shape fades, odd block sizes, mono input and feedback; each voice lane path the
// processor has is taken in turn.
TEST(EnginePaths, FastestPathsMatchTheScalarReferenceBitForBit) {
    for (const auto path : {VoiceLanes::Path::Avx512, VoiceLanes::Path::Avx2}) {
        if (!VoiceLanes::has(path)) {
            continue;
        }
        SCOPED_TRACE(VoiceLanes::lanes(path));
        comparePaths(path);
    }
}

void comparePaths(VoiceLanes::Path path) {
    auto fast = makeKernel(48000.0, 1024);
    fast->engine.lanePath = path;
    auto reference = makeKernel(48000.0, 1024);
    reference->engine.referencePaths = true;
    for (auto* k : {fast.get(), reference.get()}) {
        testsupport::applyWorstCaseSettings(*k);
    }
    struct Step {
        uint32_t frames, inputs;
        std::vector<std::pair<uint64_t, float>> changes;
    };
    const std::vector<Step> script = {
        {512, 2, {}},
        {700, 2, {{17, 0.0f}, {18, 0.0f}}}, // one shape only
        {333, 2, {{17, 1.0f}}},
        {1024, 2, {{18, 1.0f}, {4, 90.0f}}},
        {129, 1, {{17, 0.5f}, {18, 0.5f}, {5, 90.0f}}},
        {1000, 2, {{0, 37.0f}, {12, 100.0f}}},
        {64, 2, {{6, -120.0f}}},
        {900, 2, {{6, 0.0f}, {3, 10.0f}}},
    };
    uint64_t position = 0;
    for (int round = 0; round < 3; ++round) {
        for (size_t s = 0; s < script.size(); ++s) {
            const Step& step = script[s];
            Buffers a(step.inputs, 2, step.frames);
            Buffers b(step.inputs, 2, step.frames);
            for (auto* io : {&a, &b}) {
                if (round == 1) {
                    io->fillRich(position, 48000.0);
                } else {
                    testsupport::fillAllBands(*io, position, 48000.0);
                }
            }
            for (auto [address, value] : step.changes) {
                fast->setParameter(address, value, false);
                reference->setParameter(address, value, false);
            }
            a.run(*fast, step.frames);
            b.run(*reference, step.frames);
            position += step.frames;
            for (size_t c = 0; c < 2; ++c) {
                ASSERT_EQ(0, std::memcmp(a.out[c].data(), b.out[c].data(), step.frames * sizeof(float)))
                    << "round " << round << " step " << s << " channel " << c;
            }
        }
    }
    EXPECT_EQ(fast->engine.analyser.levels, reference->engine.analyser.levels);
}

} // namespace
