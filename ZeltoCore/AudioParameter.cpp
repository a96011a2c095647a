#include "ZeltoCore/AudioParameter.hpp"

#include "core/HostTime.hpp"
#include "core/MainQueue.hpp"

#include <cmath>

namespace zelto {

using audiounit::AudioUnitParameterOptions;
namespace Flag = audiounit::ParameterFlag;

std::string displayableSuffix(AudioUnitParameterUnit unit) {
    switch (unit) {
    case AudioUnitParameterUnit::percent:
        return "%";
    case AudioUnitParameterUnit::hertz:
        return "Hz";
    case AudioUnitParameterUnit::decibels:
        return "dB";
    case AudioUnitParameterUnit::milliseconds:
        return "MS";
    default:
        return {};
    }
}

AudioUnitParameterOptions
audioParameterFlags(AudioUnitParameterUnit units, const std::optional<std::vector<std::string>>& valueStrings,
                    const std::optional<std::vector<uint64_t>>& dependentParameterAddresses) {
    AudioUnitParameterOptions flags = Flag::kIsWritable | Flag::kIsReadable;
    if (dependentParameterAddresses && !dependentParameterAddresses->empty()) {
        flags |= Flag::kIsGlobalMeta | Flag::kHasClump;
    }
    if (valueStrings && !valueStrings->empty()) {
        flags |= Flag::kValuesHaveStrings;
    }
    if (units == AudioUnitParameterUnit::decibels || units == AudioUnitParameterUnit::linearGain ||
        units == AudioUnitParameterUnit::absoluteCents) {
        flags |= Flag::kCanRamp;
    }
    return flags;
}

std::shared_ptr<AudioParameter>
AudioParameter::create(uint64_t address, std::string identifier, std::string name,
                       AudioUnitParameterUnit units, ValueRange valueRange, float defaultValue,
                       ValueIncrement valueIncrement, std::optional<std::vector<std::string>> valueStrings,
                       std::optional<std::vector<uint64_t>> dependentParameterAddresses) {
    return std::shared_ptr<AudioParameter>(
        new AudioParameter(address, std::move(identifier), std::move(name), units, valueRange, defaultValue,
                           valueIncrement, std::move(valueStrings), std::move(dependentParameterAddresses)));
}

std::shared_ptr<AudioParameter> AudioParameter::dummyParam() {
    return create(0, "", "", AudioUnitParameterUnit::customUnit, ValueRange{0.0f, 0.0f}, 0.0f,
                  ValueIncrement::linear());
}

AudioParameter::AudioParameter(uint64_t address, std::string identifier, std::string name,
                               AudioUnitParameterUnit units, ValueRange valueRange, float defaultValue,
                               ValueIncrement valueIncrement,
                               std::optional<std::vector<std::string>> valueStrings,
                               std::optional<std::vector<uint64_t>> dependentParameterAddresses)
    : address_(address), identifier_(std::move(identifier)), name_(std::move(name)), units_(units),
      valueRange_(valueRange), defaultValue_(defaultValue), valueIncrement_(valueIncrement),
      valueStrings_(std::move(valueStrings)), dependents_(std::move(dependentParameterAddresses)),
      value_(defaultValue), valueRegistry_(std::make_shared<core::detail::ObserverRegistry>()),
      editingRegistry_(std::make_shared<core::detail::ObserverRegistry>()) {
    auParameter_ = audiounit::AUParameterTree::createParameter(
        identifier_, name_, address_, valueRange_.lowerBound, valueRange_.upperBound, units_,
        zelto::displayableSuffix(units_), audioParameterFlags(units_, valueStrings_, dependents_),
        valueStrings_, dependents_);
    auParameter_->setValue(defaultValue_);
}

float AudioParameter::value() const {
    core::detail::reportAccess(valueRegistry_);
    return value_.load(std::memory_order_acquire);
}

void AudioParameter::setObservedValue(float newValue) {
    const float old = value_.exchange(newValue, std::memory_order_acq_rel);
    // Equality of numbers, so a NaN never compares equal and always notifies.
    if (!(old == newValue) && !valueRegistry_->empty()) {
        const float snapshot = newValue;
        valueRegistry_->notify(&snapshot);
    }
}

core::ObservationToken AudioParameter::observeValue(std::function<void(float)> observer) {
    const auto id = valueRegistry_->add(
        [observer = std::move(observer)](const void* v) { observer(*static_cast<const float*>(v)); });
    return core::ObservationToken([weak = std::weak_ptr(valueRegistry_), id] {
        if (auto registry = weak.lock()) {
            registry->remove(id);
        }
    });
}

bool AudioParameter::isBeingInteractivelyEdited() const {
    core::detail::reportAccess(editingRegistry_);
    return editing_.load(std::memory_order_acquire);
}

void AudioParameter::setIsBeingInteractivelyEdited(bool editing) {
    const bool old = editing_.exchange(editing, std::memory_order_acq_rel);
    if (old != editing && !editingRegistry_->empty()) {
        const bool snapshot = editing;
        editingRegistry_->notify(&snapshot);
    }
}

core::ObservationToken AudioParameter::observeIsBeingInteractivelyEdited(std::function<void(bool)> observer) {
    const auto id = editingRegistry_->add(
        [observer = std::move(observer)](const void* v) { observer(*static_cast<const bool*>(v)); });
    return core::ObservationToken([weak = std::weak_ptr(editingRegistry_), id] {
        if (auto registry = weak.lock()) {
            registry->remove(id);
        }
    });
}

float AudioParameter::clamped(float value) const {
    if (std::isnan(value)) {
        return valueRange_.lowerBound;
    }
    return std::min(std::max(value, valueRange_.lowerBound), valueRange_.upperBound);
}

void AudioParameter::setValue(float value, ParameterEditor source, ParameterEditorState state) {
    const float v = clamped(value);
    // The pending count is read before the value: a queued write finishes by storing its value and only
    // then dropping the count, so a count of zero guarantees the value read next is the latest one. Read
    // the other way round, a queued B landing between the two reads would swallow the A of A→B→A.
    if (state == ParameterEditorState::change) {
        const bool nothingPending = pendingWrites_.load(std::memory_order_acquire) == 0;
        if (nothingPending && v == value_.load(std::memory_order_acquire)) {
            return;
        }
    }
    if (source == ParameterEditor::ui) {
        auParameter_->setValue(v, audiounit::kNoOriginator, core::hostTime(),
                               static_cast<audiounit::AUParameterAutomationEventType>(state));
    }
    pendingWrites_.fetch_add(1, std::memory_order_acq_rel);
    core::mainAsync([self = shared_from_this(), source, v] {
        if (!(self->editing_.load(std::memory_order_acquire) && source != ParameterEditor::ui)) {
            self->setObservedValue(v);
        }
        self->pendingWrites_.fetch_sub(1, std::memory_order_acq_rel);
    });
}

float AudioParameter::displayableValue() const {
    const float v = value();
    return units_ == AudioUnitParameterUnit::absoluteCents ? v / 100.0f : v;
}

std::string AudioParameter::displayableSuffix() const {
    return zelto::displayableSuffix(units_);
}

float AudioParameter::saveScaleFactor() const {
    return units_ == AudioUnitParameterUnit::absoluteCents ? 0.01f : 1.0f;
}

float AudioParameter::displayScaleFactor() const {
    return units_ == AudioUnitParameterUnit::absoluteCents ? 100.0f : 1.0f;
}

bool AudioParameter::isIndexed() const {
    return units_ == AudioUnitParameterUnit::indexed;
}

} // namespace zelto
