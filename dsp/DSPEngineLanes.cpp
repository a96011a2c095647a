// The band groups rendered with the voices in vector lanes.
#include "dsp/DSPEngine.hpp"
#include "dsp/VoiceLanes.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

namespace {

// Calls f with the played shapes (1 to 7) as a compile-time constant.
template <typename F> void withShapes(int shapes, F&& f) {
    switch (shapes) {
    case 1:
        f(std::integral_constant<int, 1>{});
        break;
    case 2:
        f(std::integral_constant<int, 2>{});
        break;
    case 3:
        f(std::integral_constant<int, 3>{});
        break;
    case 4:
        f(std::integral_constant<int, 4>{});
        break;
    case 5:
        f(std::integral_constant<int, 5>{});
        break;
    case 6:
        f(std::integral_constant<int, 6>{});
        break;
    case 7:
        f(std::integral_constant<int, 7>{});
        break;
    default:
        break;
    }
}

} // namespace

void DSPEngine::bandFrequencies(const float* levels, const float* midis, uint32_t first, uint32_t n,
                                float frequencyCap, float* frequencies) {
    std::fill(frequencies, frequencies + first, 0.0f);
    float lastMidi = std::numeric_limits<float>::quiet_NaN();
    float frequency = 0.0f;
    for (uint32_t j = first; j < n; ++j) {
        if (levels[j] >= 0.0f) {
            const float midi = midis[j];
            // The frequency only changes with the note; reuse it while the note holds still.
            if (!(midi == lastMidi)) {
                lastMidi = midi;
                frequency = std::min(440.0f * std::exp2((midi - 69.0f) / 12.0f), frequencyCap);
            }
        }
        frequencies[j] = frequency; // a skipped frame's value is never read
    }
}

bool DSPEngine::laneBands(int shapesPlayed) const {
    return !referencePaths && shapesPlayed > 0 && shapesPlayed < (1 << BandVoice::kShapeCount) &&
           sharedTable().usable() && VoiceLanes::has(lanePath);
}

void DSPEngine::renderGroupLanes(ChannelState& ch, int g, uint32_t n, const FrameValues& values,
                                 int shapesPlayed, float frequencyCap, const BandGroupValues& group,
                                 float* sum) {
    static_assert(kBandGroup == VoiceLanes::kMaxLanes);
    const BandVoice::TableViews views = BandVoice::viewsOf(wavetables());
    // Frame by frame, band k in column k: the lanes' levels (skipped throughout for bands not in a lane) and
    // frequencies.
    alignas(64) float levels[kChunk][kBandGroup];
    alignas(64) float frequencies[kChunk][kBandGroup];
    if (group.frameMajor) {
        std::copy(&group.frameLevels[0][0], &group.frameLevels[0][0] + n * kBandGroup, &levels[0][0]);
        VoiceLanes::frequencies(lanePath, &group.frameMidis[0][0], n * kBandGroup, frequencyCap,
                                &frequencies[0][0]);
    } else {
        float midis[kChunk][kBandGroup];
        for (uint32_t j = 0; j < n; ++j) {
            for (int k = 0; k < kBandGroup; ++k) {
                levels[j][k] = group.levels[k][j];
                midis[j][k] = group.midis[k][j];
            }
        }
        VoiceLanes::frequencies(lanePath, &midis[0][0], n * kBandGroup, frequencyCap, &frequencies[0][0]);
    }
    // A skipped frame's frequency is never read; where the one-by-one path reuses the last one while the
    // note holds, it is the same value anyway.

    float contributions[kBandGroup][kChunk];
    bool rendered[kBandGroup] = {};
    VoiceLanes::Band lanes[kBandGroup];
    for (int k = 0; k < kBandGroup; ++k) {
        const float* bandLevels = group.levels[k];
        const float* midis = group.midis[k];
        uint32_t first = 0;
        while (first < n && bandLevels[first] < 0.0f) {
            ++first;
        }
        if (first == n) {
            continue; // a voice that is not rendered keeps its shape slots as they are
        }
        rendered[k] = true;
        BandVoice& voice = ch.voices[g + k];
        voice.beginShapes(wavetables(), views, shapesPlayed, midis[first]);
        if (VoiceLanes::fits(voice, shapesPlayed)) {
            lanes[k] = {&voice, midis, contributions[k]};
            continue;
        }
        // Shapes at different records, or a phase outside [0, 1): this voice goes on its own.
        for (uint32_t j = 0; j < n; ++j) {
            levels[j][k] = -1.0f;
        }
        float bandFrequencies[kChunk];
        VoiceLanes::frequencies(lanePath, midis + first, n - first, frequencyCap, bandFrequencies + first);
        std::fill(contributions[k], contributions[k] + n, 0.0f);
        withShapes(shapesPlayed, [&](auto shapes) {
            voice.renderRunShared<decltype(shapes)::value>(wavetables(), views, sharedTable(), values.weights,
                                                           bandLevels, midis, bandFrequencies, first, n,
                                                           contributions[k]);
        });
    }
    const VoiceLanes::Frames frames{levels, frequencies, values.weights};
    const int width = VoiceLanes::lanes(lanePath);
    for (int column = 0; column < kBandGroup; column += width) {
        bool busy = false;
        for (int lane = 0; lane < width; ++lane) {
            busy |= lanes[column + lane].voice != nullptr;
        }
        if (busy) {
            VoiceLanes::render(lanePath, shapesPlayed, wavetables(), views, sharedTable(), frames, column,
                               lanes + column, n);
        }
    }
    // A skipped frame contributes +0, which leaves a sum as it is: sums start at +0 and never become -0.
    for (int k = 0; k < kBandGroup; ++k) {
        if (rendered[k]) {
            const float* c = contributions[k];
            for (uint32_t j = 0; j < n; ++j) {
                sum[j] = sum[j] + c[j];
            }
        }
    }
}
