#pragma once

// The kit's general renderer: one quad over the whole view, drawn with a vertex and a fragment function
// chosen by name from the kit's shader library, fed the viewport size, a seed fixed at creation and
// the running time. The main window's strip is one ("Main", the audio waveform functions).

#include "gpu/ShaderView.hpp"
#include "shaders/ShaderKit.hpp"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace pelko {

class MetalShaderRenderer : public gpu::ShaderViewDelegate {
public:
    // For a view that already has its device. Throws RendererError (no device, no command queue) or
    // gpu::Error (library, a missing function named in the message, compilation, pipeline, buffer).
    MetalShaderRenderer(gpu::ShaderView& view, std::string name, std::string vertxShaderName,
                        std::string fragmentShaderName, RendererSources sources = {});

    void drawableSizeWillChange(gpu::ShaderView& view, graphics::Size size) override;
    void draw(gpu::ShaderView& view) override;

    void willPause() { time_.willPause(); }
    void willResume() { time_.willResume(); }

    // The viewport's width and height: fragment input 0.
    std::array<float, 2> viewSize() const;
    const gpu::Viewport& viewport() const { return viewport_; }
    std::uint32_t seed() const { return seed_; }
    const std::string& name() const { return name_; }
    const RunningTime& runningTime() const { return time_; }
    const std::shared_ptr<gpu::CommandQueue>& commandQueue() const { return commandQueue_; }

    // The kit's shared pipeline builder: the two functions from the kit bundle's library, labelled
    // "Shader Pipeline", drawing into RGBA16F whatever the view's format.
    static std::shared_ptr<gpu::RenderPipelineState>
    buildRenderPipeline(gpu::Device& device, const std::string& vertexFunctionName,
                        const std::string& fragmentFunctionName);

private:
    std::uint32_t seed_;
    RunningTime time_;
    std::string name_;
    std::string commandBufferLabel_;
    std::shared_ptr<gpu::Device> device_;
    std::shared_ptr<gpu::CommandQueue> commandQueue_;
    std::shared_ptr<gpu::RenderPipelineState> pipelineState_;
    std::shared_ptr<gpu::Buffer> vertexBuffer_;
    int vertexCount_ = 4;
    gpu::Viewport viewport_;
};

} // namespace pelko
