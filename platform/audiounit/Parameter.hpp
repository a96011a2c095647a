#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace audiounit {

// Units with the raw numbers hosts use; a number outside this list is kept as it is.
enum class AudioUnitParameterUnit : uint32_t {
    generic = 0,
    indexed = 1,
    boolean = 2,
    percent = 3,
    seconds = 4,
    sampleFrames = 5,
    phase = 6,
    rate = 7,
    hertz = 8,
    cents = 9,
    relativeSemiTones = 10,
    midiNoteNumber = 11,
    midiController = 12,
    decibels = 13,
    linearGain = 14,
    degrees = 15,
    equalPowerCrossfade = 16,
    mixerFaderCurve1 = 17,
    pan = 18,
    meters = 19,
    absoluteCents = 20,
    octaves = 21,
    bpm = 22,
    beats = 23,
    milliseconds = 24,
    ratio = 25,
    customUnit = 26,
    midi2Controller = 27,
};

// Option bits of a parameter.
using AudioUnitParameterOptions = uint32_t;
namespace ParameterFlag {
inline constexpr AudioUnitParameterOptions kCFNameRelease = 0x00000010;
inline constexpr AudioUnitParameterOptions kOmitFromPresets = 0x00002000;
inline constexpr AudioUnitParameterOptions kPlotHistory = 0x00004000;
inline constexpr AudioUnitParameterOptions kMeterReadOnly = 0x00008000;
inline constexpr AudioUnitParameterOptions kDisplayMask = 0x00470000;
inline constexpr AudioUnitParameterOptions kDisplaySquareRoot = 0x00010000;
inline constexpr AudioUnitParameterOptions kDisplaySquared = 0x00020000;
inline constexpr AudioUnitParameterOptions kDisplayCubed = 0x00030000;
inline constexpr AudioUnitParameterOptions kDisplayCubeRoot = 0x00040000;
inline constexpr AudioUnitParameterOptions kDisplayExponential = 0x00050000;
inline constexpr AudioUnitParameterOptions kHasClump = 0x00100000;
inline constexpr AudioUnitParameterOptions kValuesHaveStrings = 0x00200000;
inline constexpr AudioUnitParameterOptions kDisplayLogarithmic = 0x00400000;
inline constexpr AudioUnitParameterOptions kIsHighResolution = 0x00800000;
inline constexpr AudioUnitParameterOptions kNonRealTime = 0x01000000;
inline constexpr AudioUnitParameterOptions kCanRamp = 0x02000000;
inline constexpr AudioUnitParameterOptions kExpertMode = 0x04000000;
inline constexpr AudioUnitParameterOptions kHasCFNameString = 0x08000000;
inline constexpr AudioUnitParameterOptions kIsGlobalMeta = 0x10000000;
inline constexpr AudioUnitParameterOptions kIsElementMeta = 0x20000000;
inline constexpr AudioUnitParameterOptions kIsReadable = 0x40000000;
inline constexpr AudioUnitParameterOptions kIsWritable = 0x80000000;
} // namespace ParameterFlag

enum class AUParameterAutomationEventType : uint32_t { value = 0, touch = 1, release = 2 };

using AUParameterAddress = uint64_t;

// Identifies a registered parameter observer; 0 is no observer. A set carrying an observer's own token is
// not reported back to it.
using AUParameterObserverToken = uint64_t;
inline constexpr AUParameterObserverToken kNoOriginator = 0;

struct AUParameterEvent {
    uint64_t hostTime = 0;
    AUParameterAddress address = 0;
    float value = 0.0f;
    AUParameterAutomationEventType eventType = AUParameterAutomationEventType::value;
};

class AUParameterTree;

class AUParameter {
public:
    const std::string& identifier() const { return identifier_; }
    const std::string& displayName() const { return name_; }
    AUParameterAddress address() const { return address_; }
    float minValue() const { return min_; }
    float maxValue() const { return max_; }
    AudioUnitParameterUnit unit() const { return unit_; }
    const std::string& unitName() const { return unitName_; }
    AudioUnitParameterOptions flags() const { return flags_; }
    bool hasFlags(AudioUnitParameterOptions mask) const { return (flags_ & mask) == mask; }
    const std::optional<std::vector<std::string>>& valueStrings() const { return valueStrings_; }
    const std::optional<std::vector<AUParameterAddress>>& dependentParameters() const { return dependents_; }

    // The tree's value provider when one is installed, otherwise the stored value.
    float value() const;
    // The stored value, never asking the provider.
    float storedValue() const { return value_.load(std::memory_order_relaxed); }

