// The editor's dial panel: 18 chaos dials with their labels at 760 x 512. A full layout and draw pass,
// and one parameter change from the host (its dial and label re-evaluated, then drawn).

#include "../ZeltoDialsCore/tests/DialBundles.hpp"
#include "ZeltoCore/KitExtensions.hpp"
#include "ZeltoCore/KitResources.hpp"
#include "ZeltoDialsCore/ZeltoChaosDial/ChaosDial.hpp"
#include "core/MainQueue.hpp"
#include "display/HeadlessBackend.hpp"
#include "graphics/DrawRecorder.hpp"
#include "ui/Window.hpp"

#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

namespace {

using namespace declarative;
using namespace zelto;

struct Panel {
    std::vector<std::shared_ptr<AudioParameter>> params;
    View body(Context&) const {
        const LabelDisplayOptions options{.valueColor = kitColor("ChaosYellowText"),
                                          .labelFontSize = 13,
                                          .valueFontSize = 13,
                                          .editingFontSize = 12,
                                          .showSuffix = true,
                                          .showName = true,
                                          .labelWidth = 56,
                                          .font = CorviFont::dosisMedium,
                                          .customTitle = std::nullopt};
        std::vector<View> rows;
        for (int row = 0; row < 3; ++row) {
            std::vector<View> dials;
            for (int column = 0; column < 6; ++column) {
                dials.push_back(View(ChaosDial(params[static_cast<std::size_t>(row * 6 + column)],
                                               ModernDialColor::grey, options))
                                    .frame(96, 140));
            }
            rows.push_back(HStack({.spacing = 16}, std::move(dials)));
        }
        return VStack({.spacing = 16}, std::move(rows));
    }
};

struct Fixture {
    Fixture() : canvas({760, 512}, 1.0, true) {
        dialtest::useDialBundles();
        for (int i = 0; i < 18; ++i) {
            params.push_back(AudioParameter::create(
                static_cast<uint64_t>(i), "p" + std::to_string(i), "Dial " + std::to_string(i + 1),
                AudioUnitParameterUnit::percent, {0, 100}, 50.0f, AudioParameter::ValueIncrement::linear()));
        }
        host = HostingView::make(Panel{params}, Rect(0, 0, 760, 512));
        window = ui::Window::make(Rect(0, 0, 760, 512));
        window->setContentView(host);
        backend = display::HeadlessBackend::attach(window, 1.0);
        backend->displayIfNeeded();
    }
    ~Fixture() {
        window->close();
        core::MainQueue::shared().drain();
    }
    std::vector<std::shared_ptr<AudioParameter>> params;
    graphics::BitmapCanvas canvas;
    std::shared_ptr<HostingView> host;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<display::HeadlessBackend> backend;
};

void BM_DialPanelFullPass(benchmark::State& state) {
    Fixture f;
    for (auto _ : state) {
        f.host->setNeedsLayout();
        f.host->drawTree(f.canvas.context());
    }
}
BENCHMARK(BM_DialPanelFullPass)->Unit(benchmark::kMicrosecond);

// The host moves one parameter: the main queue stores the value, the dial and its label re-evaluate, and
// the window's display pass redraws what they cover.
void BM_DialPanelOneParameterChange(benchmark::State& state) {
    Fixture f;
    float v = 0;
    for (auto _ : state) {
        v = v >= 100 ? 0 : v + 1;
        f.params[7]->setValue(v, ParameterEditor::parameterObserver, ParameterEditorState::change);
        core::MainQueue::shared().drain();
        f.window->displayIfNeeded();
    }
}
BENCHMARK(BM_DialPanelOneParameterChange)->Unit(benchmark::kMicrosecond);

// The same change without drawing: what re-evaluation and layout cost on their own.
void BM_DialPanelOneParameterChangeWithoutDrawing(benchmark::State& state) {
    Fixture f;
    float v = 0;
    for (auto _ : state) {
        v = v >= 100 ? 0 : v + 1;
        f.params[7]->setValue(v, ParameterEditor::parameterObserver, ParameterEditorState::change);
        core::MainQueue::shared().drain();
        f.host->layoutIfNeeded();
    }
}
BENCHMARK(BM_DialPanelOneParameterChangeWithoutDrawing)->Unit(benchmark::kMicrosecond);

} // namespace
