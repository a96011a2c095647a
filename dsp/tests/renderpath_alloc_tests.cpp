#include "dsp/RenderBlock.hpp"
#include "dsp/tests/AllocationCounter.hpp"
#include "renderpath_support.hpp"

#include <gtest/gtest.h>

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
            std::fill_n(static_cast<float*>(list->buffers[c].data), frames, 0.5f);
        }
        return kNoErr;
    };
    std::array<RenderEvent, 4> events{parameterEvent(0, 1, 1), parameterEvent(100, 2, 2),
                                      parameterEvent(100, 3, 3), parameterEvent(300, 4, 4)};
    events[2].eventType = RenderEventType::parameterRamp;
    AudioTimeStamp time;

    OSStatus status = -1, refused = -1;
    EXPECT_EQ(alloccount::allocationsDuring([&] {
                  status = internalRenderBlockBody(helper, nullptr, &time, 256, 0, &output,
                                                   linkEvents(events), PullInputBlock(pull));
                  refused = internalRenderBlockBody(helper, nullptr, &time, 257, 0, &output, nullptr,
                                                    PullInputBlock(pull));
              }),
              0);
    EXPECT_EQ(status, kNoErr);
    EXPECT_EQ(refused, kErrTooManyFramesToProcess);
    EXPECT_EQ(kernel.processCalls, 2);
}
