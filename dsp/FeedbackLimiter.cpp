#include "dsp/FeedbackLimiter.hpp"

void FeedbackLimiter::apply(float* buffer, int64_t n, float newGain) {
    if (n < 1) {
        return;
    }
    int64_t k = 0;
    if (lastSample != 0.0f) {
        k = n;
        float previous = lastSample;
        for (int64_t i = 0; i < n; ++i) {
            if (previous * buffer[i] < 0.0f) {
                k = i;
                break;
            }
            previous = buffer[i];
        }
    }
    for (int64_t i = 0; i < k; ++i) {
        buffer[i] *= gain;
    }
    for (int64_t i = k; i < n; ++i) {
        buffer[i] *= newGain;
    }
    gain = newGain;
    lastSample = buffer[n - 1];
}
