#pragma once

// What the shader kit's renderers share: their error, their running time with its pause bookkeeping,
// the sources of time and randomness they are made with, the kit's resource bundle and the quad.

#include "core/Clock.hpp"
#include "gpu/CommandBuffer.hpp"
#include "gpu/Device.hpp"
#include "gpu/ShaderView.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace core {
class Bundle;
}

namespace pelko {

// The renderers' own error: one case, a view without a usable device.
class RendererError : public std::runtime_error {
public:
    enum class Code { noValidDevice };
    explicit RendererError(Code code);
    static RendererError noValidDevice() { return RendererError(Code::noValidDevice); }
    Code code() const { return code_; }

private:
    Code code_;
};

// Where a renderer takes the time and its seed from; tests put in a manual clock and a fixed sequence.
struct RendererSources {
    std::shared_ptr<core::Clock> clock = core::Clock::steady();
    // 64-bit random values; empty takes the system's random source.
    std::function<std::uint64_t()> random;

    std::uint64_t nextRandom() const;
};

// A renderer's running time: seconds on a monotonic clock since start(), minus every pause that has
// ended. A pause in progress still counts, so a frame drawn while paused shows the advance; once
// resumed, time continues from the moment the pause began.
class RunningTime {
public:
    explicit RunningTime(std::shared_ptr<core::Clock> clock);

    void start();
    // A second pause before a resume moves the pause's start (the time between counts as running).
    void willPause();
    void willResume();

    double seconds() const;
    // The value handed to shaders.
    float input() const { return static_cast<float>(seconds()); }
    bool isPaused() const { return pauseTime_.has_value(); }
    double pausedTime() const { return pausedTime_; }

private:
    std::shared_ptr<core::Clock> clock_;
    core::Clock::TimePoint startTime_;
    std::optional<core::Clock::TimePoint> pauseTime_;
    double pausedTime_ = 0;
};

// The kit's resource bundle "PelkoShaders_PelkoShaders.bundle"; a program without it stops with
// "unable to find bundle named PelkoShaders_PelkoShaders".
std::shared_ptr<core::Bundle> kitBundle();

// The four corners (-1, -1), (-1, 1), (1, -1), (1, 1) as 32 bytes of floats, drawn as a triangle strip.
struct QuadVertexBuffer {
    std::shared_ptr<gpu::Buffer> buffer;
    int vertexCount = 4;
};
// Throws gpu::Error when the buffer cannot be made.
QuadVertexBuffer makeQuadVertexBuffer(gpu::Device& device);

// The library function of that name, or a gpu::Error that names it.
std::shared_ptr<const gpu::Function> requireFunction(const gpu::Library& library, const std::string& name);

// One frame on the view's current pass: a command buffer and its encoder, which encode() fills; then the
// encoder ends, the view's drawable is presented and the buffer committed. Without a pass, a buffer or an
// encoder nothing is drawn.
template <class Encode> void encodeFrame(gpu::ShaderView& view, gpu::CommandQueue& queue, Encode&& encode) {
    const auto* pass = view.currentRenderPassDescriptor();
    if (pass == nullptr) {
        return;
    }
    auto commandBuffer = queue.commandBuffer();
    if (!commandBuffer) {
        return;
    }
    auto* encoder = commandBuffer->renderCommandEncoder(*pass);
    if (encoder == nullptr) {
        return;
    }
    encode(*commandBuffer, *encoder);
    encoder->endEncoding();
    if (auto drawable = view.currentDrawable()) {
        commandBuffer->presentDrawable(std::move(drawable));
    }
    commandBuffer->commit();
}

} // namespace pelko
