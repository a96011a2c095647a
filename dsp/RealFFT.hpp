#pragma once

#include <cstdint>
#include <vector>

// Real-input FFT through a half-length complex transform. forward() writes X[1..n/2-1] into real/imag, the DC
// value into real[0] and the Nyquist value into imag[0]; unnormalised, single precision.
class RealFFT {
public:
    enum class Path { Scalar, Avx2 };

    void init(int32_t n);
    // Runs the fastest path the processor has; every path gives the scalar path's results to the bit.
    void forward(const float* input, float* real, float* imag) const;
    // The reference implementation, and the explicit choice of a path (one the processor lacks falls back to
    // the scalar one).
    void forwardScalar(const float* input, float* real, float* imag) const;
    void forward(Path path, const float* input, float* real, float* imag) const;

    // Whether the processor running this can take the vector path; decided once at load time.
    static bool hasAvx2();

    int32_t size() const { return n_; }
    int32_t halfSize() const { return m_; }

private:
    void pack(const float* input, float* real, float* imag) const;
    void forwardAvx2(const float* input, float* real, float* imag) const;

    int32_t n_ = 0;
    int32_t m_ = 0;
    std::vector<float> cos_;      // cos(2*pi*k/m), k < n/4
    std::vector<float> sin_;      // sin(2*pi*k/m), k < n/4
    std::vector<float> splitCos_; // cos(2*pi*k/n), k = 0..n/4
    std::vector<float> splitSin_; // sin(2*pi*k/n), k = 0..n/4
    // The same twiddles stage by stage, contiguous: stage len starts at len/2 - 1 and holds len/2 values
    // (cos, and sin negated as the butterflies use it).
    std::vector<float> stageCos_;
    std::vector<float> stageSin_;
    std::vector<float> splitSinNeg_; // -splitSin_
    std::vector<uint32_t> bitReverse_;
};
