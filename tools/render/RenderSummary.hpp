#pragma once

// The short report the tool prints after a render.

#include "tools/render/AudioFile.hpp"
#include "tools/render/RenderBackend.hpp"

#include <cstddef>
#include <string>
#include <vector>

struct SignalLevels {
    double peak = 0; // largest absolute sample over all channels
    double rms = 0;  // over every sample of every channel
};

SignalLevels measureLevels(const AudioBuffer& buffer);

// The same levels gathered block by block, so a streamed render needs no whole buffer; each channel keeps
// its own sum, so where the blocks fall changes nothing.
class LevelMeter {
public:
    explicit LevelMeter(std::size_t channelCount) : sumsOfSquares_(channelCount, 0.0) {}

    void add(const float* const* channels, std::size_t frames);
    SignalLevels levels() const;

private:
    double peak_ = 0;
    std::vector<double> sumsOfSquares_;
    std::size_t frames_ = 0;
};

// What the summary reports of a render.
struct RenderFigures {
    double sampleRate = 0;
    std::size_t frames = 0;
    std::size_t inputChannels = 0;
    std::size_t outputChannels = 0;
    SignalLevels input;
    SignalLevels output;
};

// "-inf" for silence, else decibels relative to full scale with one decimal.
std::string formatDbfs(double linear);

// One character per band, from ' ' (-60 dB or less) to '#' (full scale).
std::string bandLevelBar(const AnalyserSnapshot& analyser);

std::string formatSummary(const RenderFigures& figures, const AnalyserSnapshot& analyser);
std::string formatSummary(const AudioBuffer& input, const AudioBuffer& output,
                          const AnalyserSnapshot& analyser);
