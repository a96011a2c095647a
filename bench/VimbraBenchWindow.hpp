#pragma once

// The control library's benchmarks' window: the library's bundle found, a window on the headless back end
// once its views are in, and at the end the window closed and the main queue drained.

#include "core/Bundle.hpp"
#include "core/MainQueue.hpp"
#include "display/HeadlessBackend.hpp"
#include "ui/Window.hpp"

#include <memory>

namespace vimbrabench {

struct BenchWindow {
    explicit BenchWindow(const graphics::Rect& frame) {
        core::Bundle::addSearchPath(VIMBRA_BUNDLES_DIR);
        window = ui::Window::make(frame);
    }
    ~BenchWindow() {
        window->close();
        core::MainQueue::shared().drain();
    }
    BenchWindow(const BenchWindow&) = delete;
    BenchWindow& operator=(const BenchWindow&) = delete;

    // Gives the window its back end at a scale, once its views are in.
    void attach(double scale) { backend = display::HeadlessBackend::attach(window, scale); }

    std::shared_ptr<ui::Window> window;
    std::shared_ptr<display::HeadlessBackend> backend;
};

} // namespace vimbrabench
