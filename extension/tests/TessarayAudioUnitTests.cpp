#include "core/Log.hpp"
#include "extension/TessarayAudioUnit.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace audiounit;

namespace {

// A unit on the build tree's bundle, which holds all three wavetables.
std::shared_ptr<TessarayAudioUnit> makeUnit() {
    return TessarayAudioUnit::create(TessarayAudioUnit::defaultComponentDescription(), 0,
                                     core::Bundle::atPath(TESSARAY_EXTENSION_BUNDLE_DIR));
}

RenderEvent parameterEvent(uint64_t address, float value, int64_t sampleTime = 0) {
    RenderEvent event;
    event.eventSampleTime = sampleTime;
    event.eventType = RenderEventType::parameter;
    event.parameterAddress = address;
    event.value = value;
    return event;
}

std::vector<std::vector<float>> noise(uint32_t channels, uint32_t frames, uint32_t seed = 1) {
    std::vector<std::vector<float>> signal(channels, std::vector<float>(frames));
    uint32_t x = seed;
    for (auto& channel : signal) {
        for (float& sample : channel) {
            x = x * 1664525u + 1013904223u;
            sample = (float(x >> 8) / 16777215.0f * 2.0f - 1.0f) * 0.5f;
        }
    }
    return signal;
}

// Plays the host: pulls from a prepared input, renders into its own output buffers.
struct Host {
    std::shared_ptr<TessarayAudioUnit> unit;
    TessarayAudioUnit::RenderBlock block;
    double sampleTime = 0;
    int pulls = 0;

    explicit Host(std::shared_ptr<TessarayAudioUnit> u)
        : unit(std::move(u)), block(unit->internalRenderBlock()) {}

    // Renders input (channels x frames) into output, which must be sized already.
    OSStatus render(const std::vector<std::vector<float>>& input, std::vector<std::vector<float>>& output,
                    const RenderEvent* events = nullptr, uint32_t frames = 0, bool nullSecondInput = false) {
        if (frames == 0) {
            frames = uint32_t(input.front().size());
        }
        auto pull = [&](AudioUnitRenderActionFlags*, const AudioTimeStamp*, uint32_t count, int64_t,
                        AudioBufferList* list) -> OSStatus {
            ++pulls;
            for (uint32_t c = 0; c < list->numberBuffers && c < input.size(); ++c) {
                const uint32_t n = std::min<uint32_t>(count, list->buffers[c].dataByteSize / sizeof(float));
                std::memcpy(list->buffers[c].data, input[c].data(), n * sizeof(float));
            }
            if (nullSecondInput && list->numberBuffers > 1) {
                list->buffers[1].data = nullptr;
            }
            return kNoErr;
        };
        AudioBufferList list;
        list.numberBuffers = uint32_t(output.size());
        for (size_t c = 0; c < output.size(); ++c) {
            list.buffers[c] = {1, uint32_t(output[c].size() * sizeof(float)), output[c].data()};
        }
        AudioTimeStamp timestamp;
        timestamp.sampleTime = sampleTime;
        timestamp.flags = AudioTimeStamp::kSampleTimeValid;
        AudioUnitRenderActionFlags flags = 0;
        const OSStatus status = block(&flags, &timestamp, frames, 0, &list, events, PullInputBlock(pull));
        if (status == kNoErr) {
            sampleTime += frames;
        }
        return status;
    }
};

std::vector<std::vector<float>> silence(uint32_t channels, uint32_t frames, float fill = 0.0f) {
    return std::vector<std::vector<float>>(channels, std::vector<float>(frames, fill));
}

size_t countLines(const core::LogCapture& capture, const std::string& text) {
    const auto lines = capture.lines();
    return size_t(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(text) != std::string::npos;
    }));
}

} // namespace

TEST(TessarayAudioUnit, FreshUnitHasOneStereoBusEachWayAndTheDefaultLimits) {
    auto unit = TessarayAudioUnit::create();
    ASSERT_EQ(unit->inputBusses()->count(), 1u);
    ASSERT_EQ(unit->outputBusses()->count(), 1u);
    EXPECT_EQ((*unit->inputBusses())[0]->format(), AudioFormat::standard(44100.0, 2));
    EXPECT_EQ((*unit->outputBusses())[0]->format(), AudioFormat::standard(44100.0, 2));
    EXPECT_EQ(unit->maximumFramesToRender(), 1024u);
    EXPECT_EQ(unit->channelCapabilities(), (std::vector<int32_t>{-1, -2}));
    // Without an explicit bundle the unit looks beside its own code.
    EXPECT_NE(unit->resourceBundle(), nullptr);
}

