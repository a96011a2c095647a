#pragma once

#include "ZeltoCore/ParameterSettings.hpp"
#include "ZeltoCore/UpdateAvailableDetails.hpp"
#include "core/Observation.hpp"
#include "extension/FactoryPreset.hpp"
#include "extension/ParameterTable.hpp"
#include "extension/UpdateCheck.hpp"

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// The kit's parameter model, by its plain names in the plug-in's code.
using audiounit::AudioUnitParameterUnit;
using zelto::AudioParameter;
using zelto::CorviAudioUnit;
using zelto::ParameterEditor;
using zelto::ParameterEditorState;
using zelto::ParameterSettings;
using zelto::UpdateAvailableDetails;

class TessarayAudioUnit;
namespace core {
class Timer;
}
namespace ui {
class Window;
class Responder;
} // namespace ui

// The plug-in's parameter set and the editor's model: the 18 parameters, the factory presets and the
// current one, the analyser values polled from the kernel 60 times a second, and news of a newer version.
// Used on the main thread, except where a member says otherwise.
class Settings : public ParameterSettings {
public:
    static std::shared_ptr<Settings> create();
    ~Settings() override;

    // Written by the editor's view controller; never owned.
    std::weak_ptr<ui::Window> pluginWindow;
    std::weak_ptr<ui::Responder> pluginMainResponder;

    // Any thread; null when unattached or once the unit is gone.
    std::shared_ptr<TessarayAudioUnit> vantrelAudioUnit() const {
        return vantrelAudioUnit_.load(std::memory_order_acquire).lock();
    }
    const std::shared_ptr<core::Timer>& pollTimer() const { return pollTimer_; }

    // Observed properties; each notifies only on change, except updateDetails, which notifies on every write.
    core::AlwaysObserved<std::optional<UpdateAvailableDetails>> updateDetails;
    const std::vector<FactoryPreset> factoryPresets;
    core::Observed<std::vector<float>> analyzerBandAmps;
    core::Observed<float> analyzerRangeLo{0.0f};
    core::Observed<float> analyzerRangeHi{0.0f};
    core::Observed<std::optional<int>> currentPresetIndex;
    // True from the start of a preset application until the main queue has run once after it.
    core::Observed<bool> isApplyingPreset{false};

    // The parameters, in the order of the parameter table. Each is an observed property compared by object
    // identity: reading one registers the reader, replacing the object notifies. parameterField(i) is the
    // property itself, for binding a control to it.
    const std::shared_ptr<AudioParameter>& bands() const { return fields_[0].get(); }
    void setBands(std::shared_ptr<AudioParameter> p) { fields_[0].set(std::move(p)); }
    const std::shared_ptr<AudioParameter>& lowFrequency() const { return fields_[1].get(); }
    void setLowFrequency(std::shared_ptr<AudioParameter> p) { fields_[1].set(std::move(p)); }
    const std::shared_ptr<AudioParameter>& highFrequency() const { return fields_[2].get(); }
    void setHighFrequency(std::shared_ptr<AudioParameter> p) { fields_[2].set(std::move(p)); }
    const std::shared_ptr<AudioParameter>& slice() const { return fields_[3].get(); }
    void setSlice(std::shared_ptr<AudioParameter> p) { fields_[3].set(std::move(p)); }
    const std::shared_ptr<AudioParameter>& blur() const { return fields_[4].get(); }
    void setBlur(std::shared_ptr<AudioParameter> p) { fields_[4].set(std::move(p)); }
    const std::shared_ptr<AudioParameter>& feedback() const { return fields_[5].get(); }
    void setFeedback(std::shared_ptr<AudioParameter> p) { fields_[5].set(std::move(p)); }
    const std::shared_ptr<AudioParameter>& inputGain() const { return fields_[6].get(); }
    void setInputGain(std::shared_ptr<AudioParameter> p) { fields_[6].set(std::move(p)); }
    const std::shared_ptr<AudioParameter>& outputGain() const { return fields_[7].get(); }
    void setOutputGain(std::shared_ptr<AudioParameter> p) { fields_[7].set(std::move(p)); }
    const std::shared_ptr<AudioParameter>& mix() const { return fields_[8].get(); }
    void setMix(std::shared_ptr<AudioParameter> p) { fields_[8].set(std::move(p)); }
    const std::shared_ptr<AudioParameter>& morphX() const { return fields_[9].get(); }
    void setMorphX(std::shared_ptr<AudioParameter> p) { fields_[9].set(std::move(p)); }
    const std::shared_ptr<AudioParameter>& morphY() const { return fields_[10].get(); }
    void setMorphY(std::shared_ptr<AudioParameter> p) { fields_[10].set(std::move(p)); }
    const std::shared_ptr<AudioParameter>& octave() const { return fields_[11].get(); }
    void setOctave(std::shared_ptr<AudioParameter> p) { fields_[11].set(std::move(p)); }
    const std::shared_ptr<AudioParameter>& note() const { return fields_[12].get(); }
    void setNote(std::shared_ptr<AudioParameter> p) { fields_[12].set(std::move(p)); }
    const std::shared_ptr<AudioParameter>& age() const { return fields_[13].get(); }
    void setAge(std::shared_ptr<AudioParameter> p) { fields_[13].set(std::move(p)); }
    const std::shared_ptr<AudioParameter>& gateThreshold() const { return fields_[14].get(); }
    void setGateThreshold(std::shared_ptr<AudioParameter> p) { fields_[14].set(std::move(p)); }
    const std::shared_ptr<AudioParameter>& gateReduction() const { return fields_[15].get(); }
    void setGateReduction(std::shared_ptr<AudioParameter> p) { fields_[15].set(std::move(p)); }
    const std::shared_ptr<AudioParameter>& gateAttack() const { return fields_[16].get(); }
    void setGateAttack(std::shared_ptr<AudioParameter> p) { fields_[16].set(std::move(p)); }
    const std::shared_ptr<AudioParameter>& gateRelease() const { return fields_[17].get(); }
    void setGateRelease(std::shared_ptr<AudioParameter> p) { fields_[17].set(std::move(p)); }
    core::Observed<std::shared_ptr<AudioParameter>>& parameterField(std::size_t index) {
        return fields_.at(index);
    }

