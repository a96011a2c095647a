#pragma once

#include "audiounit/Types.hpp"

#include <cmath>
#include <cstdint>

namespace audiounit {

enum class CommonFormat : uint8_t { float32 = 1 };

// Stream format of a bus. Only the standard layout exists here: float32 samples, one buffer per channel.
struct AudioFormat {
    double sampleRate = 0.0;
    uint32_t channelCount = 0;
    CommonFormat commonFormat = CommonFormat::float32;
    bool interleaved = false;

    static AudioFormat standard(double sampleRate, uint32_t channels) { return {sampleRate, channels}; }

    bool isStandard() const { return commonFormat == CommonFormat::float32 && !interleaved; }
    // A rate that is not a positive finite number, no channels, or more channels than a buffer list holds
    // cannot be rendered.
    bool isValid() const {
        return std::isfinite(sampleRate) && sampleRate > 0.0 && channelCount > 0 &&
               channelCount <= AudioBufferList::kMaxBuffers && isStandard();
    }
    uint32_t bytesPerFrame() const { return uint32_t(sizeof(float)); }

    friend bool operator==(const AudioFormat&, const AudioFormat&) = default;
};

} // namespace audiounit
