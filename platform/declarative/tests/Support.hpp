#pragma once

// A declarative tree hosted in a headless window, with a deterministic text measurer, for tests.

#include "core/MainQueue.hpp"
#include "declarative/Declarative.hpp"
#include "display/HeadlessBackend.hpp"
#include "graphics/DrawRecorder.hpp"
#include "ui/Application.hpp"
#include "ui/Window.hpp"

#include <memory>
#include <ostream>
#include <vector>

namespace graphics {
inline void PrintTo(const Rect& r, std::ostream* os) {
    *os << "{" << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << "}";
}
inline void PrintTo(const Point& p, std::ostream* os) {
    *os << "(" << p.x << ", " << p.y << ")";
}
} // namespace graphics

namespace decltest {

using namespace declarative;

struct Harness {
    explicit Harness(View root, Size size = {200, 100}, double scale = 1.0) : size(size) {
        window = ui::Window::make(Rect({0, 0}, size));
        host = HostingView::make(std::move(root), Rect({0, 0}, size));
        host->setTextMeasurer(std::make_shared<FixedTextMeasurer>());
        window->setContentView(host);
        backend = display::HeadlessBackend::attach(window, scale);
        window->makeKeyAndOrderFront();
        settle();
    }
    ~Harness() {
        window->close();
        core::MainQueue::shared().drain();
    }

    // Runs pending main-queue work (flushes) and lays out.
    void settle() {
        core::MainQueue::shared().drain();
        host->layoutIfNeeded();
    }

    // Host coordinates (y down) to window coordinates (y up).
    Point win(Point p) const { return {p.x, size.height - p.y}; }
    void down(Point p, ui::ModifierFlags flags = 0, int clicks = 1) {
        backend->mouseDown(win(p), flags, clicks);
    }
    void drag(Point p, ui::ModifierFlags flags = 0) { backend->mouseDragged(win(p), flags); }
    void up(Point p, ui::ModifierFlags flags = 0, int clicks = 1) { backend->mouseUp(win(p), flags, clicks); }
    void click(Point p, ui::ModifierFlags flags = 0, int clicks = 1) {
        down(p, flags, clicks);
        up(p, flags, clicks);
    }

    // Draws the tree into a recording context of the host's size (y down).
    std::vector<graphics::RecordedOp> record(graphics::DrawOpKind kind = graphics::DrawOpKind::fillPath) {
        settle();
        graphics::BitmapCanvas canvas(size, 1.0, true, true);
        host->drawTree(canvas.context());
        return canvas.recorder()->ops(kind);
    }
    // The rects of every filled path, in drawing order.
    std::vector<Rect> fills() {
        std::vector<Rect> rects;
        for (const auto& op : record()) {
            rects.push_back(op.deviceRect);
        }
        return rects;
    }

    Size size;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<HostingView> host;
    std::shared_ptr<display::HeadlessBackend> backend;
};

inline graphics::ColorRef red() {
    return graphics::Color::rgba(1, 0, 0);
}
inline graphics::ColorRef blue() {
    return graphics::Color::rgba(0, 0, 1);
}

} // namespace decltest
