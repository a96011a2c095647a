#pragma once

#include "audiounit/Types.hpp"
#include "dsp/BufferedInputBus.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

// Drives a kernel for one render call: points the channel pointer arrays into the buffers and splits the
// call at the sample times of the host's parameter events. The kernel type needs
//   setParameter(uint64_t address, float value, bool markDirty)
//   process(const float* const*, uint32_t, float* const*, uint32_t, uint32_t frames)
//   engine.maximumFrames()
template <class Kernel> class AUProcessHelperT {
public:
    AUProcessHelperT(Kernel& kernel, BufferedInputBus& inputBus) : kernel_(&kernel), inputBus_(&inputBus) {}

    // At render-resource allocation: sizes the pointer arrays so that rendering never allocates.
    void setChannelCounts(uint32_t inputChannels, uint32_t outputChannels) {
        inputChannelCount_ = inputChannels;
        inputPointers_.assign(inputChannels, nullptr);
        outputPointers_.assign(outputChannels, nullptr);
    }

    Kernel& kernel() const { return *kernel_; }
    BufferedInputBus& inputBus() const { return *inputBus_; }
    uint32_t inputChannelCount() const { return inputChannelCount_; }
    size_t outputChannelCount() const { return outputPointers_.size(); }

    // Render thread. Processes each event-free span in one kernel call; events due at or before a span's
    // start are applied first.
    void processSplitAtEvents(const audiounit::AudioBufferList* input, audiounit::AudioBufferList* output,
                              const audiounit::AudioTimeStamp* timestamp, uint32_t frameCount,
                              const audiounit::RenderEvent* event) {
        if (frameCount == 0) {
            return;
        }
        // Only channels with a buffer that holds the whole call reach the kernel, so it never sees a null
        // or short buffer when the host's lists are smaller than the bus formats.
        const uint32_t inputs =
            usableChannels(input, std::min<size_t>(inputChannelCount_, inputPointers_.size()), frameCount);
        const uint32_t outputs = usableChannels(output, outputPointers_.size(), frameCount);

        int64_t now = sampleTimeOf(timestamp);
        uint32_t remaining = frameCount;
        while (event) {
            uint32_t segment = 0;
            if (event->eventSampleTime > now) {
                const uint64_t ahead = uint64_t(event->eventSampleTime) - uint64_t(now);
                segment = uint32_t(std::min<uint64_t>(ahead, remaining));
            }
            if (segment > 0) {
                processSpan(input, inputs, output, outputs, frameCount - remaining, segment);
                now += segment;
                remaining -= segment;
            }
            event = applyEventsUpTo(now, event);
            if (remaining == 0) {
                // Events stamped past the end of the buffer still take effect (from the next buffer) rather
                // than being dropped.
                applyEventsUpTo(std::numeric_limits<int64_t>::max(), event);
                return;
            }
        }
        processSpan(input, inputs, output, outputs, frameCount - remaining, remaining);
    }

    // Applies the given event and every following one due at or before now; returns the first event left.
    // Only parameter events change anything; ramps and MIDI are skipped.
    const audiounit::RenderEvent* applyEventsUpTo(int64_t now, const audiounit::RenderEvent* event) {
        if (!event) {
            return nullptr;
        }
        do {
            if (event->eventType == audiounit::RenderEventType::parameter) {
                kernel_->setParameter(event->parameterAddress, event->value, true);
            }
            event = event->next;
        } while (event && event->eventSampleTime <= now);
        return event;
    }

private:
    static int64_t sampleTimeOf(const audiounit::AudioTimeStamp* timestamp) {
        const double time = timestamp ? timestamp->sampleTime : 0.0;
        // Truncates toward zero; values a 64-bit count cannot hold (or NaN) count as 0.
        if (!(std::abs(time) < 9.2e18)) {
            return 0;
        }
        return int64_t(time);
    }

    static uint32_t usableChannels(const audiounit::AudioBufferList* list, size_t pointers, uint32_t frames) {
        if (!list) {
            return 0;
        }
        const size_t limit =
            std::min<size_t>({pointers, list->numberBuffers, audiounit::AudioBufferList::kMaxBuffers});
        const uint64_t bytes = uint64_t(frames) * sizeof(float);
        uint32_t count = 0;
        while (count < limit && list->buffers[count].data && list->buffers[count].dataByteSize >= bytes) {
            ++count;
        }
        return count;
    }

    void processSpan(const audiounit::AudioBufferList* input, uint32_t inputs,
                     audiounit::AudioBufferList* output, uint32_t outputs, uint32_t offset, uint32_t frames) {
        for (uint32_t i = 0; i < inputs; ++i) {
            inputPointers_[i] = static_cast<const float*>(input->buffers[i].data) + offset;
        }
        for (uint32_t i = 0; i < outputs; ++i) {
            outputPointers_[i] = static_cast<float*>(output->buffers[i].data) + offset;
            // Without any input the kernel writes nothing; silence beats whatever the host's buffer held.
            if (inputs == 0) {
                std::fill_n(outputPointers_[i], frames, 0.0f);
            }
        }
        kernel_->process(inputPointers_.data(), inputs, outputPointers_.data(), outputs, frames);
    }

    Kernel* kernel_;
    BufferedInputBus* inputBus_;
    std::vector<const float*> inputPointers_;
    std::vector<float*> outputPointers_;
    uint32_t inputChannelCount_ = 0;
};

struct DSPKernel;
using AUProcessHelper = AUProcessHelperT<DSPKernel>;
