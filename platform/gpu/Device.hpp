#pragma once

// The GPU device: an OpenGL ES 3 context on EGL that renders offscreen (the surfaceless platform
// first, a pbuffer on the default display otherwise), with the factories of everything drawn on it.
// Frames are shown by reading them back into images that views draw, so the same path serves X11
// windows and headless tests.

#include "gpu/CommandBuffer.hpp"
#include "gpu/Library.hpp"
#include "gpu/Pipeline.hpp"
#include "gpu/Resources.hpp"
#include "gpu/Types.hpp"

#include <cstddef>
#include <memory>
#include <string>

namespace core {
class Bundle;
}
namespace graphics {
class ImageRep;
}

namespace gpu {

namespace detail {
class Context;
}

class Device {
public:
    // The system's default device, shared while anyone holds it. Null when no suitable context can be
    // made, or when the environment variable TESSARAY_NO_GPU is set to anything but "" or "0" (how
    // tests and users run without a device).
    static std::shared_ptr<Device> createSystemDefaultDevice();

    explicit Device(std::shared_ptr<detail::Context> context);
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // The renderer's name, e.g. "llvmpipe (LLVM 15.0.6, 256 bits)".
    const std::string& name() const;

    // Null when the device is told to fail (tests).
    std::shared_ptr<CommandQueue> newCommandQueue();
    void setFailsToMakeCommandQueues(bool fails) { failsCommandQueues_ = fails; }

    // The bundle's default library; throws Error.
    std::shared_ptr<Library> newDefaultLibrary(const core::Bundle& bundle);
    // Throws Error when a function is missing or of the wrong stage, or compiling or linking fails.
    std::shared_ptr<RenderPipelineState> newRenderPipelineState(const RenderPipelineDescriptor& descriptor);
    std::shared_ptr<Buffer> newBuffer(const void* bytes, std::size_t length);
    // Null when the texture cannot be made (size, format or, for render targets, an incomplete framebuffer).
    std::shared_ptr<Texture> newTexture(const TextureDescriptor& descriptor, const void* pixels = nullptr);

    // Draws a texture into an image representation of the same pixel size, converted for display:
    // values are clamped to 0...1, linear colour spaces are encoded with the sRGB curve (Display P3
    // primaries converted to sRGB first), and the rows come out top first in Cairo's premultiplied
    // ARGB32 order. Returns false when sizes differ or the device cannot draw.
    bool copyToImage(const Texture& texture, ColorSpace colorSpace, graphics::ImageRep& image);

    const std::shared_ptr<detail::Context>& context() const { return context_; }

private:
    struct Presenter;
    std::shared_ptr<detail::Context> context_;
    std::unique_ptr<Presenter> presenter_;
    bool failsCommandQueues_ = false;
};

} // namespace gpu
