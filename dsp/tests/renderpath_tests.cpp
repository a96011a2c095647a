#include "dsp/RenderBlock.hpp"
#include "renderpath_support.hpp"

#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

using namespace audiounit;
using Call = RecordingKernel::Call;

namespace {

class RenderPath : public ::testing::Test {
protected:
    static constexpr uint32_t kFrames = 256;

    void SetUp() override {
        bus.init(AudioFormat::standard(44100, 2), "Main");
        ASSERT_TRUE(bus.allocateRenderResources(kFrames));
        helper.setChannelCounts(2, 2);
        for (auto& channel : out) {
            channel.assign(kFrames, -1.0f);
        }
        outList.numberBuffers = 2;
        for (uint32_t c = 0; c < 2; ++c) {
            outList.buffers[c] = {1, kFrames * 4, out[c].data()};
        }
    }

    // The host's pull: fills the buffers it is given with channel * 100 + frame and records the call.
    OSStatus pull(AudioUnitRenderActionFlags* flags, const AudioTimeStamp* time, uint32_t frames,
                  int64_t busNumber, AudioBufferList* list) {
        ++pulls;
        pulled = {*flags, time, frames, busNumber, *list};
        if (pullStatus != kNoErr) {
            return pullStatus;
        }
        if (repoint) {
            list->numberBuffers = 1;
            list->buffers[0].data = hostInput.data();
            list->buffers[0].dataByteSize = kFrames * 4;
        }
        for (uint32_t c = 0; c < list->numberBuffers; ++c) {
            auto* samples = static_cast<float*>(list->buffers[c].data);
            for (uint32_t i = 0; i < frames; ++i) {
                samples[i] = float(c * 100 + i);
            }
        }
        if (dropInput) {
            list->buffers[0].data = nullptr;
        }
        return kNoErr;
    }

    std::function<OSStatus(AudioUnitRenderActionFlags*, const AudioTimeStamp*, uint32_t, int64_t,
                           AudioBufferList*)>
        pullFn = [this](auto... args) { return pull(args...); };
    PullInputBlock pullBlock() { return PullInputBlock(pullFn); }

    OSStatus render(uint32_t frames, const RenderEvent* events = nullptr, double sampleTime = 1000.0,
                    AudioBufferList* output = nullptr, bool withPull = true) {
        time.sampleTime = sampleTime;
        return internalRenderBlockBody(helper, nullptr, &time, frames, 0, output ? output : &outList, events,
                                       withPull ? pullBlock() : PullInputBlock());
    }

    std::vector<Call> calls() const {
        return {kernel.calls.begin(), kernel.calls.begin() + kernel.callCount};
    }

    const float* inputChannel(uint32_t c) const {
        return static_cast<const float*>(bus.audioBufferList()->buffers[c].data);
    }

    RecordingKernel kernel;
    BufferedInputBus bus;
    AUProcessHelperT<RecordingKernel> helper{kernel, bus};
    std::array<std::vector<float>, 2> out;
    AudioBufferList outList;
    AudioTimeStamp time;

    int pulls = 0;
    struct {
        AudioUnitRenderActionFlags flags = 99;
        const AudioTimeStamp* time = nullptr;
        uint32_t frames = 0;
        int64_t bus = -1;
        AudioBufferList list;
    } pulled;
    OSStatus pullStatus = kNoErr;
    bool repoint = false;
    bool dropInput = false;
    std::vector<float> hostInput = std::vector<float>(kFrames, 0.0f);
};

} // namespace

