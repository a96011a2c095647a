// The shader kit on the software renderer: a frame of the window's strip as the window shows it
// (drawn, converted and read back into the view's image) and each shader alone at 400×300.

#include "gpu/Device.hpp"
#include "gpu/ShaderView.hpp"
#include "shaders/AboutRenderer.hpp"
#include "shaders/MetalShaderRenderer.hpp"
#include "shaders/SupporterShaderRenderer.hpp"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <memory>

namespace {

const bool softwareRendering = [] {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    setenv("EGL_PLATFORM", "surfaceless", 0);
    return true;
}();

std::shared_ptr<gpu::ShaderView> makeView(double width, double height) {
    auto view = std::make_shared<gpu::ShaderView>(graphics::Rect{{0, 0}, {width, height}},
                                                  gpu::Device::createSystemDefaultDevice());
    view->setColorPixelFormat(gpu::PixelFormat::rgba16Float);
    view->setColorspace(gpu::ColorSpace::extendedLinearSRGB);
    return view;
}

// Frames wait for the GPU, so the time is the drawing's and not only the submission's.
void finishEachFrame(gpu::CommandQueue& queue) {
    queue.setCommittedHandler([](const gpu::CommandBuffer& buffer) { buffer.waitUntilCompleted(); });
}

void runFrames(benchmark::State& state, gpu::ShaderView& view) {
    for (auto _ : state) {
        view.drawFrame();
    }
}

void BM_StripFrameShown(benchmark::State& state) {
    auto view = makeView(400, 300);
    view->setContentsScale(static_cast<double>(state.range(0)));
    auto renderer = std::make_shared<pelko::MetalShaderRenderer>(*view, "Main", "audioWaveformVertexShader",
                                                                 "audioWaveformFragmentShader");
    view->setDelegate(renderer);
    runFrames(state, *view);
}
BENCHMARK(BM_StripFrameShown)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

template <class MakeRenderer> void shaderAlone(benchmark::State& state, MakeRenderer make) {
    auto view = makeView(400, 300);
    view->setDrawableAvailability(gpu::ShaderView::DrawableAvailability::passWithoutDrawable);
    auto renderer = make(*view);
    finishEachFrame(*renderer->commandQueue());
    view->setDelegate(renderer);
    runFrames(state, *view);
}

void BM_WaveformShaderAlone(benchmark::State& state) {
    shaderAlone(state, [](gpu::ShaderView& view) {
        return std::make_shared<pelko::MetalShaderRenderer>(view, "Main", "audioWaveformVertexShader",
                                                            "audioWaveformFragmentShader");
    });
}
BENCHMARK(BM_WaveformShaderAlone)->Unit(benchmark::kMillisecond);

void BM_AboutShaderAlone(benchmark::State& state) {
    shaderAlone(state, [](gpu::ShaderView& view) { return std::make_shared<pelko::AboutRenderer>(view); });
}
BENCHMARK(BM_AboutShaderAlone)->Unit(benchmark::kMillisecond);

void BM_SupporterShaderAlone(benchmark::State& state) {
    shaderAlone(state, [](gpu::ShaderView& view) {
        auto renderer = std::make_shared<pelko::SupporterShaderRenderer>(view, "Supporter");
        renderer->switchOn(1);
        renderer->switchOn(3);
        return renderer;
    });
}
BENCHMARK(BM_SupporterShaderAlone)->Unit(benchmark::kMillisecond);

} // namespace
