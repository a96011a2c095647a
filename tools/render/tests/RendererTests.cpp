#include "tools/render/Renderer.hpp"

#include <gtest/gtest.h>
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
