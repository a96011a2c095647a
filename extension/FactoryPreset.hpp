#pragma once

#include "extension/ParameterTable.hpp"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

// A factory preset: a name and one value per parameter, in the order of the parameter table.
struct FactoryPreset {
    std::string name;
    float bands = 0;
    float lowFrequency = 0;
    float highFrequency = 0;
    float slice = 0;
    float blur = 0;
    float feedback = 0;
    float inputGain = 0;
    float outputGain = 0;
    float mix = 0;
    float morphX = 0;
    float morphY = 0;
    float octave = 0;
    float note = 0;
    float age = 0;
    float gateThreshold = 0;
    float gateReduction = 0;
    float gateAttack = 0;
    float gateRelease = 0;

    const std::string& id() const { return name; }

    // The 18 values in parameter-table order (bands first, gate release last).
    std::array<float, kParameterCount> values() const;
    // The value of the parameter at position index of the parameter table.
    float value(std::size_t index) const { return values()[index]; }
};

// The six factory presets, "Default" first; built once, on first use, and never changed.
const std::vector<FactoryPreset>& factoryPresetList();

// Position of the first preset with exactly this name (letter case matters), or -1.
int indexOfFactoryPreset(const std::vector<FactoryPreset>& presets, const std::string& name);
