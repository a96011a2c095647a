#pragma once

#include "dsp/DSPKernel.hpp"
#include "dsp/tests/TestWavetable.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// Writes the three test shapes once per process and returns their paths (sawtooth, square, sine).
inline const std::vector<std::string>& tablePaths() {
    static const std::vector<std::string> paths = {
        testwt::writeTemp(testwt::makeShapeTable(testwt::Shape::Sawtooth).bytes(), "sawtooth.bin"),
        testwt::writeTemp(testwt::makeShapeTable(testwt::Shape::Square).bytes(), "square.bin"),
        testwt::writeTemp(testwt::makeShapeTable(testwt::Shape::Sine).bytes(), "sine.bin"),
    };
    return paths;
}

inline bool loadTables(DSPEngine& engine) {
    bool ok = true;
    for (uint32_t slot = 0; slot < 3; ++slot) {
        ok = engine.loadWavetable(slot, tablePaths()[slot].c_str()) && ok;
    }
    return ok;
}

// A kernel on the heap (it is large), prepared and with tables, parameters at the engine defaults.
inline std::unique_ptr<DSPKernel> makeKernel(double sampleRate = 48000.0, int32_t maxFrames = 1024) {
    auto kernel = std::make_unique<DSPKernel>();
    kernel->engine.setMaximumFrames(maxFrames);
    kernel->engine.prepare(sampleRate);
    loadTables(kernel->engine);
    return kernel;
}

inline void setParameters(DSPKernel& kernel, std::initializer_list<std::pair<uint64_t, float>> settings) {
    for (auto [address, value] : settings) {
        kernel.setParameter(address, value, false);
    }
}

// Sum of sines at the given frequencies (the k-th with phase k + channel) and 1 / (1 + tilt * k) amplitudes.
template <typename Hz> double partials(int count, Hz hz, double tilt, int channel, uint64_t n, double rate) {
    double v = 0.0;
    for (int k = 0; k < count; ++k) {
        v += std::sin(2.0 * std::numbers::pi * hz(k) * static_cast<double>(n) / rate + k + channel) /
             (1.0 + tilt * k);
    }
    return v;
}

// A dense test signal: a chord of many partials spread over the analysis range.
inline float richSample(int channel, uint64_t n, double sampleRate) {
    const auto hz = [&](int k) { return 80.0 * std::pow(2.0, k / 7.0) * (1.0 + 0.002 * channel); };
    return static_cast<float>(0.08 * partials(48, hz, 0.1, 0, n, sampleRate));
}

// One partial at the centre of each of the 64 bands set by applyWorstCaseSettings, so every band finds a
// peak.
inline float allBandsSample(int channel, uint64_t n, double sampleRate) {
    const auto hz = [](int b) {
        return 200.0 * std::pow(2.0, std::log2(16000.0 / 200.0) * (b + 0.5) / 64.0);
    };
    return static_cast<float>(0.012 * partials(64, hz, 0.0, channel, n, sampleRate));
}

struct Buffers {
    std::vector<std::vector<float>> in, out;
    std::vector<const float*> inPtr;
    std::vector<float*> outPtr;

    Buffers(uint32_t inputs, uint32_t outputs, uint32_t frames)
        : in(inputs, std::vector<float>(frames)), out(outputs, std::vector<float>(frames)) {
        for (auto& c : in) {
            inPtr.push_back(c.data());
        }
        for (auto& c : out) {
            outPtr.push_back(c.data());
        }
    }

    template <typename Sample> void fill(uint64_t start, double sampleRate, Sample sample) {
        for (size_t c = 0; c < in.size(); ++c) {
            for (size_t i = 0; i < in[c].size(); ++i) {
                in[c][i] = sample(static_cast<int>(c), start + i, sampleRate);
            }
        }
    }
    void fillRich(uint64_t start, double sampleRate) { fill(start, sampleRate, richSample); }

    void run(DSPKernel& kernel, uint32_t frames) {
        kernel.process(inPtr.data(), static_cast<uint32_t>(inPtr.size()), outPtr.data(),
                       static_cast<uint32_t>(outPtr.size()), frames);
    }

    // Renders consecutive full-buffer blocks of the rich signal at 48 kHz.
    void runRich(DSPKernel& kernel, int blocks, int firstBlock = 0) {
        const auto frames = static_cast<uint32_t>(in.empty() ? out[0].size() : in[0].size());
        for (int block = firstBlock; block < firstBlock + blocks; ++block) {
            fillRich(static_cast<uint64_t>(block) * frames, 48000.0);
            run(kernel, frames);
        }
    }
};

// Settings under which every one of 64 bands holds whole FFT bins (at 44.1 and 48 kHz), with all three shapes
// weighted and feedback on: the engine's most expensive state.
inline void applyWorstCaseSettings(DSPKernel& kernel) {
    const std::pair<uint64_t, float> settings[] = {{0, 64.0f}, {1, 200.0f}, {2, 16000.0f}, {3, 20.0f},
                                                   {4, 30.0f}, {5, 40.0f},  {8, 70.0f},    {12, 50.0f},
                                                   {17, 0.5f}, {18, 0.5f}};
    for (auto [address, value] : settings) {
        kernel.setParameter(address, value, false);
    }
}

inline void fillAllBands(Buffers& io, uint64_t start, double sampleRate) {
    io.fill(start, sampleRate, allBandsSample);
}

// FNV-1a over the bit patterns of the samples.
inline uint64_t fnv1a(const std::vector<float>& samples, uint64_t hash = 1469598103934665603ull) {
    for (float s : samples) {
        uint32_t bits;
        std::memcpy(&bits, &s, 4);
        for (int i = 0; i < 4; ++i) {
            hash ^= (bits >> (8 * i)) & 0xFFu;
            hash *= 1099511628211ull;
        }
    }
    return hash;
}

} // namespace testsupport
