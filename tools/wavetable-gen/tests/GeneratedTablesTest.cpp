#include "dsp/DSPKernel.hpp"
#include "tools/wavetable-gen/WavetableGenerator.hpp"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>
#include <string>

namespace {

const std::string kDir = TESSARAY_RESOURCES_DIR;

TEST(GeneratedTables, LoadShareOneLayoutAndStaySmall) {
    auto engine = std::make_unique<DSPEngine>();
    const char* names[] = {"sawtooth.bin", "square.bin", "sine.bin"};
    for (uint32_t slot = 0; slot < 3; ++slot) {
        const std::string path = kDir + "/" + names[slot];
        EXPECT_TRUE(engine->loadWavetable(slot, path.c_str())) << path;
        EXPECT_LT(std::filesystem::file_size(path), 4u * 1024 * 1024);
    }
    const auto& saw = engine->wavetables()[0];
    for (const auto& other : {engine->wavetables()[1], engine->wavetables()[2]}) {
        ASSERT_EQ(other.records.size(), saw.records.size());
        for (size_t r = 0; r < saw.records.size(); ++r) {
            EXPECT_EQ(other.records[r].length, saw.records[r].length);
        }
    }
    EXPECT_GT(saw.records.size(), 60u);
    EXPECT_EQ(saw.tableSampleRate, 48000.0);
    // Several records per note to choose from, and every note maps somewhere with records.
    EXPECT_GE(saw.noteMap[saw.noteRemap[69]].count, 2u);
    for (int n = 0; n < 128; ++n) {
        EXPECT_NE(saw.noteMap[saw.noteRemap[n]].count, 0u);
    }
    for (const auto& table : engine->wavetables()) {
        for (float s : table.samples) {
            ASSERT_LE(std::fabs(s), 1.0f);
        }
    }
}

TEST(GeneratedTables, SineRecordIsASineAndSawIsBandLimited) {
    WavetableSlot sine;
    ASSERT_TRUE(sine.parse((kDir + "/sine.bin").c_str()));
    const auto& rec = sine.records[sine.noteMap[57].first];
    double error = 0.0;
    for (uint32_t i = 0; i < rec.length; ++i) {
        error = std::max(error, std::fabs(sine.samples[rec.start + i] -
                                          std::sin(2.0 * std::numbers::pi * i / rec.length)));
    }
    EXPECT_LT(error, 1e-5);

    // The highest partial of a short sawtooth cycle stays below half the table rate: a 10-sample cycle holds
    // at most partials 1..4, so its DFT bin 5 is empty.
    WavetableSlot saw;
    ASSERT_TRUE(saw.parse((kDir + "/sawtooth.bin").c_str()));
    for (const auto& r : saw.records) {
        if (r.length < 8 || r.length % 2 != 0) {
            continue;
        }
        const uint32_t nyquistBin = r.length / 2;
        double re = 0.0;
        for (uint32_t i = 0; i < r.length; ++i) {
            re += saw.samples[r.start + i] * ((i % 2 == 0) ? 1.0 : -1.0);
        }
        EXPECT_NEAR(re / nyquistBin, 0.0, 1e-5) << r.length;
    }

    // A rendered sine voice at the record's own pitch is close to a sine.
    BandVoice::Tables tables{WavetableSlot{}, WavetableSlot{}, sine};
    auto voice = std::make_unique<BandVoice>();
    voice->sampleRate = 48000.0;
    const float weights[3] = {0.0f, 0.0f, 1.0f};
    double worst = 0.0;
    for (int i = 0; i < 9600; ++i) {
        const double phase = voice->phase;
        const float v = voice->render(tables, weights, 69.0, 440.0);
        worst = std::max(worst, std::fabs(v - std::sin(2.0 * std::numbers::pi * phase)));
    }
    EXPECT_LT(worst, 0.01);
}

} // namespace
