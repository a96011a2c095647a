#include "dsp/tests/TestSupport.hpp"

#include <gtest/gtest.h>

namespace {

// Fixed renders whose output bits must never change: optimisations of the engine have to keep them. The
// constants come from the plain frame-by-frame form of the processing. They were taken anew when the
// smoothers came to keep the distance left to their target rather than their value (glides used to stall
// short of their note, and then to jump the rest in one sample): the output changes wherever a smoother is
// near a target other than 0.
TEST(Determinism, FixedRenderChecksums) {
    auto k = testsupport::makeKernel(48000.0, 512);
    testsupport::applyWorstCaseSettings(*k);
    for (auto [address, value] : {std::pair{10u, 1.0f},
                                  {11u, -30.0f},
                                  {13u, -60.0f},
                                  {14u, -20.0f},
                                  {15u, 3.0f},
                                  {16u, 80.0f},
                                  {17u, 0.3f}}) {
        k->setParameter(address, value, false);
    }
    testsupport::Buffers io(2, 2, 512);
    uint64_t hash = 1469598103934665603ull;
    for (int block = 0; block < 48; ++block) {
        if (block < 24) {
            testsupport::fillAllBands(io, static_cast<uint64_t>(block) * 512, 48000.0);
        } else {
            io.fillRich(static_cast<uint64_t>(block) * 512, 48000.0);
        }
        io.run(*k, 512);
        hash = testsupport::fnv1a(io.out[0], hash);
        hash = testsupport::fnv1a(io.out[1], hash);
    }
    EXPECT_EQ(hash, 0xe2c67021baea368eull) << std::hex << hash;

    // Shapes switched on and off within blocks, bands falling silent and returning, odd block sizes, blocks
    // longer than the feedback buffer, mono and stereo.
    struct Step {
        uint32_t frames, inputs, outputs;
        std::vector<std::pair<uint64_t, float>> changes;
    };
    const std::vector<Step> script = {
        {512, 2, 2, {}},
        {300, 2, 2, {{18, 1.0f}, {8, 90.0f}}},
        {777, 2, 2, {}},
        {512, 2, 2, {{18, -0.2f}, {17, 1.0f}}},
        {1000, 2, 2, {{17, 0.0f}}},
        {129, 1, 2, {{18, 0.6f}, {0, 40.0f}, {5, 90.0f}}},
        {2000, 2, 2, {}},
        {64, 2, 1, {{6, -120.0f}}},
        {900, 2, 2, {}},
        {512, 2, 2, {{6, 0.0f}, {12, 100.0f}, {10, -1.0f}}},
        {1, 2, 2, {}},
        {511, 2, 2, {}},
    };
    auto s = testsupport::makeKernel(48000.0, 1024);
    testsupport::applyWorstCaseSettings(*s);
    s->setParameter(3, 10.0f, false);
    uint64_t position = 0;
    hash = 1469598103934665603ull;
    for (int round = 0; round < 2; ++round) {
        for (const Step& step : script) {
            for (auto [address, value] : step.changes) {
                s->setParameter(address, value, false);
            }
            testsupport::Buffers a(step.inputs, step.outputs, step.frames);
            testsupport::fillAllBands(a, position, 48000.0);
            position += step.frames;
            a.run(*s, step.frames);
            for (const auto& channel : a.out) {
                hash = testsupport::fnv1a(channel, hash);
            }
        }
    }
    EXPECT_EQ(hash, 0x55903846bad37dbeull) << std::hex << hash;
}

} // namespace
