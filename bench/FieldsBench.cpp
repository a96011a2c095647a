// The library's styled text field in numbers, on the headless back end at 1x: one key typed into a
// focused field followed by the window's display pass (what a user waits for between a key and its
// character on screen), for a short field, for one holding 2,000 characters and for long lines of random
// words from 2 KB to 1 MB typed into at their middle (the slowest key is reported too); and the undo and
// the redo of a run of typing in a 1 MB line, each with its display pass; and a paste of 1 MB and of
// 16 MB of random words, from the pasted text's arrival to its display pass and to the next key handled.

#include "Vimbra/FieldsAndComponents/StyledTextField.hpp"
#include "Vimbra/FieldsAndComponents/ValidatingTextFields.hpp"
#include "core/Bundle.hpp"
#include "core/MainQueue.hpp"
#include "display/HeadlessBackend.hpp"
#include "ui/Text.hpp"
#include "ui/Window.hpp"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using graphics::Rect;

// The times of a measured step in milliseconds: the 99th percentile and the slowest (on a busy machine
// the slowest is often a step the scheduler held up, which the percentile leaves out).
struct StepTimes {
    template <typename Step> void measure(Step&& step) {
        const auto start = std::chrono::steady_clock::now();
        step();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    void report(benchmark::State& state) {
        if (times.empty()) {
            return;
        }
        std::sort(times.begin(), times.end());
        state.counters["p99Ms"] = times[times.size() * 99 / 100];
        state.counters["slowestMs"] = times.back();
    }
    std::vector<double> times;
};

// A form of eight styled fields (a validating one among them), the typed one focused.
struct Form {
    explicit Form(std::size_t length, bool randomWords = false) {
        core::Bundle::addSearchPath(VIMBRA_BUNDLES_DIR);
        window = ui::Window::make(Rect(0, 0, 400, 300));
        for (int i = 0; i < 8; ++i) {
            std::shared_ptr<vimbra::StyledTextField> field;
            if (i == 3) {
                field = std::make_shared<vimbra::ValidatingTextField>(Rect(20, 20 + i * 32, 360, 22));
            } else {
                field = std::make_shared<vimbra::StyledTextField>(Rect(20, 20 + i * 32, 360, 22));
            }
            field->setStringValue("Field " + std::to_string(i));
            window->contentView()->addSubview(field);
            fields.push_back(field);
        }
        typed = fields[4];
        std::string text;
        std::mt19937 random(42);
        while (text.size() < length) {
            if (randomWords) {
                const int letters = std::uniform_int_distribution<int>(1, 10)(random);
                for (int i = 0; i < letters; ++i) {
                    text += static_cast<char>('a' + std::uniform_int_distribution<int>(0, 25)(random));
                }
                text += ' ';
            } else {
                text += "Tessaray 42 ";
            }
        }
        typed->setStringValue(text.substr(0, length));
        backend = display::HeadlessBackend::attach(window, 1.0);
        window->makeKeyAndOrderFront();
        window->makeFirstResponder(typed);
        typed->currentEditor()->setSelectedRange(randomWords ? length / 2 : length, 0);
        core::MainQueue::shared().drain();
        backend->displayIfNeeded();
    }
    ~Form() {
        window->close();
        core::MainQueue::shared().drain();
    }
    void key(const std::string& characters, ui::ModifierFlags flags = 0) {
        window->sendEvent(
            ui::Event::keyEvent(ui::EventType::keyDown, characters, characters, flags, 0, 0, window));
    }

    std::shared_ptr<ui::Window> window;
    std::shared_ptr<display::HeadlessBackend> backend;
    std::vector<std::shared_ptr<vimbra::StyledTextField>> fields;
    std::shared_ptr<vimbra::StyledTextField> typed;
};

// A character typed (and, every other time, deleted again, so the length stays put), then the pass that
// draws it; reports the share of the window the pass redrew.
void typeAndDisplay(benchmark::State& state, std::size_t length) {
    Form form(length);
    bool typeNext = true;
    double dirtyArea = 0;
    const Rect all = form.window->contentView()->bounds();
    for (auto _ : state) {
        form.key(typeNext ? "x" : ui::utf8(ui::SpecialKey::backspace));
        typeNext = !typeNext;
        const Rect dirty = form.window->dirtyRect();
        dirtyArea = dirty.isNull() ? 0 : dirty.width() * dirty.height();
        form.backend->displayIfNeeded();
    }
    state.counters["dirtyShare"] = dirtyArea / (all.width() * all.height());
    state.counters["length"] = static_cast<double>(form.typed->stringValue().size());
}

// The same in a line of random words, typed into at its middle; the 99th percentile and the slowest key
// in milliseconds too.
void BM_StyledFieldLongLineKeyToRedraw(benchmark::State& state) {
    Form form(static_cast<std::size_t>(state.range(0)), true);
    bool typeNext = true;
    StepTimes times;
    for (auto _ : state) {
        times.measure([&] {
            form.key(typeNext ? "x" : ui::utf8(ui::SpecialKey::backspace));
            typeNext = !typeNext;
            form.backend->displayIfNeeded();
        });
    }
    times.report(state);
    state.counters["length"] = static_cast<double>(form.typed->stringValue().size());
}
BENCHMARK(BM_StyledFieldLongLineKeyToRedraw)
    ->Arg(2 << 10)
    ->Arg(16 << 10)
    ->Arg(64 << 10)
    ->Arg(256 << 10)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMicrosecond);

