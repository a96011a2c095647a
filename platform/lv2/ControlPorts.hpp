#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lv2 {

// A fixed set of control input ports and the value each had when last taken. The host writes the ports
// between run calls; taking the changed ones is allocation-free and lock-free, so it runs on the audio
// thread.
class ControlPorts {
public:
    // Allocates; call at instantiation.
    explicit ControlPorts(std::size_t count)
        : ports_(count, nullptr), taken_(count, 0.0f), fresh_(count, 1) {}

    std::size_t size() const { return ports_.size(); }

    // A null location disconnects the port; a new location counts as a change.
    void connect(std::size_t slot, const float* location) {
        if (slot < ports_.size()) {
            ports_[slot] = location;
            fresh_[slot] = 1;
        }
    }
    bool connected(std::size_t slot) const { return slot < ports_.size() && ports_[slot] != nullptr; }

    // The port's current value; absent (fallback) when unconnected or not a finite number.
    float value(std::size_t slot, float fallback) const {
        if (!connected(slot) || !std::isfinite(*ports_[slot])) {
            return fallback;
        }
        return *ports_[slot];
    }

    // Makes every connected port count as changed at the next take.
    void markAllChanged() {
        for (auto& f : fresh_) {
            f = 1;
        }
    }

    // Calls f(slot, value) for each connected port whose finite value differs from the one last taken (or
    // that is fresh). A non-finite value is dropped and not remembered, so the next finite one still counts.
    template <class F> void takeChanged(F&& f) {
        for (std::size_t slot = 0; slot < ports_.size(); ++slot) {
            if (!ports_[slot]) {
                continue;
            }
            const float v = *ports_[slot];
            if (!std::isfinite(v) || (!fresh_[slot] && v == taken_[slot])) {
                continue;
            }
            taken_[slot] = v;
            fresh_[slot] = 0;
            f(slot, v);
        }
    }

private:
    std::vector<const float*> ports_;
    std::vector<float> taken_;
    std::vector<uint8_t> fresh_;
};

// Calls f(offset, frames) for consecutive pieces of at most maximum frames that cover total frames. A
// maximum of 0 would never finish; it is taken as 1.
template <class F> void forEachChunk(uint32_t total, uint32_t maximum, F&& f) {
    const uint32_t limit = maximum == 0 ? 1 : maximum;
    for (uint32_t offset = 0; offset < total;) {
        const uint32_t frames = total - offset < limit ? total - offset : limit;
        f(offset, frames);
        offset += frames;
    }
}

} // namespace lv2
