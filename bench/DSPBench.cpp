#include "dsp/DSPKernel.hpp"
#include "dsp/RealFFT.hpp"
#include "dsp/tests/TestSupport.hpp"

#include <benchmark/benchmark.h>
#include <fftw3.h>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<float> randomSignal(size_t n) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    std::vector<float> x(n);
    for (float& v : x) {
        v = dist(rng);
    }
    return x;
}

void BM_RealFFTForward4096(benchmark::State& state) {
    RealFFT fft;
    fft.init(4096);
    const auto x = randomSignal(4096);
    std::vector<float> re(2048), im(2048);
    for (auto _ : state) {
        fft.forward(x.data(), re.data(), im.data());
        benchmark::DoNotOptimize(re.data());
        benchmark::DoNotOptimize(im.data());
    }
}
BENCHMARK(BM_RealFFTForward4096);

void BM_FFTWRealForward4096(benchmark::State& state) {
    float* in = fftwf_alloc_real(4096);
    fftwf_complex* out = fftwf_alloc_complex(2049);
    fftwf_plan plan = fftwf_plan_dft_r2c_1d(4096, in, out, FFTW_MEASURE);
    const auto x = randomSignal(4096);
    std::copy(x.begin(), x.end(), in);
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::DoNotOptimize(out);
    }
    fftwf_destroy_plan(plan);
    fftwf_free(in);
    fftwf_free(out);
}
BENCHMARK(BM_FFTWRealForward4096);

// The worst case: 48 kHz stereo, 512-frame blocks, all 64 bands sung, all three shapes weighted, feedback on.
void BM_KernelProcessWorstCase(benchmark::State& state) {
    constexpr double kRate = 48000.0;
    constexpr uint32_t kBlock = 512;
    auto kernel = std::make_unique<DSPKernel>();
    kernel->engine.setMaximumFrames(kBlock);
    kernel->engine.prepare(kRate);
    const std::string dir = TESSARAY_RESOURCES_DIR;
    const char* names[] = {"sawtooth.bin", "square.bin", "sine.bin"};
    for (uint32_t slot = 0; slot < 3; ++slot) {
        const std::string generated = dir + "/" + names[slot];
        const std::string path =
            std::filesystem::exists(generated) ? generated : testsupport::tablePaths()[slot];
        if (!kernel->engine.loadWavetable(slot, path.c_str())) {
            state.SkipWithError("cannot load wavetables");
            return;
        }
    }
    testsupport::applyWorstCaseSettings(*kernel);

    // A second of input, looped; warm up until the bands are active.
    constexpr int kBlocks = 94;
    std::vector<testsupport::Buffers> blocks;
    blocks.reserve(kBlocks);
    for (int b = 0; b < kBlocks; ++b) {
        blocks.emplace_back(2, 2, kBlock);
        testsupport::fillAllBands(blocks.back(), static_cast<uint64_t>(b) * kBlock, kRate);
    }
    for (int b = 0; b < 20; ++b) {
        blocks[b].run(*kernel, kBlock);
    }
    int active = 0;
    for (bool a : kernel->engine.channels[0].bandActive) {
        active += a ? 1 : 0;
    }
    state.counters["active_bands"] = active;

    size_t next = 0;
    for (auto _ : state) {
        blocks[next].run(*kernel, kBlock);
        next = (next + 1) % blocks.size();
    }
    const double audioSeconds = static_cast<double>(state.iterations()) * kBlock / kRate;
    state.counters["realtime_factor"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_KernelProcessWorstCase)->Unit(benchmark::kMillisecond);

} // namespace
