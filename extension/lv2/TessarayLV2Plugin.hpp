#pragma once

#include "extension/TessarayAudioUnit.hpp"
#include "extension/lv2/EditorChangeExchange.hpp"
#include "extension/lv2/TessarayLV2.hpp"
#include "lv2/ControlPorts.hpp"
#include "lv2/Plugin.hpp"

#include <array>
#include <atomic>
#include <lv2/atom/forge.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The effect as an LV2 plug-in: the audio unit behind the host's ports. Port values reach the unit as
// render events; the bypass port drives the unit's bypass; the state carries the current preset's name.
// An editor reaches the kernel's shared state through the editor access (in the host's process), or reads
// the analyser and the preset name from the notification port.
class TessarayLV2Plugin : public lv2::Plugin {
public:
    static constexpr const char* kURI = tessaray_lv2::kPluginURI;
    static constexpr bool kHasState = true;

    // Makes the unit on the calling thread and allocates its render resources at the host's rate, with
    // wavetables from the plug-in's bundle directory. Throws when the unit cannot be made or prepared.
    static std::unique_ptr<lv2::Plugin> instantiate(const lv2::InstantiateArguments& arguments);
    // The editor access (tessaray_lv2::EditorAccess) for kEditorAccessURI, else null.
    static const void* pluginExtensionData(const char* uri);

    // Without a map the notification port stays empty.
    TessarayLV2Plugin(double sampleRate, const char* bundlePath, uint32_t maximumBlock,
                      const LV2_URID_Map* map = nullptr);
    ~TessarayLV2Plugin() override;

    void connectPort(uint32_t port, void* location) override;
    void activate() override;
    void run(uint32_t frames) override;

    LV2_State_Status save(const LV2_URID_Map* map, const lv2::StateWriter& writer) override;
    LV2_State_Status restore(const LV2_URID_Map* map, const lv2::StateReader& reader) override;

    TessarayAudioUnit& audioUnit() { return *unit_; }
    uint32_t maximumBlock() const { return maximumBlock_; }

    // Editor side, any thread but the audio thread.
    uint32_t presetNameSequence() const { return nameSequence_.load(std::memory_order_acquire) / 2; }
    std::string presetName() const { return unit_->currentPresetName(); }
    void setPresetName(std::string name) { unit_->setCurrentPresetName(std::move(name)); }
    // The one taker of the kernel's changed-parameter word, for every editor attached to this instance.
    tessaray_lv2::EditorChangeExchange& editorChanges() { return editorChanges_; }

private:
    void renderChunk(uint32_t offset, uint32_t frames, const audiounit::RenderEvent* events);
    // Keeps a copy of the name that run() can read without a lock (a sequence lock: even while stable).
    void publishPresetName(const std::string& name);
    bool readPresetName(uint32_t& sequence, uint32_t& length);
    void writeNotifications(uint32_t frames);

    std::shared_ptr<TessarayAudioUnit> unit_;
    tessaray_lv2::EditorChangeExchange editorChanges_;
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

    // The notification port and what run() last sent on it.
    LV2_Atom_Sequence* notify_ = nullptr;
    struct URIDs {
        LV2_URID atomSequence = 0, atomFloat = 0, analyser = 0, bandCount = 0, rangeLo = 0, rangeHi = 0,
                 bandLevels = 0, presetNameMessage = 0, presetName = 0;
    } urids_;
    LV2_Atom_Forge forge_{};
    // Frames live as long as the forge that points at them.
    LV2_Atom_Forge_Frame sequenceFrame_{};
    LV2_Atom_Forge_Frame objectFrame_{};
    bool canNotify_ = false;
    uint32_t notifyInterval_ = 1;
    uint32_t framesSinceNotify_ = 0;
    uint32_t ticksSinceRefresh_ = 0;
    bool analyserSent_ = false;
    int32_t sentBandCount_ = 0;
    float sentRange_[2] = {};
    std::array<float, DSPSharedState::kBands> sentLevels_{};
    std::array<float, DSPSharedState::kBands> levels_{};
    uint32_t sentNameSequence_ = 1; // odd: never a stable sequence, so the first name is always sent

    // The preset name for run(): words written under the sequence lock by publishPresetName().
    std::mutex nameWriters_;
    std::atomic<uint32_t> nameSequence_{0};
    std::atomic<uint32_t> nameLength_{0};
    std::array<std::atomic<uint32_t>, tessaray_lv2::kPresetNameCapacity / 4> nameWords_{};
    std::array<char, tessaray_lv2::kPresetNameCapacity> nameCopy_{};
};
