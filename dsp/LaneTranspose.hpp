// The 8×8 float transpose that turns frame-major lane rows into one row per band or voice.
#pragma once

// For x86-64 units that define TESSARAY_LANE_TARGET, the target attribute of their instruction set (one that
// includes AVX), before including this header: the code is compiled for that set in each of them.
#ifndef TESSARAY_LANE_TARGET
#error "TESSARAY_LANE_TARGET names the instruction set of the including unit"
#endif

#include <cstdint>
#include <immintrin.h>

namespace {

// rows[k][j] = in[j][k] for the n frames, eight frames at a time.
__attribute__((target(TESSARAY_LANE_TARGET))) inline void transposeEight(const float (*in)[8], uint32_t n,
                                                                         float* const* rows) {
    uint32_t j = 0;
    for (; j + 8 <= n; j += 8) {
        __m256 r[8];
        for (int i = 0; i < 8; ++i) {
            r[i] = _mm256_loadu_ps(in[j + i]);
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
        for (int k = 0; k < 8; ++k) {
            rows[k][j] = in[j][k];
        }
    }
}

} // namespace
