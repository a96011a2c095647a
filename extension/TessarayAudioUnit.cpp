#include "extension/TessarayAudioUnit.hpp"

#include "core/Log.hpp"
#include "core/Text.hpp"
#include "dsp/RenderBlock.hpp"
#include "extension/lv2/TessarayLV2.hpp"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

namespace {

// Its address finds the shared object (or executable) that holds this code, and so the unit's own bundle.
const char kCodeAnchor = 0;

constexpr std::array<const char*, 3> kWavetableNames{"sawtooth", "square", "sine"};

} // namespace

audiounit::AudioComponentDescription TessarayAudioUnit::defaultComponentDescription() {
    audiounit::AudioComponentDescription description;
    description.componentType = audiounit::kAudioUnitTypeEffect;
    description.componentSubType = audiounit::fourCharCode("tsry");
    description.componentManufacturer = audiounit::fourCharCode("Zlto");
    return description;
}

std::shared_ptr<TessarayAudioUnit>
TessarayAudioUnit::create(const audiounit::AudioComponentDescription& description,
                          audiounit::AudioComponentInstantiationOptions options,
                          std::shared_ptr<core::Bundle> resourceBundle) {
    return std::make_shared<TessarayAudioUnit>(description, options, std::move(resourceBundle));
}

TessarayAudioUnit::TessarayAudioUnit(const audiounit::AudioComponentDescription& description,
                                     audiounit::AudioComponentInstantiationOptions options,
                                     std::shared_ptr<core::Bundle> resourceBundle)
    : AudioUnitBase(description, options), bundle_(std::move(resourceBundle)) {
    if (!bundle_) {
        bundle_ = core::Bundle::forAddress(&kCodeAnchor);
    }
    const auto format = audiounit::AudioFormat::standard(kDefaultSampleRate, kDefaultChannels);
    inputs_ = audiounit::AudioBusArray::create(*this, audiounit::BusType::input,
                                               {audiounit::AudioBus::createOrThrow(format)});
    outputBus_ = audiounit::AudioBus::createOrThrow(format);
    outputs_ = audiounit::AudioBusArray::create(*this, audiounit::BusType::output, {outputBus_});
    processHelper_.emplace(kernel_, inputBus_);
}

TessarayAudioUnit::~TessarayAudioUnit() = default;

void TessarayAudioUnit::allocateRenderResources() {
    if (!processHelper_) {
        core::fatal("TessarayAudioUnit: render resources allocated without a process helper");
    }
    const audiounit::AudioFormat in = (*inputBusses())[0]->format();
    const audiounit::AudioFormat out = (*outputBusses())[0]->format();

    inputBus_.init(in, "Main");
    inputBus_.allocateRenderResources(maximumFramesToRender());
    kernel_.engine.prepare(out.sampleRate);
    processHelper_->setChannelCounts(in.channelCount, out.channelCount);
    loadWavetables();

    try {
        AudioUnitBase::allocateRenderResources();
    } catch (...) {
        // Left half-prepared, a render call would otherwise find an input buffer of a rejected format.
        inputBus_.deallocateRenderResources();
        throw;
    }
}

void TessarayAudioUnit::deallocateRenderResources() {
    kernel_.engine.deallocate();
    // Dropping the input buffer makes a stray render call fail cleanly instead of pulling into freed memory.
    inputBus_.deallocateRenderResources();
    AudioUnitBase::deallocateRenderResources();
}

void TessarayAudioUnit::reset() {
    kernel_.engine.reset();
    AudioUnitBase::reset();
}

void TessarayAudioUnit::loadWavetables() {
    for (uint32_t slot = 0; slot < kWavetableNames.size(); ++slot) {
        const char* name = kWavetableNames[slot];
        const auto path = bundle_ ? bundle_->pathForResource(name, "bin") : std::nullopt;
        if (!path) {
            core::log("TessarayAudioUnit: missing %s.bin in extension bundle", name);
            continue;
        }
        if (!kernel_.engine.loadWavetable(slot, path->c_str())) {
            core::log("TessarayAudioUnit: failed to load %s.bin", name);
        } else if (const size_t bad = kernel_.engine.wavetables()[slot].nonFiniteSamples; bad > 0) {
            core::log("TessarayAudioUnit: %zu samples of %s.bin are not finite and play as silence", bad,
                      name);
        }
    }
}

