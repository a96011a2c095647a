// The band groups' smoothers, stepped one by one or in vector lanes.
#include "dsp/DSPEngine.hpp"
#include "dsp/FmaClones.hpp"

#include <algorithm>

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define TESSARAY_AVX2_SMOOTHERS 1
#define TESSARAY_LANE_TARGET "avx2,fma"
#include "dsp/LaneTranspose.hpp"
#endif

#if TESSARAY_AVX2_SMOOTHERS
namespace {
// Decided once at load time, so that the render thread only reads a flag.
const bool kAvx2Smoothers = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}();

// OnePoleSmoother::advance in each lane: −(coefficient × left) + left is coefficient × (−left) + left,
// rounded once.
__attribute__((target("avx2,fma"), always_inline)) inline __m256 advanceLanes(__m256 left, __m256 coefficient,
                                                                              __m256 snap, __m256 absMask) {
    const __m256 next = _mm256_fnmadd_ps(coefficient, left, left);
    const __m256 near = _mm256_cmp_ps(_mm256_and_ps(next, absMask), snap, _CMP_LT_OQ);
    return _mm256_blendv_ps(next, _mm256_setzero_ps(), near);
}

// One band group's smoothers for stepBandLanes: the values it steps and its frame-major rows.
struct LaneGroup {
    float* levelLeft;
    const float* levelCoefficient;
    const float* levelGoal;
    float* noteLeft;
    const float* noteCoefficient;
    const float* noteGoal;
    const float* detuneAmount;
    float (*levels)[8];
    float (*midis)[8];
};

// stepBandGroups with the eight bands of a group in the lanes of one register, Groups groups side by side
// (their chains are independent: interleaved, each one's latency hides the other's). Every lane performs the
// very operations of the scalar loop (fused multiply-add, subtraction, absolute value, ordered comparisons,
// selections), so the results are the same to the bit.
template <int Groups>
__attribute__((target("avx2,fma"))) void stepBandLanes(const LaneGroup* groups, const float* pitches,
                                                       const float* ages, uint32_t n) {
    const __m256 snap = _mm256_set1_ps(1e-5f);
    const __m256 absMask = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
    const __m256 zero = _mm256_setzero_ps();
    const __m256 skippedLevel = _mm256_set1_ps(-1.0f);
    __m256 lc[Groups], lg[Groups], nc[Groups], ng[Groups], dt[Groups], targetNotAbove[Groups], ll[Groups],
        nl[Groups];
    for (int g = 0; g < Groups; ++g) {
        lc[g] = _mm256_loadu_ps(groups[g].levelCoefficient);
        lg[g] = _mm256_loadu_ps(groups[g].levelGoal);
        nc[g] = _mm256_loadu_ps(groups[g].noteCoefficient);
        ng[g] = _mm256_loadu_ps(groups[g].noteGoal);
        dt[g] = _mm256_loadu_ps(groups[g].detuneAmount);
        targetNotAbove[g] = _mm256_cmp_ps(lg[g], zero, _CMP_LE_OQ);
        ll[g] = _mm256_loadu_ps(groups[g].levelLeft);
        nl[g] = _mm256_loadu_ps(groups[g].noteLeft);
    }
    for (uint32_t j = 0; j < n; ++j) {
        const __m256 pitch = _mm256_set1_ps(pitches[j]);
        const __m256 age = _mm256_set1_ps(ages[j]);
        for (int g = 0; g < Groups; ++g) {
            ll[g] = advanceLanes(ll[g], lc[g], snap, absMask);
            const __m256 level = _mm256_add_ps(lg[g], ll[g]);
            const __m256 skipped = _mm256_and_ps(_mm256_cmp_ps(level, snap, _CMP_LT_OQ), targetNotAbove[g]);
            nl[g] = _mm256_blendv_ps(advanceLanes(nl[g], nc[g], snap, absMask), nl[g], skipped);
            const __m256 note = _mm256_add_ps(ng[g], nl[g]);
            _mm256_store_ps(groups[g].levels[j], _mm256_blendv_ps(level, skippedLevel, skipped));
            _mm256_store_ps(groups[g].midis[j],
                            _mm256_add_ps(_mm256_add_ps(note, pitch), _mm256_mul_ps(age, dt[g])));
        }
    }
    for (int g = 0; g < Groups; ++g) {
        _mm256_storeu_ps(groups[g].levelLeft, ll[g]);
        _mm256_storeu_ps(groups[g].noteLeft, nl[g]);
    }
}

} // namespace
#endif

bool DSPEngine::groupSilent(const ChannelState& ch, int g) {
    bool silent = true;
    for (int k = 0; k < kBandGroup; ++k) {
        const OnePoleSmoother& level = ch.levelSmoothers[g + k];
        silent &= level.current == 0.0f && level.target == 0.0f;
    }
    return silent;
}

