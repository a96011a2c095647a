#include "tools/render/Renderer.hpp"

#include <algorithm>
#include <cstdlib>
#include <vector>

#ifndef TESSARAY_EXTENSION_BUNDLE_DIR
#define TESSARAY_EXTENSION_BUNDLE_DIR "TessarayExtension.bundle"
#endif

uint32_t outputChannelCount(std::size_t inputChannels) {
    return inputChannels == 1 ? 2u : static_cast<uint32_t>(inputChannels);
}

void applyParameters(RenderBackend& backend, std::span<const ParameterSetting> settings) {
    for (const ParameterInfo& info : kParameterTable) {
        backend.setParameter(info.address, info.defaultValue);
    }
    for (const ParameterSetting& setting : settings) {
        backend.setParameter(setting.parameter->address, setting.value);
    }
}

std::filesystem::path extensionBundleDirectory() {
    const char* fromEnvironment = std::getenv("TESSARAY_EXTENSION_BUNDLE");
    if (fromEnvironment != nullptr && fromEnvironment[0] != '\0') {
        return fromEnvironment;
    }
    return TESSARAY_EXTENSION_BUNDLE_DIR;
}

namespace {

struct ScheduledChange {
    int64_t frame;
    uint64_t address;
    float value;
};

} // namespace

AudioBuffer renderBuffer(RenderBackend& backend, const AudioBuffer& input, uint32_t blockSize,
                         std::span<const AutomationEvent> automation) {
    const std::size_t frames = input.frameCount();
    const auto inputCount = static_cast<uint32_t>(input.channelCount());
    const uint32_t outputCount = outputChannelCount(input.channelCount());
    blockSize = std::max(blockSize, 1u);

    std::vector<ScheduledChange> schedule;
    for (const AutomationEvent& event : automation) {
        const int64_t frame = event.time.frameAt(input.sampleRate);
        if (frame >= 0 && static_cast<std::size_t>(frame) < frames) {
            schedule.push_back({frame, event.setting.parameter->address, event.setting.value});
        }
    }
    std::stable_sort(schedule.begin(), schedule.end(),
                     [](const ScheduledChange& a, const ScheduledChange& b) { return a.frame < b.frame; });

    AudioBuffer output;
    output.sampleRate = input.sampleRate;
    output.channels.assign(outputCount, std::vector<float>(frames, 0.0f));

    std::vector<const float*> inputs(inputCount);
    std::vector<float*> outputs(outputCount);
    std::vector<TimedParameter> events;
    auto next = schedule.begin();
    for (std::size_t start = 0; start < frames; start += blockSize) {
        const auto count = static_cast<uint32_t>(std::min<std::size_t>(blockSize, frames - start));
        for (uint32_t c = 0; c < inputCount; ++c) {
            inputs[c] = input.channels[c].data() + start;
        }
        for (uint32_t c = 0; c < outputCount; ++c) {
            outputs[c] = output.channels[c].data() + start;
        }
        events.clear();
        for (; next != schedule.end() && static_cast<std::size_t>(next->frame) < start + count; ++next) {
            events.push_back({static_cast<uint32_t>(next->frame - static_cast<int64_t>(start)), next->address,
                              next->value});
        }
        backend.process(inputs.data(), inputCount, outputs.data(), outputCount, count, events);
    }
    return output;
}
