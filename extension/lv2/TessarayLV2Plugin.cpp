#include "extension/lv2/TessarayLV2Plugin.hpp"

#include "core/Bundle.hpp"

#include <algorithm>
#include <cstring>
#include <stdexcept>

using namespace audiounit;

std::unique_ptr<lv2::Plugin> TessarayLV2Plugin::instantiate(const lv2::InstantiateArguments& arguments) {
    const auto options = lv2::HostOptions::read(arguments.features.options, arguments.features.map);
    return std::make_unique<TessarayLV2Plugin>(arguments.sampleRate, arguments.bundlePath,
                                               options.maximumBlock(tessaray_lv2::kDefaultMaximumBlock));
}

TessarayLV2Plugin::TessarayLV2Plugin(double sampleRate, const char* bundlePath, uint32_t maximumBlock)
    : maximumBlock_(std::clamp(maximumBlock, 1u, tessaray_lv2::kLargestInternalBlock)) {
    // The wavetables sit in the plug-in's own bundle; the host's working directory means nothing here.
    std::shared_ptr<core::Bundle> bundle = bundlePath ? core::Bundle::atPath(bundlePath) : nullptr;
    if (!bundle) {
        throw std::runtime_error("Tessaray: the plug-in bundle directory is missing");
    }
    unit_ = TessarayAudioUnit::create(TessarayAudioUnit::defaultComponentDescription(), 0, std::move(bundle));

    const auto format = AudioFormat::standard(sampleRate, 2);
    if ((*unit_->inputBusses())[0]->setFormat(format) != kNoErr ||
        (*unit_->outputBusses())[0]->setFormat(format) != kNoErr) {
        throw std::runtime_error("Tessaray: unsupported sample rate");
    }
    if (unit_->setMaximumFramesToRender(maximumBlock_) != kNoErr) {
        throw std::runtime_error("Tessaray: unsupported block length");
    }
    // The kernel's own start-up values are not the parameters' defaults; a host that never connects a
    // control port still gets the defaults.
    for (const ParameterInfo& info : kParameterTable) {
        unit_->setParameter(info.address, info.defaultValue);
    }
    unit_->allocateRenderResources();
    renderBlock_ = unit_->internalRenderBlock();

    silence_.assign(maximumBlock_, 0.0f);
    sink_.assign(std::size_t(maximumBlock_) * outputs_.size(), 0.0f);
}

TessarayLV2Plugin::~TessarayLV2Plugin() {
    if (unit_ && unit_->renderResourcesAllocated()) {
        unit_->deallocateRenderResources();
    }
}

void TessarayLV2Plugin::connectPort(uint32_t port, void* location) {
    using namespace tessaray_lv2;
    switch (port) {
    case kAudioInLeft:
    case kAudioInRight:
        inputs_[port - kAudioInLeft] = static_cast<const float*>(location);
        return;
    case kAudioOutLeft:
    case kAudioOutRight:
        outputs_[port - kAudioOutLeft] = static_cast<float*>(location);
        return;
    case kEnabledPort:
        enabled_ = static_cast<const float*>(location);
        return;
    default:
        if (port >= kFirstParameterPort && port < kEnabledPort) {
            parameters_.connect(port - kFirstParameterPort, static_cast<const float*>(location));
        }
        return;
    }
}

void TessarayLV2Plugin::activate() {
    unit_->reset();
    sampleTime_ = 0;
    startFromPorts_ = true;
}

