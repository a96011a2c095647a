// The library's sliders in numbers: one pointer drag event to a styled (or toolkit) slider 200 points
// wide, and the display pass that redraws it, on the headless back end at 1x and 2x.

#include "Vimbra/StyledControls/StyledSlider.hpp"
#include "core/Bundle.hpp"
#include "core/MainQueue.hpp"
#include "display/HeadlessBackend.hpp"
#include "ui/Window.hpp"

#include <benchmark/benchmark.h>
#include <memory>

namespace {

using graphics::Rect;

struct SliderFixture {
    SliderFixture(bool styled, double scale) {
        core::Bundle::addSearchPath(VIMBRA_BUNDLES_DIR);
        window = ui::Window::make(Rect(0, 0, 320, 80));
        slider = styled ? std::shared_ptr<ui::Slider>(vimbra::StyledSlider::make(Rect(60, 30, 200, 20)))
                        : std::make_shared<ui::Slider>(Rect(60, 30, 200, 20));
        slider->setMaxValue(100);
        window->contentView()->addSubview(slider);
        backend = display::HeadlessBackend::attach(window, scale);
        window->makeKeyWindow();
        backend->displayIfNeeded();
        backend->mouseDown({160, 40});
        backend->displayIfNeeded();
    }
    ~SliderFixture() {
        backend->mouseUp({160, 40});
        window->close();
        core::MainQueue::shared().drain();
    }
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<ui::Slider> slider;
    std::shared_ptr<display::HeadlessBackend> backend;
};

// A drag event moves the knob (to and fro across the bar, some of it outside the control) and the
// window's display pass redraws what changed.
void dragAndDisplay(benchmark::State& state, bool styled) {
    SliderFixture f(styled, static_cast<double>(state.range(0)));
    const int before = f.backend->presentedFrames();
    int step = 0;
    for (auto _ : state) {
        const double x = 60 + static_cast<double>((step * 37) % 260) - 30;
        ++step;
        f.backend->mouseDragged({x, 40 + static_cast<double>(step % 3) * 20});
        f.backend->displayIfNeeded();
    }
    state.counters["frames"] = f.backend->presentedFrames() - before;
    benchmark::DoNotOptimize(f.slider->doubleValue());
}

void BM_StyledSliderDragAndDisplay(benchmark::State& state) {
    dragAndDisplay(state, true);
}
BENCHMARK(BM_StyledSliderDragAndDisplay)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_ToolkitSliderDragAndDisplay(benchmark::State& state) {
    dragAndDisplay(state, false);
}
BENCHMARK(BM_ToolkitSliderDragAndDisplay)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

} // namespace
