#pragma once

#include "audiounit/Parameter.hpp"
#include "core/Cancellable.hpp"
#include "core/Observation.hpp"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zelto {

using audiounit::AudioUnitParameterUnit;

// Who causes a change: the host (through the parameter tree) or the kernel poll, or a control of the editor.
enum class ParameterEditor : uint8_t { parameterObserver = 0, ui = 1 };

// Phase of an edit; the raw number is the automation event type the host receives (value, touch, release).
enum class ParameterEditorState : uint8_t { change = 0, beginInteractive = 1, endInteractive = 2 };

// The suffix shown after a value of the unit: "%", "Hz", "dB", "MS", else empty.
std::string displayableSuffix(AudioUnitParameterUnit unit);

// One host-automatable parameter: the host-side parameter object it owns plus the observed value the
// editor draws from. Every edit goes through setValue(_:source:state:), which clamps, tells the host about
// user edits and defers the observed change to the main queue.
class AudioParameter : public std::enable_shared_from_this<AudioParameter> {
public:
    // How a dial maps travel to value.
    struct ValueIncrement {
        enum class Kind : uint8_t { logarithmic, linear };
        Kind kind = Kind::linear;
        std::optional<float> midpoint; // only for logarithmic

        static ValueIncrement linear() { return {Kind::linear, std::nullopt}; }
        static ValueIncrement logarithmic(std::optional<float> midpoint = std::nullopt) {
            return {Kind::logarithmic, midpoint};
        }
        bool isLogarithmic() const { return kind == Kind::logarithmic; }
        friend bool operator==(const ValueIncrement& a, const ValueIncrement& b) {
            if (a.kind != b.kind) {
                return false;
            }
            return a.kind == Kind::linear || a.midpoint == b.midpoint;
        }
    };

    struct ValueRange {
        float lowerBound = 0.0f;
        float upperBound = 0.0f;
        bool contains(float v) const { return v >= lowerBound && v <= upperBound; }
    };

    // Use create(); the parameter must be owned by a shared_ptr because its main-queue work keeps it alive.
    static std::shared_ptr<AudioParameter>
    create(uint64_t address, std::string identifier, std::string name, AudioUnitParameterUnit units,
           ValueRange valueRange, float defaultValue, ValueIncrement valueIncrement,
           std::optional<std::vector<std::string>> valueStrings = std::nullopt,
           std::optional<std::vector<uint64_t>> dependentParameterAddresses = std::nullopt);

    // A placeholder: address 0, empty names, custom unit, range 0...0.
    static std::shared_ptr<AudioParameter> dummyParam();

    virtual ~AudioParameter() = default;
    AudioParameter(const AudioParameter&) = delete;
    AudioParameter& operator=(const AudioParameter&) = delete;

    uint64_t address() const { return address_; }
    const std::string& identifier() const { return identifier_; }
    const std::string& id() const { return identifier_; }
    const std::string& name() const { return name_; }
    AudioUnitParameterUnit units() const { return units_; }
    const ValueRange& valueRange() const { return valueRange_; }
    float defaultValue() const { return defaultValue_; }
    const ValueIncrement& valueIncrement() const { return valueIncrement_; }
    const std::optional<std::vector<std::string>>& valueStrings() const { return valueStrings_; }
    const std::optional<std::vector<uint64_t>>& dependentParameterAddresses() const { return dependents_; }
    const std::shared_ptr<audiounit::AUParameter>& auParameter() const { return auParameter_; }

    // The observed value. Any thread may read it (host threads do); it is written on the main thread.
    virtual float value() const;
    // Changes only the observed copy (observers are told when it differs); the host never hears of it.
    virtual void setObservedValue(float newValue);
    [[nodiscard]] core::ObservationToken observeValue(std::function<void(float)> observer);

    virtual bool isBeingInteractivelyEdited() const;
    virtual void setIsBeingInteractivelyEdited(bool editing);
    [[nodiscard]] core::ObservationToken
    observeIsBeingInteractivelyEdited(std::function<void(bool)> observer);

    // Any thread. Clamps (NaN becomes the lower bound); sends user edits to the host parameter with the
    // current host time and the state as event type; updates the observed value on the main queue, where
    // a host or kernel echo is dropped while a control is being dragged.
    virtual void setValue(float value, ParameterEditor source, ParameterEditorState state);

    virtual float displayableValue() const;
    virtual std::string displayableSuffix() const;
    virtual float saveScaleFactor() const;
    virtual float displayScaleFactor() const;
    virtual bool isIndexed() const;

    // Clamped as setValue does.
    float clamped(float value) const;

protected:
    AudioParameter(uint64_t address, std::string identifier, std::string name, AudioUnitParameterUnit units,
                   ValueRange valueRange, float defaultValue, ValueIncrement valueIncrement,
                   std::optional<std::vector<std::string>> valueStrings,
                   std::optional<std::vector<uint64_t>> dependentParameterAddresses);

private:
    const uint64_t address_;
    const std::string identifier_;
    const std::string name_;
    const AudioUnitParameterUnit units_;
    const ValueRange valueRange_;
    const float defaultValue_;
    const ValueIncrement valueIncrement_;
    const std::optional<std::vector<std::string>> valueStrings_;
    const std::optional<std::vector<uint64_t>> dependents_;
    std::shared_ptr<audiounit::AUParameter> auParameter_;

    std::atomic<float> value_;
    std::atomic<bool> editing_{false};
    // Main-queue writes scheduled but not yet run. While any is pending the observed value is about to
    // change, so an edit equal to it is not a duplicate (A -> B -> A within one turn must end at A).
    std::atomic<uint32_t> pendingWrites_{0};
    std::shared_ptr<core::detail::ObserverRegistry> valueRegistry_;
    std::shared_ptr<core::detail::ObserverRegistry> editingRegistry_;
};

// The option bits a parameter with this unit, value strings and dependents gets.
audiounit::AudioUnitParameterOptions
audioParameterFlags(AudioUnitParameterUnit units, const std::optional<std::vector<std::string>>& valueStrings,
                    const std::optional<std::vector<uint64_t>>& dependentParameterAddresses);

} // namespace zelto
