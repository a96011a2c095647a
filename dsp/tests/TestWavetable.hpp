#pragma once

// Builds small wavetable files in memory for tests, the fuzz seeds and the benchmarks.

#include "tools/wavetable-gen/WavetableFormat.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <unistd.h>

namespace testwt {

enum class Shape { Sawtooth, Square, Sine };

struct File {
    uint32_t rate = 48000;
    std::vector<wavetablegen::Record> records;
    wavetablegen::NoteMap noteMap{};
    std::vector<float> samples;

    wavetablegen::FileLayout layout() const { return {records.size()}; }

    // Appends one naive cycle of the shape for a note and registers it in the note map (records of a note
    // must be added together).
    void addCycle(Shape shape, uint16_t note, uint32_t length, float weight = 1.0f) {
        records.push_back({static_cast<uint32_t>(samples.size()), length, note, weight});
        for (uint32_t i = 0; i < length; ++i) {
            const double t = static_cast<double>(i) / length;
            samples.push_back(static_cast<float>(shape == Shape::Sawtooth ? 2.0 * t - 1.0
                                                 : shape == Shape::Square
                                                     ? (t < 0.5 ? 1.0 : -1.0)
                                                     : std::sin(2.0 * std::numbers::pi * t)));
        }
        auto& entry = noteMap[note];
        entry[0] = entry[1] == 0 ? static_cast<uint32_t>(records.size() - 1) : entry[0];
        ++entry[1];
    }

    std::vector<uint8_t> bytes() const { return wavetablegen::serialise(rate, records, noteMap, samples); }
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
