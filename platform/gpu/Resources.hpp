#pragma once

// Buffers and textures of a device. Both keep the device's context alive; their GL objects are deleted
// with the context current.

#include "gpu/Types.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace gpu {

namespace detail {
class Context;
}

// A block of bytes readable by the CPU (the contents) and, for vertex data, by the GPU.
class Buffer {
public:
    Buffer(std::shared_ptr<detail::Context> context, const void* bytes, std::size_t length);
    ~Buffer();
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    std::size_t length() const { return contents_.size(); }
    const std::uint8_t* contents() const { return contents_.data(); }
    unsigned glName() const { return name_; }

private:
    std::shared_ptr<detail::Context> context_;
    std::vector<std::uint8_t> contents_;
    unsigned name_ = 0;
};

enum class TextureUsage { shaderRead, renderTarget };

struct TextureDescriptor {
    int width = 0;
    int height = 0;
    PixelFormat pixelFormat = PixelFormat::rgba8Unorm;
    // sRGB-encoded 8-bit data: sampling returns linear values.
    bool srgb = false;
    TextureUsage usage = TextureUsage::shaderRead;
};

// A 2D texture without mipmaps. Render targets also carry a framebuffer that draws into them.
class Texture {
public:
    // pixels: rows top first, tightly packed in the format (RGBA bytes or RGBA half floats); may be null.
    Texture(std::shared_ptr<detail::Context> context, const TextureDescriptor& descriptor,
            const void* pixels);
    ~Texture();
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    int width() const { return descriptor_.width; }
    int height() const { return descriptor_.height; }
    PixelFormat pixelFormat() const { return descriptor_.pixelFormat; }
    bool isSRGB() const { return descriptor_.srgb; }
    unsigned glName() const { return name_; }
    // The framebuffer of a render target, 0 for other textures.
    unsigned glFramebuffer() const { return framebuffer_; }
    bool isValid() const {
        return name_ != 0 && (descriptor_.usage != TextureUsage::renderTarget || framebuffer_ != 0);
    }

private:
    std::shared_ptr<detail::Context> context_;
    TextureDescriptor descriptor_;
    unsigned name_ = 0;
    unsigned framebuffer_ = 0;
};

} // namespace gpu
