#include "tools/render/AudioUnitBackend.hpp"

#include "core/Bundle.hpp"
#include "extension/TessarayAudioUnit.hpp"
#include "tools/render/QuotedText.hpp"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

using namespace audiounit;

AudioUnitBackend::AudioUnitBackend(const std::filesystem::path& bundleDirectory) {
    auto bundle = core::Bundle::atPath(bundleDirectory);
    if (!bundle) {
        throw std::runtime_error("the extension bundle " + quotedText(bundleDirectory.string()) +
                                 " is not a directory");
    }
    unit_ = TessarayAudioUnit::create(TessarayAudioUnit::defaultComponentDescription(), 0, std::move(bundle));
}

AudioUnitBackend::~AudioUnitBackend() {
    if (unit_ && unit_->renderResourcesAllocated()) {
        unit_->deallocateRenderResources();
    }
}

void AudioUnitBackend::setParameter(uint64_t address, float value) {
    unit_->setParameter(address, value);
}

void AudioUnitBackend::prepare(double sampleRate, uint32_t inputChannels, uint32_t outputChannels,
                               uint32_t maximumFrames) {
    auto fail = [](const std::string& what, OSStatus status) {
        throw std::runtime_error(what + " (status " + std::to_string(status) + ")");
    };
    if (const OSStatus status =
            (*unit_->inputBusses())[0]->setFormat(AudioFormat::standard(sampleRate, inputChannels));
        status != kNoErr) {
        fail("the effect cannot take " + std::to_string(inputChannels) + " input channels at this rate",
             status);
    }
    if (const OSStatus status =
            (*unit_->outputBusses())[0]->setFormat(AudioFormat::standard(sampleRate, outputChannels));
        status != kNoErr) {
        fail("the effect cannot give " + std::to_string(outputChannels) + " output channels at this rate",
             status);
    }
    if (const OSStatus status = unit_->setMaximumFramesToRender(maximumFrames); status != kNoErr) {
        fail("the effect refused a block size of " + std::to_string(maximumFrames), status);
    }
    try {
        unit_->allocateRenderResources();
    } catch (const AudioUnitError& error) {
        fail(std::string("the effect could not be prepared: ") + error.what(), error.status());
    }
    sampleTime_ = 0;
}

void AudioUnitBackend::process(const float* const* inputs, uint32_t inputCount, float* const* outputs,
                               uint32_t outputCount, uint32_t frames,
                               std::span<const TimedParameter> events) {
    // The host's event list for this call, stamped in the stream's sample time.
    std::vector<RenderEvent> list(events.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
        list[i].eventSampleTime = static_cast<int64_t>(sampleTime_) + events[i].offset;
        list[i].eventType = RenderEventType::parameter;
        list[i].parameterAddress = events[i].address;
        list[i].value = events[i].value;
        list[i].next = i + 1 < events.size() ? &list[i + 1] : nullptr;
    }

    // Copies the block's input into whatever buffers the unit hands over, as far as they reach.
    auto pull = [&](AudioUnitRenderActionFlags*, const AudioTimeStamp*, uint32_t count, int64_t,
                    AudioBufferList* buffers) -> OSStatus {
        if (buffers->numberBuffers != inputCount) {
            return kErrFormatNotSupported;
        }
        for (uint32_t c = 0; c < inputCount; ++c) {
            AudioBuffer& buffer = buffers->buffers[c];
            const uint32_t n = std::min<uint32_t>(count, buffer.dataByteSize / sizeof(float));
            if (buffer.data != nullptr && n > 0) {
                std::memcpy(buffer.data, inputs[c], n * sizeof(float));
            }
        }
        return kNoErr;
    };

    AudioBufferList output;
    output.numberBuffers = std::min(outputCount, AudioBufferList::kMaxBuffers);
    for (uint32_t c = 0; c < output.numberBuffers; ++c) {
        output.buffers[c] = {1, static_cast<uint32_t>(frames * sizeof(float)), outputs[c]};
    }
    AudioTimeStamp timestamp;
    timestamp.sampleTime = sampleTime_;
    timestamp.flags = AudioTimeStamp::kSampleTimeValid;
    AudioUnitRenderActionFlags flags = 0;

    const OSStatus status = unit_->internalRenderBlock()(
        &flags, &timestamp, frames, 0, &output, list.empty() ? nullptr : list.data(), PullInputBlock(pull));
    if (status != kNoErr) {
        throw std::runtime_error("rendering failed at frame " +
                                 std::to_string(static_cast<int64_t>(sampleTime_)) + " (status " +
                                 std::to_string(status) + ")");
    }
    sampleTime_ += frames;
}

AnalyserSnapshot AudioUnitBackend::analyser() const {
    const DSPSharedState& shared = unit_->sharedState();
    AnalyserSnapshot snapshot;
    snapshot.bandCount = shared.vizBandCount.load(std::memory_order_relaxed);
    snapshot.rangeLo = shared.vizRangeLo.load(std::memory_order_relaxed);
    snapshot.rangeHi = shared.vizRangeHi.load(std::memory_order_relaxed);
    for (std::size_t b = 0; b < snapshot.levels.size(); ++b) {
        snapshot.levels[b] = shared.vizBandAmps[b].load(std::memory_order_relaxed);
    }
    return snapshot;
}
