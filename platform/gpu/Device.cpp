#include "gpu/Device.hpp"

#include "gpu/Context.hpp"
#include "graphics/Image.hpp"

#include <GLES3/gl3.h>
#include <cairo.h>
#include <cstdlib>
#include <mutex>
#include <string_view>

namespace gpu {

namespace {

bool deviceDisabledByEnvironment() {
    const char* value = std::getenv("TESSARAY_NO_GPU");
    return value != nullptr && std::string_view(value) != "" && std::string_view(value) != "0";
}

constexpr const char* presentVertexSource = R"(
void main() {
    vec2 corner = vec2(float(gl_VertexID & 1), float((gl_VertexID >> 1) & 1));
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";

// Mode 0 clamps display-encoded values; 1 encodes linear sRGB; 2 converts linear Display P3 to linear
// sRGB first. Rows are flipped so that the read-back image starts at the top, and the channels are
// swapped into Cairo's byte order (B, G, R, A on little-endian machines), premultiplied.
constexpr const char* presentFragmentSource = R"(
uniform sampler2D source;
uniform int mode;
out vec4 color;

vec3 encodeSRGB(vec3 c) {
    return mix(12.92 * c, 1.055 * pow(c, vec3(1.0 / 2.4)) - 0.055, step(vec3(0.0031308), c));
}

void main() {
    ivec2 size = textureSize(source, 0);
    ivec2 p = ivec2(gl_FragCoord.xy);
    vec4 c = texelFetch(source, ivec2(p.x, size.y - 1 - p.y), 0);
    vec3 rgb = c.rgb;
    if (mode == 2) {
        rgb = rgb * mat3(vec3(1.2249401, -0.2249404, 0.0),
                         vec3(-0.0420569, 1.0420571, 0.0),
                         vec3(-0.0196376, -0.0786361, 1.0982735));
    }
    // NaN fails every comparison: max() first so it becomes 0 rather than staying NaN.
    rgb = clamp(max(rgb, vec3(0.0)), 0.0, 1.0);
    if (mode != 0) {
        rgb = encodeSRGB(rgb);
    }
    float a = clamp(max(c.a, 0.0), 0.0, 1.0);
    color = vec4(rgb.b * a, rgb.g * a, rgb.r * a, a);
}
)";

} // namespace

struct Device::Presenter {
    std::shared_ptr<RenderPipelineState> pipeline;
    std::shared_ptr<Texture> target;
    int modeLocation = -1;
};

std::shared_ptr<Device> Device::createSystemDefaultDevice() {
    if (deviceDisabledByEnvironment()) {
        return nullptr;
    }
    static std::mutex mutex;
    static std::weak_ptr<Device> shared;
    std::lock_guard lock(mutex);
    if (auto device = shared.lock()) {
        return device;
    }
    auto context = detail::Context::create();
    if (!context) {
        return nullptr;
    }
    auto device = std::make_shared<Device>(std::move(context));
    shared = device;
    return device;
}

Device::Device(std::shared_ptr<detail::Context> context) : context_(std::move(context)) {}

Device::~Device() = default;

const std::string& Device::name() const {
    return context_->renderer();
}

std::shared_ptr<CommandQueue> Device::newCommandQueue() {
    if (failsCommandQueues_) {
        return nullptr;
    }
    return std::make_shared<CommandQueue>(context_);
}

std::shared_ptr<Library> Device::newDefaultLibrary(const core::Bundle& bundle) {
    return Library::loadDefault(bundle);
}

std::shared_ptr<RenderPipelineState>
Device::newRenderPipelineState(const RenderPipelineDescriptor& descriptor) {
    return std::make_shared<RenderPipelineState>(context_, descriptor);
}

std::shared_ptr<Buffer> Device::newBuffer(const void* bytes, std::size_t length) {
    auto buffer = std::make_shared<Buffer>(context_, bytes, length);
    return buffer->glName() != 0 ? buffer : nullptr;
}

std::shared_ptr<Texture> Device::newTexture(const TextureDescriptor& descriptor, const void* pixels) {
    auto texture = std::make_shared<Texture>(context_, descriptor, pixels);
    return texture->isValid() ? texture : nullptr;
}

bool Device::copyToImage(const Texture& texture, ColorSpace colorSpace, graphics::ImageRep& image) {
    const int width = texture.width();
    const int height = texture.height();
    cairo_surface_t* surface = image.surface();
    if (image.pixelsWide() != width || image.pixelsHigh() != height || width <= 0 || height <= 0 ||
        cairo_image_surface_get_stride(surface) != width * 4 || !context_->makeCurrent()) {
        return false;
    }
    if (!presenter_) {
        auto presenter = std::make_unique<Presenter>();
        RenderPipelineDescriptor descriptor;
        descriptor.label = "Presentation";
        descriptor.vertexFunction =
            std::make_shared<Function>("presentVertex", FunctionStage::vertex, presentVertexSource);
        descriptor.fragmentFunction =
            std::make_shared<Function>("presentFragment", FunctionStage::fragment, presentFragmentSource);
        descriptor.colorPixelFormat = PixelFormat::rgba8Unorm;
        try {
            presenter->pipeline = newRenderPipelineState(descriptor);
        } catch (const Error&) {
            return false;
        }
        presenter->modeLocation = glGetUniformLocation(presenter->pipeline->glProgram(), "mode");
        presenter_ = std::move(presenter);
    }
    auto& target = presenter_->target;
    if (!target || target->width() != width || target->height() != height) {
        target = newTexture({width, height, PixelFormat::rgba8Unorm, false, TextureUsage::renderTarget});
        if (!target) {
            return false;
        }
    }
    int mode = 0;
    const bool floating = texture.pixelFormat() == PixelFormat::rgba16Float;
    if (colorSpace == ColorSpace::extendedLinearSRGB && floating) {
        mode = 1;
    } else if (colorSpace == ColorSpace::extendedLinearDisplayP3 && floating) {
        mode = 2;
    }

    glBindFramebuffer(GL_FRAMEBUFFER, target->glFramebuffer());
    glViewport(0, 0, width, height);
    glDisable(GL_BLEND);
    glUseProgram(presenter_->pipeline->glProgram());
    glUniform1i(presenter_->modeLocation, mode);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture.glName());
    glBindSampler(0, 0);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);

    cairo_surface_flush(surface);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, cairo_image_surface_get_data(surface));
    cairo_surface_mark_dirty(surface);

    glBindTexture(GL_TEXTURE_2D, 0);
    glUseProgram(0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return glGetError() == GL_NO_ERROR;
}

} // namespace gpu
