#include "tools/render/DemoSignal.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

double midiToHz(double note) {
    return 440.0 * std::pow(2.0, (note - 69.0) / 12.0);
}

// Removes most of the aliasing of a naive sawtooth's jump.
double polyBlep(double phase, double increment) {
    if (phase < increment) {
        const double x = phase / increment;
        return x + x - x * x - 1.0;
    }
    if (phase > 1.0 - increment) {
        const double x = (phase - 1.0) / increment;
        return x * x + x + x + 1.0;
    }
    return 0.0;
}

double wrap(double phase) {
    return phase - std::floor(phase);
}

// Equal-power gains for a pan position from -1 (left) to 1 (right).
std::array<double, 2> panGains(double pan) {
    const double angle = (std::clamp(pan, -1.0, 1.0) + 1.0) * kPi / 4.0;
    return {std::cos(angle), std::sin(angle)};
}

struct Pluck {
    double start;
    double note;
    double pan;
};

void addPad(AudioBuffer& out, double seconds) {
    constexpr std::array<double, 4> fromChord{45, 57, 60, 64}; // A minor
    constexpr std::array<double, 4> toChord{41, 57, 60, 65};   // F major, the inner voices hold
    constexpr double detuneCents = 7.0;
    const double sr = out.sampleRate;
    const double changeAt = seconds * 0.5;
    const double glide = 0.3;

    for (std::size_t v = 0; v < fromChord.size(); ++v) {
        std::array<double, 2> phases{wrap(0.37 * static_cast<double>(v)),
                                     wrap(0.61 * static_cast<double>(v))};
        const double basePan = -0.6 + 0.4 * static_cast<double>(v);
        const double panRate = 0.11 + 0.05 * static_cast<double>(v);
        for (std::size_t i = 0; i < out.frameCount(); ++i) {
            const double t = static_cast<double>(i) / sr;
            const double move = std::clamp((t - changeAt) / glide, 0.0, 1.0);
            const double smoothMove = 0.5 - 0.5 * std::cos(move * kPi);
            const double vibrato = 0.03 * std::sin(2 * kPi * 5.1 * t + static_cast<double>(v));
            const double note = fromChord[v] + (toChord[v] - fromChord[v]) * smoothMove + vibrato;
            const double swell = std::min(t / 0.6, 1.0) * (0.8 + 0.2 * std::sin(2 * kPi * 0.25 * t));

            double sample = 0;
            for (std::size_t o = 0; o < 2; ++o) {
                const double cents = o == 0 ? -detuneCents : detuneCents;
                const double increment = std::min(midiToHz(note + cents / 100.0) / sr, 0.5);
                const double phase = phases[o];
                const double saw = 2.0 * phase - 1.0 - polyBlep(phase, increment);
                const double triangle = 4.0 * std::abs(phase - 0.5) - 1.0;
                sample += o == 0 ? saw : 0.7 * triangle;
                phases[o] = wrap(phase + increment);
            }

            const auto gains = panGains(basePan + 0.3 * std::sin(2 * kPi * panRate * t));
            const double amplitude = 0.12 * swell;
            out.channels[0][i] += static_cast<float>(sample * amplitude * gains[0]);
            out.channels[1][i] += static_cast<float>(sample * amplitude * gains[1]);
        }
    }
}

void addPlucks(AudioBuffer& out, double seconds) {
    const double sr = out.sampleRate;
    const std::array<Pluck, 6> plucks{{{0.125, 76, -0.4},
                                       {0.25, 72, 0.4},
                                       {0.375, 69, -0.2},
                                       {0.5, 77, 0.3},
                                       {0.75, 72, -0.4},
                                       {0.875, 69, 0.4}}};
    constexpr int kHarmonics = 6;
    constexpr double kRing = 1.5; // seconds a pluck is rendered for

    for (const Pluck& pluck : plucks) {
        const double start = pluck.start * seconds;
        const auto first = static_cast<std::size_t>(std::ceil(start * sr));
        const std::size_t last = std::min(out.frameCount(), static_cast<std::size_t>((start + kRing) * sr));
        const double f0 = midiToHz(pluck.note);
        const auto gains = panGains(pluck.pan);
        for (std::size_t i = first; i < last; ++i) {
            const double t = static_cast<double>(i) / sr - start;
            double sample = 0;
            for (int k = 1; k <= kHarmonics; ++k) {
                const double f = f0 * k;
                if (f >= sr * 0.45) {
                    break;
                }
                sample += std::sin(2 * kPi * f * t) * std::exp(-(3.0 + 2.0 * k) * t) / k;
            }
            sample *= 0.25 * std::min(t / 0.002, 1.0); // a 2 ms attack keeps the onset click-free
            out.channels[0][i] += static_cast<float>(sample * gains[0]);
            out.channels[1][i] += static_cast<float>(sample * gains[1]);
        }
    }
}

} // namespace

AudioBuffer makeDemoSignal(double sampleRate, double seconds) {
    AudioBuffer out;
    out.sampleRate = sampleRate;
    const auto frames = static_cast<std::size_t>(std::max(seconds, 0.0) * sampleRate);
    out.channels.assign(2, std::vector<float>(frames, 0.0f));
    if (frames == 0) {
        return out;
    }

    addPad(out, seconds);
    addPlucks(out, seconds);

    // Short fades at both ends, then a fixed peak level, low enough that the effect at its defaults, which
    // raises the peaks by a few decibels, stays clear of full scale.
    const double fadeIn = 0.01 * sampleRate;
    const double fadeOut = std::min(0.03 * sampleRate, static_cast<double>(frames));
    float peak = 0;
    for (auto& channel : out.channels) {
        for (std::size_t i = 0; i < frames; ++i) {
            const double fromEnd = static_cast<double>(frames - i);
            const double gain =
                std::min({1.0, static_cast<double>(i) / fadeIn, fromEnd / std::max(fadeOut, 1.0)});
            channel[i] = static_cast<float>(channel[i] * gain);
            peak = std::max(peak, std::abs(channel[i]));
        }
    }
    if (peak > 0) {
        const float scale = 0.5f / peak;
        for (auto& channel : out.channels) {
            for (float& sample : channel) {
                sample *= scale;
            }
        }
    }
    return out;
}