TEST_F(RenderPath, RefusalsAndFailuresTouchNothing) {
    EXPECT_EQ(render(kFrames + 1), kErrTooManyFramesToProcess);
    // The input buffer is the tighter limit when the kernel allows more.
    kernel.engine.frames = 4096;
    EXPECT_EQ(render(kFrames + 1), kErrTooManyFramesToProcess);
    kernel.engine.frames = 128;
    EXPECT_EQ(render(129), kErrTooManyFramesToProcess);
    EXPECT_EQ(pulls, 0);
    kernel.engine.frames = kFrames;

    EXPECT_EQ(render(64, nullptr, 0, nullptr, false), kErrNoConnection);

    pullStatus = -1234;
    auto event = parameterEvent(1000, 3, 1.0f);
    EXPECT_EQ(render(64, &event), -1234);
    pullStatus = kNoErr;

    AudioBufferList empty;
    AudioBufferList noData = outList;
    noData.buffers[0].data = nullptr;
    AudioBufferList tooSmall = outList;
    tooSmall.buffers[0].dataByteSize = 63 * 4;
    for (AudioBufferList* list : {&empty, &noData, &tooSmall}) {
        EXPECT_EQ(render(64, &event, 1000, list), kErrInvalidProperty);
    }
    EXPECT_EQ(internalRenderBlockBody(helper, nullptr, &time, 64, 0, nullptr, nullptr, pullBlock()),
              kErrInvalidProperty);

    // An input that was never allocated, or cannot be.
    BufferedInputBus fresh;
    AUProcessHelperT<RecordingKernel> freshHelper(kernel, fresh);
    const auto renderFresh = [&] {
        return internalRenderBlockBody(freshHelper, nullptr, &time, 64, 0, &outList, nullptr, pullBlock());
    };
    EXPECT_EQ(renderFresh(), kErrUninitialized);

    // A format that cannot be rendered leaves no bus, so allocation fails and rendering stays refused.
    fresh.init(AudioFormat::standard(0, 2), "Main");
    EXPECT_EQ(fresh.bus(), nullptr);
    EXPECT_FALSE(fresh.allocateRenderResources(256));
    EXPECT_EQ(renderFresh(), kErrUninitialized);

    EXPECT_EQ(kernel.callCount, 0u);
    EXPECT_EQ(out[0][0], -1.0f);
    EXPECT_EQ(out[1][kFrames - 1], -1.0f);

    EXPECT_EQ(render(kFrames), kNoErr);
    ASSERT_EQ(kernel.callCount, 1u);
    EXPECT_EQ(kernel.calls[0].frames, kFrames);

    bus.deallocateRenderResources();
    pulls = 0;
    EXPECT_EQ(render(64), kErrUninitialized);
    EXPECT_EQ(pulls, 0);
    EXPECT_EQ(kernel.callCount, 1u);
}

TEST_F(RenderPath, KernelGetsWhatWasPulledAndOnlyTheBuffersPresent) {
    repoint = true;
    ASSERT_EQ(render(200), kNoErr);
    EXPECT_EQ(pulled.flags, 0u);
    EXPECT_EQ(pulled.time, &time);
    EXPECT_EQ(pulled.frames, 200u);
    EXPECT_EQ(pulled.bus, 0);
    ASSERT_EQ(pulled.list.numberBuffers, 2u);
    EXPECT_EQ(pulled.list.buffers[1].data, inputChannel(1));
    EXPECT_EQ(pulled.list.buffers[1].dataByteSize, 800u);
    // The host repointed the first buffer and dropped the second: the kernel reads the host's memory and
    // gets one input channel, never a null pointer.
    ASSERT_EQ(kernel.callCount, 1u);
    EXPECT_EQ(kernel.calls[0].inputCount, 1u);
    EXPECT_EQ(kernel.calls[0].inputs[0], hostInput.data());
    EXPECT_EQ(kernel.calls[0].outputCount, 2u);
    EXPECT_EQ(out[0][5], 5.0f + 1000.0f);

    // The next pull gets the buffer's own storage back.
    repoint = false;
    ASSERT_EQ(render(100), kNoErr);
    ASSERT_EQ(pulled.list.numberBuffers, 2u);
    EXPECT_EQ(pulled.list.buffers[0].data, inputChannel(0));
    EXPECT_EQ(pulled.list.buffers[0].dataByteSize, 400u);
    EXPECT_EQ(kernel.calls[1].inputCount, 2u);
    EXPECT_EQ(kernel.calls[1].inputs[1], inputChannel(1));

    // Fewer output buffers than pointers: only those are handed over.
    AudioBufferList mono = outList;
    mono.numberBuffers = 1;
    ASSERT_EQ(render(64, nullptr, 0, &mono), kNoErr);
    EXPECT_EQ(kernel.calls[2].outputCount, 1u);

    // More buffers than pointers: the pointer array bounds the count.
    std::vector<float> extra(kFrames, -1.0f);
    AudioBufferList wide = outList;
    wide.numberBuffers = 3;
    wide.buffers[2] = {1, kFrames * 4, extra.data()};
    ASSERT_EQ(render(64, nullptr, 0, &wide), kNoErr);
    EXPECT_EQ(kernel.calls[3].outputCount, 2u);
    EXPECT_EQ(extra[0], -1.0f);

    // A later buffer without data ends the usable channels there.
    AudioBufferList gap = outList;
    gap.buffers[1].data = nullptr;
    ASSERT_EQ(render(64, nullptr, 0, &gap), kNoErr);
    EXPECT_EQ(kernel.calls[4].outputCount, 1u);
    EXPECT_EQ(kernel.calls[4].inputCount, 2u);

    // A pull that leaves the first input without data: the kernel sees no input at all.
    dropInput = true;
    ASSERT_EQ(render(64, nullptr, 0), kNoErr);
    EXPECT_EQ(kernel.calls[5].inputCount, 0u);
}

