#pragma once

// Test support: a recording drawing view and renderer in place of the GPU kit's.

#include "app/ShaderViewController.hpp"

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

namespace apptest {

using graphics::Rect;

struct FakeRenderer;

class FakeDrawingView : public ui::View {
public:
    // Whether new views get a device (the system may have none).
    static inline bool deviceAvailable = true;

    using ui::View::View;
    static std::shared_ptr<FakeDrawingView> make(const Rect& frame) {
        auto view = std::make_shared<FakeDrawingView>(frame);
        view->hasDevice = deviceAvailable;
        return view;
    }
    void setAutoResizeDrawable(bool flag) { autoResizeDrawable = flag; }
    void setEnableSetNeedsDisplay(bool flag) { enableSetNeedsDisplay = flag; }
    void setColorPixelFormat(tessaray::ShaderPixelFormat format) { pixelFormat = format; }
    void setColorspace(tessaray::ShaderColorspace space) { colorspace = space; }
    void setPreferredFramesPerSecond(int fps) { framesPerSecond = fps; }
    void setPaused(bool flag) { paused = flag; }
    void setNeedsDisplay(bool flag) { redisplays += flag ? 1 : 0; }
    void setDelegate(const std::shared_ptr<FakeRenderer>& renderer) { delegate = renderer; }
    void setContentsScale(double scale) { contentsScale = scale; }
    void setContentsScaleDelegate(tessaray::ContentsScaleDelegate ask) {
        scaleDelegate = std::move(ask);
        inheritWindowScale();
    }
    // As the kit's view: on joining a window, and on every frame, the delegate is asked about a window
    // scale that differs from the contents scale.
    void viewDidMoveToWindow() override {
        ui::View::viewDidMoveToWindow();
        inheritWindowScale();
    }
    void drawFrame() { inheritWindowScale(); }

    bool hasDevice = true;
    bool autoResizeDrawable = false;
    bool enableSetNeedsDisplay = false;
    tessaray::ShaderPixelFormat pixelFormat = tessaray::ShaderPixelFormat::bgra8Unorm;
    tessaray::ShaderColorspace colorspace = tessaray::ShaderColorspace::none;
    int framesPerSecond = 0;
    bool paused = false;
    int redisplays = 0;
    std::weak_ptr<FakeRenderer> delegate;
    double contentsScale = 0;
    tessaray::ContentsScaleDelegate scaleDelegate;

private:
    void inheritWindowScale() {
        const auto w = window();
        if (w && scaleDelegate && w->backingScaleFactor() != contentsScale &&
            scaleDelegate(w->backingScaleFactor(), *w)) {
            contentsScale = w->backingScaleFactor();
        }
    }
};

struct FakeRenderer {
    static inline int made = 0;

    FakeRenderer(FakeDrawingView& view, std::string name, std::string vertex, std::string fragment)
        : name(std::move(name)), vertex(std::move(vertex)), fragment(std::move(fragment)) {
        if (!view.hasDevice) {
            throw std::runtime_error("No valid metal device");
        }
        serial = ++made;
    }
    FakeRenderer(FakeDrawingView& view, std::string name, float scale)
        : FakeRenderer(view, std::move(name), {}, {}) {
        this->scale = scale;
    }
    void willPause() { events += "P"; }
    void willResume() { events += "R"; }
    void setSwitchOnState(const std::array<float, 6>& states) {
        switchOnState = states;
        events += "S";
    }
    void switchOn(int index) { events += "on" + std::to_string(index); }
    void switchOff(int index) { events += "off" + std::to_string(index); }
    void switchDown(int index) { events += "down" + std::to_string(index); }
    void switchUp(int index) { events += "up" + std::to_string(index); }
    void setScale(float value) { scale = value; }

    std::string name, vertex, fragment;
    int serial = 0;
    std::string events;
    std::array<float, 6> switchOnState{};
    float scale = 0;
};

using FakeController = tessaray::MetalShaderViewControllerT<FakeDrawingView, FakeRenderer>;

} // namespace apptest
