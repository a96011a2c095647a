#include "gpu/Resources.hpp"

#include "gpu/Context.hpp"

#include <GLES3/gl3.h>
#include <cstring>

namespace gpu {

Buffer::Buffer(std::shared_ptr<detail::Context> context, const void* bytes, std::size_t length)
    : context_(std::move(context)), contents_(length) {
    if (bytes != nullptr && length > 0) {
        std::memcpy(contents_.data(), bytes, length);
    }
    if (context_ && context_->makeCurrent()) {
        glGenBuffers(1, &name_);
        glBindBuffer(GL_ARRAY_BUFFER, name_);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(length), contents_.data(), GL_STATIC_DRAW);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
    }
}

Buffer::~Buffer() {
    if (name_ != 0 && context_->makeCurrent()) {
        glDeleteBuffers(1, &name_);
    }
}

Texture::Texture(std::shared_ptr<detail::Context> context, const TextureDescriptor& descriptor,
                 const void* pixels)
    : context_(std::move(context)), descriptor_(descriptor) {
    if (!context_ || descriptor.width <= 0 || descriptor.height <= 0 || !context_->makeCurrent()) {
        return;
    }
    GLenum internalFormat = GL_RGBA8;
    GLenum type = GL_UNSIGNED_BYTE;
    if (descriptor.pixelFormat == PixelFormat::rgba16Float) {
        internalFormat = GL_RGBA16F;
        type = GL_HALF_FLOAT;
    } else if (descriptor.srgb) {
        internalFormat = GL_SRGB8_ALPHA8;
    }
    // BGRA8 is stored as RGBA8: the channel order is the GPU's business, readback orders it for Cairo.
    glGenTextures(1, &name_);
    glBindTexture(GL_TEXTURE_2D, name_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internalFormat), descriptor.width, descriptor.height, 0,
                 GL_RGBA, type, pixels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &name_);
        name_ = 0;
        return;
    }
    if (descriptor.usage == TextureUsage::renderTarget) {
        glGenFramebuffers(1, &framebuffer_);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, name_, 0);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            glDeleteFramebuffers(1, &framebuffer_);
            framebuffer_ = 0;
        }
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
}

Texture::~Texture() {
    if ((name_ != 0 || framebuffer_ != 0) && context_->makeCurrent()) {
        if (framebuffer_ != 0) {
            glDeleteFramebuffers(1, &framebuffer_);
        }
        if (name_ != 0) {
            glDeleteTextures(1, &name_);
        }
    }
}

} // namespace gpu
