#pragma once

// A declarative tree of the library's components in a key headless window, driven by real pointer events
// (host coordinates: top-left origin, y down) and drawn into a recording context.

#include "Vimbra/tests/TestSupport.hpp"
#include "core/MainQueue.hpp"
#include "declarative/Declarative.hpp"
#include "graphics/DrawRecorder.hpp"

#include <memory>
#include <string>
#include <vector>

namespace componentstest {

using declarative::View;
using graphics::Point;
using graphics::Rect;
using graphics::Size;

// An image as drawn: its name, where, and the opacity of the layers around it.
struct DrawnImage {
    std::string name;
    Rect rect;
    double opacity = 1;
};

struct Host {
    vimbratest::ApplicationScope scope;
    Size size;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<declarative::HostingView> host;
    std::shared_ptr<display::HeadlessBackend> backend;

    // With fixedText, every character is one em wide and high, so layouts do not depend on fonts.
    explicit Host(View root, Size size, double scale = 1.0, bool fixedText = true)
        : size(size), window(ui::Window::make(Rect({100, 100}, size))) {
        host = declarative::HostingView::make(std::move(root), Rect({0, 0}, size));
        if (fixedText) {
            host->setTextMeasurer(std::make_shared<declarative::FixedTextMeasurer>());
        }
        window->setContentView(host);
        backend = display::HeadlessBackend::attach(window, scale, true);
        window->makeKeyAndOrderFront();
        settle();
    }

    // Runs what the main queue holds (re-evaluations, measured widths) and lays out.
    void settle() {
        for (int i = 0; i < 4; ++i) {
            core::MainQueue::shared().drain();
            host->layoutIfNeeded();
        }
    }
    void resize(Size newSize) {
        size = newSize;
        window->setContentSize(newSize);
        host->setFrame(Rect({0, 0}, newSize));
        settle();
    }

    Point win(Point p) const { return {p.x, size.height - p.y}; }
    void down(Point p, ui::ModifierFlags flags = 0) {
        backend->mouseDown(win(p), flags, 1);
        settle();
    }
    void drag(Point p, ui::ModifierFlags flags = 0) {
        backend->mouseDragged(win(p), flags);
        settle();
    }
    void up(Point p, ui::ModifierFlags flags = 0) {
        backend->mouseUp(win(p), flags, 1);
        settle();
    }
    void click(Point p, ui::ModifierFlags flags = 0) {
        down(p, flags);
        up(p, flags);
    }

    std::vector<graphics::RecordedOp> ops() {
        settle();
        graphics::BitmapCanvas canvas(size, 1.0, true, true);
        host->drawTree(canvas.context());
        return canvas.recorder()->ops();
    }
    std::vector<DrawnImage> images() {
        std::vector<DrawnImage> out;
        std::vector<double> layers{1.0};
        for (const auto& op : ops()) {
            if (op.kind == graphics::DrawOpKind::beginLayer) {
                layers.push_back(layers.back() * op.alpha);
            } else if (op.kind == graphics::DrawOpKind::endLayer && layers.size() > 1) {
                layers.pop_back();
            } else if (op.kind == graphics::DrawOpKind::image) {
                out.push_back({op.imageName, op.rect, layers.back()});
            }
        }
        return out;
    }
    std::vector<graphics::RecordedOp> texts() {
        std::vector<graphics::RecordedOp> out;
        for (auto& op : ops()) {
            if (op.kind == graphics::DrawOpKind::text) {
                out.push_back(op);
            }
        }
        return out;
    }
};

} // namespace componentstest
