#include "tools/render/RenderSummary.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <vector>

void LevelMeter::add(const float* const* channels, std::size_t frames) {
    for (std::size_t c = 0; c < sumsOfSquares_.size(); ++c) {
        double sum = sumsOfSquares_[c];
        for (std::size_t i = 0; i < frames; ++i) {
            const double value = channels[c][i];
            peak_ = std::max(peak_, std::abs(value));
            sum += value * value;
        }
        sumsOfSquares_[c] = sum;
    }
    frames_ += frames;
}

SignalLevels LevelMeter::levels() const {
    double sumOfSquares = 0;
    for (const double sum : sumsOfSquares_) {
        sumOfSquares += sum;
    }
    const std::size_t count = frames_ * sumsOfSquares_.size();
    return {peak_, count > 0 ? std::sqrt(sumOfSquares / static_cast<double>(count)) : 0.0};
}

SignalLevels measureLevels(const AudioBuffer& buffer) {
    LevelMeter meter(buffer.channelCount());
    std::vector<const float*> channels;
    for (const auto& channel : buffer.channels) {
        channels.push_back(channel.data());
    }
    meter.add(channels.data(), buffer.frameCount());
    return meter.levels();
}

std::string formatDbfs(double linear) {
    if (!(linear > 0)) {
        return "-inf";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", 20.0 * std::log10(linear));
    return text;
}

namespace {

double clampedLevel(float level) {
    return std::isfinite(level) ? std::clamp(static_cast<double>(level), 0.0, 1.0) : 0.0;
}

} // namespace

std::string bandLevelBar(const AnalyserSnapshot& analyser) {
    // Levels are mostly small fractions of full scale, so the shades follow decibels: -60 dB and below is
    // blank, every further 7.5 dB one shade darker, full scale '#'.
    constexpr std::string_view kShades = " .:-=+*%#";
    std::string bar;
    for (const float level : analyser.levels) {
        const double clamped = clampedLevel(level);
        std::size_t shade = 0;
        if (clamped > 0.001) {
            const double steps =
                (20.0 * std::log10(clamped) + 60.0) / 60.0 * static_cast<double>(kShades.size() - 1);
            shade =
                std::clamp<std::size_t>(static_cast<std::size_t>(std::lround(steps)), 1, kShades.size() - 1);
        }
        bar += kShades[shade];
    }
    return bar;
}

std::string formatSummary(const AudioBuffer& input, const AudioBuffer& output,
                          const AnalyserSnapshot& analyser) {
    return formatSummary({input.sampleRate, input.frameCount(), input.channelCount(), output.channelCount(),
                          measureLevels(input), measureLevels(output)},
                         analyser);
}

std::string formatSummary(const RenderFigures& figures, const AnalyserSnapshot& analyser) {
    const SignalLevels& in = figures.input;
    const SignalLevels& out = figures.output;
    const double seconds =
        figures.sampleRate > 0 ? static_cast<double>(figures.frames) / figures.sampleRate : 0;
    char line[256];
    std::string text;

    std::snprintf(line, sizeof line, "duration   %.3f s, %.0f Hz, %zu -> %zu channels\n", seconds,
                  figures.sampleRate, figures.inputChannels, figures.outputChannels);
    text += line;
    std::snprintf(line, sizeof line, "input      peak %s dBFS, RMS %s dBFS\n", formatDbfs(in.peak).c_str(),
                  formatDbfs(in.rms).c_str());
    text += line;
    std::snprintf(line, sizeof line, "output     peak %s dBFS, RMS %s dBFS\n", formatDbfs(out.peak).c_str(),
                  formatDbfs(out.rms).c_str());
    text += line;
    std::snprintf(line, sizeof line, "analyser   %d bands, %.1f to %.1f Hz (last slice)\n",
                  analyser.bandCount, static_cast<double>(analyser.rangeLo),
                  static_cast<double>(analyser.rangeHi));
    text += line;
    text += "bands      [" + bandLevelBar(analyser) + "] (-60 to 0 dB)\n";

    // The exact levels, 16 to a line, in thousandths of full scale.
    for (std::size_t row = 0; row < analyser.levels.size(); row += 16) {
        std::snprintf(line, sizeof line, "levels %2zu-%2zu", row + 1, row + 16);
        text += line;
        for (std::size_t b = row; b < row + 16; ++b) {
            std::snprintf(line, sizeof line, " %4ld", std::lround(clampedLevel(analyser.levels[b]) * 1000.0));
            text += line;
        }
        text += '\n';
    }
    return text;
}
