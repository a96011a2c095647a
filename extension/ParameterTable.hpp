#pragma once

// The plug-in's 18 parameters, in the order the settings model creates them, the factory presets list their
// values and the parameter tree is built. Every consumer (settings model, LV2 metadata, render tool) reads
// the numbers from here so that they cannot drift apart.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

enum class ParameterIncrement { linear, logarithmic };

// Values of AudioUnitParameterUnit that the parameters use.
enum class ParameterUnit : uint32_t {
    generic = 0,
    indexed = 1,
    percent = 3,
    hertz = 8,
    decibels = 13,
    absoluteCents = 20,
    milliseconds = 24,
};

struct ParameterInfo {
    std::string_view identifier;
    uint64_t address;
    std::string_view name;
    ParameterUnit unit;
    std::string_view unitName;
    float minimum;
    float maximum;
    float defaultValue;
    ParameterIncrement increment;

    constexpr uint32_t unitNumber() const { return static_cast<uint32_t>(unit); }
    constexpr bool contains(float value) const { return value >= minimum && value <= maximum; }
};

inline constexpr std::size_t kParameterCount = 18;

// Kernel value slots run 0 to 18; slot 9 exists but carries no parameter.
inline constexpr uint64_t kParameterAddressCount = 19;

inline constexpr std::array<ParameterInfo, kParameterCount> kParameterTable{{
    {"bands", 0, "Bands", ParameterUnit::indexed, "indexed", 1, 64, 64, ParameterIncrement::linear},
    {"lowFrequency", 1, "Low", ParameterUnit::hertz, "hertz", 20, 20000, 20, ParameterIncrement::logarithmic},
    {"highFrequency", 2, "High", ParameterUnit::hertz, "hertz", 20, 20000, 20000,
     ParameterIncrement::logarithmic},
    {"slice", 3, "Slice", ParameterUnit::milliseconds, "milliseconds", 10, 1000, 10,
     ParameterIncrement::logarithmic},
    {"blur", 4, "Blur", ParameterUnit::percent, "percent", 0, 100, 20, ParameterIncrement::linear},
    {"feedback", 5, "Feedback", ParameterUnit::percent, "percent", 0, 100, 0, ParameterIncrement::linear},
    {"inputGain", 6, "Input", ParameterUnit::decibels, "decibels", -60, 12, 0, ParameterIncrement::linear},
    {"outputGain", 7, "Output", ParameterUnit::decibels, "decibels", -60, 12, 0, ParameterIncrement::linear},
    {"mix", 8, "Mix", ParameterUnit::percent, "percent", 0, 100, 50, ParameterIncrement::linear},
    {"morphX", 17, "Morph X", ParameterUnit::generic, "generic", 0, 1, 0.5f, ParameterIncrement::linear},
    {"morphY", 18, "Morph Y", ParameterUnit::generic, "generic", 0, 1, 0.5f, ParameterIncrement::linear},
    {"octave", 10, "Octave", ParameterUnit::indexed, "indexed", -3, 3, 0, ParameterIncrement::linear},
    {"note", 11, "Note", ParameterUnit::absoluteCents, "absoluteCents", -600, 600, 0,
     ParameterIncrement::linear},
    {"age", 12, "Age", ParameterUnit::percent, "percent", 0, 100, 0, ParameterIncrement::linear},
    {"gateThreshold", 13, "Thresh", ParameterUnit::decibels, "decibels", -80, 0, -80,
     ParameterIncrement::linear},
    {"gateReduction", 14, "Reduction", ParameterUnit::decibels, "decibels", -80, 0, -80,
     ParameterIncrement::linear},
    {"gateAttack", 15, "Attack", ParameterUnit::milliseconds, "milliseconds", 0.1f, 100, 1,
     ParameterIncrement::logarithmic},
    {"gateRelease", 16, "Release", ParameterUnit::milliseconds, "milliseconds", 1, 1000, 100,
     ParameterIncrement::logarithmic},
}};

// Null when no parameter has that identifier (exact, case-sensitive match).
constexpr const ParameterInfo* parameterByIdentifier(std::string_view identifier) {
    for (const ParameterInfo& info : kParameterTable) {
        if (info.identifier == identifier) {
            return &info;
        }
    }
    return nullptr;
}

// Null for address 9 and for addresses past the last slot.
constexpr const ParameterInfo* parameterByAddress(uint64_t address) {
    for (const ParameterInfo& info : kParameterTable) {
        if (info.address == address) {
            return &info;
        }
    }
    return nullptr;
}

// Position of a parameter in the table, which is also its position in a preset's value list.
constexpr std::size_t parameterIndex(const ParameterInfo& info) {
    return static_cast<std::size_t>(&info - kParameterTable.data());
}
