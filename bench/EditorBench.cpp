// The plug-in editor at 760 x 512 points: a full redraw of every block at 1x and 2x, and the analyser's
// 60 Hz update (new band levels, re-evaluation and the window's display pass of what changed).

#include "ZeltoCore/KitFonts.hpp"
#include "ZeltoCore/KitResources.hpp"
#include "core/Bundle.hpp"
#include "core/MainQueue.hpp"
#include "declarative/Declarative.hpp"
#include "display/HeadlessBackend.hpp"
#include "extension/Settings.hpp"
#include "extension/editor/MainView.hpp"
#include "graphics/DrawRecorder.hpp"
#include "ui/Window.hpp"

#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>
#include <vector>

namespace {

using namespace declarative;

std::vector<float> levels(std::size_t n, double phase) {
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / static_cast<double>(n);
        v[i] = static_cast<float>(std::pow(10.0, (-50.0 + 30.0 * std::sin(6 * t + phase) - 15 * t) / 20.0));
    }
    return v;
}

struct Fixture {
    explicit Fixture(double scale) : canvas({760, 512}, scale, true) {
        static const bool ready = [] {
            core::Bundle::addSearchPath(TESSARAY_BUNDLES_DIR);
            zelto::registerKitFonts(zelto::kitBundle().resourcePath() / "Fonts");
            return true;
        }();
        (void)ready;
        settings = Settings::create();
        settings->analyzerRangeLo = 20.0f;
        settings->analyzerRangeHi = 20000.0f;
        settings->analyzerBandAmps = levels(64, 0);
        host = HostingView::make(View(editor::MainView{}).environmentObject(settings), Rect(0, 0, 760, 512));
        window = ui::Window::make(Rect(0, 0, 760, 512));
        window->setContentView(host);
        backend = display::HeadlessBackend::attach(window, scale);
        backend->displayIfNeeded();
        core::MainQueue::shared().drain();
    }
    ~Fixture() {
        window->close();
        core::MainQueue::shared().drain();
    }
    std::shared_ptr<Settings> settings;
    graphics::BitmapCanvas canvas;
    std::shared_ptr<HostingView> host;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<display::HeadlessBackend> backend;
};

// Everything laid out and drawn again: canvas artwork, header, 64 analyser bars with their mirror, 16
// dials and the pad.
void BM_EditorFullRedraw(benchmark::State& state) {
    Fixture f(static_cast<double>(state.range(0)));
    for (auto _ : state) {
        f.host->setNeedsLayout();
        f.host->drawTree(f.canvas.context());
    }
}
BENCHMARK(BM_EditorFullRedraw)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// One poll's worth of new levels: the graph re-evaluates and the window redraws its area. The counters
// say what the last pass drew: how many rects, and the presented union's share of the window.
void BM_EditorAnalyserUpdate(benchmark::State& state) {
    Fixture f(static_cast<double>(state.range(0)));
    double phase = 0;
    for (auto _ : state) {
        phase += 0.1;
        f.settings->analyzerBandAmps = levels(64, phase);
        f.host->flush();
        f.window->displayIfNeeded();
    }
    const Rect presented = f.backend->lastPresentedRect();
    state.counters["rects"] = static_cast<double>(f.backend->lastDrawnRects().size());
    state.counters["presented"] =
        presented.isNull() ? 0 : presented.width() * presented.height() / (760.0 * 512.0);
    core::MainQueue::shared().drain();
}
BENCHMARK(BM_EditorAnalyserUpdate)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace
