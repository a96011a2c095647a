#pragma once

#include <cstdint>

namespace core {

// Host time is a monotonic count of ticks; one tick is one nanosecond.
inline constexpr std::uint64_t kHostTicksPerSecond = 1'000'000'000;

// The current host time. Lock-free and allocation-free, so the audio thread may call it.
std::uint64_t hostTime();

// Replaces the time source (nullptr restores the monotonic clock). Returns the previous source.
using HostTimeSource = std::uint64_t (*)();
HostTimeSource setHostTimeSource(HostTimeSource source);

// Pins hostTime() to a value that the test sets, while it lives.
class ScopedHostTime {
public:
    explicit ScopedHostTime(std::uint64_t ticks);
    ~ScopedHostTime();
    ScopedHostTime(const ScopedHostTime&) = delete;
    ScopedHostTime& operator=(const ScopedHostTime&) = delete;

    void set(std::uint64_t ticks);
    void advance(std::uint64_t ticks);

private:
    HostTimeSource previous_;
};

} // namespace core
