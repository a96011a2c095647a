#include "extension/TessarayAudioUnit.hpp"
#include "tools/render/AudioUnitBackend.hpp"
#include "tools/render/DemoSignal.hpp"
#include "tools/render/Renderer.hpp"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace {

AudioBuffer monoDemo(double seconds) {
    const AudioBuffer demo = makeDemoSignal(44100.0, seconds);
    AudioBuffer mono;
    mono.sampleRate = demo.sampleRate;
    mono.channels.assign(1, demo.channels[0]);
    return mono;
}

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(AudioUnitBackend, StreamedFileRenderEqualsTheWholeBufferRender) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tessaray-render-stream-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string inputPath = (folder / "in.wav").string();
    // Many blocks of an odd size, so they fall across the file's internal chunks too.
    writeAudioFile(inputPath, monoDemo(0.5));
    constexpr uint32_t kBlock = 300;
    const std::vector<ParameterSetting> settings{{parameterByIdentifier("bands"), 24}};
    const std::vector<AutomationEvent> automation{{{10000, false}, {parameterByIdentifier("morphX"), 1}},
                                                  {{0.3, true}, {parameterByIdentifier("mix"), 40}}};

    // As the tool rendered before: the whole input read, rendered and written at once.
    AudioUnitBackend whole(extensionBundleDirectory());
    applyParameters(whole, settings);
    whole.prepare(44100, 1, 2, kBlock);
    const AudioBuffer input = readAudioFile(inputPath);
    const AudioBuffer output = renderBuffer(whole, input, kBlock, automation);
    const WriteReport wholeWrite = writeAudioFile((folder / "whole.flac").string(), output);
    const std::string wholeSummary = formatSummary(input, output, whole.analyser());

    AudioUnitBackend streamed(extensionBundleDirectory());
    applyParameters(streamed, settings);
    streamed.prepare(44100, 1, 2, kBlock);
    AudioFileReader reader(inputPath);
    const FileRender render = renderToFile(streamed, reader.sampleRate(), reader.channelCount(),
                                           std::bind_front(&AudioFileReader::read, &reader),
                                           (folder / "streamed.flac").string(), kBlock, automation);

    EXPECT_EQ(render.figures.frames, input.frameCount());
    EXPECT_EQ(render.written.clippedSamples, wholeWrite.clippedSamples);
    EXPECT_EQ(formatSummary(render.figures, streamed.analyser()), wholeSummary);
    const std::string wholeBytes = contents(folder / "whole.flac");
    EXPECT_GT(wholeBytes.size(), 10000u);
    EXPECT_TRUE(contents(folder / "streamed.flac") == wholeBytes) << "the files differ";
    std::filesystem::remove_all(folder);
}

TEST(AudioUnitBackend, AutomatedMixChangeTakesEffectFromItsSample) {
    const AudioBuffer input = monoDemo(0.2);
    AudioUnitBackend backend(extensionBundleDirectory());
    const std::vector<ParameterSetting> settings{{parameterByIdentifier("mix"), 0}};
    applyParameters(backend, settings);
    backend.prepare(input.sampleRate, 1, 2, 512);

    // Frame 1000 lies inside the second block, so the render call itself is split there.
    const std::vector<AutomationEvent> automation{{{1000, false}, {parameterByIdentifier("mix"), 100}}};
    const AudioBuffer output = renderBuffer(backend, input, 512, automation);
    ASSERT_EQ(output.channelCount(), 2u);
    ASSERT_EQ(output.frameCount(), input.frameCount());
    for (const auto& channel : output.channels) {
        // Fully dry before the event: the mono input on both sides, bit for bit.
        EXPECT_EQ(std::memcmp(channel.data(), input.channels[0].data(), 1000 * sizeof(float)), 0);
        std::size_t firstDifference = 1000;
        while (firstDifference < channel.size() &&
               channel[firstDifference] == input.channels[0][firstDifference]) {
            ++firstDifference;
        }
        EXPECT_LT(firstDifference, 1010u);
    }
    // The host-style event flags the change for the editor and the analyser has run.
    EXPECT_NE(backend.unit().sharedState().dirtyMask.load() & (1u << 8), 0u);
    EXPECT_EQ(backend.analyser().bandCount, 64);
}

TEST(AudioUnitBackend, SetupsTheEffectCannotRunThrow) {
    AudioUnitBackend backend(extensionBundleDirectory());
    EXPECT_THROW(backend.prepare(44100.0, 40, 2, 512), std::runtime_error);
    EXPECT_THROW(AudioUnitBackend("/nonexistent/TessarayExtension.bundle"), std::runtime_error);
}

TEST(AudioUnitBackend, TheDefaultDemoRenderStaysBelowFullScale) {
    // What the tool writes when given no options; the effect lifts the demo's peaks by a few decibels.
    const AudioBuffer demo = makeDemoSignal();
    AudioUnitBackend backend(extensionBundleDirectory());
    applyParameters(backend, {});
    backend.prepare(demo.sampleRate, 2, 2, kDefaultBlockSize);
    const AudioBuffer output = renderBuffer(backend, demo, kDefaultBlockSize);
    EXPECT_LE(measureLevels(output).peak, std::pow(10.0, -1.0 / 20.0))
        << "peak " << formatDbfs(measureLevels(output).peak) << " dBFS";
}
