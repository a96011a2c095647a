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
    void setContentsScaleFollowsWindow(bool flag) { scaleFollowsWindow = flag; }

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
    bool scaleFollowsWindow = false;
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
    FakeRenderer(FakeDrawingView& view, std::string name) : FakeRenderer(view, std::move(name), {}, {}) {}
    void willPause() { events += "P"; }
    void willResume() { events += "R"; }
    void setSwitchOnState(const std::array<float, 6>& states) { switchOnState = states; }

    std::string name, vertex, fragment;
    int serial = 0;
    std::string events;
    std::array<float, 6> switchOnState{};
};

using FakeController = tessaray::MetalShaderViewControllerT<FakeDrawingView, FakeRenderer>;

} // namespace apptest
