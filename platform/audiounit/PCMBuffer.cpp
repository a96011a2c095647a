#include "audiounit/PCMBuffer.hpp"

#include <algorithm>

namespace audiounit {

std::shared_ptr<PCMBuffer> PCMBuffer::create(const AudioFormat& format, uint32_t frameCapacity) {
    if (!format.isValid()) {
        return nullptr;
    }
    return std::make_shared<PCMBuffer>(format, frameCapacity);
}

PCMBuffer::PCMBuffer(const AudioFormat& format, uint32_t frameCapacity)
    : format_(format), frameCapacity_(frameCapacity), storage_(size_t(format.channelCount) * frameCapacity) {
    list_.numberBuffers = format.channelCount;
    for (uint32_t channel = 0; channel < format.channelCount; ++channel) {
        list_.buffers[channel] = {1, 0, channelData(channel)};
    }
    mutableList_ = list_;
}

void PCMBuffer::setFrameLength(uint32_t frames) {
    frameLength_ = std::min(frames, frameCapacity_);
    for (uint32_t channel = 0; channel < list_.numberBuffers; ++channel) {
        list_.buffers[channel].dataByteSize = frameLength_ * uint32_t(sizeof(float));
    }
}

} // namespace audiounit