TESSARAY_FMA_CLONES
void DSPEngine::stepBandGroups(ChannelState& ch, const int* firsts, int count, uint32_t n,
                               const FrameValues& values, BandGroupValues* outs) const {
    // The smoothers run on local copies for the chunk: their targets only change at slice analyses, and a
    // glide time changed meanwhile on another thread takes effect with the next chunk. A copy holds each
    // smoother's goal (its target) and what is left of the distance to it.
    struct Copy {
        float levelLeft[kBandGroup], levelCoefficient[kBandGroup], levelGoal[kBandGroup];
        float noteLeft[kBandGroup], noteCoefficient[kBandGroup], noteGoal[kBandGroup], detune[kBandGroup];
        bool silent[kBandGroup];
    } copies[2];
    count = std::min(count, 2);
    for (int i = 0; i < count; ++i) {
        Copy& c = copies[i];
        for (int k = 0; k < kBandGroup; ++k) {
            const OnePoleSmoother& level = ch.levelSmoothers[firsts[i] + k];
            const OnePoleSmoother& note = ch.noteSmoothers[firsts[i] + k];
            c.levelGoal[k] = level.origin;
            c.levelLeft[k] = level.remaining;
            OnePoleSmoother::retarget(c.levelGoal[k], c.levelLeft[k], level.target);
            c.levelCoefficient[k] = loadRelaxed(level.coefficient);
            c.noteGoal[k] = note.origin;
            c.noteLeft[k] = note.remaining;
            OnePoleSmoother::retarget(c.noteGoal[k], c.noteLeft[k], note.target);
            c.noteCoefficient[k] = loadRelaxed(note.coefficient);
            c.detune[k] = detune[firsts[i] + k];
            // A silent band with a zero target stays at 0 when stepped and is skipped in every frame; it is
            // left exactly as it is.
            c.silent[k] = level.current == 0.0f && level.target == 0.0f;
        }
        outs[i].frameMajor = false;
    }
    uint32_t scalarFrames = n;
#if TESSARAY_AVX2_SMOOTHERS
    static_assert(kBandGroup == 8);
    if (kAvx2Smoothers && !referencePaths) {
        LaneGroup lanes[2] = {};
        for (int i = 0; i < count; ++i) {
            Copy& c = copies[i];
            lanes[i] = {c.levelLeft, c.levelCoefficient,  c.levelGoal,
                        c.noteLeft,  c.noteCoefficient,   c.noteGoal,
                        c.detune,    outs[i].frameLevels, outs[i].frameMidis};
        }
        if (count == 2) {
            stepBandLanes<2>(lanes, values.pitch, values.age, n);
        } else {
            stepBandLanes<1>(lanes, values.pitch, values.age, n);
        }
        // The lanes give frame-major rows; the voices one by one want band-major ones (and the vector
        // voices keep the frame-major ones).
        for (int i = 0; i < count; ++i) {
            BandGroupValues& out = outs[i];
            float* const levelRows[kBandGroup] = {out.levels[0], out.levels[1], out.levels[2], out.levels[3],
                                                  out.levels[4], out.levels[5], out.levels[6], out.levels[7]};
            float* const midiRows[kBandGroup] = {out.midis[0], out.midis[1], out.midis[2], out.midis[3],
                                                 out.midis[4], out.midis[5], out.midis[6], out.midis[7]};
            transposeEight(out.frameLevels, n, levelRows);
            transposeEight(out.frameMidis, n, midiRows);
            outs[i].frameMajor = true;
        }
        scalarFrames = 0; // nothing left for the scalar loop
    }
#endif
    for (int i = 0; i < count; ++i) {
        Copy& c = copies[i];
        BandGroupValues& out = outs[i];
        for (uint32_t j = 0; j < scalarFrames; ++j) {
            const float pitch = values.pitch[j];
            const float age = values.age[j];
#pragma GCC unroll 8
            for (int k = 0; k < kBandGroup; ++k) {
                c.levelLeft[k] = OnePoleSmoother::advance(c.levelLeft[k], c.levelCoefficient[k]);
                const float level = c.levelGoal[k] + c.levelLeft[k];
                // In a skipped frame the note holds; the step is computed regardless and dropped.
                const bool skipped = level < 0.00001f && c.levelGoal[k] <= 0.0f;
                const float noteLeft = OnePoleSmoother::advance(c.noteLeft[k], c.noteCoefficient[k]);
                c.noteLeft[k] = skipped ? c.noteLeft[k] : noteLeft;
                const float note = c.noteGoal[k] + c.noteLeft[k];
                out.levels[k][j] = skipped ? -1.0f : level;
                out.midis[k][j] = note + pitch + age * c.detune[k];
            }
        }
        for (int k = 0; k < kBandGroup; ++k) {
            if (!c.silent[k]) {
                OnePoleSmoother& level = ch.levelSmoothers[firsts[i] + k];
                OnePoleSmoother& note = ch.noteSmoothers[firsts[i] + k];
                level.origin = c.levelGoal[k];
                level.remaining = c.levelLeft[k];
                level.current = c.levelGoal[k] + c.levelLeft[k];
                note.origin = c.noteGoal[k];
                note.remaining = c.noteLeft[k];
                note.current = c.noteGoal[k] + c.noteLeft[k];
            }
        }
    }
}
