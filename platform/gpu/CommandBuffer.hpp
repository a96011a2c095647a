#pragma once

// Command queues, command buffers and render command encoders. Encoders record their commands (with
// copies of inline bytes); commit() runs them on the device's context, then hands every drawable given
// to presentDrawable to its presentation. The recording stays readable, so tests can check a frame.

#include "gpu/Resources.hpp"
#include "gpu/Types.hpp"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace gpu {

namespace detail {
class Context;
}
class CommandBuffer;
class CommandQueue;
class RenderPipelineState;

enum class LoadAction { dontCare, load, clear };

struct RenderPassColorAttachment {
    std::shared_ptr<Texture> texture;
    LoadAction loadAction = LoadAction::clear;
    ClearColor clearColor;
};

struct RenderPassDescriptor {
    RenderPassColorAttachment colorAttachment; // colour attachment 0, the only one
};

// A target that a frame is drawn into and that can be shown: presenting hands the texture to the
// presentation handler once the command buffer that presents it has run.
class Drawable {
public:
    using PresentHandler = std::function<void(const Drawable&)>;
    Drawable(std::shared_ptr<Texture> texture, PresentHandler handler)
        : texture_(std::move(texture)), handler_(std::move(handler)) {}

    const std::shared_ptr<Texture>& texture() const { return texture_; }
    void present() const {
        if (handler_) {
            handler_(*this);
        }
    }

private:
    std::shared_ptr<Texture> texture_;
    PresentHandler handler_;
};

// The recorded commands.
struct SetPipelineCommand {
    std::shared_ptr<const RenderPipelineState> pipeline;
};
struct SetViewportCommand {
    Viewport viewport;
};
struct SetVertexBufferCommand {
    std::shared_ptr<const Buffer> buffer;
    std::size_t offset = 0;
    int index = 0;
};
struct SetFragmentBytesCommand {
    static constexpr std::size_t capacity = 256;
    std::array<std::uint8_t, capacity> bytes{};
    std::size_t length = 0;
    int index = 0;
};
struct SetFragmentTextureCommand {
    std::shared_ptr<const Texture> texture;
    int index = 0;
};
struct DrawPrimitivesCommand {
    PrimitiveType type = PrimitiveType::triangleStrip;
    int vertexStart = 0;
    int vertexCount = 0;
};
using RenderCommand = std::variant<SetPipelineCommand, SetViewportCommand, SetVertexBufferCommand,
                                   SetFragmentBytesCommand, SetFragmentTextureCommand, DrawPrimitivesCommand>;

class RenderCommandEncoder {
public:
    const std::string& label() const { return label_; }
    void setLabel(std::string_view label) { label_.assign(label); }

    void setRenderPipelineState(std::shared_ptr<const RenderPipelineState> pipeline);
    void setViewport(const Viewport& viewport);
    void setVertexBuffer(std::shared_ptr<const Buffer> buffer, std::size_t offset, int index);
    // Copies the bytes into the command stream (at most SetFragmentBytesCommand::capacity; longer
    // inputs are refused with a log line).
    void setFragmentBytes(const void* bytes, std::size_t length, int index);
    void setFragmentTexture(std::shared_ptr<const Texture> texture, int index);
    void drawPrimitives(PrimitiveType type, int vertexStart, int vertexCount);
    void endEncoding() { ended_ = true; }

    bool hasEnded() const { return ended_; }
    const RenderPassDescriptor& pass() const { return pass_; }
    const std::vector<RenderCommand>& commands() const { return commands_; }

private:
    friend class CommandBuffer;
    void reset(const RenderPassDescriptor& pass);
    void record(RenderCommand command);

    RenderPassDescriptor pass_;
    std::string label_;
    std::vector<RenderCommand> commands_;
    bool ended_ = false;
};

class CommandBuffer {
public:
    explicit CommandBuffer(std::shared_ptr<detail::Context> context);

    const std::string& label() const { return label_; }
    void setLabel(std::string_view label) { label_.assign(label); }

    // One pass per command buffer: a second call before commit gives null, as does an unusable target.
    RenderCommandEncoder* renderCommandEncoder(const RenderPassDescriptor& pass);
    void presentDrawable(std::shared_ptr<const Drawable> drawable);
    // Runs the encoded pass (an encoder that was not ended is dropped with a log line), then presents.
    void commit();

    bool isCommitted() const { return committed_; }
    // Blocks until the GPU has finished everything committed so far on this buffer's device.
    void waitUntilCompleted() const;
    // The encoder of this buffer's pass, or null.
    const RenderCommandEncoder* encoder() const { return hasEncoder_ ? &encoder_ : nullptr; }
    const std::vector<std::shared_ptr<const Drawable>>& presentedDrawables() const { return drawables_; }

private:
    friend class CommandQueue;
    void reset();
    void execute();

    std::shared_ptr<detail::Context> context_;
    std::string label_;
    RenderCommandEncoder encoder_;
    bool hasEncoder_ = false;
    bool committed_ = false;
    bool failsEncoder_ = false;
    std::vector<std::shared_ptr<const Drawable>> drawables_;
    std::weak_ptr<CommandQueue> queue_;
    // Scratch of execute(), kept for its capacity.
    std::vector<const SetFragmentBytesCommand*> pendingBytes_;
    std::vector<std::pair<int, const Texture*>> textures_;
};

class CommandQueue : public std::enable_shared_from_this<CommandQueue> {
public:
    explicit CommandQueue(std::shared_ptr<detail::Context> context) : context_(std::move(context)) {}

    // A fresh command buffer; the queue reuses one whose last user let go of it. Null when the queue
    // is told to fail.
    std::shared_ptr<CommandBuffer> commandBuffer();

    // Called with each command buffer after it has run (tests record frames with it).
    void setCommittedHandler(std::function<void(const CommandBuffer&)> handler) {
        committedHandler_ = std::move(handler);
    }
    // Fault injection for tests: no command buffers, or command buffers that give no encoder.
    void setFailsToMakeCommandBuffers(bool fails) { failsCommandBuffers_ = fails; }
    void setFailsToMakeEncoders(bool fails) { failsEncoders_ = fails; }

private:
    std::shared_ptr<detail::Context> context_;
    std::vector<std::shared_ptr<CommandBuffer>> buffers_;
    std::function<void(const CommandBuffer&)> committedHandler_;
    bool failsCommandBuffers_ = false;
    bool failsEncoders_ = false;
    friend class CommandBuffer;
};

} // namespace gpu
