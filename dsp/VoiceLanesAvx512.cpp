#include "dsp/VoiceLaneState.hpp"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

// GCC 12 takes the deliberately undefined source operands inside its AVX-512 intrinsics for uninitialised
// variables.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define TESSARAY_AVX512 __attribute__((target("avx512f,avx512vl,avx512dq"), always_inline)) inline

namespace {

// Eight voices, one per lane of the AVX-512 registers.
constexpr int kLanes = 8;

// Both interpolation points of every played shape for each lane's position in its record, interpolated as
// BandVoice::sampleCycle does, one double per lane and shape.
struct ShapeLanes {
    __m512d shape[BandVoice::kShapeCount];
};

template <int Shapes>
TESSARAY_AVX512 ShapeLanes sampleLanes(const double* steps, __m256i base, __m512d size, __m512d cyclePhase) {
    const __m512d pos = _mm512_mul_pd(cyclePhase, size);
    // pos >= 0, so truncation is floor; the index wraps to 0 when rounding lifts the position to the length.
    const __m512d whole = _mm512_roundscale_pd(pos, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    const __m512d fraction = _mm512_sub_pd(pos, whole);
    const __m512d index = _mm512_maskz_mov_pd(_mm512_cmp_pd_mask(whole, size, _CMP_LT_OQ), whole);
    // Eight doubles per position where the shared table has four floats.
    const __m256i at =
        _mm256_slli_epi32(_mm256_add_epi32(base, _mm256_slli_epi32(_mm512_cvttpd_epi32(index), 2)), 1);
    // The offsets straight from the register: a store and eight narrow reloads would wait on forwarding.
    const __m128i low = _mm256_castsi256_si128(at);
    const __m128i high = _mm256_extracti128_si256(at, 1);
    const __m512d r0 = _mm512_load_pd(steps + _mm_cvtsi128_si32(low));
    const __m512d r1 = _mm512_load_pd(steps + _mm_extract_epi32(low, 1));
    const __m512d r2 = _mm512_load_pd(steps + _mm_extract_epi32(low, 2));
    const __m512d r3 = _mm512_load_pd(steps + _mm_extract_epi32(low, 3));
    const __m512d r4 = _mm512_load_pd(steps + _mm_cvtsi128_si32(high));
    const __m512d r5 = _mm512_load_pd(steps + _mm_extract_epi32(high, 1));
    const __m512d r6 = _mm512_load_pd(steps + _mm_extract_epi32(high, 2));
    const __m512d r7 = _mm512_load_pd(steps + _mm_extract_epi32(high, 3));
    // Rows [saw, square, sine, 0, their steps] of lanes 0-7 to one register per value: pairs of lanes
    // interleaved, then 128-bit pieces of two pairs and of two quads gathered.
    const __m512d even01 = _mm512_unpacklo_pd(r0, r1), odd01 = _mm512_unpackhi_pd(r0, r1);
    const __m512d even23 = _mm512_unpacklo_pd(r2, r3), odd23 = _mm512_unpackhi_pd(r2, r3);
    const __m512d even45 = _mm512_unpacklo_pd(r4, r5), odd45 = _mm512_unpackhi_pd(r4, r5);
    const __m512d even67 = _mm512_unpacklo_pd(r6, r7), odd67 = _mm512_unpackhi_pd(r6, r7);
    __m512d low4[BandVoice::kShapeCount], high4[BandVoice::kShapeCount];
    low4[0] = _mm512_shuffle_f64x2(even01, even23, 0x88);
    low4[1] = _mm512_shuffle_f64x2(odd01, odd23, 0x88);
    low4[2] = _mm512_shuffle_f64x2(even01, even23, 0xDD);
    high4[0] = _mm512_shuffle_f64x2(even45, even67, 0x88);
    high4[1] = _mm512_shuffle_f64x2(odd45, odd67, 0x88);
    high4[2] = _mm512_shuffle_f64x2(even45, even67, 0xDD);
    ShapeLanes out;
    for (int s = 0; s < BandVoice::kShapeCount; ++s) {
        if (Shapes & (1 << s)) {
            const __m512d a = _mm512_shuffle_f64x2(low4[s], high4[s], 0x88);
            const __m512d step = _mm512_shuffle_f64x2(low4[s], high4[s], 0xDD);
            out.shape[s] = _mm512_add_pd(a, _mm512_mul_pd(step, fraction));
        } else {
            out.shape[s] = _mm512_setzero_pd();
        }
    }
    return out;
}

// The lanes' state while they run, in registers.
struct Registers {
    __m512d phase, left, currentSize, nextSize;
    __m512i currentRecord, nextRecord;
    __m256i currentBase, nextBase;
    bool repeat; // every lane plays one record as current and next

    TESSARAY_AVX512 void findRepeat() { repeat = _mm512_cmpeq_epi64_mask(currentRecord, nextRecord) == 0xFF; }
    TESSARAY_AVX512 void reload(const VoiceLaneKernels::State& st) {
        phase = _mm512_load_pd(st.phase);
        left = _mm512_load_pd(st.countdown);
        currentSize = _mm512_load_pd(st.currentSize);
        nextSize = _mm512_load_pd(st.nextSize);
        currentRecord = _mm512_load_si512(st.currentRecord);
        nextRecord = _mm512_load_si512(st.nextRecord);
        currentBase = _mm256_load_si256(reinterpret_cast<const __m256i*>(st.currentBase));
        nextBase = _mm256_load_si256(reinterpret_cast<const __m256i*>(st.nextBase));
        findRepeat();
    }
    TESSARAY_AVX512 void spill(VoiceLaneKernels::State& st) const {
        _mm512_store_pd(st.phase, phase);
        _mm512_store_pd(st.countdown, left);
        _mm512_store_pd(st.currentSize, currentSize);
        _mm512_store_pd(st.nextSize, nextSize);
        _mm512_store_si512(st.currentRecord, currentRecord);
        _mm512_store_si512(st.nextRecord, nextRecord);
        _mm256_store_si256(reinterpret_cast<__m256i*>(st.currentBase), currentBase);
        _mm256_store_si256(reinterpret_cast<__m256i*>(st.nextBase), nextBase);
    }
};

// rows[k][j] = in[j][k] for the n frames, eight frames at a time.
__attribute__((target("avx512f,avx512vl,avx512dq"))) void transposeOut(const float (*in)[kLanes], uint32_t n,
                                                                       float* const* rows) {
    uint32_t j = 0;
    for (; j + 8 <= n; j += 8) {
        __m256 r[8];
        for (int i = 0; i < 8; ++i) {
            r[i] = _mm256_load_ps(in[j + i]);
        }
        const __m256 t0 = _mm256_unpacklo_ps(r[0], r[1]);
        const __m256 t1 = _mm256_unpackhi_ps(r[0], r[1]);
        const __m256 t2 = _mm256_unpacklo_ps(r[2], r[3]);
        const __m256 t3 = _mm256_unpackhi_ps(r[2], r[3]);
        const __m256 t4 = _mm256_unpacklo_ps(r[4], r[5]);
        const __m256 t5 = _mm256_unpackhi_ps(r[4], r[5]);
        const __m256 t6 = _mm256_unpacklo_ps(r[6], r[7]);
        const __m256 t7 = _mm256_unpackhi_ps(r[6], r[7]);
        const __m256 u0 = _mm256_shuffle_ps(t0, t2, 0x44);
        const __m256 u1 = _mm256_shuffle_ps(t0, t2, 0xEE);
        const __m256 u2 = _mm256_shuffle_ps(t1, t3, 0x44);
        const __m256 u3 = _mm256_shuffle_ps(t1, t3, 0xEE);
        const __m256 u4 = _mm256_shuffle_ps(t4, t6, 0x44);
        const __m256 u5 = _mm256_shuffle_ps(t4, t6, 0xEE);
        const __m256 u6 = _mm256_shuffle_ps(t5, t7, 0x44);
        const __m256 u7 = _mm256_shuffle_ps(t5, t7, 0xEE);
        _mm256_storeu_ps(rows[0] + j, _mm256_permute2f128_ps(u0, u4, 0x20));
        _mm256_storeu_ps(rows[1] + j, _mm256_permute2f128_ps(u1, u5, 0x20));
        _mm256_storeu_ps(rows[2] + j, _mm256_permute2f128_ps(u2, u6, 0x20));
        _mm256_storeu_ps(rows[3] + j, _mm256_permute2f128_ps(u3, u7, 0x20));
        _mm256_storeu_ps(rows[4] + j, _mm256_permute2f128_ps(u0, u4, 0x31));
        _mm256_storeu_ps(rows[5] + j, _mm256_permute2f128_ps(u1, u5, 0x31));
        _mm256_storeu_ps(rows[6] + j, _mm256_permute2f128_ps(u2, u6, 0x31));
        _mm256_storeu_ps(rows[7] + j, _mm256_permute2f128_ps(u3, u7, 0x31));
    }
    for (; j < n; ++j) {
        for (int k = 0; k < kLanes; ++k) {
            rows[k][j] = in[j][k];
        }
    }
}

// The AVX2 kernel's steps with eight lanes and mask registers: each lane performs the scalar code's
// operations for its voice in the same order and precision (nothing fused); voices that need a record
// re-choice at a cycle end are handed to the scalar code for it.
template <int Shapes>
__attribute__((target("avx512f,avx512vl,avx512dq"))) void render(const VoiceLaneKernels::Job& job) {
    static_assert(Shapes > 0 && Shapes < (1 << BandVoice::kShapeCount));
    static_assert(VoiceLaneKernels::kLanes == kLanes);
    using K = VoiceLaneKernels;
    const uint32_t n = job.n;
    K::State st;
    for (int lane = 0; lane < kLanes; ++lane) {
        K::load(st, lane, job, Shapes);
    }

    // The phase increments frame by frame, lanes side by side.
    alignas(64) double increments[BandVoice::kMaxRun][kLanes];
    {
        alignas(64) double rates[kLanes];
        K::rates(job, kLanes, rates);
        const __m512d rate = _mm512_load_pd(rates);
        const __m512d lowest = _mm512_set1_pd(0.000001);
        for (uint32_t j = 0; j < n; ++j) {
            const __m512d f = _mm512_cvtps_pd(_mm256_loadu_ps(job.frequencies + j * kLanes));
            const __m512d clamped =
                _mm512_mask_blend_pd(_mm512_cmp_pd_mask(f, lowest, _CMP_GT_OQ), lowest, f);
            _mm512_store_pd(increments[j], _mm512_div_pd(clamped, rate));
        }
    }

    const double* table = job.shared.steps.data();
    const __m512d one = _mm512_set1_pd(1.0);
    const __m512d two = _mm512_set1_pd(2.0);
    const __m512d three = _mm512_set1_pd(3.0);
    const __m512d zero = _mm512_setzero_pd();
    const __m256 zeroFloats = _mm256_setzero_ps();

    Registers r;
    r.reload(st);

    alignas(32) float out[BandVoice::kMaxRun][kLanes];
    for (uint32_t j = 0; j < n; ++j) {
        const __m256 level = _mm256_loadu_ps(job.levels + j * kLanes);
        const __mmask8 active = _mm256_cmp_ps_mask(level, zeroFloats, _CMP_NLT_UQ);
        if (active == 0) {
            _mm256_store_ps(out[j], zeroFloats);
            continue;
        }
        // The phase stays in [0, 1) between cycle ends, so it is both the crossfade position and the cycle
        // phase.
        const ShapeLanes a = sampleLanes<Shapes>(table, r.currentBase, r.currentSize, r.phase);
        const ShapeLanes b = r.repeat ? a : sampleLanes<Shapes>(table, r.nextBase, r.nextSize, r.phase);
        const __m512d fade =
            _mm512_mul_pd(_mm512_mul_pd(r.phase, r.phase), _mm512_sub_pd(three, _mm512_mul_pd(two, r.phase)));
        const __m512d keep = _mm512_sub_pd(one, fade);
        __m256 voiceOut = zeroFloats;
        for (int s = 0; s < BandVoice::kShapeCount; ++s) {
            if (Shapes & (1 << s)) {
                const __m512d mixed =
                    _mm512_add_pd(_mm512_mul_pd(a.shape[s], keep), _mm512_mul_pd(fade, b.shape[s]));
                voiceOut = _mm256_add_ps(
                    voiceOut, _mm256_mul_ps(_mm256_set1_ps(job.weights[j][s]), _mm512_cvtpd_ps(mixed)));
            }
        }
        _mm256_store_ps(out[j], _mm256_maskz_mov_ps(active, _mm256_mul_ps(voiceOut, level)));

        r.phase = _mm512_mask_add_pd(r.phase, active, r.phase, _mm512_load_pd(increments[j]));
        r.left = _mm512_mask_sub_pd(r.left, active, r.left, one);
        const __mmask8 wrapped = _mm512_mask_cmp_pd_mask(active, r.phase, one, _CMP_GE_OQ);
        if (wrapped == 0) [[likely]] {
            continue;
        }
        // A cycle end: the phase drops by its whole part and the next record becomes the current one, or,
        // once the countdown has run out, the scalar code also chooses a new next record.
        const __mmask8 chosen = _mm512_mask_cmp_pd_mask(wrapped, r.left, zero, _CMP_LE_OQ);
        const __mmask8 plain = wrapped & static_cast<__mmask8>(~chosen);
        if (plain != 0) {
            const __m512d reduced = _mm512_sub_pd(
                r.phase, _mm512_roundscale_pd(r.phase, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
            const __mmask8 inRange =
                _mm512_cmp_pd_mask(reduced, zero, _CMP_GE_OQ) & _mm512_cmp_pd_mask(reduced, one, _CMP_LT_OQ);
            r.phase = _mm512_mask_mov_pd(r.phase, plain, _mm512_maskz_mov_pd(inRange, reduced));
            r.currentSize = _mm512_mask_mov_pd(r.currentSize, plain, r.nextSize);
            r.currentRecord = _mm512_mask_mov_epi64(r.currentRecord, plain, r.nextRecord);
            r.currentBase = _mm256_mask_mov_epi32(r.currentBase, plain, r.nextBase);
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
    transposeOut(out, n, rows);
}

} // namespace

const VoiceLaneKernels::Kernel VoiceLaneKernels::kAvx512[8] = {
    nullptr, &render<1>, &render<2>, &render<3>, &render<4>, &render<5>, &render<6>, &render<7>};
#endif
