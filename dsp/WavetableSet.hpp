// The three wavetables an engine plays and their side-by-side table, held once per process for each content.
#pragma once

#include "dsp/BandVoice.hpp"

#include <cstdint>
#include <memory>

// Immutable once made. Engines that load the same content hold the same set (they find it by a hash of the
// three slots and a full comparison), and it goes with the last of them. Sets are made, looked up and
// released only where tables are loaded and engines destroyed, never on the render thread, which only reads
// through the pointer its engine holds.
struct WavetableSet {
    BandVoice::Tables tables{};    // sawtooth, square, sine
    BandVoice::SharedTable shared; // the three side by side, when they share one layout
    uint64_t hash = 0;             // of the three slots' contents

    // The set with three empty (silent) slots.
    static std::shared_ptr<const WavetableSet> empty();
    // base with one slot replaced: a live set of that content where there is one, else a new one (which
    // builds its side-by-side table). Takes a lock.
    static std::shared_ptr<const WavetableSet> with(const WavetableSet& base, uint32_t slot,
                                                    WavetableSlot table);

    // Whether the two hold the same bits in every slot.
    static bool sameContent(const WavetableSet& a, const WavetableSet& b);
};
