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

    // One step from value towards goal; snaps to the goal once closer than 1e-5, and also once a step no
    // longer moves the value: near large values coefficient × gap can fall below half a float step while the
    // gap is still well above 1e-5 (a glide would otherwise stall for good short of its note).
    static float advance(float value, float coefficient, float goal) {
        const float next = std::fma(coefficient, goal - value, value);
        const bool stalled = next == value && coefficient > 0.0f;
        return std::fabs(next - goal) < 1e-5f || stalled ? goal : next;
    }

    float step() {
        current = advance(current, loadRelaxed(coefficient), loadRelaxed(target));
        return current;
    }
};
