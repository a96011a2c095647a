#include "shaders/SupporterShaderRenderer.hpp"

#include "shaders/MetalShaderRenderer.hpp"

namespace pelko {

SupporterShaderRenderer::SupporterShaderRenderer(gpu::ShaderView& view, std::string name, float scale,
                                                 RendererSources sources)
    : time_(sources.clock), name_(std::move(name)), commandBufferLabel_(name_ + " Command Buffer"),
      scale_(scale > 0 ? scale : 1.0f) {
    device_ = view.device();
    if (!device_) {
        throw RendererError::noValidDevice();
    }
    commandQueue_ = device_->newCommandQueue();
    if (!commandQueue_) {
        throw RendererError::noValidDevice();
    }
    pipelineState_ = MetalShaderRenderer::buildRenderPipeline(*device_, "supporterVertexShader",
                                                              "supporterFragmentShader");
    vertexBuffer_ = makeQuadVertexBuffer(*device_).buffer;
    const auto size = view.drawableSize();
    viewport_ = {0, 0, size.width, size.height, 0.0, 1.0};
    time_.start();
}

void SupporterShaderRenderer::drawableSizeWillChange(gpu::ShaderView&, graphics::Size size) {
    viewport_ = {0, 0, size.width, size.height, 0.0, 1.0};
}

std::array<float, 2> SupporterShaderRenderer::viewSize() const {
    return {static_cast<float>(viewport_.width), static_cast<float>(viewport_.height)};
}

void SupporterShaderRenderer::recordSwitchEvent(int index) {
    if (!isSwitchIndex(index)) {
        return;
    }
    for (std::size_t i = switchCount - 1; i > 0; --i) {
        switchHistory_[i] = switchHistory_[i - 1];
        switchHistoryTime_[i] = switchHistoryTime_[i - 1];
    }
    switchHistoryTime_[0] = time_.input();
    switchHistory_[0] = static_cast<float>(index);
}

void SupporterShaderRenderer::switchOn(int index) {
    if (!isSwitchIndex(index) || switchOnState_[static_cast<std::size_t>(index)] == 1.0f) {
        return;
    }
    switchOnState_[static_cast<std::size_t>(index)] = 1.0f;
    recordSwitchEvent(index);
}

void SupporterShaderRenderer::switchOff(int index) {
    if (isSwitchIndex(index)) {
        switchOnState_[static_cast<std::size_t>(index)] = 0.0f;
    }
}

void SupporterShaderRenderer::switchDown(int index) {
    if (isSwitchIndex(index)) {
        switchDownState_[static_cast<std::size_t>(index)] = 1.0f;
    }
}

void SupporterShaderRenderer::switchUp(int index) {
    if (isSwitchIndex(index)) {
        switchDownState_[static_cast<std::size_t>(index)] = 0.0f;
    }
}

void SupporterShaderRenderer::draw(gpu::ShaderView& view) {
    encodeFrame(view, *commandQueue_,
                [&](gpu::CommandBuffer& commandBuffer, gpu::RenderCommandEncoder& encoder) {
                    const auto size = viewSize();
                    const float time = time_.input();
                    commandBuffer.setLabel(commandBufferLabel_);

                    encoder.setRenderPipelineState(pipelineState_);
                    encoder.setViewport(viewport_);
                    encoder.setVertexBuffer(vertexBuffer_, 0, 0);
                    encoder.setFragmentBytes(size.data(), sizeof(size), 0);
                    encoder.setFragmentBytes(&time, sizeof(time), 1);
                    encoder.setFragmentBytes(&scale_, sizeof(scale_), 2);
                    // The arrays travel inline with the frame, so a change between two frames shows in the
                    // next one.
                    encoder.setFragmentBytes(switchOnState_.data(), animationBufferSize, 3);
                    encoder.setFragmentBytes(switchDownState_.data(), animationBufferSize, 4);
                    encoder.setFragmentBytes(switchHistory_.data(), animationBufferSize, 5);
                    encoder.setFragmentBytes(switchHistoryTime_.data(), animationBufferSize, 6);
                    encoder.drawPrimitives(gpu::PrimitiveType::triangleStrip, 0, 4);
                });
}

} // namespace pelko
