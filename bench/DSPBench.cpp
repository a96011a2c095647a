#include "dsp/DSPKernel.hpp"
#include "dsp/RealFFT.hpp"
#include "dsp/tests/TestSupport.hpp"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
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

// Per path: 0 scalar (the reference), 1 AVX2 (skipped where the processor lacks it).
void BM_RealFFTForward4096(benchmark::State& state) {
    const auto path = state.range(0) == 0 ? RealFFT::Path::Scalar : RealFFT::Path::Avx2;
    if (path == RealFFT::Path::Avx2 && !RealFFT::hasAvx2()) {
        state.SkipWithError("no AVX2");
        return;
    }
    RealFFT fft;
    fft.init(4096);
    const auto x = randomSignal(4096);
    std::vector<float> re(2048), im(2048);
    for (auto _ : state) {
        fft.forward(path, x.data(), re.data(), im.data());
        benchmark::DoNotOptimize(re.data());
        benchmark::DoNotOptimize(im.data());
    }
}
BENCHMARK(BM_RealFFTForward4096)->ArgName("avx2")->Arg(0)->Arg(1);

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

// A kernel at 48 kHz with 512-frame blocks, the generated wavetables (or the test ones) and the heaviest
// settings: 64 bands from 200 Hz to 16 kHz, 20 ms slices, blur 30, feedback 40, mix 70, age 50, all shapes.
constexpr double kRate = 48000.0;
constexpr uint32_t kBlock = 512;

std::unique_ptr<DSPKernel> worstCaseKernel(benchmark::State& state) {
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
            return nullptr;
        }
    }
    testsupport::applyWorstCaseSettings(*kernel);
    return kernel;
}

// A dense stereo signal: chords of naive (aliasing) sawtooths spread over five octaves, changing every half
// second, plus white noise. Ten seconds, looped by the benchmarks.
std::vector<testsupport::Buffers> denseSignal(int blocks) {
    std::vector<testsupport::Buffers> out;
    out.reserve(static_cast<size_t>(blocks));
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    const int chordNotes[][4] = {{0, 4, 7, 11}, {2, 5, 9, 12}, {-3, 0, 4, 7}, {5, 9, 12, 16}};
    double phases[2][20] = {};
    for (int b = 0; b < blocks; ++b) {
        out.emplace_back(2, 2, kBlock);
        for (uint32_t i = 0; i < kBlock; ++i) {
            const uint64_t n = static_cast<uint64_t>(b) * kBlock + i;
            const auto& chord = chordNotes[(n / 24000) % 4];
            for (int c = 0; c < 2; ++c) {
                double x = 0.0;
                for (int octave = 0; octave < 5; ++octave) {
                    for (int v = 0; v < 4; ++v) {
                        const double hz =
                            55.0 * std::pow(2.0, octave + (chord[v] + 0.07 * c) / 12.0); // A1 upwards
                        double& phase = phases[c][octave * 4 + v];
                        x += 2.0 * phase - 1.0;
                        phase += hz / kRate;
                        phase -= phase >= 1.0 ? 1.0 : 0.0;
                    }
                }
                out.back().in[static_cast<size_t>(c)][i] = static_cast<float>(0.03 * x + 0.05 * noise(rng));
            }
        }
    }
    return out;
}

// Chooses the kernel's paths from a benchmark argument: 0 the scalar reference, 1 AVX2 voice lanes, 2 AVX-512
// voice lanes (the other vector paths as the processor has them). False when the processor lacks the path.
bool choosePaths(benchmark::State& state, DSPKernel& kernel) {
    const int64_t path = state.range(0);
    kernel.engine.referencePaths = path == 0;
    kernel.engine.lanePath = path == 2 ? VoiceLanes::Path::Avx512 : VoiceLanes::Path::Avx2;
    if (path != 0 && !VoiceLanes::has(kernel.engine.lanePath)) {
        state.SkipWithError("the processor lacks this path");
        return false;
    }
    return true;
}

int activeBands(const DSPKernel& kernel) {
    int active = 0;
    for (const auto& channel : kernel.engine.channels) {
        for (bool a : channel.bandActive) {
            active += a ? 1 : 0;
        }
    }
    return active;
}

// Runs the blocks in a loop and reports how many times faster than real time the kernel renders, and the
// time per band voice and output sample (over the bands active after the warm-up, both channels).
void runBlocks(benchmark::State& state, DSPKernel& kernel, std::vector<testsupport::Buffers>& blocks) {
    for (int b = 0; b < 40; ++b) {
        blocks[static_cast<size_t>(b) % blocks.size()].run(kernel, kBlock);
    }
    const int voices = activeBands(kernel);
    state.counters["active_voices"] = voices;
    size_t next = 0;
    for (auto _ : state) {
        blocks[next].run(kernel, kBlock);
        next = (next + 1) % blocks.size();
    }
    const double frames = static_cast<double>(state.iterations()) * kBlock;
    state.counters["realtime_factor"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
    state.counters["ns_per_voice_sample"] = benchmark::Counter(
        frames * std::max(voices, 1) * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The worst case: all 64 bands sung (one partial at the centre of each), all three shapes weighted, feedback
// on.
void BM_KernelProcessWorstCase(benchmark::State& state) {
    auto kernel = worstCaseKernel(state);
    if (!kernel) {
        return;
    }
    if (!choosePaths(state, *kernel)) {
        return;
    }
    std::vector<testsupport::Buffers> blocks;
    blocks.reserve(94);
    for (int b = 0; b < 94; ++b) {
        blocks.emplace_back(2, 2, kBlock);
        testsupport::fillAllBands(blocks.back(), static_cast<uint64_t>(b) * kBlock, kRate);
    }
    runBlocks(state, *kernel, blocks);
}
BENCHMARK(BM_KernelProcessWorstCase)->ArgName("path")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The worst settings on a real dense signal, per path (see choosePaths).
void BM_KernelProcessDense(benchmark::State& state) {
    auto kernel = worstCaseKernel(state);
    if (!kernel) {
        return;
    }
    if (!choosePaths(state, *kernel)) {
        return;
    }
    auto blocks = denseSignal(static_cast<int>(10.0 * kRate / kBlock));
    runBlocks(state, *kernel, blocks);
}
BENCHMARK(BM_KernelProcessDense)->ArgName("path")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// Silent input from the start under the worst settings: what an idle instance costs. (After sound the
// feedback of these settings keeps the bands singing, so that is no idle case.)
void BM_KernelProcessSilent(benchmark::State& state) {
    auto kernel = worstCaseKernel(state);
    if (!kernel) {
        return;
    }
    std::vector<testsupport::Buffers> blocks;
    blocks.emplace_back(2, 2, kBlock);
    runBlocks(state, *kernel, blocks);
}
BENCHMARK(BM_KernelProcessSilent)->Unit(benchmark::kMicrosecond);

} // namespace
