#pragma once

#include <cstdint>

namespace zelto {

// What the kit's parameter set needs of an audio unit: a way to write one parameter value into its
// processing state. Only audio units adopt it, so the set may also hand them their parameter tree.
class CorviAudioUnit {
public:
    virtual ~CorviAudioUnit() = default;

    // Any thread, at any time (also while rendering); the value arrives exactly as given, unclamped.
    virtual void setParameter(uint64_t address, float value) = 0;

protected:
    CorviAudioUnit() = default;
    CorviAudioUnit(const CorviAudioUnit&) = default;
    CorviAudioUnit& operator=(const CorviAudioUnit&) = default;
};

} // namespace zelto
