// The render thread must never allocate: counts heap allocations made inside process.

#include "dsp/tests/AllocationCounter.hpp"
#include "dsp/tests/TestSupport.hpp"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

TEST(RenderThread, ProcessNeverAllocates) {
    auto k = testsupport::makeKernel(48000.0, 512);
    testsupport::applyWorstCaseSettings(*k);
    testsupport::Buffers io(2, 2, 512);
    // Warm up outside the counted region: bands become active, records are chosen.
    for (int block = 0; block < 12; ++block) {
        testsupport::fillAllBands(io, static_cast<uint64_t>(block) * 512, 48000.0);
        io.run(*k, 512);
    }
    const auto& active = k->engine.channels[0].bandActive;
    EXPECT_EQ(std::count(active.begin(), active.end(), true), 64);
    ASSERT_GT(k->engine.channels[0].feedbackBuffer.size(), 0u);

    EXPECT_EQ(alloccount::allocationsDuring([&] {
                  for (int block = 12; block < 24; ++block) { // every call analyses (20 ms slices)
                      io.run(*k, 512);
                      k->setParameter(4, static_cast<float>(block), true); // blur recomputes 128 coefficients
                      io.run(*k, 100);
                  }
              }),
              0);
}

} // namespace
