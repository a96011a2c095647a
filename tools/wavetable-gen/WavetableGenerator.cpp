#include "tools/wavetable-gen/WavetableGenerator.hpp"

#include "tools/wavetable-gen/WavetableFormat.hpp"

#include <algorithm>
#include <cmath>
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
    std::vector<Record> records;
    std::vector<float> samples;
    NoteMap noteMap{};
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

    return serialise(layout.tableRate, records, noteMap, samples);
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

} // namespace wavetablegen
