#include "dsp/VoiceLaneState.hpp"

#if defined(__x86_64__) && defined(__GNUC__)
#define TESSARAY_LANE_TARGET "avx2"
#include "dsp/VoiceLaneDriver.hpp"

#include <immintrin.h>

#define TESSARAY_AVX2 __attribute__((target("avx2"), always_inline)) inline

namespace {

// The lanes named by the low four bits, as a mask of doubles.
TESSARAY_AVX2 __m256i laneMask(int bits) {
    const __m256i picked = _mm256_and_si256(_mm256_set1_epi64x(bits), _mm256_set_epi64x(8, 4, 2, 1));
    return _mm256_cmpgt_epi64(picked, _mm256_setzero_si256());
}

// Four voices, one per lane of the AVX2 registers, for renderLanes.
struct Avx2 {
    static constexpr int kLanes = 4;
    using Doubles = __m256d;
    using Floats = __m128;

    // Both interpolation points of every shape for each lane's position in its record, interpolated as
    // BandVoice::sampleCycle does, one double per lane and shape.
    struct ShapeLanes {
        __m256d shape[BandVoice::kShapeCount];
    };

    template <int Shapes>
    static TESSARAY_AVX2 ShapeLanes sample(const double* steps, __m128i base, __m256d size,
                                           __m256d cyclePhase) {
        const __m256d pos = _mm256_mul_pd(cyclePhase, size);
        // pos >= 0, so truncation is floor; the index wraps to 0 when rounding lifts the position to the
        // length.
        const __m256d whole = _mm256_round_pd(pos, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
        const __m256d fraction = _mm256_sub_pd(pos, whole);
        const __m256d index = _mm256_and_pd(whole, _mm256_cmp_pd(whole, size, _CMP_LT_OQ));
        // Eight doubles per position where the shared table has four floats.
        const __m128i at =
            _mm_slli_epi32(_mm_add_epi32(base, _mm_slli_epi32(_mm256_cvttpd_epi32(index), 2)), 1);
        const double* row[kLanes] = {steps + _mm_cvtsi128_si32(at), steps + _mm_extract_epi32(at, 1),
                                     steps + _mm_extract_epi32(at, 2), steps + _mm_extract_epi32(at, 3)};
        // Per lane the values [saw, square, sine, 0] and their steps; four lanes' rows become one register
        // per shape with 4x4 transposes.
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

        TESSARAY_AVX2 void findRepeat() {
            repeat =
                _mm256_movemask_pd(_mm256_castsi256_pd(_mm256_cmpeq_epi64(currentRecord, nextRecord))) == 0xF;
        }
        TESSARAY_AVX2 void reload(const VoiceLaneKernels::State& st) {
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
        TESSARAY_AVX2 void spill(VoiceLaneKernels::State& st) const {
            _mm256_store_pd(st.phase, phase);
            _mm256_store_pd(st.countdown, left);
            _mm256_store_pd(st.currentSize, currentSize);
            _mm256_store_pd(st.nextSize, nextSize);
            _mm256_store_si256(reinterpret_cast<__m256i*>(st.currentRecord), currentRecord);
            _mm256_store_si256(reinterpret_cast<__m256i*>(st.nextRecord), nextRecord);
            _mm_store_si128(reinterpret_cast<__m128i*>(st.currentBase), currentBase);
            _mm_store_si128(reinterpret_cast<__m128i*>(st.nextBase), nextBase);
        }
        // The lanes named by bits move on to their next record, the phase dropping by its whole part.
        TESSARAY_AVX2 void nextCycle(int bits, __m256d zero, __m256d one) {
            const __m256i mask = laneMask(bits);
            const __m256d maskDoubles = _mm256_castsi256_pd(mask);
            __m256d reduced = _mm256_sub_pd(phase, _mm256_floor_pd(phase));
            reduced = _mm256_and_pd(reduced, _mm256_and_pd(_mm256_cmp_pd(reduced, zero, _CMP_GE_OQ),
                                                           _mm256_cmp_pd(reduced, one, _CMP_LT_OQ)));
            phase = _mm256_blendv_pd(phase, reduced, maskDoubles);
            currentSize = _mm256_blendv_pd(currentSize, nextSize, maskDoubles);
            currentRecord = _mm256_castpd_si256(_mm256_blendv_pd(
                _mm256_castsi256_pd(currentRecord), _mm256_castsi256_pd(nextRecord), maskDoubles));
            // The 64-bit lane masks narrowed to 32 bits: the even halves.
            const __m128i mask32 = _mm_castps_si128(_mm256_castps256_ps128(_mm256_permutevar8x32_ps(
                _mm256_castsi256_ps(mask), _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6))));
            currentBase = _mm_blendv_epi8(currentBase, nextBase, mask32);
            findRepeat();
        }
    };

    // The lanes whose level is not negative, as float and as double masks and as bits.
    struct Active {
        __m128 floats;
        __m256d doubles;
        int bits;
    };
    static TESSARAY_AVX2 Active activeOf(__m128 level) {
        const __m128 floats = _mm_cmp_ps(level, _mm_setzero_ps(), _CMP_NLT_UQ);
        return {floats, _mm256_castsi256_pd(_mm256_cvtepi32_epi64(_mm_castps_si128(floats))),
                _mm_movemask_ps(floats)};
    }
    static TESSARAY_AVX2 int bits(const Active& active) { return active.bits; }
    static TESSARAY_AVX2 __m128 keepActive(const Active& active, __m128 x) {
        return _mm_and_ps(x, active.floats);
    }
    static TESSARAY_AVX2 __m256d addWhere(const Active& active, __m256d x, __m256d y) {
        return _mm256_blendv_pd(x, _mm256_add_pd(x, y), active.doubles);
    }
    static TESSARAY_AVX2 __m256d subWhere(const Active& active, __m256d x, __m256d y) {
        return _mm256_blendv_pd(x, _mm256_sub_pd(x, y), active.doubles);
    }
    static TESSARAY_AVX2 int atLeast(int lanes, __m256d x, __m256d y) {
        return _mm256_movemask_pd(_mm256_cmp_pd(x, y, _CMP_GE_OQ)) & lanes;
    }
    static TESSARAY_AVX2 int atMost(int lanes, __m256d x, __m256d y) {
        return lanes & _mm256_movemask_pd(_mm256_cmp_pd(x, y, _CMP_LE_OQ));
    }

    static TESSARAY_AVX2 __m256d load(const double* p) { return _mm256_load_pd(p); }
    static TESSARAY_AVX2 void store(double* p, __m256d x) { _mm256_store_pd(p, x); }
    static TESSARAY_AVX2 __m256d set1(double x) { return _mm256_set1_pd(x); }
    static TESSARAY_AVX2 __m256d zero() { return _mm256_setzero_pd(); }
    static TESSARAY_AVX2 __m256d add(__m256d x, __m256d y) { return _mm256_add_pd(x, y); }
    static TESSARAY_AVX2 __m256d sub(__m256d x, __m256d y) { return _mm256_sub_pd(x, y); }
    static TESSARAY_AVX2 __m256d mul(__m256d x, __m256d y) { return _mm256_mul_pd(x, y); }
    static TESSARAY_AVX2 __m256d div(__m256d x, __m256d y) { return _mm256_div_pd(x, y); }
    // x where x > floor (ordered), else floor.
    static TESSARAY_AVX2 __m256d aboveOr(__m256d x, __m256d floor) {
        return _mm256_blendv_pd(floor, x, _mm256_cmp_pd(x, floor, _CMP_GT_OQ));
    }

    static TESSARAY_AVX2 __m128 loadFloats(const float* p) { return _mm_loadu_ps(p); }
    static TESSARAY_AVX2 void storeFloats(float* p, __m128 x) { _mm_store_ps(p, x); }
    static TESSARAY_AVX2 __m128 zeroFloats() { return _mm_setzero_ps(); }
    static TESSARAY_AVX2 __m128 addFloats(__m128 x, __m128 y) { return _mm_add_ps(x, y); }
    static TESSARAY_AVX2 __m128 mulFloats(__m128 x, __m128 y) { return _mm_mul_ps(x, y); }
    static TESSARAY_AVX2 __m128 broadcast(float x) { return _mm_set1_ps(x); }
    static TESSARAY_AVX2 __m256d widen(__m128 x) { return _mm256_cvtps_pd(x); }
    static TESSARAY_AVX2 __m128 narrow(__m256d x) { return _mm256_cvtpd_ps(x); }

    // Back to one row per voice, four frames at a time.
    static TESSARAY_AVX2 void transposeOut(const float (*out)[kLanes], uint32_t n, float* const* rows) {
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
};

} // namespace

const VoiceLaneKernels::Kernel VoiceLaneKernels::kAvx2[8] = {
    nullptr,
    &renderLanes<Avx2, 1>,
    &renderLanes<Avx2, 2>,
    &renderLanes<Avx2, 3>,
    &renderLanes<Avx2, 4>,
    &renderLanes<Avx2, 5>,
    &renderLanes<Avx2, 6>,
    &renderLanes<Avx2, 7>,
};
#endif
