#pragma once

// The six-switch panel's renderer: the full-view quad drawn with "supporterVertexShader" and
// "supporterFragmentShader", fed the viewport size, the running time, the screen's scale and four
// six-entry arrays: which switches are on, which are held down, and the last six switch-on events
// (newest first) with their times. Switch indices outside 0...5 are ignored.

#include "gpu/ShaderView.hpp"
#include "shaders/ShaderKit.hpp"

#include <array>
#include <memory>
#include <string>

namespace pelko {

class SupporterShaderRenderer : public gpu::ShaderViewDelegate {
public:
    using SwitchArray = std::array<float, 6>;
    static constexpr int switchCount = 6;
    // The byte length of each array as the shader takes it.
    static constexpr std::size_t animationBufferSize = sizeof(SwitchArray);

    // For a view that already has its device; scale is the main screen's backing scale (1 without a
    // screen). Throws RendererError (no device or command queue) or gpu::Error (library, a missing
    // function named in the message, pipeline, buffer).
    SupporterShaderRenderer(gpu::ShaderView& view, std::string name, float scale = 1.0f,
                            RendererSources sources = {});

    void drawableSizeWillChange(gpu::ShaderView& view, graphics::Size size) override;
    void draw(gpu::ShaderView& view) override;

    void willPause() { time_.willPause(); }
    void willResume() { time_.willResume(); }
    std::array<float, 2> viewSize() const;

    // Shifts the history by one (the oldest entry drops out) and puts the switch, with the current
    // time input, first.
    void recordSwitchEvent(int index);
    // Turning a switch on records an event unless it is on already; turning it off records none.
    void switchOn(int index);
    void switchOff(int index);
    void switchDown(int index);
    void switchUp(int index);
    // Replaces the on states without recording events.
    void setSwitchOnState(const SwitchArray& state) { switchOnState_ = state; }

    const SwitchArray& switchOnState() const { return switchOnState_; }
    const SwitchArray& switchDownState() const { return switchDownState_; }
    const SwitchArray& switchHistory() const { return switchHistory_; }
    const SwitchArray& switchHistoryTime() const { return switchHistoryTime_; }
    float scale() const { return scale_; }
    // The screen's scale changed (the window moved to another screen or the screen's scale changed);
    // anything not positive counts as 1.
    void setScale(float scale) { scale_ = scale > 0 ? scale : 1.0f; }
    const gpu::Viewport& viewport() const { return viewport_; }
    const RunningTime& runningTime() const { return time_; }
    const std::shared_ptr<gpu::CommandQueue>& commandQueue() const { return commandQueue_; }

    static bool isSwitchIndex(int index) { return index >= 0 && index < switchCount; }

private:
    SwitchArray switchOnState_{};
    SwitchArray switchDownState_{};
    SwitchArray switchHistory_{-1, -1, -1, -1, -1, -1};
    SwitchArray switchHistoryTime_{};
    RunningTime time_;
    std::string name_;
    std::string commandBufferLabel_;
    float scale_;
    std::shared_ptr<gpu::Device> device_;
    std::shared_ptr<gpu::CommandQueue> commandQueue_;
    std::shared_ptr<gpu::RenderPipelineState> pipelineState_;
    std::shared_ptr<gpu::Buffer> vertexBuffer_;
    gpu::Viewport viewport_;
};

} // namespace pelko
