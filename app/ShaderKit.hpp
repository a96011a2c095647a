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
    // Whether the contents scale follows the window the view is in (no delegate: it keeps its own).
    void setContentsScaleDelegate(ContentsScaleDelegate ask) {
        scaleDelegate_ = ask ? std::make_shared<AskingDelegate>(std::move(ask)) : nullptr;
        setLayerDelegate(scaleDelegate_);
    }

private:
    struct AskingDelegate final : gpu::ShaderLayerDelegate {
        explicit AskingDelegate(ContentsScaleDelegate ask) : ask(std::move(ask)) {}
        bool shouldInheritContentsScale(gpu::ShaderView&, double scale, const ui::Window& window) override {
            return ask(scale, window);
        }
        ContentsScaleDelegate ask;
    };
    std::shared_ptr<AskingDelegate> scaleDelegate_;
};

using MetalShaderViewController = MetalShaderViewControllerT<AppShaderView, pelko::MetalShaderRenderer>;
using AboutShaderViewController = AboutShaderViewControllerT<AppShaderView, pelko::AboutRenderer>;
using SupporterShaderViewController =
    SupporterShaderViewControllerT<AppShaderView, pelko::SupporterShaderRenderer>;

} // namespace tessaray
