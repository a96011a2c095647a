#include "dsp/RealFFT.hpp"

#include <cmath>
#include <numbers>

#if defined(__x86_64__) && defined(__GNUC__)
#define TESSARAY_FFT_AVX2 1
#include <immintrin.h>
#endif

namespace {
#if TESSARAY_FFT_AVX2
const bool kAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();
#else
constexpr bool kAvx2 = false;
#endif
} // namespace

bool RealFFT::hasAvx2() {
    return kAvx2;
}

void RealFFT::init(int32_t n) {
    if (n < 4 || (n & (n - 1)) != 0) {
        n_ = m_ = 0;
        return;
    }
    n_ = n;
    m_ = n / 2;
    const int32_t quarter = n / 4;
    const double twoPi = 2.0 * std::numbers::pi;
    cos_.resize(static_cast<size_t>(quarter));
    sin_.resize(static_cast<size_t>(quarter));
    for (int32_t k = 0; k < quarter; ++k) {
        cos_[k] = static_cast<float>(std::cos(twoPi * k / m_));
        sin_[k] = static_cast<float>(std::sin(twoPi * k / m_));
    }
    splitCos_.resize(static_cast<size_t>(quarter) + 1);
    splitSin_.resize(static_cast<size_t>(quarter) + 1);
    splitSinNeg_.resize(static_cast<size_t>(quarter) + 1);
    for (int32_t k = 0; k <= quarter; ++k) {
        splitCos_[k] = static_cast<float>(std::cos(twoPi * k / n_));
        splitSin_[k] = static_cast<float>(std::sin(twoPi * k / n_));
        splitSinNeg_[k] = -splitSin_[k];
    }
    stageCos_.assign(static_cast<size_t>(m_), 0.0f);
    stageSin_.assign(static_cast<size_t>(m_), 0.0f);
    for (int32_t len = 2; len <= m_; len <<= 1) {
        const int32_t half = len / 2;
        const int32_t stride = m_ / len;
        for (int32_t j = 0; j < half; ++j) {
            stageCos_[half - 1 + j] = cos_[j * stride];
            stageSin_[half - 1 + j] = -sin_[j * stride];
        }
    }
    int32_t bits = 0;
    while ((1 << bits) < m_) {
        ++bits;
    }
    bitReverse_.resize(static_cast<size_t>(m_));
    for (int32_t k = 0; k < m_; ++k) {
        uint32_t r = 0;
        for (int32_t b = 0; b < bits; ++b) {
            r |= ((static_cast<uint32_t>(k) >> b) & 1u) << (bits - 1 - b);
        }
        bitReverse_[k] = r;
    }
}

void RealFFT::forward(const float* input, float* real, float* imag) const {
    forward(kAvx2 ? Path::Avx2 : Path::Scalar, input, real, imag);
}

void RealFFT::forward(Path path, const float* input, float* real, float* imag) const {
    if (path == Path::Avx2 && kAvx2) {
        forwardAvx2(input, real, imag);
    } else {
        forwardScalar(input, real, imag);
    }
}

void RealFFT::pack(const float* input, float* real, float* imag) const {
    // Even samples become real and odd samples imaginary parts, in bit-reversed order, straight into the
    // output arrays, which then serve as the work area of the complex transform.
    for (int32_t k = 0; k < m_; ++k) {
        const uint32_t r = bitReverse_[k];
        real[r] = input[2 * k];
        imag[r] = input[2 * k + 1];
    }
}

namespace {
// One butterfly column of a stage, written once for both paths so that they cannot drift apart.
inline void butterfly(float wr, float wi, float& ar, float& ai, float& br, float& bi) {
    const float tr = wr * br - wi * bi;
    const float ti = wr * bi + wi * br;
    br = ar - tr;
    bi = ai - ti;
    ar += tr;
    ai += ti;
}

// Split step for bin k: separates the spectra of the even and odd samples and combines them with
// e^(-2*pi*i*k/n).
inline void splitBin(float wr, float wi, float& rk, float& ik, float& rmk, float& imk) {
    const float a = rk;
    const float b = ik;
    const float c = rmk;
    const float d = imk;
    const float er = 0.5f * (a + c);
    const float ei = 0.5f * (b - d);
    const float orr = 0.5f * (b + d);
    const float oi = -0.5f * (a - c);
    const float wor = wr * orr - wi * oi;
    const float woi = wr * oi + wi * orr;
    rk = er + wor;
    ik = ei + woi;
    rmk = er - wor;
    imk = woi - ei;
}
} // namespace

