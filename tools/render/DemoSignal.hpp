#pragma once

#include "tools/render/AudioFile.hpp"

// A short, fully deterministic piece of music for demonstrating the effect without an input file: a detuned
// pad that glides from A minor to F major, plucked notes on top and slow stereo movement. Stereo, peak 0.5.
AudioBuffer makeDemoSignal(double sampleRate = 48000.0, double seconds = 6.0);
