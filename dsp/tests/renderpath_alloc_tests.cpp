#include "dsp/RenderBlock.hpp"
#include "renderpath_support.hpp"

#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>

// Every allocation of this binary goes through malloc (so the sanitizers still see it) and is counted while
// counting is on.
namespace {
std::atomic<bool> gCounting{false};
std::atomic<int> gAllocations{0};

void* allocate(std::size_t size, std::size_t alignment = 0) {
    if (gCounting.load(std::memory_order_relaxed)) {
        gAllocations.fetch_add(1, std::memory_order_relaxed);
    }
    void* memory = nullptr;
    if (alignment > alignof(std::max_align_t)) {
        if (posix_memalign(&memory, alignment, size ? size : 1) != 0) {
            memory = nullptr;
        }
    } else {
        memory = std::malloc(size ? size : 1);
    }
    return memory;
}
} // namespace

void* operator new(std::size_t size) {
    if (void* memory = allocate(size)) {
        return memory;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return allocate(size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    if (void* memory = allocate(size, std::size_t(alignment))) {
        return memory;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return operator new(size, alignment);
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete[](void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept {
    std::free(memory);
}
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept {
    std::free(memory);
}

using namespace audiounit;

TEST(RenderPathAllocation, RenderingWithEventsAllocatesNothing) {
    RecordingKernel kernel;
    BufferedInputBus bus;
    AUProcessHelperT<RecordingKernel> helper(kernel, bus);
    bus.init(AudioFormat::standard(48000, 2), "Main");
    ASSERT_TRUE(bus.allocateRenderResources(256));
    helper.setChannelCounts(2, 2);

    float left[256] = {};
    float right[256] = {};
    AudioBufferList output;
    output.numberBuffers = 2;
    output.buffers[0] = {1, sizeof left, left};
    output.buffers[1] = {1, sizeof right, right};
    auto pull = [](AudioUnitRenderActionFlags*, const AudioTimeStamp*, uint32_t frames, int64_t,
                   AudioBufferList* list) {
        for (uint32_t c = 0; c < list->numberBuffers; ++c) {
            for (uint32_t i = 0; i < frames; ++i) {
                static_cast<float*>(list->buffers[c].data)[i] = 0.5f;
            }
        }
        return kNoErr;
    };
    std::array<RenderEvent, 4> events{parameterEvent(0, 1, 1), parameterEvent(100, 2, 2),
                                      parameterEvent(100, 3, 3), parameterEvent(300, 4, 4)};
    events[2].eventType = RenderEventType::parameterRamp;
    AudioTimeStamp time;

    // The counter itself works.
    gCounting = true;
    delete new int(1);
    gCounting = false;
    ASSERT_EQ(gAllocations.exchange(0), 1);

    gCounting = true;
    const OSStatus status = internalRenderBlockBody(helper, nullptr, &time, 256, 0, &output,
                                                    linkEvents(events), PullInputBlock(pull));
    const OSStatus refused =
        internalRenderBlockBody(helper, nullptr, &time, 257, 0, &output, nullptr, PullInputBlock(pull));
    gCounting = false;

    EXPECT_EQ(status, kNoErr);
    EXPECT_EQ(refused, kErrTooManyFramesToProcess);
    EXPECT_EQ(gAllocations.load(), 0);
    EXPECT_EQ(kernel.processCalls, 2);
}
