#pragma once

#include "dsp/Atomics.hpp"

#include <cmath>

// First-order smoother used for parameters, band notes and band levels. The target and the coefficient may be
// written by a parameter change on another thread while the render thread steps, hence the relaxed accesses.
struct OnePoleSmoother {
    float timeMs = 200.0f;
    float coefficient = 0.0f;
    float current = 0.0f;
    float target = 0.0f;
    double sampleRate = 44100.0;

    static float coefficientFor(float ms, double sampleRate) {
        return 1.0f - std::exp(-1000.0f / (ms * static_cast<float>(sampleRate)));
    }

    // Sets the time constant and derives the coefficient from this smoother's own sample rate.
    void setTime(float ms) {
        storeRelaxed(timeMs, ms);
        storeRelaxed(coefficient, coefficientFor(ms, sampleRate));
    }

    void setTarget(float value) { storeRelaxed(target, value); }

    // One step from value towards goal; snaps to the goal once closer than 1e-5.
    static float advance(float value, float coefficient, float goal) {
        value = std::fma(coefficient, goal - value, value);
        return std::fabs(value - goal) < 1e-5f ? goal : value;
    }

    float step() {
        current = advance(current, loadRelaxed(coefficient), loadRelaxed(target));
        return current;
    }
};
