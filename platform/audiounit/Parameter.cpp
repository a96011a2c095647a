#include "audiounit/Parameter.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace audiounit {

AUParameter::AUParameter(std::string identifier, std::string name, AUParameterAddress address, float min,
                         float max, AudioUnitParameterUnit unit, std::string unitName,
                         AudioUnitParameterOptions flags,
                         std::optional<std::vector<std::string>> valueStrings,
                         std::optional<std::vector<AUParameterAddress>> dependentParameters)
    : identifier_(std::move(identifier)), name_(std::move(name)), address_(address), min_(min), max_(max),
      unit_(unit), unitName_(std::move(unitName)), flags_(flags), valueStrings_(std::move(valueStrings)),
      dependents_(std::move(dependentParameters)) {}

float AUParameter::value() const {
    if (auto tree = this->tree()) {
        if (auto provider = tree->valueProvider_.load(std::memory_order_acquire); provider && *provider) {
            return (*provider)(*this);
        }
    }
    return storedValue();
}

void AUParameter::setValue(float value) {
    setValue(value, kNoOriginator, 0, AUParameterAutomationEventType::value);
}

void AUParameter::setValue(float value, AUParameterObserverToken originator, uint64_t hostTime,
                           AUParameterAutomationEventType eventType) {
    value_.store(value, std::memory_order_relaxed);
    auto tree = this->tree();
    if (!tree) {
        return;
    }
    // Callbacks run without any lock held: the value observer commonly sets values again on this thread.
    if (auto observer = tree->valueObserver_.load(std::memory_order_acquire); observer && *observer) {
        (*observer)(*this, value);
    }
    tree->notify({hostTime, address_, value, eventType}, originator);
}

std::string AUParameter::stringFromValue(const float* value) const {
    if (auto tree = this->tree()) {
        if (auto callback = tree->stringFromValue_.load(std::memory_order_acquire); callback && *callback) {
            return (*callback)(*this, value);
        }
    }
    const float v = value ? *value : this->value();
    if (valueStrings_ && std::isfinite(v) && v >= 0.0f && v < float(valueStrings_->size())) {
        return (*valueStrings_)[size_t(v)];
    }
    char text[32];
    std::snprintf(text, sizeof text, "%g", double(v));
    return text;
}

float AUParameter::valueFromString(std::string_view text) const {
    if (auto tree = this->tree()) {
        if (auto callback = tree->valueFromString_.load(std::memory_order_acquire); callback && *callback) {
            return (*callback)(*this, text);
        }
    }
    float result = 0.0f;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
    return error == std::errc() && end == text.data() + text.size() ? result : 0.0f;
}

std::shared_ptr<AUParameter>
AUParameterTree::createParameter(std::string identifier, std::string name, AUParameterAddress address,
                                 float min, float max, AudioUnitParameterUnit unit, std::string unitName,
                                 AudioUnitParameterOptions flags,
                                 std::optional<std::vector<std::string>> valueStrings,
                                 std::optional<std::vector<AUParameterAddress>> dependentParameters) {
    return std::make_shared<AUParameter>(std::move(identifier), std::move(name), address, min, max, unit,
                                         std::move(unitName), flags, std::move(valueStrings),
                                         std::move(dependentParameters));
}

AUParameterTree::AUParameterTree(std::vector<std::shared_ptr<AUParameter>> children)
    : children_(std::move(children)), observers_(std::make_shared<const ObserverList>()) {
    std::erase(children_, nullptr);
    for (size_t i = 0; i < children_.size(); ++i) {
        byAddress_.try_emplace(children_[i]->address(), i);
        byIdentifier_.try_emplace(children_[i]->identifier(), i);
    }
}

std::shared_ptr<AUParameterTree>
AUParameterTree::createTree(std::vector<std::shared_ptr<AUParameter>> children) {
    auto tree = std::make_shared<AUParameterTree>(std::move(children));
    for (auto& parameter : tree->children_) {
        parameter->tree_.store(tree, std::memory_order_release);
    }
    return tree;
}

std::shared_ptr<AUParameter> AUParameterTree::parameterWithAddress(AUParameterAddress address) const {
    auto found = byAddress_.find(address);
    return found == byAddress_.end() ? nullptr : children_[found->second];
}

std::shared_ptr<AUParameter> AUParameterTree::parameterWithIdentifier(std::string_view identifier) const {
    auto found = byIdentifier_.find(identifier);
    return found == byIdentifier_.end() ? nullptr : children_[found->second];
}

namespace {
template <class Fn> std::shared_ptr<const Fn> share(Fn fn) {
    return fn ? std::make_shared<const Fn>(std::move(fn)) : nullptr;
}
} // namespace

void AUParameterTree::setImplementorValueObserver(ValueObserver observer) {
    valueObserver_.store(share(std::move(observer)), std::memory_order_release);
}

void AUParameterTree::setImplementorValueProvider(ValueProvider provider) {
    valueProvider_.store(share(std::move(provider)), std::memory_order_release);
}

void AUParameterTree::setImplementorStringFromValueCallback(StringFromValue callback) {
    stringFromValue_.store(share(std::move(callback)), std::memory_order_release);
}

void AUParameterTree::setImplementorValueFromStringCallback(ValueFromString callback) {
    valueFromString_.store(share(std::move(callback)), std::memory_order_release);
}

AUParameterObserverToken AUParameterTree::addParameterObserver(Observer observer) {
    std::lock_guard lock(observerMutex_);
    const AUParameterObserverToken token = nextToken_++;
    auto list = std::make_shared<ObserverList>(*observers_.load(std::memory_order_acquire));
    list->push_back({token, std::move(observer)});
    observers_.store(std::move(list), std::memory_order_release);
    return token;
}

void AUParameterTree::removeParameterObserver(AUParameterObserverToken token) {
    std::lock_guard lock(observerMutex_);
    auto list = std::make_shared<ObserverList>(*observers_.load(std::memory_order_acquire));
    std::erase_if(*list, [token](const ObserverEntry& entry) { return entry.token == token; });
    observers_.store(std::move(list), std::memory_order_release);
}

void AUParameterTree::notify(const AUParameterEvent& event, AUParameterObserverToken originator) const {
    const auto list = observers_.load(std::memory_order_acquire);
    for (const auto& entry : *list) {
        if (entry.observer && (originator == kNoOriginator || entry.token != originator)) {
            entry.observer(event);
        }
    }
}

} // namespace audiounit
