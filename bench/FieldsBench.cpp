// The library's styled text field in numbers, on the headless back end at 1x: one key typed into a
// focused field followed by the window's display pass (what a user waits for between a key and its
// character on screen), for a short field and for one holding 2,000 characters.

#include "Vimbra/FieldsAndComponents/StyledTextField.hpp"
#include "Vimbra/FieldsAndComponents/ValidatingTextFields.hpp"
#include "core/Bundle.hpp"
#include "core/MainQueue.hpp"
#include "display/HeadlessBackend.hpp"
#include "ui/Text.hpp"
#include "ui/Window.hpp"

#include <benchmark/benchmark.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using graphics::Rect;

// A form of eight styled fields (a validating one among them), the typed one focused.
struct Form {
    explicit Form(std::size_t length) {
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
        while (text.size() < length) {
            text += "Tessaray 42 ";
        }
        typed->setStringValue(text.substr(0, length));
        backend = display::HeadlessBackend::attach(window, 1.0);
        window->makeKeyAndOrderFront();
        window->makeFirstResponder(typed);
        typed->currentEditor()->setSelectedRange(length, 0);
        core::MainQueue::shared().drain();
        backend->displayIfNeeded();
    }
    ~Form() {
        window->close();
        core::MainQueue::shared().drain();
    }
    void key(const std::string& characters) {
        window->sendEvent(
            ui::Event::keyEvent(ui::EventType::keyDown, characters, characters, 0, 0, 0, window));
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

void BM_StyledFieldKeyToRedraw(benchmark::State& state) {
    typeAndDisplay(state, 12);
}
BENCHMARK(BM_StyledFieldKeyToRedraw)->Unit(benchmark::kMicrosecond);

void BM_StyledField2000CharactersKeyToRedraw(benchmark::State& state) {
    typeAndDisplay(state, 2000);
}
BENCHMARK(BM_StyledField2000CharactersKeyToRedraw)->Unit(benchmark::kMicrosecond);

} // namespace
