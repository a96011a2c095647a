#include "ZeltoCore/ParameterSettings.hpp"

#include "audiounit/AudioUnitBase.hpp"
#include "core/Bundle.hpp"
#include "core/Text.hpp"

#include <bit>
#include <cmath>
#include <cstdio>
#include <dlfcn.h>
#include <limits>
#include <link.h>

namespace zelto {

void ParameterSettings::Hasher::combine(uint64_t word) {
    // splitmix64 finaliser over the running state: cheap and well mixed.
    uint64_t z = state_ ^ (word + 0x9e3779b97f4a7c15ull + (state_ << 6) + (state_ >> 2));
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    state_ = z ^ (z >> 31);
}

void ParameterSettings::Hasher::combine(float value) {
    combine(uint64_t{std::bit_cast<uint32_t>(value == 0.0f ? 0.0f : value)});
}

std::size_t ParameterSettings::Hasher::finalize() const {
    return static_cast<std::size_t>(state_);
}

void ParameterSettings::setupParameters(std::vector<std::shared_ptr<AudioParameter>> parameters) {
    parameters_ = std::move(parameters);
}

std::shared_ptr<AudioParameter> ParameterSettings::parameterWithAddress(uint64_t address) const {
    for (const auto& parameter : parameters_) {
        if (parameter->address() == address) {
            return parameter;
        }
    }
    return nullptr;
}

std::shared_ptr<core::Bundle> ParameterSettings::pluginBundle() {
    Dl_info info{};
    link_map* map = nullptr;
    const void* here = reinterpret_cast<const void*>(&ParameterSettings::pluginBundle);
    const bool inSharedObject = dladdr1(here, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) != 0 &&
                                map != nullptr && map->l_name != nullptr && map->l_name[0] != '\0';
    if (inSharedObject) {
        if (auto bundle = core::Bundle::forAddress(here)) {
            return bundle;
        }
    }
    return core::Bundle::main();
}

std::string ParameterSettings::pluginVersion() const {
    if (auto bundle = pluginBundle()) {
        if (auto version = bundle->shortVersionString()) {
            return *version;
        }
    }
    return "Unknown";
}

void ParameterSettings::configureAudioUnit(const std::shared_ptr<CorviAudioUnit>& unit) {
    setAudioUnit(unit);
    if (!unit) {
        return;
    }
    std::vector<std::shared_ptr<audiounit::AUParameter>> children;
    children.reserve(parameters_.size());
    for (const auto& parameter : parameters_) {
        children.push_back(parameter->auParameter());
    }
    if (auto audioUnit = std::dynamic_pointer_cast<audiounit::AudioUnitBase>(unit)) {
        audioUnit->setParameterTree(audiounit::AUParameterTree::createTree(std::move(children)));
    }
    for (const auto& parameter : parameters_) {
        unit->setParameter(parameter->address(), parameter->value());
    }
}

std::size_t ParameterSettings::paramsHash() const {
    Hasher hasher;
    for (const auto& parameter : parameters_) {
        hasher.combine(parameter->value());
    }
    hashAdditionalValues(hasher);
    return hasher.finalize();
}

void ParameterSettings::hashAdditionalValues(Hasher&) const {}

void ParameterSettings::updateDependentValues(uint64_t, float) {}

std::string ParameterSettings::stringFromValue(const audiounit::AUParameter& parameter, const float* value) {
    if (value == nullptr || std::isnan(*value)) {
        return "-";
    }
    const float v = *value;
    const auto& strings = parameter.valueStrings();
    // 2^63 as a float is exact; anything at or beyond it cannot be an index.
    constexpr float kIndexLimit = 9223372036854775808.0f;
    if (strings && std::isfinite(v) && v > -kIndexLimit && v < kIndexLimit) {
        const auto index = static_cast<int64_t>(std::trunc(v));
        if (index >= 0 && static_cast<uint64_t>(index) < strings->size()) {
            return (*strings)[static_cast<std::size_t>(index)];
        }
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.f", static_cast<double>(v));
    return text;
}

float ParameterSettings::valueFromString(const audiounit::AUParameter&, std::string_view text) {
    return core::parseDecimalFloat(text).value_or(0.0f);
}

void ParameterSettings::setupParameterTreeListeners() {
    const auto withTree = [this](auto&& install) {
        const auto unit = std::dynamic_pointer_cast<audiounit::AudioUnitBase>(audioUnit());
        if (!unit) {
            return;
        }
        if (auto tree = unit->parameterTree()) {
            install(*tree);
        }
    };
    withTree([weak = weak_from_this()](audiounit::AUParameterTree& tree) {
        tree.setImplementorValueObserver([weak](const audiounit::AUParameter& parameter, float value) {
            if (auto self = weak.lock()) {
                self->setValue(value, parameter.address(), ParameterEditor::parameterObserver);
            }
        });
    });
    withTree([](audiounit::AUParameterTree& tree) {
        tree.setImplementorStringFromValueCallback(&stringFromValue);
    });
    withTree([](audiounit::AUParameterTree& tree) {
        tree.setImplementorValueFromStringCallback(&valueFromString);
    });
}

void ParameterSettings::updateParameter(float value, uint64_t address, ParameterEditor source) {
    if (auto parameter = parameterWithAddress(address)) {
        parameter->setValue(value, source, ParameterEditorState::change);
        if (const auto& dependents = parameter->dependentParameterAddresses();
            dependents && !dependents->empty()) {
            updateDependentValues(address, value);
        }
    }
}

void ParameterSettings::setValue(float value, uint64_t address, ParameterEditor source) {
    updateParameter(value, address, source);
    if (auto unit = audioUnit()) {
        unit->setParameter(address, value);
    }
}

} // namespace zelto
