#include "extension/FactoryPreset.hpp"

std::array<float, kParameterCount> FactoryPreset::values() const {
    return {bands,     lowFrequency, highFrequency, slice,         blur,       feedback,
            inputGain, outputGain,   mix,           morphX,        morphY,     octave,
            note,      age,          gateThreshold, gateReduction, gateAttack, gateRelease};
}

namespace {

std::vector<FactoryPreset> buildPresets() {
    // name, bands, low, high, slice, blur, feedback, in, out, mix, morphX, morphY, octave, note, age,
    // threshold, reduction, attack, release
    std::vector<FactoryPreset> list;
    list.push_back({"Default", 64, 20, 20000, 10, 20, 0, 0, 0, 50, 0.5f, 0.5f, 0, 0, 0, -80, -80, 1, 100});
    list.push_back(
        {"Ghost Choir", 24, 150, 6000, 60, 25, 0, 0, 0, 45, 0.35f, 0.5625f, 0, 0, 8, -50, -80, 5, 150});
    list.push_back(
        {"Shimmer Halo", 32, 300, 10000, 40, 20, 0, 0, 0, 20, 0.5f, 0.81f, 1, 0, 12, -45, -80, 5, 200});
    list.push_back(
        {"Slow Melt", 8, 80, 4000, 500, 90, 0, 0, 0, 70, 0.4f, 0.36f, 0, 0, 40, -55, -80, 20, 400});
    list.push_back({"Sub Monster", 6, 60, 1500, 80, 10, 0, 0, -3, 60, 1, 0, -2, 0, 5, -45, -80, 2, 120});
    list.push_back(
        {"Feedback Fever", 20, 200, 5000, 120, 45, 75, 0, -6, 55, 0.3f, 0.16f, 0, 0, 30, -40, -80, 5, 250});
    return list;
}

} // namespace

const std::vector<FactoryPreset>& factoryPresetList() {
    static const std::vector<FactoryPreset> presets = buildPresets();
    return presets;
}

int indexOfFactoryPreset(const std::vector<FactoryPreset>& presets, const std::string& name) {
    for (std::size_t i = 0; i < presets.size(); ++i) {
        if (presets[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}
