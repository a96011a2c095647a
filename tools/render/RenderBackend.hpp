#pragma once

// What the render tool needs of whatever runs the effect: the plug-in's audio unit, driven through its render
// block as a host drives it, or a stand-in in tests.

#include <array>
#include <cstdint>
#include <span>

struct AnalyserSnapshot {
    int32_t bandCount = 0;
    float rangeLo = 0;
    float rangeHi = 0;
    std::array<float, 64> levels{};
};

// A parameter change at a frame offset within one processed block.
struct TimedParameter {
    uint32_t offset = 0;
    uint64_t address = 0;
    float value = 0;

    friend bool operator==(const TimedParameter&, const TimedParameter&) = default;
};

class RenderBackend {
public:
    virtual ~RenderBackend() = default;

    // Parameters arrive in their own units, by kernel address, before or after prepare.
    virtual void setParameter(uint64_t address, float value) = 0;
    // Sets the stream formats, the block size limit and the sample rate; may allocate. Called once before
    // processing. Throws std::runtime_error when the effect cannot run that way.
    virtual void prepare(double sampleRate, uint32_t inputChannels, uint32_t outputChannels,
                         uint32_t maximumFrames) = 0;
    // Non-interleaved channels; frames never exceeds the prepared maximum. Events are in offset order and
    // take effect from their frame on. Throws std::runtime_error when a block fails.
    virtual void process(const float* const* inputs, uint32_t inputCount, float* const* outputs,
                         uint32_t outputCount, uint32_t frames, std::span<const TimedParameter> events) = 0;
    virtual AnalyserSnapshot analyser() const = 0;
};
