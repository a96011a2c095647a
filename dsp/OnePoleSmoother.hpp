// First-order smoother for parameters, band notes and band levels.
#pragma once

#include "dsp/Atomics.hpp"

#include <cmath>

// The target and the coefficient may be written by a parameter change on another thread while the render
// thread steps, hence the relaxed accesses. The glide itself is kept as the distance still to go from the
// target it heads for (origin): each step takes a fraction of that distance, and that fraction never rounds
// away while the distance is above 1e-5. Kept as the value instead, a step near a large value (a note around
// 100) falls below half a float step of the value long before the glide has arrived.
struct OnePoleSmoother {
    float timeMs = 200.0f;
    float coefficient = 0.0f;
    float current = 0.0f; // origin + remaining, as of the last step
    float target = 0.0f;
    double sampleRate = 44100.0;
    // Render side only: the target the glide heads for and what is left of the distance to it.
    float origin = 0.0f;
    float remaining = 0.0f;

    static float coefficientFor(float ms, double sampleRate) {
        return 1.0f - std::exp(-1000.0f / (ms * static_cast<float>(sampleRate)));
    }

    // Sets the time constant and derives the coefficient from this smoother's own sample rate.
    void setTime(float ms) {
        storeRelaxed(timeMs, ms);
        storeRelaxed(coefficient, coefficientFor(ms, sampleRate));
    }

    void setTarget(float value) { storeRelaxed(target, value); }

    // Sets value and target at once: no glide.
    void jumpTo(float value) {
        current = value;
        storeRelaxed(target, value);
        origin = value;
        remaining = 0.0f;
    }

    // Re-measures the distance from a new goal (the value stays where it is).
    static void retarget(float& origin, float& remaining, float goal) {
        if (goal != origin) {
            remaining = static_cast<float>(static_cast<double>(origin) - goal + remaining);
            origin = goal;
        }
    }

    // One step of the distance: the value moves by coefficient × (target − value), one fused multiply-add;
    // within 1e-5 of the target it snaps there.
    static float advance(float remaining, float coefficient) {
        const float next = std::fma(coefficient, -remaining, remaining);
        return std::fabs(next) < 1e-5f ? 0.0f : next;
    }

    float step() {
        retarget(origin, remaining, loadRelaxed(target));
        remaining = advance(remaining, loadRelaxed(coefficient));
        current = origin + remaining;
        return current;
    }
};
