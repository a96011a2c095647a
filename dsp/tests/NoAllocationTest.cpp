// Counts heap allocations made while rendering: the render thread must never allocate.

#include "dsp/tests/TestSupport.hpp"

#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
} // namespace

// Plain and array forms; the library's nothrow and aligned forms are built on or paired with these.
void* operator new(std::size_t size) {
    if (counting.load(std::memory_order_relaxed)) {
        allocations.fetch_add(1, std::memory_order_relaxed);
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

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
    int active = 0;
    for (bool a : k->engine.channels[0].bandActive) {
        active += a ? 1 : 0;
    }
    EXPECT_EQ(active, 64);
    ASSERT_GT(k->engine.channels[0].feedbackBuffer.size(), 0u);

    // Check that the counter works at all.
    counting = true;
    auto* probe = new int(3);
    counting = false;
    delete probe;
    ASSERT_EQ(allocations.exchange(0), 1);

    counting = true;
    for (int block = 12; block < 24; ++block) { // every call analyses (20 ms slices, 512-frame blocks)
        io.run(*k, 512);
        k->setParameter(4, static_cast<float>(block), true); // blur recomputes 128 coefficients
        io.run(*k, 100);
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
}

} // namespace
