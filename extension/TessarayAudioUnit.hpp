#pragma once

#include "ZeltoCore/CorviAudioUnit.hpp"
#include "audiounit/AudioUnitBase.hpp"
#include "core/Bundle.hpp"
#include "dsp/AUProcessHelper.hpp"
#include "dsp/BufferedInputBus.hpp"
#include "dsp/DSPKernel.hpp"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

using zelto::CorviAudioUnit;

// The plug-in's audio unit: one stereo input and one stereo output bus around the DSP kernel, the render
// block the host calls, the wavetables loaded at allocation and the current preset's name in the saved state.
class TessarayAudioUnit : public audiounit::AudioUnitBase, public CorviAudioUnit {
public:
    static constexpr const char* presetNameKey = "currentPresetName";
    static constexpr double kDefaultSampleRate = 44100.0;
    static constexpr uint32_t kDefaultChannels = 2;

    using PresetNameCallback = std::function<void(const std::string& name)>;
    // The host's render entry: (action flags, timestamp, frame count, output bus number, output buffers,
    // first render event, pull-input block) -> status.
    using RenderBlock = std::function<audiounit::OSStatus(
        audiounit::AudioUnitRenderActionFlags*, const audiounit::AudioTimeStamp*, uint32_t, int64_t,
        audiounit::AudioBufferList*, const audiounit::RenderEvent*, audiounit::PullInputBlock)>;

    static audiounit::AudioComponentDescription defaultComponentDescription();

    // Wavetables come from resourceBundle when one is given, else from the bundle holding this code.
    // Throws audiounit::AudioUnitError when the buses cannot be made.
    static std::shared_ptr<TessarayAudioUnit>
    create(const audiounit::AudioComponentDescription& description = defaultComponentDescription(),
           audiounit::AudioComponentInstantiationOptions options = 0,
           std::shared_ptr<core::Bundle> resourceBundle = nullptr);

    TessarayAudioUnit(const audiounit::AudioComponentDescription& description,
                      audiounit::AudioComponentInstantiationOptions options,
                      std::shared_ptr<core::Bundle> resourceBundle);
    ~TessarayAudioUnit() override;

    std::shared_ptr<audiounit::AudioBusArray> inputBusses() const override { return inputs_; }
    std::shared_ptr<audiounit::AudioBusArray> outputBusses() const override { return outputs_; }
    std::vector<int32_t> channelCapabilities() const override { return {-1, -2}; }

    // The kernel's limit; changing it goes through setMaximumFramesToRender, refused while allocated.
    uint32_t maximumFramesToRender() const override { return kernel_.engine.maximumFrames(); }

    bool shouldBypassEffect() const override { return kernel_.engine.bypass(); }
    void setShouldBypassEffect(bool bypass) override { kernel_.engine.setBypass(bypass); }

    void allocateRenderResources() override;
    void deallocateRenderResources() override;
    void reset() override;

    std::optional<audiounit::StateDictionary> fullState() const override;
    // Restores the base state, then the preset name (a missing or non-text entry gives ""), and reports the
    // name exactly once through the preset-name callback.
    void setFullState(const std::optional<audiounit::StateDictionary>& state) override;

    // Valid for the life of this unit. Returns kErrUninitialized, touching nothing, unless render resources
    // are allocated. Render thread: no allocation, lock or system call.
    RenderBlock internalRenderBlock();

    // Writes the value into the kernel without flagging it for the editor's poll (the caller already knows).
    void setParameter(uint64_t address, float value) override;

    // Loads "sawtooth", "square" and "sine" from the resource bundle; a missing or unreadable one is logged
    // and that shape stays silent.
    void loadWavetables();

    std::string currentPresetName() const;
    // Stores the name and reports it through the preset-name callback.
    void setCurrentPresetName(std::string name);
    PresetNameCallback onPresetNameUpdate() const;
    void setOnPresetNameUpdate(PresetNameCallback callback);

    // The block the kernel shares with the editor (analyser values, parameter mirror, dirty mask).
    DSPSharedState& sharedState() { return kernel_.sharedState; }
    const DSPSharedState& sharedState() const { return kernel_.sharedState; }
    const DSPKernel& kernel() const { return kernel_; }

    std::shared_ptr<core::Bundle> resourceBundle() const { return bundle_; }

protected:
    audiounit::OSStatus internalRender(audiounit::AudioUnitRenderActionFlags* actionFlags,
                                       const audiounit::AudioTimeStamp* timestamp, uint32_t frameCount,
                                       int64_t outputBusNumber, audiounit::AudioBufferList* outputData,
                                       const audiounit::RenderEvent* events,
                                       audiounit::PullInputBlock pullInputBlock) override;
    void applyMaximumFramesToRender(uint32_t frames) override;

private:
    DSPKernel kernel_;
    std::optional<AUProcessHelper> processHelper_;
    BufferedInputBus inputBus_;
    std::shared_ptr<audiounit::AudioBus> outputBus_;
    std::shared_ptr<audiounit::AudioBusArray> inputs_;
    std::shared_ptr<audiounit::AudioBusArray> outputs_;
    std::shared_ptr<core::Bundle> bundle_;

    mutable std::mutex presetMutex_;
    std::string currentPresetName_;
    PresetNameCallback onPresetNameUpdate_;
};
