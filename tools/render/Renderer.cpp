#include "tools/render/Renderer.hpp"

#include <algorithm>
#include <cstdlib>
#include <limits>
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

// The changes at or after frame 0 and before frameLimit, in frame order (changes at the same frame keep
// their order).
std::vector<ScheduledChange> scheduleOf(std::span<const AutomationEvent> automation, double sampleRate,
                                        int64_t frameLimit) {
    std::vector<ScheduledChange> schedule;
    for (const AutomationEvent& event : automation) {
        const int64_t frame = event.time.frameAt(sampleRate);
        if (frame >= 0 && frame < frameLimit) {
            schedule.push_back({frame, event.setting.parameter->address, event.setting.value});
        }
    }
    std::stable_sort(schedule.begin(), schedule.end(),
                     [](const ScheduledChange& a, const ScheduledChange& b) { return a.frame < b.frame; });
    return schedule;
}

// Moves the scheduled changes that fall in the block at start with count frames into events, at their
// offsets there.
void takeEvents(std::vector<ScheduledChange>::const_iterator& next,
                std::vector<ScheduledChange>::const_iterator end, std::size_t start, uint32_t count,
                std::vector<TimedParameter>& events) {
    events.clear();
    for (; next != end && static_cast<std::size_t>(next->frame) < start + count; ++next) {
        events.push_back(
            {static_cast<uint32_t>(next->frame - static_cast<int64_t>(start)), next->address, next->value});
    }
}

} // namespace

AudioBuffer renderBuffer(RenderBackend& backend, const AudioBuffer& input, uint32_t blockSize,
                         std::span<const AutomationEvent> automation) {
    const std::size_t frames = input.frameCount();
    const auto inputCount = static_cast<uint32_t>(input.channelCount());
    const uint32_t outputCount = outputChannelCount(input.channelCount());
    blockSize = std::max(blockSize, 1u);

    const std::vector<ScheduledChange> schedule =
        scheduleOf(automation, input.sampleRate, static_cast<int64_t>(frames));

    AudioBuffer output;
    output.sampleRate = input.sampleRate;
    output.channels.assign(outputCount, std::vector<float>(frames, 0.0f));

    std::vector<const float*> inputs(inputCount);
    std::vector<float*> outputs(outputCount);
    std::vector<TimedParameter> events;
    auto next = schedule.cbegin();
    for (std::size_t start = 0; start < frames; start += blockSize) {
        const auto count = static_cast<uint32_t>(std::min<std::size_t>(blockSize, frames - start));
        for (uint32_t c = 0; c < inputCount; ++c) {
            inputs[c] = input.channels[c].data() + start;
        }
        for (uint32_t c = 0; c < outputCount; ++c) {
            outputs[c] = output.channels[c].data() + start;
        }
        takeEvents(next, schedule.cend(), start, count, events);
        backend.process(inputs.data(), inputCount, outputs.data(), outputCount, count, events);
    }
    return output;
}

BlockReader bufferReader(const AudioBuffer& buffer) {
    return [&buffer, position = std::size_t{0}](float* const* channels, std::size_t frames) mutable {
        const std::size_t count = std::min(frames, buffer.frameCount() - position);
        for (std::size_t c = 0; c < buffer.channelCount(); ++c) {
            std::copy_n(buffer.channels[c].begin() + static_cast<std::ptrdiff_t>(position), count,
                        channels[c]);
        }
        position += count;
        return count;
    };
}

FileRender renderToFile(RenderBackend& backend, double sampleRate, std::size_t inputChannels,
                        const BlockReader& read, const std::string& outputPath, uint32_t blockSize,
                        std::span<const AutomationEvent> automation) {
    const auto inputCount = static_cast<uint32_t>(inputChannels);
    const uint32_t outputCount = outputChannelCount(inputChannels);
    blockSize = std::max(blockSize, 1u);
    AudioFileWriter writer(outputPath, sampleRate, outputCount);

    // Changes past the end are never reached.
    const std::vector<ScheduledChange> schedule =
        scheduleOf(automation, sampleRate, std::numeric_limits<int64_t>::max());
    std::vector<std::vector<float>> inputBlock(inputCount, std::vector<float>(blockSize));
    std::vector<std::vector<float>> outputBlock(outputCount, std::vector<float>(blockSize));
    std::vector<float*> inputs;
    std::vector<float*> outputs;
    for (auto& channel : inputBlock) {
        inputs.push_back(channel.data());
    }
    for (auto& channel : outputBlock) {
        outputs.push_back(channel.data());
    }
    std::vector<TimedParameter> events;
    LevelMeter inputLevels(inputCount);
    LevelMeter outputLevels(outputCount);

    std::size_t start = 0;
    auto next = schedule.cbegin();
    for (;;) {
        const auto count = static_cast<uint32_t>(read(inputs.data(), blockSize));
        if (count == 0) {
            break;
        }
        // What the backend leaves untouched stays silent, as in a fresh whole-buffer output.
        for (auto& channel : outputBlock) {
            std::fill_n(channel.begin(), count, 0.0f);
        }
        takeEvents(next, schedule.cend(), start, count, events);
        backend.process(inputs.data(), inputCount, outputs.data(), outputCount, count, events);
        inputLevels.add(inputs.data(), count);
        outputLevels.add(outputs.data(), count);
        writer.write(outputs.data(), count);
        start += count;
        if (count < blockSize) {
            break;
        }
    }

    FileRender result;
    result.written = writer.finish();
    result.figures = {sampleRate,           start, inputChannels, outputCount, inputLevels.levels(),
                      outputLevels.levels()};
    result.changesPastEnd = automation.size() - static_cast<std::size_t>(next - schedule.cbegin());
    return result;
}
