#pragma once

// Events for the text field tests: clicks, keys and turns of the main queue, sent to a scene's window.

#include "Vimbra/tests/TestSupport.hpp"
#include "core/MainQueue.hpp"
#include "graphics/DrawRecorder.hpp"
#include "ui/Event.hpp"
#include "ui/View.hpp"

#include <string>

namespace fieldstest {

// Runs what waits on the main queue (the fields hear focus changes one turn later).
inline void turn() {
    core::MainQueue::shared().drain();
}

// A press and release at x (view coordinates) on the view's middle line, with the click count.
inline void click(const vimbratest::Scene& scene, const ui::View& view, double x = 4, int count = 1) {
    const auto p = view.convertPointToView({x, view.bounds().midY()}, nullptr);
    for (auto type : {ui::EventType::leftMouseDown, ui::EventType::leftMouseUp}) {
        scene.window->sendEvent(ui::Event::mouseEvent(type, p, 0, 0, scene.window, count));
    }
}

// One key press with its text and modifiers.
inline void key(const vimbratest::Scene& scene, const std::string& text, ui::ModifierFlags flags = 0) {
    scene.window->sendEvent(
        ui::Event::keyEvent(ui::EventType::keyDown, text, text, flags, 0, 0, scene.window));
}

// A letter with Control held, as X delivers it: the control character, and the letter without modifiers.
inline void control(const vimbratest::Scene& scene, char letter, ui::ModifierFlags more = 0) {
    const std::string text(1, static_cast<char>(letter - 'a' + 1));
    scene.window->sendEvent(ui::Event::keyEvent(ui::EventType::keyDown, text, std::string(1, letter),
                                                ui::Modifier::control | more, 0, 0, scene.window));
}

inline void type(const vimbratest::Scene& scene, const std::string& text) {
    for (char c : text) {
        key(scene, std::string(1, c));
    }
}

// Draws the window again from scratch and answers what was recorded.
inline const graphics::DrawRecorder& redraw(const vimbratest::Scene& scene) {
    auto recorder = scene.backend->recorder();
    recorder->clear();
    scene.window->contentView()->setNeedsDisplay();
    scene.backend->displayIfNeeded();
    return *recorder;
}

} // namespace fieldstest
