#pragma once

// The application's shader controllers on the GPU kit: its view, made on the system default device (none
// on a machine without a usable GPU, or with TESSARAY_NO_GPU set: the strip then stays empty), and the
// kit's three renderers.

#include "app/ShaderViewController.hpp"
#include "gpu/Device.hpp"
#include "gpu/ShaderView.hpp"
#include "shaders/AboutRenderer.hpp"
#include "shaders/MetalShaderRenderer.hpp"
#include "shaders/SupporterShaderRenderer.hpp"

namespace tessaray {

class AppShaderView : public gpu::ShaderView {
public:
    using gpu::ShaderView::ShaderView;

    // On the system default device, or none when the machine has no usable GPU.
    static std::shared_ptr<AppShaderView> make(const graphics::Rect& frame) {
        return std::make_shared<AppShaderView>(frame, gpu::Device::createSystemDefaultDevice());
    }

    using gpu::ShaderView::setColorPixelFormat;
    void setColorPixelFormat(ShaderPixelFormat format) {
        gpu::ShaderView::setColorPixelFormat(static_cast<gpu::PixelFormat>(format));
    }
    using gpu::ShaderView::setColorspace;
    void setColorspace(ShaderColorspace space) {
        switch (space) {
        case ShaderColorspace::none:
            gpu::ShaderView::setColorspace(gpu::ColorSpace::none);
            break;
        case ShaderColorspace::extendedLinearSRGB:
            gpu::ShaderView::setColorspace(gpu::ColorSpace::extendedLinearSRGB);
            break;
        case ShaderColorspace::extendedLinearDisplayP3:
            gpu::ShaderView::setColorspace(gpu::ColorSpace::extendedLinearDisplayP3);
            break;
        }
    }
    // The contents scale follows every window the view moves to.
    void setContentsScaleFollowsWindow(bool follows) {
        setLayerDelegate(follows ? std::weak_ptr<gpu::ShaderLayerDelegate>(inherit_)
                                 : std::weak_ptr<gpu::ShaderLayerDelegate>());
    }

private:
    struct InheritScale final : gpu::ShaderLayerDelegate {
        bool shouldInheritContentsScale(gpu::ShaderView&, double, const ui::Window&) override { return true; }
    };
    std::shared_ptr<InheritScale> inherit_ = std::make_shared<InheritScale>();
};

using MetalShaderViewController = MetalShaderViewControllerT<AppShaderView, pelko::MetalShaderRenderer>;
using AboutShaderViewController = AboutShaderViewControllerT<AppShaderView, pelko::AboutRenderer>;
using SupporterShaderViewController =
    SupporterShaderViewControllerT<AppShaderView, pelko::SupporterShaderRenderer>;

} // namespace tessaray
