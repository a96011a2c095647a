#pragma once

#include "audiounit/Types.hpp"
#include "dsp/AUProcessHelper.hpp"

#include <algorithm>
#include <cstdint>

// The body of the audio unit's render block. Render thread: no allocation, lock or system call.
//   kErrUninitialized           input buffer not allocated (before allocation or after deallocation)
//   kErrTooManyFramesToProcess  more frames than the kernel or the input buffer is sized for
//   kErrNoConnection            no pull-input block
//   the pull block's status     when pulling input fails
//   kErrInvalidProperty         no output list, or its first buffer has no data or is too small
// On any failure nothing is processed and the kernel is untouched. Action flags and the output bus number
// are not consulted.
template <class Kernel>
audiounit::OSStatus internalRenderBlockBody(AUProcessHelperT<Kernel>& helper,
                                            audiounit::AudioUnitRenderActionFlags* /*actionFlags*/,
                                            const audiounit::AudioTimeStamp* timestamp, uint32_t frameCount,
                                            int64_t /*outputBusNumber*/,
                                            audiounit::AudioBufferList* outputData,
                                            const audiounit::RenderEvent* realtimeEventListHead,
                                            audiounit::PullInputBlock pullInputBlock) {
    BufferedInputBus& input = helper.inputBus();
    if (!input.isAllocated()) {
        return audiounit::kErrUninitialized;
    }
    const uint32_t maximumFrames =
        std::min<uint32_t>(helper.kernel().engine.maximumFrames(), input.maximumFrames());
    if (frameCount > maximumFrames) {
        return audiounit::kErrTooManyFramesToProcess;
    }
    if (!pullInputBlock) {
        return audiounit::kErrNoConnection;
    }

    input.prepareInputBufferList(frameCount);
    audiounit::AudioUnitRenderActionFlags pullFlags = 0;
    const audiounit::OSStatus pulled =
        pullInputBlock(&pullFlags, timestamp, frameCount, 0, input.mutableAudioBufferList());
    if (pulled != audiounit::kNoErr) {
        return pulled;
    }

    if (!outputData || outputData->numberBuffers == 0 || !outputData->buffers[0].data ||
        outputData->buffers[0].dataByteSize < uint64_t(frameCount) * sizeof(float)) {
        return audiounit::kErrInvalidProperty;
    }
    helper.processSplitAtEvents(input.mutableAudioBufferList(), outputData, timestamp, frameCount,
                                realtimeEventListHead);
    return audiounit::kNoErr;
}
