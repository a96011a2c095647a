#pragma once

#include "ZeltoCore/AudioParameter.hpp"
#include "ZeltoCore/CorviAudioUnit.hpp"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace core {
class Bundle;
}

namespace zelto {

// A plug-in's parameter set: holds its AudioParameter objects, turns them into the audio unit's parameter
// tree, installs the tree's callbacks and routes values from the host (or the kernel poll) to the right
// parameter and on to the audio unit. Owned by shared_ptr: the tree callbacks hold it weakly.
class ParameterSettings : public std::enable_shared_from_this<ParameterSettings> {
public:
    // The running hash of paramsHash(); stable within one run of the program only.
    class Hasher {
    public:
        void combine(uint64_t word);
        void combine(float value); // by bit pattern, with -0 counted as +0
        std::size_t finalize() const;

    private:
        uint64_t state_ = 0x243f6a8885a308d3ull;
    };

    ParameterSettings() = default;
    virtual ~ParameterSettings() = default;
    ParameterSettings(const ParameterSettings&) = delete;
    ParameterSettings& operator=(const ParameterSettings&) = delete;

    // Set once, before an audio unit exists; only read afterwards.
    const std::vector<std::shared_ptr<AudioParameter>>& parameters() const { return parameters_; }
    virtual void setupParameters(std::vector<std::shared_ptr<AudioParameter>> parameters);
    // The first parameter with the address, or null.
    std::shared_ptr<AudioParameter> parameterWithAddress(uint64_t address) const;

    // "CFBundleShortVersionString" of the plug-in's own bundle, or "Unknown".
    virtual std::string pluginVersion() const;
    // The plug-in's own bundle: the bundle holding this code when it is loaded into a host as a shared
    // object, otherwise (a program linking the kit) the main bundle.
    static std::shared_ptr<core::Bundle> pluginBundle();

    // Any thread; null once the audio unit is gone. The set never keeps it alive.
    std::shared_ptr<CorviAudioUnit> audioUnit() const {
        return audioUnit_.load(std::memory_order_acquire).lock();
    }
    void setAudioUnit(const std::shared_ptr<CorviAudioUnit>& unit) {
        audioUnit_.store(unit, std::memory_order_release);
    }

    // Keeps the unit weakly, gives it a flat parameter tree of the parameters in order (when it is an
    // audio unit) and pushes every current value into it.
    virtual void configureAudioUnit(const std::shared_ptr<CorviAudioUnit>& unit);

    virtual std::size_t paramsHash() const;
    virtual void hashAdditionalValues(Hasher& hasher) const;

    // Installs the tree's value observer and its string conversions; skipped silently without a unit or tree.
    virtual void setupParameterTreeListeners();

    // Any thread. The matching parameter takes the value (clamped, on the main queue); the audio unit gets
    // it exactly as received, also when no parameter has the address.
    virtual void setValue(float value, uint64_t address, ParameterEditor source);
    virtual void updateDependentValues(uint64_t address, float value);

    // The tree callbacks, also usable without a tree.
    static std::string stringFromValue(const audiounit::AUParameter& parameter, const float* value);
    // Plain decimal text only (no white space, "nan", "inf" or hexadecimal); anything else gives 0.
    static float valueFromString(const audiounit::AUParameter& parameter, std::string_view text);

protected:
    // The parameter side of setValue() alone, for values that already come from the audio unit's own
    // state (the kernel poll): writing them back could overwrite a newer automation value.
    void updateParameter(float value, uint64_t address, ParameterEditor source);

private:
    std::vector<std::shared_ptr<AudioParameter>> parameters_;
    std::atomic<std::weak_ptr<CorviAudioUnit>> audioUnit_;
};

} // namespace zelto
