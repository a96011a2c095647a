#pragma once

#include "audiounit/Types.hpp"

#include <array>
#include <cstdint>

// A kernel that records its calls in fixed storage (so recording allocates nothing) and writes
// input + 1000 * call number to each output sample it is given.
struct RecordingKernel {
    struct Engine {
        uint32_t frames = 256;
        uint32_t maximumFrames() const { return frames; }
    } engine;

    struct Call {
        enum Kind { process, parameter } kind = process;
        // process
        uint32_t inputCount = 0;
        uint32_t outputCount = 0;
        uint32_t frames = 0;
        std::array<const float*, 4> inputs{};
        std::array<float*, 4> outputs{};
        // parameter
        uint64_t address = 0;
        float value = 0;
        bool markDirty = false;
    };
    std::array<Call, 32> calls{};
    size_t callCount = 0;
    int processCalls = 0;

    void setParameter(uint64_t address, float value, bool markDirty) {
        Call& call = calls.at(callCount++);
        call.kind = Call::parameter;
        call.address = address;
        call.value = value;
        call.markDirty = markDirty;
    }

    void process(const float* const* inputs, uint32_t inputCount, float* const* outputs, uint32_t outputCount,
                 uint32_t frames) {
        Call& call = calls.at(callCount++);
        call.kind = Call::process;
        call.inputCount = inputCount;
        call.outputCount = outputCount;
        call.frames = frames;
        ++processCalls;
        for (uint32_t c = 0; c < inputCount && c < 4; ++c) {
            call.inputs[c] = inputs[c];
        }
        for (uint32_t c = 0; c < outputCount && c < 4; ++c) {
            call.outputs[c] = outputs[c];
            for (uint32_t i = 0; i < frames; ++i) {
                outputs[c][i] = (c < inputCount ? inputs[c][i] : 0.0f) + 1000.0f * float(processCalls);
            }
        }
    }
};

inline audiounit::RenderEvent parameterEvent(int64_t time, uint64_t address, float value) {
    audiounit::RenderEvent event;
    event.eventSampleTime = time;
    event.eventType = audiounit::RenderEventType::parameter;
    event.parameterAddress = address;
    event.value = value;
    return event;
}

// Links events in the given order and returns the head.
template <size_t N> const audiounit::RenderEvent* linkEvents(std::array<audiounit::RenderEvent, N>& events) {
    for (size_t i = 0; i + 1 < N; ++i) {
        events[i].next = &events[i + 1];
    }
    return N ? &events[0] : nullptr;
}
