#pragma once

#include "graphics/DrawRecorder.hpp"
#include "ui/Application.hpp"
#include "ui/View.hpp"
#include "ui/Window.hpp"

#include <cairo.h>
#include <memory>
#include <string>
#include <vector>

namespace uitest {

// A view that records what reaches it and fills its bounds when drawn.
class ProbeView : public ui::View {
public:
    explicit ProbeView(const graphics::Rect& frame, bool flipped = false) : View(frame), flipped_(flipped) {}

    bool isFlipped() const override { return flipped_; }
    bool acceptsFirstResponder() const override { return accepts; }
    bool becomeFirstResponder() override { return agreesToBecome; }
    bool resignFirstResponder() override { return agreesToResign; }
    bool acceptsFirstMouse(const ui::Event*) const override { return firstMouse; }

    void mouseDown(const ui::Event& e) override { log.push_back("down " + where(e)); }
    void mouseDragged(const ui::Event& e) override { log.push_back("drag " + where(e)); }
    void mouseUp(const ui::Event& e) override { log.push_back("up " + where(e)); }
    void keyDown(const ui::Event& e) override {
        if (handlesKeys) {
            log.push_back("key " + e.characters);
        } else {
            View::keyDown(e);
        }
    }
    void draw(const graphics::Rect&) override {
        ++drawCount;
        if (fill) {
            graphics::GraphicsContext::current()->fillRect(bounds(), fill);
        }
    }

    std::string where(const ui::Event& e) const {
        auto p = convertPointFromView(e.locationInWindow, nullptr);
        return std::to_string(static_cast<int>(p.x)) + "," + std::to_string(static_cast<int>(p.y));
    }

    bool accepts = false;
    bool agreesToBecome = true;
    bool agreesToResign = true;
    bool firstMouse = true;
    bool handlesKeys = true;
    graphics::ColorRef fill;
    int drawCount = 0;
    std::vector<std::string> log;

private:
    bool flipped_;
};

// A window back end on an image surface that counts requests and records drawing.
class FakeBackend : public ui::WindowBackend {
public:
    FakeBackend(graphics::Size size, double scale)
        : size_(size), scale_(scale),
          surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(size.width * scale),
                                              static_cast<int>(size.height * scale))),
          recorder_(std::make_shared<graphics::DrawRecorder>()) {}
    ~FakeBackend() override { cairo_surface_destroy(surface_); }

    cairo_surface_t* surface() const { return surface_; }
    graphics::Size size() const override { return size_; }
    double backingScaleFactor() const override { return scale_; }
    void invalidate() override { ++invalidations; }
    bool drawRects(const std::vector<graphics::Rect>& rects, const RectDrawer& draw) override {
        drawn = rects;
        ++flushes;
        return graphics::drawRectsOnSurface(surface_, size_, scale_, recorder_, rects, draw);
    }
    void setContentSize(const graphics::Size& size) override { size_ = size; }
    void setTitle(const std::string& title) override { this->title = title; }
    void orderFront() override {}
    void close() override { closed = true; }
    std::shared_ptr<graphics::DrawRecorder> recorder() const override { return recorder_; }

    int invalidations = 0;
    int flushes = 0;
    std::vector<graphics::Rect> drawn;
    bool closed = false;
    std::string title;

private:
    graphics::Size size_;
    double scale_;
    cairo_surface_t* surface_;
    std::shared_ptr<graphics::DrawRecorder> recorder_;
};

inline ui::Event mouse(ui::EventType type, double x, double y, const std::shared_ptr<ui::Window>& window) {
    return ui::Event::mouseEvent(type, {x, y}, 0, 0, window);
}

inline ui::Event key(const std::string& characters, const std::shared_ptr<ui::Window>& window) {
    return ui::Event::keyEvent(ui::EventType::keyDown, characters, {}, 0, 0, 0, window);
}

// Closes every window a test opened, so the shared application starts the next test empty.
struct WindowScope {
    ~WindowScope() {
        for (auto& w : ui::Application::shared()->windows()) {
            w->close();
        }
        ui::Application::shared()->setKeyWindow(nullptr);
        ui::Application::shared()->setDelegate(nullptr);
    }
};

} // namespace uitest
