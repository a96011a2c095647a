#pragma once

// The about panel's renderer: the full-view quad drawn with "aboutVertexShader" and
// "aboutFragmentShader", the kit's logo and noise images as textures 0 and 1, the viewport size and the
// running time. AboutSampleView is a shader view that makes one for itself whenever it is moved.

#include "gpu/ShaderView.hpp"
#include "shaders/ShaderKit.hpp"

#include <array>
#include <memory>

namespace pelko {

class AboutRenderer : public gpu::ShaderViewDelegate {
public:
    // The asset names of the two images in the kit's bundle.
    static constexpr const char* logoImageName = "about-logo";
    static constexpr const char* noiseImageName = "about-noise";

    // For a view that already has its device. Throws RendererError without a device or command queue,
    // gpu::Error for the library, a missing function (named), the pipeline or an image that cannot be loaded.
    explicit AboutRenderer(gpu::ShaderView& view, RendererSources sources = {});

    void drawableSizeWillChange(gpu::ShaderView& view, graphics::Size size) override;
    void draw(gpu::ShaderView& view) override;

    void willPause() { time_.willPause(); }
    void willResume() { time_.willResume(); }

    const gpu::Viewport& viewport() const { return viewport_; }
    const RunningTime& runningTime() const { return time_; }
    const std::shared_ptr<gpu::CommandQueue>& commandQueue() const { return commandQueue_; }
    const std::shared_ptr<gpu::Texture>& logoTexture() const { return logoTexture_; }
    const std::shared_ptr<gpu::Texture>& noiseTexture() const { return noiseTexture_; }

    // The renderer's own pipeline builder: "About View Pipeline", in the view's colour format.
    static std::shared_ptr<gpu::RenderPipelineState> buildRenderPipeline(gpu::ShaderView& view);

private:
    RunningTime time_;
    std::shared_ptr<gpu::Device> device_;
    std::shared_ptr<gpu::CommandQueue> commandQueue_;
    std::shared_ptr<gpu::RenderPipelineState> pipelineState_;
    std::shared_ptr<gpu::Texture> logoTexture_;
    std::shared_ptr<gpu::Texture> noiseTexture_;
    std::shared_ptr<gpu::Buffer> vertexBuffer_;
    int vertexCount_ = 4;
    gpu::Viewport viewport_;
};

// A shader view that sets itself up whenever it moves to a superview (or away from one): the system's
// default device, RGBA16F in extended linear Display P3, and a new AboutRenderer as its delegate (none
// when that fails). It never pauses.
class AboutSampleView : public gpu::ShaderView {
public:
    explicit AboutSampleView(const graphics::Rect& frame = {}, std::shared_ptr<gpu::Device> device = nullptr)
        : gpu::ShaderView(frame, std::move(device)) {}
    ~AboutSampleView() override;

    const std::shared_ptr<AboutRenderer>& renderer() const { return renderer_; }
    // Where new renderers take their time and seed from (tests).
    void setRendererSources(RendererSources sources) { sources_ = std::move(sources); }

    void viewDidMoveToSuperview() override;

private:
    std::shared_ptr<AboutRenderer> renderer_;
    RendererSources sources_;
};

} // namespace pelko
