#include "shaders/AboutRenderer.hpp"

#include "core/Bundle.hpp"
#include "gpu/TextureLoader.hpp"
#include "ui/Window.hpp"

namespace pelko {

AboutRenderer::AboutRenderer(gpu::ShaderView& view, RendererSources sources) : time_(sources.clock) {
    device_ = view.device();
    if (!device_) {
        throw RendererError::noValidDevice();
    }
    commandQueue_ = device_->newCommandQueue();
    if (!commandQueue_) {
        throw RendererError::noValidDevice();
    }
    pipelineState_ = buildRenderPipeline(view);
    const auto window = view.window();
    const double scale = window ? window->backingScaleFactor() : 1.0;
    const gpu::TextureLoader loader(device_);
    const auto bundle = kitBundle();
    logoTexture_ = loader.newTexture(logoImageName, scale, *bundle);
    noiseTexture_ = loader.newTexture(noiseImageName, scale, *bundle);
    auto quad = makeQuadVertexBuffer(*device_);
    vertexBuffer_ = std::move(quad.buffer);
    vertexCount_ = quad.vertexCount;
    const auto size = view.drawableSize();
    viewport_ = {0, 0, size.width, size.height, 0.0, 1.0};
    time_.start();
}

std::shared_ptr<gpu::RenderPipelineState> AboutRenderer::buildRenderPipeline(gpu::ShaderView& view) {
    const auto device = view.device();
    if (!device) {
        throw RendererError::noValidDevice();
    }
    // A library that cannot be read is no error of its own: the missing functions report it.
    std::shared_ptr<gpu::Library> library;
    std::string libraryProblem;
    try {
        library = device->newDefaultLibrary(*kitBundle());
    } catch (const gpu::Error& error) {
        libraryProblem = error.what();
    }
    if (!library) {
        throw gpu::Error("The shader library has no function named \"aboutVertexShader\" (" + libraryProblem +
                         ")");
    }
    gpu::RenderPipelineDescriptor descriptor;
    descriptor.label = "About View Pipeline";
    descriptor.vertexFunction = requireFunction(*library, "aboutVertexShader");
    descriptor.fragmentFunction = requireFunction(*library, "aboutFragmentShader");
    descriptor.colorPixelFormat = view.colorPixelFormat();
    return device->newRenderPipelineState(descriptor);
}

void AboutRenderer::drawableSizeWillChange(gpu::ShaderView&, graphics::Size size) {
    viewport_ = {0, 0, size.width, size.height, 0.0, 1.0};
}

void AboutRenderer::draw(gpu::ShaderView& view) {
    encodeFrame(view, *commandQueue_,
                [&](gpu::CommandBuffer& commandBuffer, gpu::RenderCommandEncoder& encoder) {
                    const std::array<float, 2> size{static_cast<float>(viewport_.width),
                                                    static_cast<float>(viewport_.height)};
                    const float time = time_.input();
                    commandBuffer.setLabel("About View Command Buffer");
                    encoder.setLabel("About View Render Encoder");

                    encoder.setRenderPipelineState(pipelineState_);
                    encoder.setViewport(viewport_);
                    encoder.setVertexBuffer(vertexBuffer_, 0, 0);
                    encoder.setFragmentBytes(size.data(), sizeof(size), 0);
                    encoder.setFragmentBytes(&time, sizeof(time), 1);
                    encoder.setFragmentTexture(logoTexture_, 0);
                    encoder.setFragmentTexture(noiseTexture_, 1);
                    encoder.drawPrimitives(gpu::PrimitiveType::triangleStrip, 0, vertexCount_);
                });
}

AboutSampleView::~AboutSampleView() {
    // The view holds its delegate weakly; clearing it first keeps a frame from reaching a dying renderer.
    setDelegate({});
}

void AboutSampleView::viewDidMoveToSuperview() {
    gpu::ShaderView::viewDidMoveToSuperview();
    setDevice(gpu::Device::createSystemDefaultDevice());
    setColorPixelFormat(gpu::PixelFormat::rgba16Float);
    setColorspace(gpu::ColorSpace::extendedLinearDisplayP3);
    setDelegate({});
    try {
        renderer_ = std::make_shared<AboutRenderer>(*this, sources_);
    } catch (const std::exception&) {
        renderer_.reset();
    }
    setDelegate(renderer_);
}

} // namespace pelko
