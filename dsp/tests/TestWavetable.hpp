#pragma once

// Builds small wavetable files in memory for tests, the fuzz seeds and the benchmarks.

#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <unistd.h>
#include <vector>

namespace testwt {

enum class Shape { Sawtooth, Square, Sine };

struct Record {
    uint32_t start = 0;
    uint32_t length = 0;
    uint16_t root = 0;
    float weight = 1.0f;
};

struct File {
    uint32_t rate = 48000;
    std::vector<Record> records;
    std::array<std::array<uint32_t, 2>, 128> noteMap{}; // first, count
    std::vector<float> samples;

    static constexpr size_t kHeader = 52;
    size_t recordsOffset() const { return kHeader; }
    size_t noteMapOffset() const { return kHeader + 16 * records.size(); }
    size_t samplesOffset() const { return noteMapOffset() + 1024; }

    // Appends one cycle of the shape for a note and registers it in the note map (records of a note must be
    // added together).
    void addCycle(Shape shape, uint16_t note, uint32_t length, float weight = 1.0f) {
        Record r{static_cast<uint32_t>(samples.size()), length, note, weight};
        for (uint32_t i = 0; i < length; ++i) {
            const double t = static_cast<double>(i) / length;
            double v = 0.0;
            switch (shape) {
            case Shape::Sawtooth:
                v = 2.0 * t - 1.0;
                break;
            case Shape::Square:
                v = t < 0.5 ? 1.0 : -1.0;
                break;
            case Shape::Sine:
                v = std::sin(2.0 * std::numbers::pi * t);
                break;
            }
            samples.push_back(static_cast<float>(v));
        }
        auto& entry = noteMap[note];
        if (entry[1] == 0) {
            entry[0] = static_cast<uint32_t>(records.size());
        }
        ++entry[1];
        records.push_back(r);
    }

    std::vector<uint8_t> bytes() const {
        std::vector<uint8_t> out(samplesOffset() + 4 * samples.size());
        std::memcpy(out.data(), "DUDIR001", 8);
        putU32(out, 8, 1);
        putU32(out, 12, rate);
        putU32(out, 16, static_cast<uint32_t>(records.size()));
        putU32(out, 20, 128);
        putU32(out, 24, static_cast<uint32_t>(samples.size()));
        putU64(out, 28, recordsOffset());
        putU64(out, 36, noteMapOffset());
        putU64(out, 44, samplesOffset());
        for (size_t i = 0; i < records.size(); ++i) {
            const size_t at = recordsOffset() + 16 * i;
            putU32(out, at, records[i].start);
            putU32(out, at + 4, records[i].length);
            out[at + 8] = static_cast<uint8_t>(records[i].root & 0xFF);
            out[at + 9] = static_cast<uint8_t>(records[i].root >> 8);
            putF32(out, at + 12, records[i].weight);
        }
        for (size_t n = 0; n < 128; ++n) {
            putU32(out, noteMapOffset() + 8 * n, noteMap[n][0]);
            putU32(out, noteMapOffset() + 8 * n + 4, noteMap[n][1]);
        }
        for (size_t i = 0; i < samples.size(); ++i) {
            putF32(out, samplesOffset() + 4 * i, samples[i]);
        }
        return out;
    }

    static void putU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            b[at + i] = static_cast<uint8_t>(v >> (8 * i));
        }
    }
    static void putU64(std::vector<uint8_t>& b, size_t at, uint64_t v) {
        putU32(b, at, static_cast<uint32_t>(v));
        putU32(b, at + 4, static_cast<uint32_t>(v >> 32));
    }
    static void putF32(std::vector<uint8_t>& b, size_t at, float v) {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        putU32(b, at, u);
    }
};

// A playable table: two records (slightly different lengths and weights) for every sixth note from 12 to 120.
inline File makeShapeTable(Shape shape, uint32_t rate = 48000) {
    File f;
    f.rate = rate;
    for (int note = 12; note <= 120; note += 6) {
        const double hz = 440.0 * std::pow(2.0, (note - 69) / 12.0);
        const auto length = static_cast<uint32_t>(std::max(4.0, std::round(rate / hz)));
        f.addCycle(shape, static_cast<uint16_t>(note), length, 1.0f);
        f.addCycle(shape, static_cast<uint16_t>(note), length + 1, 0.5f);
    }
    return f;
}

inline std::string writeTemp(const std::vector<uint8_t>& bytes, const std::string& name) {
    static std::atomic<int> counter{0};
    const auto path = std::filesystem::temp_directory_path() / ("tessaray-" + std::to_string(::getpid()) +
                                                                "-" + std::to_string(counter++) + "-" + name);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

} // namespace testwt