void RealFFT::forwardScalar(const float* input, float* real, float* imag) const {
    if (n_ < 1) {
        return;
    }
    pack(input, real, imag);
    for (int32_t len = 2; len <= m_; len <<= 1) {
        const int32_t half = len / 2;
        const int32_t stride = m_ / len;
        for (int32_t start = 0; start < m_; start += len) {
            for (int32_t j = 0; j < half; ++j) {
                const int32_t a = start + j;
                const int32_t b = a + half;
                butterfly(cos_[j * stride], -sin_[j * stride], real[a], imag[a], real[b], imag[b]);
            }
        }
    }
    const float z0r = real[0];
    const float z0i = imag[0];
    real[0] = z0r + z0i;
    imag[0] = z0r - z0i;
    for (int32_t k = 1; k <= m_ / 2; ++k) {
        splitBin(splitCos_[k], -splitSin_[k], real[k], imag[k], real[m_ - k], imag[m_ - k]);
    }
}

#if TESSARAY_FFT_AVX2
// The scalar path's operations eight columns at a time: each lane multiplies, adds and subtracts exactly as
// the scalar code does (the library is built without contraction into fused multiply-adds), so the results
// are the same to the bit.
__attribute__((target("avx2"))) void RealFFT::forwardAvx2(const float* input, float* real,
                                                          float* imag) const {
    if (n_ < 1) {
        return;
    }
    pack(input, real, imag);
    // The first three stages have butterflies one, two and four columns wide: four butterflies of a stage
    // are gathered into one register from two neighbouring groups of four values.
    const auto narrow = [&](float* re, float* im, const float* wrs, const float* wis, auto split,
                            auto merge) {
        const __m128 wr = _mm_loadu_ps(wrs);
        const __m128 wi = _mm_loadu_ps(wis);
        for (int32_t start = 0; start < m_; start += 8) {
            __m128 ar, br, ai, bi;
            split(_mm_loadu_ps(re + start), _mm_loadu_ps(re + start + 4), ar, br);
            split(_mm_loadu_ps(im + start), _mm_loadu_ps(im + start + 4), ai, bi);
            const __m128 tr = _mm_sub_ps(_mm_mul_ps(wr, br), _mm_mul_ps(wi, bi));
            const __m128 ti = _mm_add_ps(_mm_mul_ps(wr, bi), _mm_mul_ps(wi, br));
            merge(_mm_add_ps(ar, tr), _mm_sub_ps(ar, tr), re + start);
            merge(_mm_add_ps(ai, ti), _mm_sub_ps(ai, ti), im + start);
        }
    };
    int32_t len = 2;
    if (m_ >= 8) {
        const float* c = stageCos_.data();
        const float* w = stageSin_.data();
        // Width one: pairs (a, b) side by side.
        const float c1[4] = {c[0], c[0], c[0], c[0]}, s1[4] = {w[0], w[0], w[0], w[0]};
        narrow(
            real, imag, c1, s1,
            [](__m128 x0, __m128 x1, __m128& a, __m128& b) {
                a = _mm_shuffle_ps(x0, x1, _MM_SHUFFLE(2, 0, 2, 0));
                b = _mm_shuffle_ps(x0, x1, _MM_SHUFFLE(3, 1, 3, 1));
            },
            [](__m128 a, __m128 b, float* out) {
                _mm_storeu_ps(out, _mm_unpacklo_ps(a, b));
                _mm_storeu_ps(out + 4, _mm_unpackhi_ps(a, b));
            });
        // Width two: (a0 a1 b0 b1) groups.
        const float c2[4] = {c[1], c[2], c[1], c[2]}, s2[4] = {w[1], w[2], w[1], w[2]};
        narrow(
            real, imag, c2, s2,
            [](__m128 x0, __m128 x1, __m128& a, __m128& b) {
                a = _mm_shuffle_ps(x0, x1, _MM_SHUFFLE(1, 0, 1, 0));
                b = _mm_shuffle_ps(x0, x1, _MM_SHUFFLE(3, 2, 3, 2));
            },
            [](__m128 a, __m128 b, float* out) {
                _mm_storeu_ps(out, _mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 0, 1, 0)));
                _mm_storeu_ps(out + 4, _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 2, 3, 2)));
            });
        // Width four: a and b are the two halves of eight values.
        narrow(
            real, imag, c + 3, w + 3,
            [](__m128 x0, __m128 x1, __m128& a, __m128& b) {
                a = x0;
                b = x1;
            },
            [](__m128 a, __m128 b, float* out) {
                _mm_storeu_ps(out, a);
                _mm_storeu_ps(out + 4, b);
            });
        len = 16;
    }
    for (; len <= m_ && len < 16; len <<= 1) {
        const int32_t half = len / 2;
        const float* wrs = stageCos_.data() + half - 1;
        const float* wis = stageSin_.data() + half - 1;
        for (int32_t start = 0; start < m_; start += len) {
            for (int32_t j = 0; j < half; ++j) {
                const int32_t a = start + j;
                butterfly(wrs[j], wis[j], real[a], imag[a], real[a + half], imag[a + half]);
            }
        }
    }
    for (; len <= m_; len <<= 1) {
        const int32_t half = len / 2;
        const float* wrs = stageCos_.data() + half - 1;
        const float* wis = stageSin_.data() + half - 1;
        for (int32_t start = 0; start < m_; start += len) {
            for (int32_t j = 0; j < half; j += 8) {
                const int32_t a = start + j;
                const int32_t b = a + half;
                const __m256 wr = _mm256_loadu_ps(wrs + j);
                const __m256 wi = _mm256_loadu_ps(wis + j);
                const __m256 br = _mm256_loadu_ps(real + b);
                const __m256 bi = _mm256_loadu_ps(imag + b);
                const __m256 ar = _mm256_loadu_ps(real + a);
                const __m256 ai = _mm256_loadu_ps(imag + a);
                const __m256 tr = _mm256_sub_ps(_mm256_mul_ps(wr, br), _mm256_mul_ps(wi, bi));
                const __m256 ti = _mm256_add_ps(_mm256_mul_ps(wr, bi), _mm256_mul_ps(wi, br));
                _mm256_storeu_ps(real + b, _mm256_sub_ps(ar, tr));
                _mm256_storeu_ps(imag + b, _mm256_sub_ps(ai, ti));
                _mm256_storeu_ps(real + a, _mm256_add_ps(ar, tr));
                _mm256_storeu_ps(imag + a, _mm256_add_ps(ai, ti));
            }
        }
    }

    const float z0r = real[0];
    const float z0i = imag[0];
    real[0] = z0r + z0i;
    imag[0] = z0r - z0i;
    // Bins k and m - k pair up; blocks of eight k whose partners all lie above m/2 touch disjoint values, as
    // the scalar loop's iterations do. The partners are read and written in reversed lane order.
    const __m256i reverse = _mm256_set_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256 minusHalf = _mm256_set1_ps(-0.5f);
    int32_t k = 1;
    for (; k + 8 <= m_ / 2; k += 8) {
        const int32_t mk = m_ - k - 7; // lowest partner index of the block
        const __m256 a = _mm256_loadu_ps(real + k);
        const __m256 b = _mm256_loadu_ps(imag + k);
        const __m256 c = _mm256_permutevar8x32_ps(_mm256_loadu_ps(real + mk), reverse);
        const __m256 d = _mm256_permutevar8x32_ps(_mm256_loadu_ps(imag + mk), reverse);
        const __m256 er = _mm256_mul_ps(half, _mm256_add_ps(a, c));
        const __m256 ei = _mm256_mul_ps(half, _mm256_sub_ps(b, d));
        const __m256 orr = _mm256_mul_ps(half, _mm256_add_ps(b, d));
        const __m256 oi = _mm256_mul_ps(minusHalf, _mm256_sub_ps(a, c));
        const __m256 wr = _mm256_loadu_ps(splitCos_.data() + k);
        const __m256 wi = _mm256_loadu_ps(splitSinNeg_.data() + k);
        const __m256 wor = _mm256_sub_ps(_mm256_mul_ps(wr, orr), _mm256_mul_ps(wi, oi));
        const __m256 woi = _mm256_add_ps(_mm256_mul_ps(wr, oi), _mm256_mul_ps(wi, orr));
        _mm256_storeu_ps(real + k, _mm256_add_ps(er, wor));
        _mm256_storeu_ps(imag + k, _mm256_add_ps(ei, woi));
        _mm256_storeu_ps(real + mk, _mm256_permutevar8x32_ps(_mm256_sub_ps(er, wor), reverse));
        _mm256_storeu_ps(imag + mk, _mm256_permutevar8x32_ps(_mm256_sub_ps(woi, ei), reverse));
    }
    for (; k <= m_ / 2; ++k) {
        splitBin(splitCos_[k], splitSinNeg_[k], real[k], imag[k], real[m_ - k], imag[m_ - k]);
    }
}
#else
void RealFFT::forwardAvx2(const float* input, float* real, float* imag) const {
    forwardScalar(input, real, imag);
}
#endif
