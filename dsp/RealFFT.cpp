#include "dsp/RealFFT.hpp"

#include <cmath>
#include <numbers>

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
    for (int32_t len = 2; len <= m_; len <<= 1) {
        const int32_t half = len / 2;
        const int32_t stride = m_ / len;
        for (int32_t start = 0; start < m_; start += len) {
            for (int32_t j = 0; j < half; ++j) {
                const float wr = cos_[j * stride];
                const float wi = -sin_[j * stride];
                const int32_t a = start + j;
                const int32_t b = a + half;
                const float tr = wr * real[b] - wi * imag[b];
                const float ti = wr * imag[b] + wi * real[b];
                real[b] = real[a] - tr;
                imag[b] = imag[a] - ti;
                real[a] += tr;
                imag[a] += ti;
            }
        }
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
