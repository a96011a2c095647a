#pragma once

#include "audiounit/AudioFormat.hpp"
#include "audiounit/Types.hpp"

#include <cstdint>
#include <memory>
#include <vector>

namespace audiounit {

// Owned sample storage of a standard format: one float array of frameCapacity samples per channel.
class PCMBuffer {
public:
    // nullptr for an invalid format.
    static std::shared_ptr<PCMBuffer> create(const AudioFormat& format, uint32_t frameCapacity);

    const AudioFormat& format() const { return format_; }
    uint32_t frameCapacity() const { return frameCapacity_; }
    uint32_t frameLength() const { return frameLength_; }
    // Clamped to the capacity; the read-only list's byte sizes follow it.
    void setFrameLength(uint32_t frames);

    float* channelData(uint32_t channel) { return storage_.data() + size_t(channel) * frameCapacity_; }
    const float* channelData(uint32_t channel) const {
        return storage_.data() + size_t(channel) * frameCapacity_;
    }

    // Always describes the owned storage.
    const AudioBufferList* audioBufferList() const { return &list_; }
    // A second list of the same shape for callees that may repoint or resize its buffers; the owned storage
    // and audioBufferList() are unaffected by what they do to it.
    AudioBufferList* mutableAudioBufferList() { return &mutableList_; }

    PCMBuffer(const AudioFormat& format, uint32_t frameCapacity);

private:
    AudioFormat format_;
    uint32_t frameCapacity_;
    uint32_t frameLength_ = 0;
    std::vector<float> storage_;
    AudioBufferList list_;
    AudioBufferList mutableList_;
};

} // namespace audiounit
