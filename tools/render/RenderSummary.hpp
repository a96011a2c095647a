#pragma once

// The short report the tool prints after a render.

#include "tools/render/AudioFile.hpp"
#include "tools/render/RenderBackend.hpp"

#include <string>

struct SignalLevels {
    double peak = 0; // largest absolute sample over all channels
    double rms = 0;  // over every sample of every channel
};

SignalLevels measureLevels(const AudioBuffer& buffer);

// "-inf" for silence, else decibels relative to full scale with one decimal.
std::string formatDbfs(double linear);

// One character per band, from ' ' (-60 dB or less) to '#' (full scale).
std::string bandLevelBar(const AnalyserSnapshot& analyser);

std::string formatSummary(const AudioBuffer& input, const AudioBuffer& output,
                          const AnalyserSnapshot& analyser);