void TessarayAudioUnit::applyMaximumFramesToRender(uint32_t frames) {
    // The engine keeps a signed count; a larger request is held at the largest it can store.
    const auto limit = static_cast<uint32_t>(std::numeric_limits<int32_t>::max());
    kernel_.engine.setMaximumFrames(static_cast<int32_t>(std::min(frames, limit)));
}

void TessarayAudioUnit::setParameter(uint64_t address, float value) {
    kernel_.setParameter(address, value, false);
}

TessarayAudioUnit::RenderBlock TessarayAudioUnit::internalRenderBlock() {
    if (!processHelper_) {
        core::fatal("TessarayAudioUnit: render block requested without a process helper");
    }
    return
        [this](audiounit::AudioUnitRenderActionFlags* actionFlags, const audiounit::AudioTimeStamp* timestamp,
               uint32_t frameCount, int64_t outputBusNumber, audiounit::AudioBufferList* outputData,
               const audiounit::RenderEvent* events, audiounit::PullInputBlock pullInputBlock) {
            // The base class refuses to render while render resources are not allocated.
            return render(actionFlags, timestamp, frameCount, outputBusNumber, outputData, events,
                          pullInputBlock);
        };
}

audiounit::OSStatus TessarayAudioUnit::internalRender(audiounit::AudioUnitRenderActionFlags* actionFlags,
                                                      const audiounit::AudioTimeStamp* timestamp,
                                                      uint32_t frameCount, int64_t outputBusNumber,
                                                      audiounit::AudioBufferList* outputData,
                                                      const audiounit::RenderEvent* events,
                                                      audiounit::PullInputBlock pullInputBlock) {
    return internalRenderBlockBody(*processHelper_, actionFlags, timestamp, frameCount, outputBusNumber,
                                   outputData, events, pullInputBlock);
}

std::optional<audiounit::StateDictionary> TessarayAudioUnit::fullState() const {
    auto state = AudioUnitBase::fullState();
    if (!state) {
        return std::nullopt;
    }
    (*state)[presetNameKey] = currentPresetName();
    return state;
}

void TessarayAudioUnit::setFullState(const std::optional<audiounit::StateDictionary>& state) {
    AudioUnitBase::setFullState(state);
    std::string name;
    if (state) {
        const auto entry = state->find(presetNameKey);
        if (entry != state->end()) {
            if (const auto* text = entry->second.get<std::string>()) {
                // A stored name is whatever the file held: kept to the name's capacity, as valid UTF-8.
                name = core::validUTF8(*text, tessaray_lv2::kPresetNameCapacity);
            }
        }
    }
    // A restore reports the name exactly once, even when it is empty.
    setCurrentPresetName(std::move(name));
}

std::string TessarayAudioUnit::currentPresetName() const {
    std::lock_guard lock(presetMutex_);
    return currentPresetName_;
}

void TessarayAudioUnit::setCurrentPresetName(std::string name) {
    PresetNameCallback callback;
    {
        std::lock_guard lock(presetMutex_);
        currentPresetName_ = name;
        callback = onPresetNameUpdate_;
    }
    // Called outside the lock: the settings model's callback reads the name back.
    if (callback) {
        callback(name);
    }
}

TessarayAudioUnit::PresetNameCallback TessarayAudioUnit::onPresetNameUpdate() const {
    std::lock_guard lock(presetMutex_);
    return onPresetNameUpdate_;
}

void TessarayAudioUnit::setOnPresetNameUpdate(PresetNameCallback callback) {
    std::lock_guard lock(presetMutex_);
    onPresetNameUpdate_ = std::move(callback);
}
