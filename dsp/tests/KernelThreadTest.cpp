// The kernel's cross-thread contract, exercised from real threads (run under ThreadSanitizer in CI).
#include "dsp/tests/TestSupport.hpp"

#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

using testsupport::Buffers;
using testsupport::makeKernel;

namespace {

// A host thread sets parameters and an editor thread polls the shared state while the render thread
// processes: every value the poll reads is one that was written, and the render output stays finite.
TEST(KernelThreads, HostWritesAndEditorPollsWhileRendering) {
    auto kernel = makeKernel(48000.0, 256);
    std::atomic<bool> stop{false};
    std::thread host([&] {
        for (int i = 0; !stop.load(std::memory_order_relaxed); ++i) {
            kernel->setParameter(8, static_cast<float>(i % 101), true);
            kernel->setParameter(17, static_cast<float>(i % 11) / 10.0f, true);
            kernel->setParameter(4, static_cast<float>(i % 7) * 10.0f, false);
        }
    });
    std::atomic<int> polls{0};
    std::atomic<bool> badValue{false};
    std::thread editor([&] {
        DSPSharedState& shared = kernel->sharedState;
        while (!stop.load(std::memory_order_relaxed)) {
            const uint32_t mask = shared.dirtyMask.exchange(0, std::memory_order_acq_rel);
            if (mask & (1u << 8)) {
                const float mix = shared.paramValues[8].load(std::memory_order_relaxed);
                if (!(mix >= 0.0f && mix <= 100.0f)) {
                    badValue.store(true);
                }
            }
            const int bands = shared.vizBandCount.load(std::memory_order_relaxed);
            for (int b = 0; b < std::clamp(bands, 0, DSPSharedState::kBands); ++b) {
                if (!std::isfinite(shared.vizBandAmps[b].load(std::memory_order_relaxed))) {
                    badValue.store(true);
                }
            }
            polls.fetch_add(1, std::memory_order_relaxed);
        }
    });
    Buffers io(2, 2, 256);
    bool finite = true;
    for (int block = 0; block < 400; ++block) {
        io.fillRich(static_cast<uint64_t>(block) * 256, 48000.0);
        io.run(*kernel, 256);
        for (const auto& channel : io.out) {
            for (float sample : channel) {
                finite = finite && std::isfinite(sample);
            }
        }
    }
    stop.store(true);
    host.join();
    editor.join();
    EXPECT_TRUE(finite);
    EXPECT_FALSE(badValue.load());
    EXPECT_GT(polls.load(), 0);
}

} // namespace