TEST_F(RenderPath, EventSplitsTheBufferAndOffsetsThePointers) {
    std::array<RenderEvent, 1> events{parameterEvent(1100, 5, 0.75f)};
    ASSERT_EQ(render(kFrames, linkEvents(events), 1000.0), kNoErr);
    auto log = calls();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].frames, 100u);
    EXPECT_EQ(log[0].outputs[0], out[0].data());
    EXPECT_EQ(log[0].inputs[1], inputChannel(1));
    EXPECT_EQ(log[1].kind, Call::parameter);
    EXPECT_EQ(log[1].value, 0.75f);
    EXPECT_TRUE(log[1].markDirty);
    EXPECT_EQ(log[2].frames, 156u);
    EXPECT_EQ(log[2].outputs[1], out[1].data() + 100);
    EXPECT_EQ(log[2].inputs[0], inputChannel(0) + 100);
    // Every frame is written exactly once, each part by its own call.
    EXPECT_EQ(out[1][99], 100.0f + 99.0f + 1000.0f);
    EXPECT_EQ(out[1][100], 100.0f + 100.0f + 2000.0f);
    EXPECT_EQ(out[0][255], 255.0f + 2000.0f);

    // A second split starts where the previous span ended.
    kernel = RecordingKernel();
    std::array<RenderEvent, 2> two{parameterEvent(1100, 1, 1), parameterEvent(1200, 2, 2)};
    ASSERT_EQ(render(kFrames, linkEvents(two), 1000.0), kNoErr);
    log = calls();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[2].outputs[1], out[1].data() + 100);
    EXPECT_EQ(log[4].frames, 56u);
    EXPECT_EQ(log[4].outputs[0], out[0].data() + 200);
    EXPECT_EQ(log[4].inputs[1], inputChannel(1) + 200);
}

TEST_F(RenderPath, EventTimingAtTheEdgesOfTheBuffer) {
    using Kinds = std::vector<std::pair<Call::Kind, uint32_t>>; // (kind, frames or address)
    auto summary = [this] {
        Kinds result;
        for (const auto& call : calls()) {
            result.emplace_back(call.kind, call.kind == Call::process ? call.frames : uint32_t(call.address));
        }
        kernel.callCount = 0;
        return result;
    };

    // At the start, and late (before the start): applied before any frame.
    std::array<RenderEvent, 2> early{parameterEvent(990, 1, 1), parameterEvent(1000, 2, 2)};
    ASSERT_EQ(render(kFrames, linkEvents(early)), kNoErr);
    EXPECT_EQ(summary(), (Kinds{{Call::parameter, 1}, {Call::parameter, 2}, {Call::process, 256}}));

    // Two at the same time are both applied before the following frames; a fractional start truncates.
    std::array<RenderEvent, 2> same{parameterEvent(1050, 3, 3), parameterEvent(1050, 4, 4)};
    ASSERT_EQ(render(kFrames, linkEvents(same), 1000.9), kNoErr);
    EXPECT_EQ(summary(),
              (Kinds{{Call::process, 50}, {Call::parameter, 3}, {Call::parameter, 4}, {Call::process, 206}}));

    // At the last frame: that frame is still processed after the event.
    std::array<RenderEvent, 1> last{parameterEvent(1255, 6, 6)};
    ASSERT_EQ(render(kFrames, linkEvents(last)), kNoErr);
    EXPECT_EQ(summary(), (Kinds{{Call::process, 255}, {Call::parameter, 6}, {Call::process, 1}}));

    // After the end: all frames first; every such event still reaches the kernel, for the next buffer.
    std::array<RenderEvent, 2> late{parameterEvent(1300, 7, 7), parameterEvent(1400, 8, 8)};
    ASSERT_EQ(render(kFrames, linkEvents(late)), kNoErr);
    EXPECT_EQ(summary(), (Kinds{{Call::process, 256}, {Call::parameter, 7}, {Call::parameter, 8}}));

    // Ramps and MIDI change nothing.
    std::array<RenderEvent, 2> other{parameterEvent(1100, 9, 9), parameterEvent(1100, 10, 10)};
    other[0].eventType = RenderEventType::parameterRamp;
    other[1].eventType = RenderEventType::midi;
    ASSERT_EQ(render(kFrames, linkEvents(other)), kNoErr);
    EXPECT_EQ(summary(), (Kinds{{Call::process, 100}, {Call::process, 156}}));
}
