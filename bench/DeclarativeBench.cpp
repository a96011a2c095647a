// Layout and drawing of a declarative panel of 18 dial-like views (an image and two texts each) at
// 760 x 512: a full pass, and the pass after one dial's state changed.

#include "core/MainQueue.hpp"
#include "declarative/Declarative.hpp"
#include "display/HeadlessBackend.hpp"
#include "graphics/DrawRecorder.hpp"
#include "ui/Window.hpp"

#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

namespace {

using namespace declarative;

struct Values {
    std::vector<std::unique_ptr<core::Observed<double>>> values;
};

struct Dial {
    int index = 0;
    std::shared_ptr<Values> values;
    graphics::ImageRef face;
    View body(Context&) const {
        const double value = values->values[index]->get();
        return VStack({.spacing = 2},
                      {Text("Band " + std::to_string(index + 1)).font(graphics::Font::systemFont(11)),
                       Image(face).scaleEffect(0.5 + value / 2),
                       Text(std::to_string(static_cast<int>(value * 100)) + " %")
                           .font(graphics::Font::monospacedDigitSystemFont(10))})
            .frame(110, 150)
            .background(RoundedRectangle(6).fill(graphics::Color::white(0.15)));
    }
};

struct Panel {
    std::shared_ptr<Values> values;
    graphics::ImageRef face;
    View body(Context&) const {
        std::vector<View> rows;
        for (int row = 0; row < 3; ++row) {
            std::vector<View> dials;
            for (int column = 0; column < 6; ++column) {
                dials.push_back(Dial{row * 6 + column, values, face});
            }
            rows.push_back(HStack({.spacing = 12}, std::move(dials)));
        }
        return VStack({.spacing = 12}, std::move(rows));
    }
};

struct Fixture {
    Fixture() : canvas({760, 512}, 1.0, true) {
        values = std::make_shared<Values>();
        for (int i = 0; i < 18; ++i) {
            values->values.push_back(std::make_unique<core::Observed<double>>(0.5));
        }
        face = graphics::Image::draw({64, 64}, 1.0, [](graphics::GraphicsContext& c) {
            c.fillPath(graphics::BezierPath::oval({2, 2, 60, 60}), graphics::Color::white(0.6),
                       graphics::CompositingOperation::sourceOver);
        });
        host = HostingView::make(Panel{values, face}, Rect(0, 0, 760, 512));
        window = ui::Window::make(Rect(0, 0, 760, 512));
        window->setContentView(host);
        backend = display::HeadlessBackend::attach(window, 1.0);
        backend->displayIfNeeded();
    }
    ~Fixture() {
        window->close();
        core::MainQueue::shared().drain();
    }
    std::shared_ptr<Values> values;
    graphics::ImageRef face;
    graphics::BitmapCanvas canvas;
    std::shared_ptr<HostingView> host;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<display::HeadlessBackend> backend;
};

void BM_PanelFullPass(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        f.host->setNeedsLayout();
        f.host->drawTree(f.canvas.context());
    }
}
BENCHMARK(BM_PanelFullPass)->Unit(benchmark::kMicrosecond);

// One dial's value changes: the window's display pass redraws just that dial.
void BM_PanelOneStateChange(benchmark::State& state) {
    Fixture f;
    double v = 0;
    for (auto _ : state) {
        v = v > 0.9 ? 0 : v + 0.01;
        *f.values->values[7] = v;
        f.host->flush();
        f.window->displayIfNeeded();
    }
}
BENCHMARK(BM_PanelOneStateChange)->Unit(benchmark::kMicrosecond);

// The same change without drawing: re-evaluation of the one dial and a layout pass.
void BM_PanelOneStateChangeWithoutDrawing(benchmark::State& state) {
    Fixture f;
    f.host->drawTree(f.canvas.context());
    double v = 0;
    for (auto _ : state) {
        v = v > 0.9 ? 0 : v + 0.01;
        *f.values->values[7] = v;
        f.host->flush();
        f.host->layoutIfNeeded();
    }
    core::MainQueue::shared().drain();
}
BENCHMARK(BM_PanelOneStateChangeWithoutDrawing)->Unit(benchmark::kMicrosecond);

void BM_PanelLayoutOnly(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        f.host->setNeedsLayout();
        f.host->layoutIfNeeded();
    }
}
BENCHMARK(BM_PanelLayoutOnly)->Unit(benchmark::kMicrosecond);

} // namespace
