// libFuzzer entry: the wavetable parser must reject or accept any byte string without touching memory outside
// it, and a successful parse must leave a slot that the oscillators can read safely.

#include "dsp/BandVoice.hpp"
#include "dsp/Wavetable.hpp"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static BandVoice::Tables tables;
    WavetableSlot& slot = tables[0];
    const bool ok = slot.parse(data, size);
    if (ok != slot.usable()) {
        __builtin_trap();
    }
    if (ok) {
        // Play a few cycles across the note range through every lookup path.
        BandVoice voice;
        voice.sampleRate = 48000.0;
        const float weights[3] = {1.0f, 0.0f, 0.0f};
        for (int i = 0; i < 256; ++i) {
            voice.render(tables, weights, (i * 7) % 140 - 6, 50.0 + i * 97.0);
        }
    }
    return 0;
}