TEST(TessarayAudioUnit, AllocationPreparesTheEngineAndFixesFormatsAndMaximumFrames) {
    auto unit = makeUnit();
    ASSERT_EQ((*unit->inputBusses())[0]->setFormat(AudioFormat::standard(48000.0, 2)), kNoErr);
    ASSERT_EQ((*unit->outputBusses())[0]->setFormat(AudioFormat::standard(48000.0, 2)), kNoErr);
    ASSERT_EQ(unit->setMaximumFramesToRender(512), kNoErr);
    EXPECT_EQ(unit->kernel().engine.maximumFrames(), 512u);
    core::LogCapture log;
    unit->allocateRenderResources();
    EXPECT_EQ(unit->kernel().engine.sampleRate(), 48000.0);
    EXPECT_EQ(countLines(log, "TessarayAudioUnit:"), 0u) << "the build tree's bundle holds all three tables";
    EXPECT_EQ((*unit->outputBusses())[0]->setFormat(AudioFormat::standard(96000.0, 2)),
              kErrCannotDoInCurrentContext);
    EXPECT_EQ(unit->setMaximumFramesToRender(4096), kErrCannotDoInCurrentContext);

    Host host(unit);
    const auto input = noise(2, 4096);
    auto output = silence(2, 4096);
    EXPECT_EQ(host.render(input, output, nullptr, 512), kNoErr);
    EXPECT_EQ(host.render(input, output, nullptr, 513), kErrTooManyFramesToProcess);

    unit->deallocateRenderResources();
    EXPECT_FALSE(unit->renderResourcesAllocated());
    EXPECT_EQ(unit->setMaximumFramesToRender(4096), kNoErr);
    unit->allocateRenderResources();
    EXPECT_EQ(host.render(input, output, nullptr, 4096), kNoErr);
}

TEST(TessarayAudioUnit, MissingOrBrokenWavetablesAreLoggedPerAllocationAndRenderingGoesOn) {
    namespace fs = std::filesystem;
    const fs::path bundle = fs::temp_directory_path() / ("tessaray-au-" + std::to_string(::getpid()));
    fs::create_directories(bundle / "Resources");
    fs::copy_file(fs::path(TESSARAY_EXTENSION_BUNDLE_DIR) / "Resources" / "sawtooth.bin",
                  bundle / "Resources" / "sawtooth.bin", fs::copy_options::overwrite_existing);
    // A directory where a table should be once made the unit throw (and a plug-in fail to instantiate).
    fs::create_directories(bundle / "Resources" / "sine.bin");
    auto unit = TessarayAudioUnit::create(TessarayAudioUnit::defaultComponentDescription(), 0,
                                          core::Bundle::atPath(bundle));
    core::LogCapture log;
    unit->allocateRenderResources();
    EXPECT_EQ(countLines(log, "TessarayAudioUnit: missing square.bin in extension bundle"), 1u);
    EXPECT_EQ(countLines(log, "TessarayAudioUnit: failed to load sine.bin"), 1u);
    EXPECT_EQ(countLines(log, "sawtooth"), 0u);

    Host host(unit);
    unit->setParameter(8, 100.0f);
    const auto input = noise(2, 512);
    auto output = silence(2, 512);
    EXPECT_EQ(host.render(input, output), kNoErr);
    for (const auto& channel : output) {
        EXPECT_TRUE(std::all_of(channel.begin(), channel.end(), [](float s) { return std::isfinite(s); }));
    }

    unit->deallocateRenderResources();
    unit->allocateRenderResources();
    EXPECT_EQ(countLines(log, "TessarayAudioUnit: missing square.bin in extension bundle"), 2u);
    fs::remove_all(bundle);
}

