#pragma once

#include "tools/render/RenderBackend.hpp"

#include <filesystem>
#include <memory>
#include <vector>

class TessarayAudioUnit;

// Runs the plug-in's audio unit the way a host does: bus formats and block limit set, render resources
// allocated, input handed over through the pull-input block, parameter changes sent as render events.
class AudioUnitBackend final : public RenderBackend {
public:
    // The unit reads its wavetables from the bundle at bundleDirectory.
    explicit AudioUnitBackend(const std::filesystem::path& bundleDirectory);
    ~AudioUnitBackend() override;

    void setParameter(uint64_t address, float value) override;
    void prepare(double sampleRate, uint32_t inputChannels, uint32_t outputChannels,
                 uint32_t maximumFrames) override;
    void process(const float* const* inputs, uint32_t inputCount, float* const* outputs, uint32_t outputCount,
                 uint32_t frames, std::span<const TimedParameter> events) override;
    AnalyserSnapshot analyser() const override;

    TessarayAudioUnit& unit() { return *unit_; }

private:
    std::shared_ptr<TessarayAudioUnit> unit_;
    double sampleTime_ = 0;
};
