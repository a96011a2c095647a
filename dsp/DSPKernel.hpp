#pragma once

#include "dsp/DSPEngine.hpp"

#include <atomic>
#include <cstdint>

// Parameter and analyser values shared between the kernel and the user interface.
struct DSPSharedState {
    static constexpr int kParameterCount = 19;
    static constexpr int kBands = 64;

    std::atomic<float> paramValues[kParameterCount]{};
    std::atomic<uint32_t> dirtyMask{0};
    std::atomic<int32_t> vizBandCount{0};
    std::atomic<float> vizRangeLo{0.0f};
    std::atomic<float> vizRangeHi{0.0f};
    std::atomic<float> vizBandAmps[kBands]{};

    DSPSharedState() = default;
    DSPSharedState(const DSPSharedState& other) { *this = other; }
    DSPSharedState& operator=(const DSPSharedState& other);
};

// The real-time kernel: shared state followed by the engine. A value type; copies deep-copy the engine (its
// immutable wavetables are shared).
struct DSPKernel {
    DSPSharedState sharedState;
    DSPEngine engine;

    // Address 0-18 in the parameter's own unit. Non-finite values are ignored. markDirty flags the address
    // for the user interface's poll (render-thread parameter events).
    void setParameter(uint64_t address, float value, bool markDirty);
    void process(const float* const* inputs, uint32_t inputCount, float* const* outputs, uint32_t outputCount,
                 uint32_t frameCount);
};