// Units of one process on one bundle hold the wavetables once; a unit on other tables holds its own.
TEST(TessarayAudioUnit, UnitsOnTheSameBundleShareTheirWavetables) {
    auto first = makeUnit();
    auto second = makeUnit();
    first->allocateRenderResources();
    second->allocateRenderResources();
    ASSERT_TRUE(first->kernel().engine.sharedTable().usable());
    EXPECT_EQ(first->kernel().engine.tableSet, second->kernel().engine.tableSet);

    namespace fs = std::filesystem;
    const fs::path bundle = fs::temp_directory_path() / ("tessaray-au-share-" + std::to_string(::getpid()));
    fs::create_directories(bundle / "Resources");
    const fs::path tables = fs::path(TESSARAY_EXTENSION_BUNDLE_DIR) / "Resources";
    fs::copy_file(tables / "sine.bin", bundle / "Resources" / "sawtooth.bin",
                  fs::copy_options::overwrite_existing);
    fs::copy_file(tables / "square.bin", bundle / "Resources" / "square.bin",
                  fs::copy_options::overwrite_existing);
    fs::copy_file(tables / "sine.bin", bundle / "Resources" / "sine.bin",
                  fs::copy_options::overwrite_existing);
    auto other = TessarayAudioUnit::create(TessarayAudioUnit::defaultComponentDescription(), 0,
                                           core::Bundle::atPath(bundle));
    other->allocateRenderResources();
    EXPECT_TRUE(other->kernel().engine.wavetables()[0].usable());
    EXPECT_NE(other->kernel().engine.tableSet, first->kernel().engine.tableSet);
    for (const auto& unit : {first, second, other}) {
        unit->deallocateRenderResources();
    }
    fs::remove_all(bundle);
}

TEST(TessarayAudioUnit, BypassCopiesTheInputBitForBit) {
    auto unit = makeUnit();
    unit->setParameter(8, 100.0f);
    unit->allocateRenderResources();
    Host host(unit);
    auto output = silence(2, 256);
    ASSERT_EQ(host.render(noise(2, 256, 7), output), kNoErr);

    unit->setShouldBypassEffect(true);
    const auto input = noise(2, 256, 9);
    ASSERT_EQ(host.render(input, output), kNoErr);
    EXPECT_EQ(std::memcmp(output[0].data(), input[0].data(), 256 * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(output[1].data(), input[1].data(), 256 * sizeof(float)), 0);
}

TEST(TessarayAudioUnit, SavedStateCarriesThePresetNameAndReportsItOncePerRestore) {
    auto saved = TessarayAudioUnit::create();
    saved->setCurrentPresetName("Ghost Choir");
    const auto state = saved->fullState();
    ASSERT_TRUE(state.has_value());

    auto unit = TessarayAudioUnit::create();
    std::vector<std::string> reported;
    unit->setOnPresetNameUpdate([&](const std::string& name) { reported.push_back(name); });
    unit->setFullState(state);
    EXPECT_EQ(unit->currentPresetName(), "Ghost Choir");
    EXPECT_EQ(reported, (std::vector<std::string>{"Ghost Choir"}));

    // No entry, a number in its place, or no state at all: the empty name, reported once each.
    StateDictionary withoutName = *state;
    withoutName.erase("currentPresetName");
    unit->setFullState(withoutName);
    EXPECT_EQ(unit->currentPresetName(), "");
    StateDictionary withNumber = *state;
    withNumber["currentPresetName"] = int64_t(3);
    unit->setCurrentPresetName("Slow Melt");
    unit->setFullState(withNumber);
    EXPECT_EQ(unit->currentPresetName(), "");
    unit->setCurrentPresetName("Slow Melt");
    unit->setFullState(std::nullopt);
    EXPECT_EQ(unit->currentPresetName(), "");
    EXPECT_EQ(reported, (std::vector<std::string>{"Ghost Choir", "", "Slow Melt", "", "Slow Melt", ""}));
}

TEST(TessarayAudioUnit, ParameterWritesAndEventsReachTheKernelOnlyWhileAllocated) {
    auto unit = makeUnit();
    unit->setParameter(8, 0.0f);
    EXPECT_EQ(unit->sharedState().paramValues[8].load(), 0.0f);
    // Values pushed by the parameter set are not host automation: nothing for the editor's poll.
    EXPECT_EQ(unit->sharedState().dirtyMask.load(), 0u);

    // Outside allocation (before the first and after a deallocation) a render fails and touches nothing.
    Host host(unit);
    const auto input = noise(2, 256, 3);
    auto output = silence(2, 256, 0.25f);
    const RenderEvent event = parameterEvent(8, 100.0f, 100);
    EXPECT_EQ(host.render(input, output, &event), kErrUninitialized);
    unit->allocateRenderResources();
    unit->deallocateRenderResources();
    EXPECT_EQ(host.render(input, output, &event), kErrUninitialized);
    EXPECT_EQ(host.pulls, 0);
    EXPECT_EQ(unit->sharedState().paramValues[8].load(), 0.0f);
    for (const auto& channel : output) {
        EXPECT_TRUE(std::all_of(channel.begin(), channel.end(), [](float s) { return s == 0.25f; }));
    }
    AudioBufferList list;
    EXPECT_EQ(unit->render(nullptr, nullptr, 16, 0, &list, nullptr, nullptr), kErrUninitialized);

    // With the mix at 0 the output is the input up to the event, and changes from its sample on.
    unit->allocateRenderResources();
    ASSERT_EQ(host.render(input, output, &event), kNoErr);
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(std::memcmp(output[c].data(), input[c].data(), 100 * sizeof(float)), 0);
        EXPECT_NE(output[c][100], input[c][100]);
    }
    EXPECT_EQ(unit->sharedState().paramValues[8].load(), 100.0f);
    EXPECT_EQ(unit->sharedState().dirtyMask.load(), 1u << 8);
}

