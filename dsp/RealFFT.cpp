#include "dsp/RealFFT.hpp"

#include <cmath>
#include <numbers>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

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
    for (int32_t k = 0; k <= quarter; ++k) {
        splitCos_[k] = static_cast<float>(std::cos(twoPi * k / n_));
        splitSin_[k] = static_cast<float>(std::sin(twoPi * k / n_));
    }
    // Per stage of eight or more points, its twiddles in the order the butterflies use them (negated sines).
    stageCos_.clear();
    stageSin_.clear();
    stageOffset_.clear();
    for (int32_t len = 8; len <= m_; len <<= 1) {
        stageOffset_.push_back(static_cast<uint32_t>(stageCos_.size()));
        const int32_t stride = m_ / len;
        for (int32_t j = 0; j < len / 2; ++j) {
            stageCos_.push_back(cos_[static_cast<size_t>(j * stride)]);
            stageSin_.push_back(-sin_[static_cast<size_t>(j * stride)]);
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

namespace {

inline void butterfly(float* real, float* imag, int32_t a, int32_t b, float wr, float wi) {
    const float tr = wr * real[b] - wi * imag[b];
    const float ti = wr * imag[b] + wi * real[b];
    real[b] = real[a] - tr;
    imag[b] = imag[a] - ti;
    real[a] += tr;
    imag[a] += ti;
}

// One stage of the transform: groups of len points, butterflies between their halves.
void stageSse(float* real, float* imag, int32_t m, int32_t len, const float* wr, const float* wi) {
    const int32_t half = len / 2;
    for (int32_t start = 0; start < m; start += len) {
        float* ar = real + start;
        float* ai = imag + start;
        float* br = real + start + half;
        float* bi = imag + start + half;
        int32_t j = 0;
#if defined(__SSE2__)
        for (; j + 4 <= half; j += 4) {
            const __m128 vwr = _mm_loadu_ps(wr + j), vwi = _mm_loadu_ps(wi + j);
            const __m128 vbr = _mm_loadu_ps(br + j), vbi = _mm_loadu_ps(bi + j);
            const __m128 var = _mm_loadu_ps(ar + j), vai = _mm_loadu_ps(ai + j);
            const __m128 tr = _mm_sub_ps(_mm_mul_ps(vwr, vbr), _mm_mul_ps(vwi, vbi));
            const __m128 ti = _mm_add_ps(_mm_mul_ps(vwr, vbi), _mm_mul_ps(vwi, vbr));
            _mm_storeu_ps(br + j, _mm_sub_ps(var, tr));
            _mm_storeu_ps(bi + j, _mm_sub_ps(vai, ti));
            _mm_storeu_ps(ar + j, _mm_add_ps(var, tr));
            _mm_storeu_ps(ai + j, _mm_add_ps(vai, ti));
        }
#endif
        for (; j < half; ++j) {
            const float tr = wr[j] * br[j] - wi[j] * bi[j];
            const float ti = wr[j] * bi[j] + wi[j] * br[j];
            br[j] = ar[j] - tr;
            bi[j] = ai[j] - ti;
            ar[j] = ar[j] + tr;
            ai[j] = ai[j] + ti;
        }
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
// Decided once at load time, so the analysis only reads a flag.
const bool kHasAvx = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx");
}();

// The same stage eight butterflies at a time (len >= 16).
__attribute__((target("avx"))) void stageAvx(float* real, float* imag, int32_t m, int32_t len,
                                             const float* wr, const float* wi) {
    const int32_t half = len / 2;
    for (int32_t start = 0; start < m; start += len) {
        float* ar = real + start;
        float* ai = imag + start;
        float* br = real + start + half;
        float* bi = imag + start + half;
        for (int32_t j = 0; j < half; j += 8) {
            const __m256 vwr = _mm256_loadu_ps(wr + j), vwi = _mm256_loadu_ps(wi + j);
            const __m256 vbr = _mm256_loadu_ps(br + j), vbi = _mm256_loadu_ps(bi + j);
            const __m256 var = _mm256_loadu_ps(ar + j), vai = _mm256_loadu_ps(ai + j);
            const __m256 tr = _mm256_sub_ps(_mm256_mul_ps(vwr, vbr), _mm256_mul_ps(vwi, vbi));
            const __m256 ti = _mm256_add_ps(_mm256_mul_ps(vwr, vbi), _mm256_mul_ps(vwi, vbr));
            _mm256_storeu_ps(br + j, _mm256_sub_ps(var, tr));
            _mm256_storeu_ps(bi + j, _mm256_sub_ps(vai, ti));
            _mm256_storeu_ps(ar + j, _mm256_add_ps(var, tr));
            _mm256_storeu_ps(ai + j, _mm256_add_ps(vai, ti));
        }
    }
}
#endif

} // namespace

void RealFFT::forward(const float* input, float* real, float* imag) const {
    if (n_ < 1) {
        return;
    }
    // Pack even samples as real and odd samples as imaginary parts, in bit-reversed order, straight into the
    // output arrays, which then serve as the work area of the complex transform.
    for (int32_t k = 0; k < m_; ++k) {
        const uint32_t r = bitReverse_[k];
        real[r] = input[2 * k];
        imag[r] = input[2 * k + 1];
    }
    // The first two stages have the twiddles 1 and -i only.
    for (int32_t a = 0; a + 1 < m_; a += 2) {
        butterfly(real, imag, a, a + 1, cos_[0], -sin_[0]);
    }
    if (m_ >= 4) {
        const int32_t stride = m_ / 4;
        for (int32_t start = 0; start < m_; start += 4) {
            butterfly(real, imag, start, start + 2, cos_[0], -sin_[0]);
            butterfly(real, imag, start + 1, start + 3, cos_[stride], -sin_[stride]);
        }
    }
    // Later stages run over contiguous twiddles per stage, several butterflies of a group at once; each lane
    // performs exactly the operations of the scalar butterfly, so every path gives the same bits.
    for (int32_t len = 8, stage = 0; len <= m_; len <<= 1, ++stage) {
        const size_t offset = stageOffset_[static_cast<size_t>(stage)];
        const float* wr = stageCos_.data() + offset;
        const float* wi = stageSin_.data() + offset;
#if defined(__x86_64__) && defined(__GNUC__)
        if (kHasAvx && len >= 16) {
            stageAvx(real, imag, m_, len, wr, wi);
            continue;
        }
#endif
        stageSse(real, imag, m_, len, wr, wi);
    }
    // Split step: separate the spectra of the even and odd samples and combine them with e^(-2*pi*i*k/n).
    const float z0r = real[0];
    const float z0i = imag[0];
    real[0] = z0r + z0i;
    imag[0] = z0r - z0i;
    for (int32_t k = 1; k <= m_ / 2; ++k) {
        const int32_t mk = m_ - k;
        const float a = real[k];
        const float b = imag[k];
        const float c = real[mk];
        const float d = imag[mk];
        const float er = 0.5f * (a + c);
        const float ei = 0.5f * (b - d);
        const float orr = 0.5f * (b + d);
        const float oi = -0.5f * (a - c);
        const float wr = splitCos_[k];
        const float wi = -splitSin_[k];
        const float wor = wr * orr - wi * oi;
        const float woi = wr * oi + wi * orr;
        real[k] = er + wor;
        imag[k] = ei + woi;
        real[mk] = er - wor;
        imag[mk] = woi - ei;
    }
}
