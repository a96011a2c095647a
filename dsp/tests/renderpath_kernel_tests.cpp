#include "dsp/DSPKernel.hpp"
#include "dsp/RenderBlock.hpp"
#include "renderpath_support.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace audiounit;

// The render path driving the real kernel, wired as the audio unit wires it.
TEST(RenderPathWithKernel, BypassCopiesInputAndEventsReachTheSharedState) {
    auto kernel = std::make_unique<DSPKernel>();
    BufferedInputBus bus;
    AUProcessHelper helper(*kernel, bus);
    bus.init(AudioFormat::standard(44100, 2), "Main");
    ASSERT_TRUE(bus.allocateRenderResources(kernel->engine.maximumFrames()));
    kernel->engine.prepare(44100);
    helper.setChannelCounts(2, 2);
    kernel->engine.setBypass(true);

    std::vector<float> left(512, -9.0f), right(512, -9.0f);
    AudioBufferList output;
    output.numberBuffers = 2;
    output.buffers[0] = {1, 512 * 4, left.data()};
    output.buffers[1] = {1, 512 * 4, right.data()};
    auto pull = [](AudioUnitRenderActionFlags*, const AudioTimeStamp*, uint32_t frames, int64_t,
                   AudioBufferList* list) {
        for (uint32_t c = 0; c < list->numberBuffers; ++c) {
            for (uint32_t i = 0; i < frames; ++i) {
                static_cast<float*>(list->buffers[c].data)[i] = float(c + 1) * 0.001f * float(i % 100);
            }
        }
        return kNoErr;
    };
    RenderEvent event = parameterEvent(200, 8, 70.0f);
    AudioTimeStamp time;

    ASSERT_EQ(internalRenderBlockBody(helper, nullptr, &time, 512, 0, &output, &event, PullInputBlock(pull)),
              kNoErr);
    for (uint32_t i = 0; i < 512; i += 37) {
        EXPECT_EQ(left[i], 0.001f * float(i % 100)) << i;
        EXPECT_EQ(right[i], 0.002f * float(i % 100)) << i;
    }
    EXPECT_EQ(kernel->sharedState.paramValues[8].load(), 70.0f);
    EXPECT_NE(kernel->sharedState.dirtyMask.load() & (1u << 8), 0u);

    // A pull that leaves the first input without data: nothing reaches the kernel as input, and the host's
    // output holds silence instead of what it held before.
    auto dropping = [&](AudioUnitRenderActionFlags* flags, const AudioTimeStamp* t, uint32_t frames,
                        int64_t busNumber, AudioBufferList* list) {
        const OSStatus status = pull(flags, t, frames, busNumber, list);
        list->buffers[0].data = nullptr;
        return status;
    };
    std::fill(left.begin(), left.end(), -9.0f);
    std::fill(right.begin(), right.end(), -9.0f);
    ASSERT_EQ(
        internalRenderBlockBody(helper, nullptr, &time, 512, 0, &output, nullptr, PullInputBlock(dropping)),
        kNoErr);
    EXPECT_EQ(left[0], 0.0f);
    EXPECT_EQ(right[511], 0.0f);
}
