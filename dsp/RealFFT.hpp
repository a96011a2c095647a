#pragma once

#include <cstdint>
#include <vector>

// Real-input FFT through a half-length complex transform. forward() writes X[1..n/2-1] into real/imag, the DC
// value into real[0] and the Nyquist value into imag[0]; unnormalised, single precision.
class RealFFT {
public:
    void init(int32_t n);
    void forward(const float* input, float* real, float* imag) const;

    int32_t size() const { return n_; }
    int32_t halfSize() const { return m_; }

private:
    int32_t n_ = 0;
    int32_t m_ = 0;
    std::vector<float> cos_;      // cos(2*pi*k/m), k < n/4
    std::vector<float> sin_;      // sin(2*pi*k/m), k < n/4
    std::vector<float> splitCos_; // cos(2*pi*k/n), k = 0..n/4
    std::vector<float> splitSin_; // sin(2*pi*k/n), k = 0..n/4
    std::vector<uint32_t> bitReverse_;
};
