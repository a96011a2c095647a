#pragma once

#include "audiounit/AudioBus.hpp"
#include "audiounit/PCMBuffer.hpp"

#include <cstdint>
#include <memory>
#include <string>

// The audio unit's input bus together with the buffer that the host's pull block fills each render call.
class BufferedInputBus {
public:
    // Creates the bus for the format (a format that cannot be rendered leaves no bus) and drops any buffer
    // from an earlier allocation.
    void init(const audiounit::AudioFormat& format, std::string name);
    // Creates a buffer of maxFrames frames in the bus format. False, and no buffer, without a bus or for 0
    // frames.
    bool allocateRenderResources(uint32_t maxFrames);
    void deallocateRenderResources();

    // Render thread: hands the pull block the buffer's own storage again, with room for
    // min(frameCount, maximumFrames()) frames per channel. The previous pull may have repointed or resized
    // the buffers of the mutable list.
    void prepareInputBufferList(uint32_t frameCount);

    bool isAllocated() const { return mutableList_ != nullptr; }
    const std::shared_ptr<audiounit::AudioBus>& bus() const { return bus_; }
    uint32_t maximumFrames() const { return maximumFrames_; }
    const audiounit::AudioBufferList* audioBufferList() const { return originalList_; }
    audiounit::AudioBufferList* mutableAudioBufferList() { return mutableList_; }

private:
    std::shared_ptr<audiounit::AudioBus> bus_;
    uint32_t maximumFrames_ = 0;
    std::shared_ptr<audiounit::PCMBuffer> pcmBuffer_;
    const audiounit::AudioBufferList* originalList_ = nullptr;
    audiounit::AudioBufferList* mutableList_ = nullptr;
};
