#include "dsp/VoiceLaneState.hpp"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

namespace {

// Four voices, one per lane of the AVX2 registers.
constexpr int kLanes = 4;

// The lanes named by the low four bits, as a mask of doubles.
__attribute__((target("avx2"), always_inline)) inline __m256i laneMask(int bits) {
    const __m256i picked = _mm256_and_si256(_mm256_set1_epi64x(bits), _mm256_set_epi64x(8, 4, 2, 1));
    return _mm256_cmpgt_epi64(picked, _mm256_setzero_si256());
}

// Both interpolation points of every shape for each lane's position in its record, interpolated as
// BandVoice::sampleCycle does, one double per lane and shape.
struct ShapeLanes {
    __m256d shape[BandVoice::kShapeCount];
};

template <int Shapes>
__attribute__((target("avx2"), always_inline)) inline ShapeLanes
sampleLanes(const double* steps, __m128i base, __m256d size, __m256d cyclePhase) {
    const __m256d pos = _mm256_mul_pd(cyclePhase, size);
    // pos >= 0, so truncation is floor; the index wraps to 0 when rounding lifts the position to the length.
    const __m256d whole = _mm256_round_pd(pos, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    const __m256d fraction = _mm256_sub_pd(pos, whole);
    const __m256d index = _mm256_and_pd(whole, _mm256_cmp_pd(whole, size, _CMP_LT_OQ));
    // Eight doubles per position where the shared table has four floats.
    const __m128i at = _mm_slli_epi32(_mm_add_epi32(base, _mm_slli_epi32(_mm256_cvttpd_epi32(index), 2)), 1);
    const double* row[kLanes] = {steps + _mm_cvtsi128_si32(at), steps + _mm_extract_epi32(at, 1),
                                 steps + _mm_extract_epi32(at, 2), steps + _mm_extract_epi32(at, 3)};
    // Per lane the values [saw, square, sine, 0] and their steps; four lanes' rows become one register per
    // shape with 4x4 transposes.
    __m256d values[BandVoice::kShapeCount], steps4[BandVoice::kShapeCount];
    for (int half = 0; half < 2; ++half) {
        const __m256d r0 = _mm256_load_pd(row[0] + 4 * half);
        const __m256d r1 = _mm256_load_pd(row[1] + 4 * half);
        const __m256d r2 = _mm256_load_pd(row[2] + 4 * half);
        const __m256d r3 = _mm256_load_pd(row[3] + 4 * half);
        const __m256d even01 = _mm256_unpacklo_pd(r0, r1), odd01 = _mm256_unpackhi_pd(r0, r1);
        const __m256d even23 = _mm256_unpacklo_pd(r2, r3), odd23 = _mm256_unpackhi_pd(r2, r3);
        __m256d* out = half == 0 ? values : steps4;
        out[0] = _mm256_permute2f128_pd(even01, even23, 0x20);
        out[1] = _mm256_permute2f128_pd(odd01, odd23, 0x20);
        out[2] = _mm256_permute2f128_pd(even01, even23, 0x31);
    }
    ShapeLanes out;
    for (int s = 0; s < BandVoice::kShapeCount; ++s) {
        if (Shapes & (1 << s)) {
            out.shape[s] = _mm256_add_pd(values[s], _mm256_mul_pd(steps4[s], fraction));
        } else {
            out.shape[s] = _mm256_setzero_pd();
        }
    }
    return out;
}

// The lanes' state while they run, in registers.
struct Registers {
    __m256d phase, left, currentSize, nextSize;
    __m256i currentRecord, nextRecord;
    __m128i currentBase, nextBase;
    bool repeat; // every lane plays one record as current and next

    __attribute__((target("avx2"), always_inline)) inline void findRepeat() {
        repeat =
            _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpeq_epi64(currentRecord, nextRecord))) == 0xF;
    }
    __attribute__((target("avx2"), always_inline)) inline void reload(const VoiceLaneKernels::State& st) {
        phase = _mm256_load_pd(st.phase);
        left = _mm256_load_pd(st.countdown);
        currentSize = _mm256_load_pd(st.currentSize);
        nextSize = _mm256_load_pd(st.nextSize);
        currentRecord = _mm256_load_si256(reinterpret_cast<const __m256i*>(st.currentRecord));
        nextRecord = _mm256_load_si256(reinterpret_cast<const __m256i*>(st.nextRecord));
        currentBase = _mm_load_si128(reinterpret_cast<const __m128i*>(st.currentBase));
        nextBase = _mm_load_si128(reinterpret_cast<const __m128i*>(st.nextBase));
        findRepeat();
    }
    __attribute__((target("avx2"), always_inline)) inline void spill(VoiceLaneKernels::State& st) const {
        _mm256_store_pd(st.phase, phase);
        _mm256_store_pd(st.countdown, left);
        _mm256_store_pd(st.currentSize, currentSize);
        _mm256_store_pd(st.nextSize, nextSize);
        _mm256_store_si256(reinterpret_cast<__m256i*>(st.currentRecord), currentRecord);
        _mm256_store_si256(reinterpret_cast<__m256i*>(st.nextRecord), nextRecord);
        _mm_store_si128(reinterpret_cast<__m128i*>(st.currentBase), currentBase);
        _mm_store_si128(reinterpret_cast<__m128i*>(st.nextBase), nextBase);
    }
};
// Each lane performs the scalar code's operations for its voice in the same order and precision (nothing
// fused); voices that need a record re-choice at a cycle end are handed to the scalar code for it.
template <int Shapes> __attribute__((target("avx2"))) void render(const VoiceLaneKernels::Job& job) {
    static_assert(Shapes > 0 && Shapes < (1 << BandVoice::kShapeCount));
    using K = VoiceLaneKernels;
    const uint32_t n = job.n;
    K::State st;
    for (int lane = 0; lane < kLanes; ++lane) {
        K::load(st, lane, job, Shapes);
    }

    // The phase increments frame by frame, lanes side by side.
    alignas(32) double increments[BandVoice::kMaxRun][kLanes];
    {
        alignas(32) double rates[kLanes];
        K::rates(job, kLanes, rates);
        const __m256d rate = _mm256_load_pd(rates);
        const __m256d lowest = _mm256_set1_pd(0.000001);
        for (uint32_t j = 0; j < n; ++j) {
            const __m256d f = _mm256_cvtps_pd(_mm_loadu_ps(job.frequencies + j * K::kLanes));
            const __m256d clamped = _mm256_blendv_pd(lowest, f, _mm256_cmp_pd(f, lowest, _CMP_GT_OQ));
            _mm256_store_pd(increments[j], _mm256_div_pd(clamped, rate));
        }
    }

    const double* table = job.shared.steps.data();
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d two = _mm256_set1_pd(2.0);
    const __m256d three = _mm256_set1_pd(3.0);
    const __m256d zero = _mm256_setzero_pd();
    const __m128 zeroFloats = _mm_setzero_ps();

    Registers r;
    r.reload(st);

    alignas(16) float out[BandVoice::kMaxRun][kLanes];
    for (uint32_t j = 0; j < n; ++j) {
        const __m128 level = _mm_loadu_ps(job.levels + j * K::kLanes);
        const __m128 activeFloats = _mm_cmp_ps(level, zeroFloats, _CMP_NLT_UQ);
        const int active = _mm_movemask_ps(activeFloats);
        if (active == 0) {
            _mm_store_ps(out[j], zeroFloats);
            continue;
        }
        const __m256d activeLanes =
            _mm256_castsi256_pd(_mm256_cvtepi32_epi64(_mm_castps_si128(activeFloats)));

        // The phase stays in [0, 1) between cycle ends, so it is both the crossfade position and the cycle
        // phase.
        const ShapeLanes a = sampleLanes<Shapes>(table, r.currentBase, r.currentSize, r.phase);
        const ShapeLanes b = r.repeat ? a : sampleLanes<Shapes>(table, r.nextBase, r.nextSize, r.phase);
        const __m256d fade =
            _mm256_mul_pd(_mm256_mul_pd(r.phase, r.phase), _mm256_sub_pd(three, _mm256_mul_pd(two, r.phase)));
        const __m256d keep = _mm256_sub_pd(one, fade);
        __m128 voiceOut = zeroFloats;
        for (int s = 0; s < BandVoice::kShapeCount; ++s) {
            if (Shapes & (1 << s)) {
                const __m256d mixed =
                    _mm256_add_pd(_mm256_mul_pd(a.shape[s], keep), _mm256_mul_pd(fade, b.shape[s]));
                voiceOut =
                    _mm_add_ps(voiceOut, _mm_mul_ps(_mm_set1_ps(job.weights[j][s]), _mm256_cvtpd_ps(mixed)));
            }
        }
        _mm_store_ps(out[j], _mm_and_ps(_mm_mul_ps(voiceOut, level), activeFloats));

        r.phase =
            _mm256_blendv_pd(r.phase, _mm256_add_pd(r.phase, _mm256_load_pd(increments[j])), activeLanes);
        r.left = _mm256_blendv_pd(r.left, _mm256_sub_pd(r.left, one), activeLanes);
        const int wrapped = _mm256_movemask_pd(_mm256_cmp_pd(r.phase, one, _CMP_GE_OQ)) & active;
        if (wrapped == 0) [[likely]] {
            continue;
        }
        // A cycle end: the phase drops by its whole part and the next record becomes the current one, or,
        // once the countdown has run out, the scalar code also chooses a new next record.
        const int chosen = wrapped & _mm256_movemask_pd(_mm256_cmp_pd(r.left, zero, _CMP_LE_OQ));
        const int plain = wrapped & ~chosen;
        if (plain != 0) {
            const __m256i mask = laneMask(plain);
            const __m256d maskDoubles = _mm256_castsi256_pd(mask);
            __m256d reduced = _mm256_sub_pd(r.phase, _mm256_floor_pd(r.phase));
            reduced = _mm256_and_pd(reduced, _mm256_and_pd(_mm256_cmp_pd(reduced, zero, _CMP_GE_OQ),
                                                           _mm256_cmp_pd(reduced, one, _CMP_LT_OQ)));
            r.phase = _mm256_blendv_pd(r.phase, reduced, maskDoubles);
            r.currentSize = _mm256_blendv_pd(r.currentSize, r.nextSize, maskDoubles);
            r.currentRecord = _mm256_castpd_si256(_mm256_blendv_pd(
                _mm256_castsi256_pd(r.currentRecord), _mm256_castsi256_pd(r.nextRecord), maskDoubles));
            // The 64-bit lane masks narrowed to 32 bits: the even halves.
            const __m128i mask32 = _mm_castps_si128(_mm256_castps256_ps128(_mm256_permutevar8x32_ps(
                _mm256_castsi256_ps(mask), _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6))));
            r.currentBase = _mm_blendv_epi8(r.currentBase, r.nextBase, mask32);
            r.findRepeat();
        }
        if (chosen != 0) {
            r.spill(st);
            for (int lane = 0; lane < kLanes; ++lane) {
                if (chosen & (1 << lane)) {
                    K::chooseRecords(st, lane, job, Shapes, j);
                }
            }
            r.reload(st);
        }
    }
    r.spill(st);
    float spare[BandVoice::kMaxRun]; // an idle lane's contributions
    float* rows[kLanes];
    for (int lane = 0; lane < kLanes; ++lane) {
        K::store(st, lane, job, Shapes);
        rows[lane] = job.bands[lane].contributions != nullptr ? job.bands[lane].contributions : spare;
    }
    // Back to one row per voice, four frames at a time.
    uint32_t j = 0;
    for (; j + 4 <= n; j += 4) {
        __m128 r0 = _mm_load_ps(out[j]), r1 = _mm_load_ps(out[j + 1]), r2 = _mm_load_ps(out[j + 2]),
               r3 = _mm_load_ps(out[j + 3]);
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        _mm_storeu_ps(rows[0] + j, r0);
        _mm_storeu_ps(rows[1] + j, r1);
        _mm_storeu_ps(rows[2] + j, r2);
        _mm_storeu_ps(rows[3] + j, r3);
    }
    for (; j < n; ++j) {
        for (int lane = 0; lane < kLanes; ++lane) {
            rows[lane][j] = out[j][lane];
        }
    }
}

} // namespace

const VoiceLaneKernels::Kernel VoiceLaneKernels::kAvx2[8] = {nullptr,    &render<1>, &render<2>, &render<3>,
                                                             &render<4>, &render<5>, &render<6>, &render<7>};
#endif
