#include "dsp/BufferedInputBus.hpp"

#include <algorithm>

void BufferedInputBus::init(const audiounit::AudioFormat& format, std::string name) {
    deallocateRenderResources();
    bus_ = audiounit::AudioBus::create(format);
    if (bus_) {
        bus_->setName(std::move(name));
    }
}

bool BufferedInputBus::allocateRenderResources(uint32_t maxFrames) {
    deallocateRenderResources();
    if (!bus_ || maxFrames == 0) {
        return false;
    }
    pcmBuffer_ = audiounit::PCMBuffer::create(bus_->format(), maxFrames);
    if (!pcmBuffer_) {
        return false;
    }
    maximumFrames_ = maxFrames;
    originalList_ = pcmBuffer_->audioBufferList();
    mutableList_ = pcmBuffer_->mutableAudioBufferList();
    return true;
}

void BufferedInputBus::deallocateRenderResources() {
    maximumFrames_ = 0;
    originalList_ = nullptr;
    mutableList_ = nullptr;
    pcmBuffer_.reset();
}

void BufferedInputBus::prepareInputBufferList(uint32_t frameCount) {
    if (!mutableList_) {
        return;
    }
    const uint32_t frames = std::min(frameCount, maximumFrames_);
    mutableList_->numberBuffers = originalList_->numberBuffers;
    for (uint32_t i = 0; i < originalList_->numberBuffers; ++i) {
        mutableList_->buffers[i].numberChannels = originalList_->buffers[i].numberChannels;
        mutableList_->buffers[i].data = originalList_->buffers[i].data;
        mutableList_->buffers[i].dataByteSize = frames * uint32_t(sizeof(float));
    }
}
