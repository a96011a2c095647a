#include "gpu/CommandBuffer.hpp"

#include "core/Log.hpp"
#include "gpu/Context.hpp"
#include "gpu/Pipeline.hpp"

#include <GLES3/gl3.h>
#include <cmath>
#include <cstring>

namespace gpu {

namespace {

GLenum glPrimitive(PrimitiveType type) {
    switch (type) {
    case PrimitiveType::point:
        return GL_POINTS;
    case PrimitiveType::line:
        return GL_LINES;
    case PrimitiveType::lineStrip:
        return GL_LINE_STRIP;
    case PrimitiveType::triangle:
        return GL_TRIANGLES;
    case PrimitiveType::triangleStrip:
        return GL_TRIANGLE_STRIP;
    }
    return GL_TRIANGLE_STRIP;
}

// Sets one fragment input from its bytes; a length that does not match the uniform is refused.
bool setUniform(const RenderPipelineState::Input& input, const SetFragmentBytesCommand& command) {
    if (command.length != input.byteLength) {
        return false;
    }
    const void* data = command.bytes.data();
    // The bytes are copied out first: the command's array has no alignment promise for floats.
    std::array<std::uint32_t, SetFragmentBytesCommand::capacity / 4> words{};
    std::memcpy(words.data(), data, command.length);
    const auto* floats = reinterpret_cast<const GLfloat*>(words.data());
    const auto* ints = reinterpret_cast<const GLint*>(words.data());
    const auto* uints = reinterpret_cast<const GLuint*>(words.data());
    switch (input.type) {
    case GL_FLOAT:
        glUniform1fv(input.location, input.count, floats);
        return true;
    case GL_FLOAT_VEC2:
        glUniform2fv(input.location, input.count, floats);
        return true;
    case GL_FLOAT_VEC3:
        glUniform3fv(input.location, input.count, floats);
        return true;
    case GL_FLOAT_VEC4:
        glUniform4fv(input.location, input.count, floats);
        return true;
    case GL_INT:
    case GL_BOOL:
        glUniform1iv(input.location, input.count, ints);
        return true;
    case GL_UNSIGNED_INT:
        glUniform1uiv(input.location, input.count, uints);
        return true;
    case GL_FLOAT_MAT4:
        glUniformMatrix4fv(input.location, input.count, GL_FALSE, floats);
        return true;
    default:
        return false;
    }
}

} // namespace

// MARK: Encoder

void RenderCommandEncoder::reset(const RenderPassDescriptor& pass) {
    pass_ = pass;
    label_.clear();
    commands_.clear();
    ended_ = false;
}

void RenderCommandEncoder::record(RenderCommand command) {
    if (ended_) {
        core::log("gpu: a command was encoded after endEncoding and is dropped");
        return;
    }
    commands_.push_back(std::move(command));
}

void RenderCommandEncoder::setRenderPipelineState(std::shared_ptr<const RenderPipelineState> pipeline) {
    record(SetPipelineCommand{std::move(pipeline)});
}

void RenderCommandEncoder::setViewport(const Viewport& viewport) {
    record(SetViewportCommand{viewport});
}

void RenderCommandEncoder::setVertexBuffer(std::shared_ptr<const Buffer> buffer, std::size_t offset,
                                           int index) {
    record(SetVertexBufferCommand{std::move(buffer), offset, index});
}

void RenderCommandEncoder::setFragmentBytes(const void* bytes, std::size_t length, int index) {
    if (length > SetFragmentBytesCommand::capacity || (bytes == nullptr && length > 0)) {
        core::log("gpu: %zu fragment bytes at index %d are refused", length, index);
        return;
    }
    SetFragmentBytesCommand command;
    if (length > 0) {
        std::memcpy(command.bytes.data(), bytes, length);
    }
    command.length = length;
    command.index = index;
    record(command);
}

void RenderCommandEncoder::setFragmentTexture(std::shared_ptr<const Texture> texture, int index) {
    record(SetFragmentTextureCommand{std::move(texture), index});
}

void RenderCommandEncoder::drawPrimitives(PrimitiveType type, int vertexStart, int vertexCount) {
    record(DrawPrimitivesCommand{type, vertexStart, vertexCount});
}

// MARK: Command buffer

CommandBuffer::CommandBuffer(std::shared_ptr<detail::Context> context) : context_(std::move(context)) {}

void CommandBuffer::reset() {
    label_.clear();
    hasEncoder_ = false;
    committed_ = false;
    failsEncoder_ = false;
    drawables_.clear();
    encoder_.reset({});
}

RenderCommandEncoder* CommandBuffer::renderCommandEncoder(const RenderPassDescriptor& pass) {
    const auto& target = pass.colorAttachment.texture;
    if (failsEncoder_ || hasEncoder_ || committed_ || !target || target->glFramebuffer() == 0) {
        return nullptr;
    }
    encoder_.reset(pass);
    hasEncoder_ = true;
    return &encoder_;
}

void CommandBuffer::presentDrawable(std::shared_ptr<const Drawable> drawable) {
    if (drawable && !committed_) {
        drawables_.push_back(std::move(drawable));
    }
}

void CommandBuffer::commit() {
    if (committed_) {
        return;
    }
    committed_ = true;
    if (hasEncoder_) {
        if (encoder_.hasEnded()) {
            execute();
        } else {
            core::log("gpu: command buffer \"%s\" was committed with an open encoder; its pass is dropped",
                      label_.c_str());
        }
    }
    for (const auto& drawable : drawables_) {
        drawable->present();
    }
    if (auto queue = queue_.lock(); queue && queue->committedHandler_) {
        queue->committedHandler_(*this);
    }
}

void CommandBuffer::waitUntilCompleted() const {
    if (committed_ && context_ && context_->makeCurrent()) {
        glFinish();
    }
}

void CommandBuffer::execute() {
    if (!context_ || !context_->makeCurrent()) {
        return;
    }
    const auto& attachment = encoder_.pass().colorAttachment;
    const Texture& target = *attachment.texture;
    glBindFramebuffer(GL_FRAMEBUFFER, target.glFramebuffer());
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_SCISSOR_TEST);
    glViewport(0, 0, target.width(), target.height());
    if (attachment.loadAction == LoadAction::clear) {
        const auto& c = attachment.clearColor;
        glClearColor(static_cast<GLfloat>(c.red), static_cast<GLfloat>(c.green), static_cast<GLfloat>(c.blue),
                     static_cast<GLfloat>(c.alpha));
        glClear(GL_COLOR_BUFFER_BIT);
    }

