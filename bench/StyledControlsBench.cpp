// The control library's styled buttons in numbers: a window of 200 of them (20 columns of 10) on the
// headless back end at 1x. A full draw of the window, and one button's state change followed by the
// window's display pass.

#include "Vimbra/StyledControls/StyledButton.hpp"
#include "VimbraBenchWindow.hpp"

#include <benchmark/benchmark.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using graphics::Rect;

constexpr int columns = 20;
constexpr int rows = 10;
constexpr double cellWidth = 64;
constexpr double cellHeight = 30;

struct Fixture : vimbrabench::BenchWindow {
    Fixture() : BenchWindow(Rect(0, 0, columns * cellWidth, rows * cellHeight)) {
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < columns; ++column) {
                auto button = std::make_shared<vimbra::StyledButton>(
                    Rect(column * cellWidth + 4, row * cellHeight + 4, cellWidth - 8, 22));
                button->setTitle("Button " + std::to_string(row * columns + column + 1));
                window->contentView()->addSubview(button);
                buttons.push_back(button);
            }
        }
        attach(1.0);
        backend->displayIfNeeded();
    }
    std::vector<std::shared_ptr<vimbra::StyledButton>> buttons;
};

// The share of the window's area a display pass would redraw now.
double dirtyShare(const ui::Window& window) {
    const Rect dirty = window.dirtyRect();
    const Rect all = window.contentView()->bounds();
    return dirty.isNull() ? 0.0 : (dirty.width() * dirty.height()) / (all.width() * all.height());
}

void BM_StyledButtonWindowFullDraw(benchmark::State& state) {
    Fixture f;
    const int before = f.backend->presentedFrames();
    for (auto _ : state) {
        f.window->contentView()->setNeedsDisplay();
        f.backend->displayIfNeeded();
    }
    state.counters["frames"] = f.backend->presentedFrames() - before;
}
BENCHMARK(BM_StyledButtonWindowFullDraw)->Unit(benchmark::kMicrosecond);

// One button in the middle turns on or off; the pass then redraws what the window marked.
void BM_StyledButtonStateChangeAndDisplay(benchmark::State& state) {
    Fixture f;
    auto& button = *f.buttons[static_cast<std::size_t>(rows / 2 * columns + columns / 2)];
    button.setState(ui::StateValue::on);
    state.counters["dirtyShare"] = dirtyShare(*f.window);
    f.backend->displayIfNeeded();
    const int before = f.backend->presentedFrames();
    bool on = false;
    for (auto _ : state) {
        button.setState(on ? ui::StateValue::on : ui::StateValue::off);
        on = !on;
        f.backend->displayIfNeeded();
    }
    state.counters["frames"] = f.backend->presentedFrames() - before;
}
BENCHMARK(BM_StyledButtonStateChangeAndDisplay)->Unit(benchmark::kMicrosecond);

// The same pass when only that button's rect is marked: what the pass costs once a change marks no more
// than its own view.
void BM_StyledButtonOwnRectDisplay(benchmark::State& state) {
    Fixture f;
    auto& button = *f.buttons[static_cast<std::size_t>(rows / 2 * columns + columns / 2)];
    button.setNeedsDisplayInRect(button.bounds());
    state.counters["dirtyShare"] = dirtyShare(*f.window);
    f.backend->displayIfNeeded();
    for (auto _ : state) {
        button.setNeedsDisplayInRect(button.bounds());
        f.backend->displayIfNeeded();
    }
}
BENCHMARK(BM_StyledButtonOwnRectDisplay)->Unit(benchmark::kMicrosecond);

} // namespace