    // A plain set: no originator, host time 0, event type value.
    void setValue(float value);
    // Stores the value unclamped, calls the tree's value observer synchronously on this thread, then reports
    // the change to every registered observer except the originator's.
    void setValue(float value, AUParameterObserverToken originator, uint64_t hostTime,
                  AUParameterAutomationEventType eventType);

    // Display text through the tree's callback; without one, the value string at the value's index or the
    // number. A null value means the current value.
    std::string stringFromValue(const float* value) const;
    // The value for a text through the tree's callback; without one, the text read as a number (0 if it is
    // not one).
    float valueFromString(std::string_view text) const;

    // The tree that holds this parameter (the latest one it was put in), if it still exists.
    std::shared_ptr<AUParameterTree> tree() const { return tree_.load(std::memory_order_acquire).lock(); }

    AUParameter(std::string identifier, std::string name, AUParameterAddress address, float min, float max,
                AudioUnitParameterUnit unit, std::string unitName, AudioUnitParameterOptions flags,
                std::optional<std::vector<std::string>> valueStrings,
                std::optional<std::vector<AUParameterAddress>> dependentParameters);

private:
    friend class AUParameterTree;

    const std::string identifier_;
    const std::string name_;
    const AUParameterAddress address_;
    const float min_;
    const float max_;
    const AudioUnitParameterUnit unit_;
    const std::string unitName_;
    const AudioUnitParameterOptions flags_;
    const std::optional<std::vector<std::string>> valueStrings_;
    const std::optional<std::vector<AUParameterAddress>> dependents_;
    std::atomic<float> value_{0.0f};
    std::atomic<std::weak_ptr<AUParameterTree>> tree_;
};

// A flat, ordered set of parameters with the implementor callbacks through which the audio unit answers
// host reads and writes. Every callback may be replaced while host threads are calling it.
class AUParameterTree {
public:
    using ValueObserver = std::function<void(const AUParameter&, float)>;
    using ValueProvider = std::function<float(const AUParameter&)>;
    using StringFromValue = std::function<std::string(const AUParameter&, const float*)>;
    using ValueFromString = std::function<float(const AUParameter&, std::string_view)>;
    using Observer = std::function<void(const AUParameterEvent&)>;

    static std::shared_ptr<AUParameter>
    createParameter(std::string identifier, std::string name, AUParameterAddress address, float min,
                    float max, AudioUnitParameterUnit unit, std::string unitName,
                    AudioUnitParameterOptions flags, std::optional<std::vector<std::string>> valueStrings,
                    std::optional<std::vector<AUParameterAddress>> dependentParameters);

    // Null children are dropped. Each parameter now reports to this tree.
    static std::shared_ptr<AUParameterTree> createTree(std::vector<std::shared_ptr<AUParameter>> children);

    const std::vector<std::shared_ptr<AUParameter>>& allParameters() const { return children_; }
    // The first parameter with the address or identifier, or nullptr.
    std::shared_ptr<AUParameter> parameterWithAddress(AUParameterAddress address) const;
    std::shared_ptr<AUParameter> parameterWithIdentifier(std::string_view identifier) const;

    void setImplementorValueObserver(ValueObserver observer);
    void setImplementorValueProvider(ValueProvider provider);
    void setImplementorStringFromValueCallback(StringFromValue callback);
    void setImplementorValueFromStringCallback(ValueFromString callback);

    // Observers are called on the thread that sets a value, after the value observer.
    AUParameterObserverToken addParameterObserver(Observer observer);
    void removeParameterObserver(AUParameterObserverToken token);

    explicit AUParameterTree(std::vector<std::shared_ptr<AUParameter>> children);

private:
    friend class AUParameter;

    struct ObserverEntry {
        AUParameterObserverToken token;
        Observer observer;
    };
    using ObserverList = std::vector<ObserverEntry>;

    void notify(const AUParameterEvent& event, AUParameterObserverToken originator) const;

    std::vector<std::shared_ptr<AUParameter>> children_;
    std::unordered_map<AUParameterAddress, size_t> byAddress_;
    std::unordered_map<std::string_view, size_t> byIdentifier_;

    std::atomic<std::shared_ptr<const ValueObserver>> valueObserver_;
    std::atomic<std::shared_ptr<const ValueProvider>> valueProvider_;
    std::atomic<std::shared_ptr<const StringFromValue>> stringFromValue_;
    std::atomic<std::shared_ptr<const ValueFromString>> valueFromString_;

    std::mutex observerMutex_; // serialises writers of observers_; readers only load it
    std::atomic<std::shared_ptr<const ObserverList>> observers_;
    AUParameterObserverToken nextToken_ = 1;
};

} // namespace audiounit
