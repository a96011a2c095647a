#include "shaders/MetalShaderRenderer.hpp"

#include "core/Bundle.hpp"

namespace pelko {

MetalShaderRenderer::MetalShaderRenderer(gpu::ShaderView& view, std::string name, std::string vertxShaderName,
                                         std::string fragmentShaderName, RendererSources sources)
    : seed_(static_cast<std::uint32_t>(sources.nextRandom())), time_(sources.clock), name_(std::move(name)),
      commandBufferLabel_(name_ + " Command Buffer") {
    device_ = view.device();
    if (!device_) {
        throw RendererError::noValidDevice();
    }
    commandQueue_ = device_->newCommandQueue();
    if (!commandQueue_) {
        throw RendererError::noValidDevice();
    }
    pipelineState_ = buildRenderPipeline(*device_, vertxShaderName, fragmentShaderName);
    auto quad = makeQuadVertexBuffer(*device_);
    vertexBuffer_ = std::move(quad.buffer);
    vertexCount_ = quad.vertexCount;
    const auto size = view.drawableSize();
    viewport_ = {0, 0, size.width, size.height, 0.0, 1.0};
    time_.start();
}

std::shared_ptr<gpu::RenderPipelineState>
MetalShaderRenderer::buildRenderPipeline(gpu::Device& device, const std::string& vertexFunctionName,
                                         const std::string& fragmentFunctionName) {
    const auto bundle = kitBundle();
    const auto library = device.newDefaultLibrary(*bundle);
    gpu::RenderPipelineDescriptor descriptor;
    descriptor.label = "Shader Pipeline";
    descriptor.vertexFunction = requireFunction(*library, vertexFunctionName);
    descriptor.fragmentFunction = requireFunction(*library, fragmentFunctionName);
    descriptor.colorPixelFormat = gpu::PixelFormat::rgba16Float;
    return device.newRenderPipelineState(descriptor);
}

void MetalShaderRenderer::drawableSizeWillChange(gpu::ShaderView&, graphics::Size size) {
    viewport_ = {0, 0, size.width, size.height, 0.0, 1.0};
}

std::array<float, 2> MetalShaderRenderer::viewSize() const {
    return {static_cast<float>(viewport_.width), static_cast<float>(viewport_.height)};
}

void MetalShaderRenderer::draw(gpu::ShaderView& view) {
    encodeFrame(view, *commandQueue_,
                [&](gpu::CommandBuffer& commandBuffer, gpu::RenderCommandEncoder& encoder) {
                    const auto size = viewSize();
                    const float time = time_.input();
                    commandBuffer.setLabel(commandBufferLabel_);

                    encoder.setRenderPipelineState(pipelineState_);
                    encoder.setViewport(viewport_);
                    encoder.setVertexBuffer(vertexBuffer_, 0, 0);
                    encoder.setFragmentBytes(size.data(), sizeof(size), 0);
                    encoder.setFragmentBytes(&seed_, sizeof(seed_), 1);
                    encoder.setFragmentBytes(&time, sizeof(time), 2);
                    encoder.drawPrimitives(gpu::PrimitiveType::triangleStrip, 0, 4);
                });
}

} // namespace pelko