    const RenderPipelineState* pipeline = nullptr;
    const Buffer* vertexBuffer = nullptr;
    std::size_t vertexOffset = 0;
    bool formatMismatch = false;
    // Bytes set before the pipeline are applied once it is known (the encoder allows either order).
    auto& pendingBytes = pendingBytes_;
    auto& textures = textures_;
    pendingBytes.clear();
    textures.clear();
    for (const auto& command : encoder_.commands()) {
        if (const auto* set = std::get_if<SetPipelineCommand>(&command)) {
            pipeline = set->pipeline.get();
            formatMismatch = pipeline != nullptr && pipeline->colorPixelFormat() != target.pixelFormat();
            if (formatMismatch) {
                core::log("gpu: pipeline \"%s\" does not match the format of its pass; nothing is drawn",
                          pipeline->label().c_str());
            }
            glUseProgram(pipeline != nullptr ? pipeline->glProgram() : 0);
        } else if (const auto* viewport = std::get_if<SetViewportCommand>(&command)) {
            const auto& v = viewport->viewport;
            // The encoder's viewport has its origin at the top left; GL's at the bottom left.
            const double bottom = target.height() - (v.originY + v.height);
            glViewport(static_cast<GLint>(std::lround(v.originX)), static_cast<GLint>(std::lround(bottom)),
                       static_cast<GLsizei>(std::lround(v.width)),
                       static_cast<GLsizei>(std::lround(v.height)));
            glDepthRangef(static_cast<GLfloat>(v.znear), static_cast<GLfloat>(v.zfar));
        } else if (const auto* vertex = std::get_if<SetVertexBufferCommand>(&command)) {
            if (vertex->index == 0) {
                vertexBuffer = vertex->buffer.get();
                vertexOffset = vertex->offset;
            }
        } else if (const auto* bytes = std::get_if<SetFragmentBytesCommand>(&command)) {
            pendingBytes.push_back(bytes);
        } else if (const auto* texture = std::get_if<SetFragmentTextureCommand>(&command)) {
            textures.emplace_back(texture->index, texture->texture.get());
        } else if (const auto* draw = std::get_if<DrawPrimitivesCommand>(&command)) {
            if (pipeline == nullptr || formatMismatch || vertexBuffer == nullptr ||
                vertexBuffer->glName() == 0) {
                continue;
            }
            for (const auto* input : pendingBytes) {
                if (const auto* uniform = pipeline->fragmentInput(input->index); uniform != nullptr) {
                    if (!setUniform(*uniform, *input)) {
                        core::log("gpu: %zu bytes do not fit fragment input %d of pipeline \"%s\"",
                                  input->length, input->index, pipeline->label().c_str());
                    }
                }
            }
            for (const auto& [index, texture] : textures) {
                const auto* slot = pipeline->fragmentTexture(index);
                if (slot == nullptr) {
                    continue;
                }
                glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(index));
                glBindTexture(GL_TEXTURE_2D, texture != nullptr ? texture->glName() : 0);
                glBindSampler(static_cast<GLuint>(index), slot->sampler);
            }
            glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer->glName());
            glEnableVertexAttribArray(0);
            glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 8,
                                  reinterpret_cast<const void*>(static_cast<std::uintptr_t>(vertexOffset)));
            glDrawArrays(glPrimitive(draw->type), draw->vertexStart, draw->vertexCount);
        }
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glUseProgram(0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

// MARK: Queue

std::shared_ptr<CommandBuffer> CommandQueue::commandBuffer() {
    if (failsCommandBuffers_) {
        return nullptr;
    }
    std::shared_ptr<CommandBuffer> buffer;
    for (const auto& spare : buffers_) {
        if (spare.use_count() == 1) {
            buffer = spare;
            break;
        }
    }
    if (!buffer) {
        buffer = std::make_shared<CommandBuffer>(context_);
        buffers_.push_back(buffer);
    }
    buffer->reset();
    buffer->failsEncoder_ = failsEncoders_;
    buffer->queue_ = weak_from_this();
    return buffer;
}

} // namespace gpu
