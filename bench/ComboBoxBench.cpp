// The styled combo box with 10,000 numbers on the headless back end at 1x: opening its list (the
// will-pop-up notification, the list window and its first display pass) and closing it again. The list
// draws only the rows in sight, so the length of the list must not show in the figure.

#include "Vimbra/StyledControls/StyledComboBox.hpp"
#include "VimbraBenchWindow.hpp"
#include "core/MainQueue.hpp"
#include "ui/ComboBoxList.hpp"

#include <any>
#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

namespace {

using graphics::Rect;

struct Fixture : vimbrabench::BenchWindow {
    explicit Fixture(long items) : BenchWindow(Rect(100, 400, 320, 120)) {
        box = std::make_shared<vimbra::StyledComboBox>(Rect(20, 80, 200, 26));
        std::vector<std::any> values;
        values.reserve(static_cast<std::size_t>(items));
        for (long i = 0; i < items; ++i) {
            values.emplace_back(static_cast<double>(i) * 0.25);
        }
        box->addItemsWithObjectValues(values);
        box->selectItemAtIndex(items / 2);
        window->contentView()->addSubview(box);
        attach(1.0);
        window->makeKeyAndOrderFront();
        window->makeFirstResponder(box);
        backend->displayIfNeeded();
    }
    std::shared_ptr<vimbra::StyledComboBox> box;
};

// Opening the list: notification, window, back end, first display of the list. Closing is not timed.
void BM_ComboBoxOpenList(benchmark::State& state) {
    Fixture f(state.range(0));
    long rows = 0;
    for (auto _ : state) {
        f.box->popUpList();
        auto list = std::dynamic_pointer_cast<display::HeadlessBackend>(f.box->listWindow()->backend());
        list->displayIfNeeded();
        rows = f.box->listView()->rowsDrawn();
        state.PauseTiming();
        f.box->dismissList();
        core::MainQueue::shared().drain();
        state.ResumeTiming();
    }
    state.counters["rowsDrawn"] = static_cast<double>(rows);
    state.counters["items"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_ComboBoxOpenList)->Arg(10)->Arg(10000)->Unit(benchmark::kMillisecond);

// Moving the highlight one row with the list open, and the list's display pass.
void BM_ComboBoxMoveHighlight(benchmark::State& state) {
    Fixture f(state.range(0));
    f.box->popUpList();
    auto view = f.box->listView();
    auto list = std::dynamic_pointer_cast<display::HeadlessBackend>(f.box->listWindow()->backend());
    list->displayIfNeeded();
    long delta = 1;
    for (auto _ : state) {
        if (view->highlightedIndex() + delta < 0 || view->highlightedIndex() + delta >= state.range(0)) {
            delta = -delta;
        }
        view->moveHighlight(delta);
        list->displayIfNeeded();
    }
    f.box->dismissList();
}
BENCHMARK(BM_ComboBoxMoveHighlight)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace
