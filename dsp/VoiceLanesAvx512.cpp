#include "dsp/VoiceLaneState.hpp"

#if defined(__x86_64__) && defined(__GNUC__)
// GCC 12 takes the deliberately undefined source operands inside its AVX-512 intrinsics for uninitialised
// variables.
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#define TESSARAY_LANE_TARGET "avx512f,avx512vl,avx512dq"
#include "dsp/LaneTranspose.hpp"
#include "dsp/VoiceLaneDriver.hpp"

#include <immintrin.h>

#define TESSARAY_AVX512 __attribute__((target("avx512f,avx512vl,avx512dq"), always_inline)) inline

namespace {

// Eight voices, one per lane of the AVX-512 registers, with mask registers, for renderLanes.
struct Avx512 {
    static constexpr int kLanes = 8;
    using Doubles = __m512d;
    using Floats = __m256;
    using Active = __mmask8; // the lanes whose level is not negative

    // Both interpolation points of every played shape for each lane's position in its record, interpolated
    // as BandVoice::sampleCycle does, one double per lane and shape.
    struct ShapeLanes {
        __m512d shape[BandVoice::kShapeCount];
    };

    template <int Shapes>
    static TESSARAY_AVX512 ShapeLanes sample(const double* steps, __m256i base, __m512d size,
                                             __m512d cyclePhase) {
        const __m512d pos = _mm512_mul_pd(cyclePhase, size);
        // pos >= 0, so truncation is floor; the index wraps to 0 when rounding lifts the position to the
        // length.
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

        TESSARAY_AVX512 void findRepeat() {
            repeat = _mm512_cmpeq_epi64_mask(currentRecord, nextRecord) == 0xFF;
        }
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

        // The lanes named by bits move on to their next record, the phase dropping by its whole part.
        TESSARAY_AVX512 void nextCycle(int bits, __m512d zero, __m512d one) {
            const auto plain = static_cast<__mmask8>(bits);
            const __m512d reduced =
                _mm512_sub_pd(phase, _mm512_roundscale_pd(phase, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
            const __mmask8 inRange =
                _mm512_cmp_pd_mask(reduced, zero, _CMP_GE_OQ) & _mm512_cmp_pd_mask(reduced, one, _CMP_LT_OQ);
            phase = _mm512_mask_mov_pd(phase, plain, _mm512_maskz_mov_pd(inRange, reduced));
            currentSize = _mm512_mask_mov_pd(currentSize, plain, nextSize);
            currentRecord = _mm512_mask_mov_epi64(currentRecord, plain, nextRecord);
            currentBase = _mm256_mask_mov_epi32(currentBase, plain, nextBase);
            findRepeat();
        }
    };

    static TESSARAY_AVX512 Active activeOf(__m256 level) {
        return _mm256_cmp_ps_mask(level, _mm256_setzero_ps(), _CMP_NLT_UQ);
    }
    static TESSARAY_AVX512 int bits(Active active) { return active; }
    static TESSARAY_AVX512 __m256 keepActive(Active active, __m256 x) {
        return _mm256_maskz_mov_ps(active, x);
    }
    static TESSARAY_AVX512 __m512d addWhere(Active active, __m512d x, __m512d y) {
        return _mm512_mask_add_pd(x, active, x, y);
    }
    static TESSARAY_AVX512 __m512d subWhere(Active active, __m512d x, __m512d y) {
        return _mm512_mask_sub_pd(x, active, x, y);
    }
    static TESSARAY_AVX512 int atLeast(int lanes, __m512d x, __m512d y) {
        return _mm512_mask_cmp_pd_mask(static_cast<__mmask8>(lanes), x, y, _CMP_GE_OQ);
    }
    static TESSARAY_AVX512 int atMost(int lanes, __m512d x, __m512d y) {
        return _mm512_mask_cmp_pd_mask(static_cast<__mmask8>(lanes), x, y, _CMP_LE_OQ);
    }

    static TESSARAY_AVX512 __m512d load(const double* p) { return _mm512_load_pd(p); }
    static TESSARAY_AVX512 void store(double* p, __m512d x) { _mm512_store_pd(p, x); }
    static TESSARAY_AVX512 __m512d set1(double x) { return _mm512_set1_pd(x); }
    static TESSARAY_AVX512 __m512d zero() { return _mm512_setzero_pd(); }
    static TESSARAY_AVX512 __m512d add(__m512d x, __m512d y) { return _mm512_add_pd(x, y); }
    static TESSARAY_AVX512 __m512d sub(__m512d x, __m512d y) { return _mm512_sub_pd(x, y); }
    static TESSARAY_AVX512 __m512d mul(__m512d x, __m512d y) { return _mm512_mul_pd(x, y); }
    static TESSARAY_AVX512 __m512d div(__m512d x, __m512d y) { return _mm512_div_pd(x, y); }
    // x where x > floor (ordered), else floor.
    static TESSARAY_AVX512 __m512d aboveOr(__m512d x, __m512d floor) {
        return _mm512_mask_blend_pd(_mm512_cmp_pd_mask(x, floor, _CMP_GT_OQ), floor, x);
    }

    static TESSARAY_AVX512 __m256 loadFloats(const float* p) { return _mm256_loadu_ps(p); }
    static TESSARAY_AVX512 void storeFloats(float* p, __m256 x) { _mm256_store_ps(p, x); }
    static TESSARAY_AVX512 __m256 zeroFloats() { return _mm256_setzero_ps(); }
    static TESSARAY_AVX512 __m256 addFloats(__m256 x, __m256 y) { return _mm256_add_ps(x, y); }
    static TESSARAY_AVX512 __m256 mulFloats(__m256 x, __m256 y) { return _mm256_mul_ps(x, y); }
    static TESSARAY_AVX512 __m256 broadcast(float x) { return _mm256_set1_ps(x); }
    static TESSARAY_AVX512 __m512d widen(__m256 x) { return _mm512_cvtps_pd(x); }
    static TESSARAY_AVX512 __m256 narrow(__m512d x) { return _mm512_cvtpd_ps(x); }

    static void transposeOut(const float (*out)[kLanes], uint32_t n, float* const* rows) {
        transposeEight(out, n, rows);
    }
};

} // namespace

const VoiceLaneKernels::Kernel VoiceLaneKernels::kAvx512[8] = {
    nullptr,
    &renderLanes<Avx512, 1>,
    &renderLanes<Avx512, 2>,
    &renderLanes<Avx512, 3>,
    &renderLanes<Avx512, 4>,
    &renderLanes<Avx512, 5>,
    &renderLanes<Avx512, 6>,
    &renderLanes<Avx512, 7>,
};
#endif