void TessarayLV2Plugin::run(uint32_t frames) {
    // Bypass follows the host's switch; an unconnected or non-finite switch leaves the effect on.
    const bool enabled = !enabled_ || !std::isfinite(*enabled_) || *enabled_ > 0.5f;
    unit_->setShouldBypassEffect(!enabled);

    const RenderEvent* events = nullptr;
    const auto clampedValue = [](std::size_t slot, float value) {
        const ParameterInfo& info = kParameterTable[slot];
        return std::clamp(value, info.minimum, info.maximum);
    };
    if (startFromPorts_) {
        // The first block after activation starts at the ports' values, without gliding from the old ones:
        // write them all, then let the reset settle the smoothers on them.
        parameters_.markAllChanged();
        parameters_.takeChanged([&](std::size_t slot, float value) {
            unit_->setParameter(kParameterTable[slot].address, clampedValue(slot, value));
        });
        unit_->reset();
        startFromPorts_ = false;
    } else {
        std::size_t count = 0;
        parameters_.takeChanged([&](std::size_t slot, float value) {
            RenderEvent& event = events_[count];
            event = RenderEvent{};
            event.eventSampleTime = sampleTime_;
            event.eventType = RenderEventType::parameter;
            event.parameterAddress = kParameterTable[slot].address;
            event.value = clampedValue(slot, value);
            if (count > 0) {
                events_[count - 1].next = &event;
            }
            ++count;
        });
        events = count > 0 ? events_.data() : nullptr;
    }

    lv2::forEachChunk(frames, maximumBlock_, [&](uint32_t offset, uint32_t n) {
        renderChunk(offset, n, events);
        events = nullptr; // every change is due at the block's first frame
    });
}

void TessarayLV2Plugin::renderChunk(uint32_t offset, uint32_t frames, const RenderEvent* events) {
    // The unit pulls its input into its own buffers before writing any output, so a host that processes in
    // place (the same buffer for input and output) is safe.
    auto pull = [&](AudioUnitRenderActionFlags*, const AudioTimeStamp*, uint32_t count, int64_t,
                    AudioBufferList* buffers) -> OSStatus {
        for (uint32_t c = 0; c < buffers->numberBuffers && c < inputs_.size(); ++c) {
            AudioBuffer& buffer = buffers->buffers[c];
            const uint32_t n = std::min<uint32_t>(count, buffer.dataByteSize / sizeof(float));
            if (buffer.data && n > 0) {
                const float* source = inputs_[c] ? inputs_[c] + offset : silence_.data();
                std::memcpy(buffer.data, source, n * sizeof(float));
            }
        }
        return kNoErr;
    };

    AudioBufferList output;
    output.numberBuffers = uint32_t(outputs_.size());
    for (uint32_t c = 0; c < outputs_.size(); ++c) {
        // A missing output still needs somewhere to go: a sink of its own, whose content is dropped.
        float* target = outputs_[c] ? outputs_[c] + offset : sink_.data() + std::size_t(c) * maximumBlock_;
        output.buffers[c] = {1, uint32_t(frames * sizeof(float)), target};
    }
    AudioTimeStamp timestamp;
    timestamp.sampleTime = double(sampleTime_);
    timestamp.flags = AudioTimeStamp::kSampleTimeValid;
    AudioUnitRenderActionFlags flags = 0;

    const OSStatus status =
        renderBlock_(&flags, &timestamp, frames, 0, &output, events, PullInputBlock(pull));
    if (status != kNoErr) {
        // The host plays whatever is in its buffers; silence is the only safe content after a failure.
        for (float* out : outputs_) {
            if (out) {
                std::fill_n(out + offset, frames, 0.0f);
            }
        }
    }
    sampleTime_ += frames;
}

LV2_State_Status TessarayLV2Plugin::save(const LV2_URID_Map*, const lv2::StateWriter& writer) {
    return writer.storeString(tessaray_lv2::kPresetNameKeyURI, unit_->currentPresetName());
}

LV2_State_Status TessarayLV2Plugin::restore(const LV2_URID_Map*, const lv2::StateReader& reader) {
    // Parameter values come back through the host's ports; the state only holds the preset's name, which
    // goes through the unit's state setter so that its preset-name path runs exactly once.
    StateDictionary state;
    if (auto name = reader.string(tessaray_lv2::kPresetNameKeyURI)) {
        state[TessarayAudioUnit::presetNameKey] = std::move(*name);
    }
    unit_->setFullState(state);
    return LV2_STATE_SUCCESS;
}