// A run of eight typed characters in a 1 MB line of random words taken back by Control-Z (argument 0)
// or, after that, put back by Control-Shift-Z (argument 1); the timed part is that key and its display
// pass. Its 99th percentile and slowest in milliseconds too.
void BM_StyledField1MBUndoTypingRun(benchmark::State& state) {
    Form form(1 << 20, true);
    const bool redo = state.range(0) != 0;
    StepTimes times;
    for (auto _ : state) {
        state.PauseTiming();
        for (const char* c : {"t", "e", "s", "s", "a", "r", "a", "y"}) {
            form.key(c);
        }
        form.backend->displayIfNeeded();
        if (redo) {
            form.key("z", ui::Modifier::control);
            form.backend->displayIfNeeded();
        }
        state.ResumeTiming();
        times.measure([&] {
            form.key(redo ? "Z" : "z",
                     redo ? ui::Modifier::control | ui::Modifier::shift : ui::Modifier::control);
            form.backend->displayIfNeeded();
        });
        if (redo) {
            state.PauseTiming();
            form.key("z", ui::Modifier::control); // keeps the length put
            state.ResumeTiming();
        }
    }
    times.report(state);
    state.counters["length"] = static_cast<double>(form.typed->stringValue().size());
}
BENCHMARK(BM_StyledField1MBUndoTypingRun)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Control-V into the field with a clipboard that answers later, then the answer of length bytes of random
// words arriving: pasteDrawnMs runs from its arrival to the end of the display pass that shows it,
// nextKeyMs to the end of the next key's handling and display pass (run-loop work queued meanwhile waits
// for a later turn). Each iteration starts again from a short text.
void BM_StyledFieldPasteToNextKey(benchmark::State& state) {
    const auto length = static_cast<std::size_t>(state.range(0));
    Form form(12);
    std::string text;
    std::mt19937 random(7);
    while (text.size() < length) {
        const int letters = std::uniform_int_distribution<int>(1, 10)(random);
        for (int i = 0; i < letters; ++i) {
            text += static_cast<char>('a' + std::uniform_int_distribution<int>(0, 25)(random));
        }
        text += ' ';
    }
    text.resize(length);
    std::function<void(std::optional<std::string>)> answer;
    auto editor = form.typed->currentEditor();
    editor->setClipboardAccess({{}, {}, [&](std::function<void(std::optional<std::string>)> handler) {
                                    answer = std::move(handler);
                                }});
    StepTimes drawn;
    std::vector<double> nextKey;
    for (auto _ : state) {
        state.PauseTiming();
        form.typed->setStringValue("Field 4");
        editor->setSelectedRange(7, 0);
        core::MainQueue::shared().drain();
        form.backend->displayIfNeeded();
        form.key("v", ui::Modifier::control);
        std::string pasted = text;
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        drawn.measure([&] {
            answer(std::move(pasted));
            form.backend->displayIfNeeded();
        });
        form.key("x");
        form.backend->displayIfNeeded();
        nextKey.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    // The slowest of the iterations.
    if (!drawn.times.empty()) {
        state.counters["pasteDrawnMs"] = *std::max_element(drawn.times.begin(), drawn.times.end());
        state.counters["nextKeyMs"] = *std::max_element(nextKey.begin(), nextKey.end());
    }
    state.counters["length"] = static_cast<double>(form.typed->stringValue().size());
}
BENCHMARK(BM_StyledFieldPasteToNextKey)
    ->Arg(1 << 20)
    ->Arg(16 << 20)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

void BM_StyledFieldKeyToRedraw(benchmark::State& state) {
    typeAndDisplay(state, 12);
}
BENCHMARK(BM_StyledFieldKeyToRedraw)->Unit(benchmark::kMicrosecond);

void BM_StyledField2000CharactersKeyToRedraw(benchmark::State& state) {
    typeAndDisplay(state, 2000);
}
BENCHMARK(BM_StyledField2000CharactersKeyToRedraw)->Unit(benchmark::kMicrosecond);

} // namespace
