#include "tools/wavetable-gen/WavetableGenerator.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <numbers>

namespace wavetablegen {
namespace {

struct Variant {
    double lengthFactor; // cycle length relative to the note's exact length
    float weight;
};

// Three takes per note: the exact cycle, and slightly sharp and flat ones that are chosen less often, so the
// oscillators' record choice keeps the sound moving.
constexpr Variant kVariants[] = {{1.0, 1.0f}, {0.992, 0.6f}, {1.008, 0.6f}};

void putU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

void putU64(std::vector<uint8_t>& b, size_t at, uint64_t v) {
    putU32(b, at, static_cast<uint32_t>(v));
    putU32(b, at + 4, static_cast<uint32_t>(v >> 32));
}

void putF32(std::vector<uint8_t>& b, size_t at, float v) {
    uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    putU32(b, at, u);
}

// One cycle by additive synthesis. Only partials below half the table rate are summed (k < length / 2), and
// Lanczos sigma factors tame the ringing of the truncated series. Sawtooth and square are normalised to a
// peak of 1; the sine is written exactly.
std::vector<float> cycle(Shape shape, uint32_t length) {
    std::vector<double> v(length, 0.0);
    const uint32_t highest = (length - 1) / 2;
    const double twoPi = 2.0 * std::numbers::pi;
    for (uint32_t k = 1; k <= highest; ++k) {
        double amplitude = 0.0;
        if (shape == Shape::Sine) {
            amplitude = k == 1 ? 1.0 : 0.0;
        } else if (shape == Shape::Sawtooth) {
            amplitude = (k % 2 == 1 ? -1.0 : 1.0) * 2.0 / (std::numbers::pi * k); // rising ramp
        } else {
            amplitude = k % 2 == 1 ? 4.0 / (std::numbers::pi * k) : 0.0;
        }
        if (amplitude == 0.0) {
            continue;
        }
        if (shape != Shape::Sine) {
            const double x = std::numbers::pi * k / (highest + 1);
            amplitude *= std::sin(x) / x;
        }
        for (uint32_t i = 0; i < length; ++i) {
            v[i] += amplitude * std::sin(twoPi * k * i / length +
                                         (shape == Shape::Sawtooth ? std::numbers::pi * k : 0.0));
        }
    }
    double peak = 0.0;
    for (double s : v) {
        peak = std::max(peak, std::fabs(s));
    }
    std::vector<float> out(length);
    for (uint32_t i = 0; i < length; ++i) {
        out[i] = static_cast<float>(shape == Shape::Sine || peak <= 0.0 ? v[i] : v[i] / peak);
    }
    return out;
}

} // namespace

std::vector<uint8_t> buildFile(Shape shape, const Layout& layout) {
    struct Record {
        uint32_t start, length;
        uint16_t root;
        float weight;
    };
    std::vector<Record> records;
    std::vector<float> samples;
    uint32_t noteMap[128][2] = {};
    for (int note = layout.firstNote; note <= layout.lastNote; note += layout.noteStep) {
        const double hz = 440.0 * std::pow(2.0, (note - 69) / 12.0);
        noteMap[note][0] = static_cast<uint32_t>(records.size());
        for (const Variant& variant : kVariants) {
            const double exact = layout.tableRate / hz * variant.lengthFactor;
            const auto length = static_cast<uint32_t>(std::max(4.0, std::round(exact)));
            const std::vector<float> data = cycle(shape, length);
            records.push_back(
                {static_cast<uint32_t>(samples.size()), length, static_cast<uint16_t>(note), variant.weight});
            samples.insert(samples.end(), data.begin(), data.end());
            ++noteMap[note][1];
        }
    }

    const size_t recordsOffset = 52;
    const size_t noteMapOffset = recordsOffset + 16 * records.size();
    const size_t samplesOffset = noteMapOffset + 128 * 8;
    std::vector<uint8_t> out(samplesOffset + 4 * samples.size(), 0);
    std::memcpy(out.data(), "DUDIR001", 8);
    putU32(out, 8, 1);
    putU32(out, 12, layout.tableRate);
    putU32(out, 16, static_cast<uint32_t>(records.size()));
    putU32(out, 20, 128);
    putU32(out, 24, static_cast<uint32_t>(samples.size()));
    putU64(out, 28, recordsOffset);
    putU64(out, 36, noteMapOffset);
    putU64(out, 44, samplesOffset);
    for (size_t r = 0; r < records.size(); ++r) {
        const size_t at = recordsOffset + 16 * r;
        putU32(out, at, records[r].start);
        putU32(out, at + 4, records[r].length);
        out[at + 8] = static_cast<uint8_t>(records[r].root);
        out[at + 9] = 0;
        putF32(out, at + 12, records[r].weight);
    }
    for (size_t n = 0; n < 128; ++n) {
        putU32(out, noteMapOffset + 8 * n, noteMap[n][0]);
        putU32(out, noteMapOffset + 8 * n + 4, noteMap[n][1]);
    }
    for (size_t i = 0; i < samples.size(); ++i) {
        putF32(out, samplesOffset + 4 * i, samples[i]);
    }
    return out;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

} // namespace wavetablegen
