#pragma once

#include <cstdint>

// Scales the fed-back signal of a block; a new gain takes over at the block's first zero crossing so that the
// feedback path never steps.
struct FeedbackLimiter {
    float gain = 1.0f;
    float lastSample = 0.0f;

    // The block-end gain for the largest fed-back magnitude of a block: keeps the feedback at or below 0.95.
    static float gainForPeak(float peak) { return peak > 0.95f ? 0.95f / peak : 1.0f; }

    void apply(float* buffer, int64_t n, float newGain);
};
