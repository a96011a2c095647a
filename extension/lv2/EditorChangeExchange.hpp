#pragma once

// Hands the kernel's changed-parameter word to every editor attached to one plug-in instance: the one
// place that takes the word, so that no editor empties it under another's feet.

#include <array>
#include <atomic>
#include <cstdint>

namespace tessaray_lv2 {

// One per plug-in instance. Editors attach for a slot and take their changes through it: the first
// editor to poll after a change takes the kernel's word and adds it to every attached slot, and each editor
// then collects its own slot. Lock-free and allocation-free; called from editors' main threads (never the
// audio thread), from any number of them at once.
//
// At most kSlots editors at a time follow an instance this way. attach() answers kNoSlot past that; such an
// editor follows the host's port events instead, as one without instance access does.
class EditorChangeExchange {
public:
    static constexpr uint32_t kSlots = 8;
    static constexpr uint32_t kNoSlot = ~0u;

    // A free slot with nothing pending, or kNoSlot when all are taken.
    uint32_t attach() {
        uint32_t used = attached_.load(std::memory_order_acquire);
        for (;;) {
            uint32_t slot = 0;
            while (slot < kSlots && (used & (1u << slot)) != 0) {
                ++slot;
            }
            if (slot == kSlots) {
                return kNoSlot;
            }
            if (attached_.compare_exchange_weak(used, used | (1u << slot), std::memory_order_acq_rel,
                                                std::memory_order_acquire)) {
                // Bits added since the previous owner left only name values to read again. An exchange rather
                // than a store: a change handed out just before is then seen with its value.
                pending_[slot].exchange(0, std::memory_order_acq_rel);
                return slot;
            }
        }
    }

    void detach(uint32_t slot) {
        if (slot < kSlots) {
            attached_.fetch_and(~(1u << slot), std::memory_order_acq_rel);
        }
    }

    // Takes the kernel's word (leaving it 0), adds what it held to every attached slot and returns the
    // changes collected for this slot since its last call. A change another editor is still handing out
    // arrives at the next call.
    uint32_t take(std::atomic<uint32_t>& dirtyMask, uint32_t slot) {
        if (slot >= kSlots) {
            return 0;
        }
        if (const uint32_t changed = dirtyMask.exchange(0, std::memory_order_acq_rel); changed != 0) {
            const uint32_t used = attached_.load(std::memory_order_acquire);
            for (uint32_t s = 0; s < kSlots; ++s) {
                if ((used & (1u << s)) != 0) {
                    pending_[s].fetch_or(changed, std::memory_order_acq_rel);
                }
            }
        }
        return pending_[slot].exchange(0, std::memory_order_acq_rel);
    }

    uint32_t attachedCount() const {
        return uint32_t(__builtin_popcount(attached_.load(std::memory_order_acquire)));
    }

private:
    std::atomic<uint32_t> attached_{0};
    std::array<std::atomic<uint32_t>, kSlots> pending_{};
};

} // namespace tessaray_lv2
