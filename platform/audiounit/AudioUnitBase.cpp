#include "audiounit/AudioUnitBase.hpp"

#include <charconv>
#include <cmath>
#include <string>

namespace audiounit {

AudioUnitBase::AudioUnitBase(const AudioComponentDescription& description, AudioComponentInstantiationOptions)
    : description_(description), allocatedFlag_(std::make_shared<std::atomic<bool>>(false)),
      noBuses_(std::make_shared<AudioBusArray>(BusType::input, std::vector<std::shared_ptr<AudioBus>>{})) {}

AudioUnitBase::~AudioUnitBase() = default;

namespace {

bool countFits(int32_t capability, uint32_t count) {
    if (capability >= 0) {
        return count == uint32_t(capability);
    }
    if (capability == -1 || capability == -2) {
        return count >= 1;
    }
    return count >= 1 && int64_t(count) <= -int64_t(capability);
}

uint32_t firstBusChannels(const std::shared_ptr<AudioBusArray>& buses) {
    auto bus = buses ? (*buses)[0] : nullptr;
    return bus ? bus->format().channelCount : 0;
}

} // namespace

bool AudioUnitBase::channelCountsSupported() const {
    const auto capabilities = channelCapabilities();
    if (capabilities.empty()) {
        return true;
    }
    const auto inputs = inputBusses();
    const bool hasInput = inputs && inputs->count() > 0;
    const uint32_t in = firstBusChannels(inputs);
    const uint32_t out = firstBusChannels(outputBusses());
    for (size_t i = 0; i + 1 < capabilities.size(); i += 2) {
        const int32_t wantIn = capabilities[i];
        const int32_t wantOut = capabilities[i + 1];
        if (hasInput && !countFits(wantIn, in)) {
            continue;
        }
        if (!countFits(wantOut, out)) {
            continue;
        }
        if (hasInput && wantIn == -1 && wantOut == -1 && in != out) {
            continue;
        }
        return true;
    }
    return false;
}

OSStatus AudioUnitBase::setMaximumFramesToRender(uint32_t frames) {
    if (frames == 0) {
        return kErrInvalidPropertyValue;
    }
    if (renderResourcesAllocated()) {
        return kErrCannotDoInCurrentContext;
    }
    applyMaximumFramesToRender(frames);
    return kNoErr;
}

void AudioUnitBase::allocateRenderResources() {
    for (const auto& buses : {inputBusses(), outputBusses()}) {
        if (!buses) {
            continue;
        }
        for (const auto& bus : buses->buses()) {
            if (!bus->format().isValid()) {
                throw AudioUnitError(kErrFormatNotSupported, "bus format cannot be rendered");
            }
        }
    }
    if (!channelCountsSupported()) {
        throw AudioUnitError(kErrFormatNotSupported, "channel counts not supported by the audio unit");
    }
    if (maximumFramesToRender() == 0) {
        throw AudioUnitError(kErrInvalidPropertyValue, "maximum frames to render is 0");
    }
    allocatedFlag_->store(true, std::memory_order_release);
}

void AudioUnitBase::deallocateRenderResources() {
    allocatedFlag_->store(false, std::memory_order_release);
}

std::optional<StateDictionary> AudioUnitBase::fullState() const {
    StateDictionary state;
    state[kStateTypeKey] = int64_t(description_.componentType);
    state[kStateSubtypeKey] = int64_t(description_.componentSubType);
    state[kStateManufacturerKey] = int64_t(description_.componentManufacturer);
    state[kStateVersionKey] = int64_t(0);
    StateDictionary data;
    if (auto tree = parameterTree()) {
        for (const auto& parameter : tree->allParameters()) {
            data[std::to_string(parameter->address())] = double(parameter->value());
        }
    }
    state[kStateDataKey] = std::move(data);
    return state;
}

namespace {

// A key that is present must match; a state without the component keys is accepted.
bool componentKeyMatches(const StateDictionary& state, const char* key, uint32_t expected) {
    auto found = state.find(key);
    if (found == state.end()) {
        return true;
    }
    const auto* number = found->second.get<int64_t>();
    return number && *number == int64_t(expected);
}

std::optional<AUParameterAddress> parseAddress(const std::string& key) {
    AUParameterAddress address = 0;
    const auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), address);
    if (error != std::errc() || end != key.data() + key.size() || key.empty()) {
        return std::nullopt;
    }
    return address;
}

std::optional<float> numberOf(const StateValue& value) {
    if (const auto* real = value.get<double>()) {
        return float(*real);
    }
    if (const auto* integer = value.get<int64_t>()) {
        return float(*integer);
    }
    return std::nullopt;
}

} // namespace

void AudioUnitBase::setFullState(const std::optional<StateDictionary>& state) {
    if (!state) {
        return;
    }
    if (!componentKeyMatches(*state, kStateTypeKey, description_.componentType) ||
        !componentKeyMatches(*state, kStateSubtypeKey, description_.componentSubType) ||
        !componentKeyMatches(*state, kStateManufacturerKey, description_.componentManufacturer)) {
        return;
    }
    auto dataEntry = state->find(kStateDataKey);
    const auto* data = dataEntry == state->end() ? nullptr : dataEntry->second.get<StateDictionary>();
    auto tree = parameterTree();
    if (!data || !tree) {
        return;
    }
    for (const auto& [key, saved] : *data) {
        const auto address = parseAddress(key);
        const auto value = numberOf(saved);
        if (!address || !value || !std::isfinite(*value)) {
            continue;
        }
        if (auto parameter = tree->parameterWithAddress(*address)) {
            parameter->setValue(*value);
        }
    }
}

OSStatus AudioUnitBase::render(AudioUnitRenderActionFlags* actionFlags, const AudioTimeStamp* timestamp,
                               uint32_t frameCount, int64_t outputBusNumber, AudioBufferList* outputData,
                               const RenderEvent* events, PullInputBlock pullInputBlock) {
    if (!renderResourcesAllocated()) {
        return kErrUninitialized;
    }
    return internalRender(actionFlags, timestamp, frameCount, outputBusNumber, outputData, events,
                          pullInputBlock);
}

OSStatus AudioUnitBase::internalRender(AudioUnitRenderActionFlags*, const AudioTimeStamp*, uint32_t, int64_t,
                                       AudioBufferList*, const RenderEvent*, PullInputBlock) {
    return kErrUnimplemented;
}

} // namespace audiounit
