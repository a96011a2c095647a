#pragma once

#include "audiounit/AudioBus.hpp"
#include "audiounit/Parameter.hpp"
#include "audiounit/StateDictionary.hpp"
#include "audiounit/Types.hpp"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace audiounit {

using AudioComponentInstantiationOptions = uint32_t;

// Base of an audio unit: buses, render-resource lifecycle, parameter tree, saved state and the render entry
// point. Held by shared_ptr; subclasses build their buses in their constructors.
class AudioUnitBase : public std::enable_shared_from_this<AudioUnitBase> {
public:
    // Keys of the saved state written by this class.
    static constexpr const char* kStateTypeKey = "type";
    static constexpr const char* kStateSubtypeKey = "subtype";
    static constexpr const char* kStateManufacturerKey = "manufacturer";
    static constexpr const char* kStateVersionKey = "version";
    static constexpr const char* kStateDataKey = "data"; // dictionary: decimal address -> value (double)

    static constexpr uint32_t kDefaultMaximumFramesToRender = 1024;

    explicit AudioUnitBase(const AudioComponentDescription& description,
                           AudioComponentInstantiationOptions options = 0);
    virtual ~AudioUnitBase();

    AudioUnitBase(const AudioUnitBase&) = delete;
    AudioUnitBase& operator=(const AudioUnitBase&) = delete;

    const AudioComponentDescription& componentDescription() const { return description_; }

    // Never null; the base has no buses.
    virtual std::shared_ptr<AudioBusArray> inputBusses() const { return noBuses_; }
    virtual std::shared_ptr<AudioBusArray> outputBusses() const { return noBuses_; }

    // Pairs of (input, output) channel counts. A count n >= 0 is exactly n, -1 and -2 are any count, -n below
    // that is 1 to n; the pair (-1, -1) also asks for as many outputs as inputs. Empty accepts everything.
    virtual std::vector<int32_t> channelCapabilities() const { return {}; }
    // Whether the current first input and output bus formats fit the capabilities.
    bool channelCountsSupported() const;

    virtual uint32_t maximumFramesToRender() const { return maximumFrames_.load(std::memory_order_relaxed); }
    // Refused (kErrCannotDoInCurrentContext, old value kept) while render resources are allocated, because
    // buffers sized for the old maximum would be overrun; 0 frames is refused with kErrInvalidPropertyValue.
    OSStatus setMaximumFramesToRender(uint32_t frames);

    // Checks every bus format and the channel capabilities, then marks the unit allocated. Throws
    // AudioUnitError on failure and stays unallocated. Subclasses prepare first and call this last.
    virtual void allocateRenderResources();
    // Marks the unit unallocated. Subclasses release what they prepared and call this.
    virtual void deallocateRenderResources();
    bool renderResourcesAllocated() const { return allocatedFlag_->load(std::memory_order_acquire); }
    virtual void reset() {}

    virtual bool shouldBypassEffect() const { return bypass_.load(std::memory_order_relaxed); }
    virtual void setShouldBypassEffect(bool bypass) { bypass_.store(bypass, std::memory_order_relaxed); }

    std::shared_ptr<AUParameterTree> parameterTree() const { return tree_.load(std::memory_order_acquire); }
    void setParameterTree(std::shared_ptr<AUParameterTree> tree) {
        tree_.store(std::move(tree), std::memory_order_release);
    }

    // The component keys plus "data", every tree parameter's value (read through the tree's value provider)
    // by decimal address. Subclasses add their own keys.
    virtual std::optional<StateDictionary> fullState() const;
    // Sets every saved value that names a tree parameter with a plain set (so the tree's value observer sees
    // it). A state saved by another component, or an absent one, changes no parameter. Non-finite values
    // are skipped.
    virtual void setFullState(const std::optional<StateDictionary>& state);
    std::optional<StateDictionary> fullStateForDocument() const { return fullState(); }
    void setFullStateForDocument(const std::optional<StateDictionary>& state) { setFullState(state); }

    // The host's render call. Returns kErrUninitialized without touching anything unless render resources are
    // allocated; otherwise runs internalRender. Render thread: allocates nothing.
    OSStatus render(AudioUnitRenderActionFlags* actionFlags, const AudioTimeStamp* timestamp,
                    uint32_t frameCount, int64_t outputBusNumber, AudioBufferList* outputData,
                    const RenderEvent* events, PullInputBlock pullInputBlock);

protected:
    // The unit's processing; called on the render thread only while allocated.
    virtual OSStatus internalRender(AudioUnitRenderActionFlags* actionFlags, const AudioTimeStamp* timestamp,
                                    uint32_t frameCount, int64_t outputBusNumber, AudioBufferList* outputData,
                                    const RenderEvent* events, PullInputBlock pullInputBlock);

    // Stores a new maximum that setMaximumFramesToRender accepted; override with maximumFramesToRender()
    // to keep the value elsewhere.
    virtual void applyMaximumFramesToRender(uint32_t frames) {
        maximumFrames_.store(frames, std::memory_order_relaxed);
    }

private:
    friend class AudioBusArray;

    AudioComponentDescription description_;
    std::shared_ptr<std::atomic<bool>> allocatedFlag_;
    std::shared_ptr<AudioBusArray> noBuses_;
    std::atomic<uint32_t> maximumFrames_{kDefaultMaximumFramesToRender};
    std::atomic<bool> bypass_{false};
    std::atomic<std::shared_ptr<AUParameterTree>> tree_;
};

} // namespace audiounit
