#include "tools/render/Renderer.hpp"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// Records the calls.
class RecordingBackend : public RenderBackend {
public:
    void setParameter(uint64_t address, float value) override { parameters.emplace_back(address, value); }
    void prepare(double, uint32_t, uint32_t, uint32_t) override {}
    void process(const float* const*, uint32_t, float* const*, uint32_t, uint32_t frames,
                 std::span<const TimedParameter> events) override {
        blocks.push_back(frames);
        this->events.emplace_back(events.begin(), events.end());
    }
    AnalyserSnapshot analyser() const override { return {}; }

    std::vector<std::pair<uint64_t, float>> parameters;
    std::vector<uint32_t> blocks;
    std::vector<std::vector<TimedParameter>> events;
};

// Passes the input through to both outputs, except for one frame that comes out NaN and infinite.
class PoisoningBackend : public RenderBackend {
public:
    explicit PoisoningBackend(std::size_t poisonedFrame) : poisonedFrame_(poisonedFrame) {}
    void setParameter(uint64_t, float) override {}
    void prepare(double, uint32_t, uint32_t, uint32_t) override {}
    void process(const float* const* inputs, uint32_t, float* const* outputs, uint32_t, uint32_t frames,
                 std::span<const TimedParameter>) override {
        for (uint32_t i = 0; i < frames; ++i, ++frame_) {
            outputs[0][i] = frame_ == poisonedFrame_ ? std::nanf("") : inputs[0][i];
            outputs[1][i] = frame_ == poisonedFrame_ ? INFINITY : inputs[0][i];
        }
    }
    AnalyserSnapshot analyser() const override { return {}; }

private:
    std::size_t poisonedFrame_;
    std::size_t frame_ = 0;
};

AutomationEvent at(double amount, bool seconds, const char* identifier, float value) {
    return {{amount, seconds}, {parameterByIdentifier(identifier), value}};
}

} // namespace

TEST(Renderer, PushesEveryDefaultBeforeTheSettings) {
    RecordingBackend backend;
    const std::vector<ParameterSetting> settings{{parameterByIdentifier("bands"), 8},
                                                 {parameterByIdentifier("bands"), 16}};
    applyParameters(backend, settings);
    ASSERT_EQ(backend.parameters.size(), kParameterCount + 2);
    for (std::size_t i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(backend.parameters[i].first, kParameterTable[i].address);
        EXPECT_EQ(backend.parameters[i].second, kParameterTable[i].defaultValue);
    }
    // The last write of an address wins in the kernel.
    EXPECT_EQ(backend.parameters.back(), (std::pair<uint64_t, float>{0, 16.0f}));
}

TEST(Renderer, AutomationLandsInItsBlockAtItsOffset) {
    AudioBuffer input;
    input.sampleRate = 1000;
    input.channels.assign(1, std::vector<float>(1000, 0.0f));
    // Given out of order; two at the same frame keep their order; one past the end is dropped.
    const std::vector<AutomationEvent> automation{at(0.7, true, "mix", 10),   at(256, false, "bands", 3),
                                                  at(5, false, "mix", 1),     at(700, false, "mix", 20),
                                                  at(1000, false, "mix", 99), at(0.2559, true, "blur", 7)};

    RecordingBackend backend;
    const AudioBuffer output = renderBuffer(backend, input, 256, automation);
    EXPECT_EQ(output.channelCount(), 2u);
    EXPECT_EQ(output.frameCount(), 1000u);
    EXPECT_EQ(backend.blocks, (std::vector<uint32_t>{256, 256, 256, 232}));
    ASSERT_EQ(backend.events.size(), 4u);
    EXPECT_EQ(backend.events[0], (std::vector<TimedParameter>{{5, 8, 1}}));
    // 0.2559 s at 1 kHz rounds to frame 256, after "bands" in the given order.
    EXPECT_EQ(backend.events[1], (std::vector<TimedParameter>{{0, 0, 3}, {0, 4, 7}}));
    EXPECT_EQ(backend.events[2], (std::vector<TimedParameter>{{700 - 512, 8, 10}, {700 - 512, 8, 20}}));
    EXPECT_TRUE(backend.events[3].empty());
}

TEST(Renderer, NonFiniteOutputMidFileWritesNothing) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tessaray-render-renderer-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string target = (folder / "out.flac").string();
    std::ofstream(target) << "the previous render";

    // Far into the file, after several of the writer's chunks have gone to disk.
    AudioBuffer input{48000, {std::vector<float>(100000, 0.25f)}};
    PoisoningBackend backend(70001);
    try {
        renderToFile(backend, input.sampleRate, 1, bufferReader(input), target, 512);
        FAIL() << "output with NaN was written";
    } catch (const AudioFileError& error) {
        EXPECT_NE(std::string(error.what()).find("2 samples are not finite"), std::string::npos)
            << error.what();
    }
    // The temporary file is gone and what was there stays.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
    std::ifstream in(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the previous render");
    std::filesystem::remove_all(folder);
}