    // The attached unit's bundle version when it has one, else the kit's answer.
    std::string pluginVersion() const override;

    // Binds the model to the unit: tree and values (base), the preset-name callback, the 60 Hz poll, the
    // tree's value provider (answered from the kernel) and one update check on a worker thread.
    void configureAudioUnit(const std::shared_ptr<CorviAudioUnit>& unit) override;

    // Copies the analyser values and brings every parameter the kernel flagged since the last poll up to
    // date. The kernel itself is only read.
    void pollKernelState();

    std::optional<FactoryPreset> currentPreset() const;
    bool isCurrentPresetModified() const;
    // "" selects "Default"; an unknown name selects nothing. Changes no parameter.
    void selectPreset(const std::string& name);
    void applyPreset(const FactoryPreset& preset);
    // Where an applied preset's name goes when no audio unit of this process is attached (an editor that
    // reaches its unit through a plug-in host records it there). Main thread.
    void setPresetNameRecorder(std::function<void(const std::string&)> recorder) {
        presetNameRecorder_ = std::move(recorder);
    }
    void nextPreset();
    void previousPreset();

    // Downloads the feed and, when it announces a newer version, sets updateDetails on the main queue (at
    // once when called there). Blocks; throws UpdateFeedError on a transport failure, changing nothing.
    void checkForUpdates();
    // Runs checkForUpdates() on a worker thread, ignoring its failure. Destruction cancels and joins it.
    void startUpdateCheck();
    // Waits for every started check to finish (tests, and before unloading the code).
    void waitForUpdateChecks();
    // Cancels every check for good (a transfer on its way stops at once) and joins its thread.
    void cancelUpdateChecks();
    // Threads of started checks not yet joined (a finished one is joined when the next check starts).
    std::size_t updateCheckThreadCount();

protected:
    Settings();

private:
    void init();

    std::array<core::Observed<std::shared_ptr<AudioParameter>>, kParameterCount> fields_;
    std::atomic<std::weak_ptr<TessarayAudioUnit>> vantrelAudioUnit_;
    std::shared_ptr<core::Timer> pollTimer_;
    std::function<void(const std::string&)> presetNameRecorder_;

    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    std::shared_ptr<FetchCancellation> cancelChecks_ = std::make_shared<FetchCancellation>();
    std::mutex workersMutex_;
    std::vector<Worker> workers_;
};