TEST(TessarayAudioUnit, UnusableHostInputBuffersDoNotReachTheKernel) {
    auto unit = makeUnit();
    unit->setParameter(8, 100.0f);
    unit->allocateRenderResources();
    Host host(unit);
    auto output = silence(2, 256);
    // The pull block leaves the second channel without data; the render must neither crash nor read it.
    EXPECT_EQ(host.render(noise(2, 256), output, nullptr, 0, /*nullSecondInput=*/true), kNoErr);
    for (const auto& channel : output) {
        EXPECT_TRUE(std::all_of(channel.begin(), channel.end(), [](float s) { return std::isfinite(s); }));
    }
    // A missing output list is refused.
    AudioTimeStamp timestamp;
    auto pull = [](AudioUnitRenderActionFlags*, const AudioTimeStamp*, uint32_t, int64_t, AudioBufferList*) {
        return kNoErr;
    };
    EXPECT_EQ(host.block(nullptr, &timestamp, 64, 0, nullptr, nullptr, PullInputBlock(pull)),
              kErrInvalidProperty);
    EXPECT_EQ(host.block(nullptr, &timestamp, 64, 0, &*std::make_unique<AudioBufferList>(), nullptr, nullptr),
              kErrNoConnection);
}

TEST(TessarayAudioUnit, SameInputAndSettingsRenderBitIdentically) {
    auto renderOnce = [] {
        auto unit = makeUnit();
        unit->setParameter(0, 24.0f);
        unit->setParameter(3, 20.0f);
        unit->setParameter(8, 100.0f);
        unit->setParameter(12, 40.0f);
        unit->setMaximumFramesToRender(300);
        unit->allocateRenderResources();
        Host host(unit);
        const RenderEvent event = parameterEvent(17, 0.9f, 4321);
        std::vector<float> result;
        for (uint32_t start = 0; start < 300 * 40; start += 300) {
            auto out = silence(2, 300);
            const bool due = event.eventSampleTime >= start && event.eventSampleTime < start + 300;
            EXPECT_EQ(host.render(noise(2, 300, start + 1), out, due ? &event : nullptr), kNoErr);
            result.insert(result.end(), out[0].begin(), out[0].end());
            result.insert(result.end(), out[1].begin(), out[1].end());
        }
        return result;
    };
    const auto first = renderOnce();
    EXPECT_EQ(first, renderOnce());
    // The wet path did run: the first block is not just its input.
    EXPECT_NE(std::vector<float>(first.begin(), first.begin() + 300), noise(2, 300, 1)[0]);
}
