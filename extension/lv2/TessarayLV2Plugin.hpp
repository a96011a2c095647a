#pragma once

#include "extension/TessarayAudioUnit.hpp"
#include "extension/lv2/TessarayLV2.hpp"
#include "lv2/ControlPorts.hpp"
#include "lv2/Plugin.hpp"

#include <array>
#include <memory>
#include <vector>

// The effect as an LV2 plug-in: the audio unit behind the host's ports. Port values reach the unit as
// render events; the bypass port drives the unit's bypass; the state carries the current preset's name.
class TessarayLV2Plugin : public lv2::Plugin {
public:
    static constexpr const char* kURI = tessaray_lv2::kPluginURI;
    static constexpr bool kHasState = true;

    // Makes the unit on the calling thread and allocates its render resources at the host's rate, with
    // wavetables from the plug-in's bundle directory. Throws when the unit cannot be made or prepared.
    static std::unique_ptr<lv2::Plugin> instantiate(const lv2::InstantiateArguments& arguments);

    TessarayLV2Plugin(double sampleRate, const char* bundlePath, uint32_t maximumBlock);
    ~TessarayLV2Plugin() override;

    void connectPort(uint32_t port, void* location) override;
    void activate() override;
    void run(uint32_t frames) override;

    LV2_State_Status save(const LV2_URID_Map* map, const lv2::StateWriter& writer) override;
    LV2_State_Status restore(const LV2_URID_Map* map, const lv2::StateReader& reader) override;

    TessarayAudioUnit& audioUnit() { return *unit_; }
    uint32_t maximumBlock() const { return maximumBlock_; }

private:
    void renderChunk(uint32_t offset, uint32_t frames, const audiounit::RenderEvent* events);

    std::shared_ptr<TessarayAudioUnit> unit_;
    TessarayAudioUnit::RenderBlock renderBlock_;
    uint32_t maximumBlock_;

    std::array<const float*, 2> inputs_{};
    std::array<float*, 2> outputs_{};
    const float* enabled_ = nullptr;
    lv2::ControlPorts parameters_{kParameterCount};

    // Pre-allocated so that run never allocates: silence for missing inputs, a sink for missing outputs and
    // one event per parameter.
    std::vector<float> silence_;
    std::vector<float> sink_;
    std::array<audiounit::RenderEvent, kParameterCount> events_{};

    bool startFromPorts_ = true;
    int64_t sampleTime_ = 0;
};
