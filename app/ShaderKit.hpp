#pragma once

// The drawing view and renderers the application's shader controllers use. Until the GPU kit is part of
// the build, the drawing view has no device and every renderer fails to start, so strips stay empty
// (the application's path for machines without a usable GPU).

#include "app/ShaderViewController.hpp"

#include <stdexcept>

namespace tessaray {

class NoDeviceShaderView : public ui::View {
public:
    using ui::View::View;
    static std::shared_ptr<NoDeviceShaderView> make(const graphics::Rect& frame) {
        return std::make_shared<NoDeviceShaderView>(frame);
    }
    void setAutoResizeDrawable(bool) {}
    void setEnableSetNeedsDisplay(bool) {}
    void setColorPixelFormat(ShaderPixelFormat) {}
    void setColorspace(ShaderColorspace) {}
    void setPreferredFramesPerSecond(int) {}
    void setPaused(bool) {}
    void setNeedsDisplay(bool flag) { ui::View::setNeedsDisplay(flag); }
    template <class R> void setDelegate(const std::shared_ptr<R>&) {}
    void setContentsScale(double) {}
    void setContentsScaleFollowsWindow(bool) {}
};

class NoDeviceRenderer {
public:
    template <class... Args> explicit NoDeviceRenderer(Args&&...) {
        throw std::runtime_error("No valid metal device");
    }
    void willPause() {}
    void willResume() {}
};

using MetalShaderViewController = MetalShaderViewControllerT<NoDeviceShaderView, NoDeviceRenderer>;

} // namespace tessaray
