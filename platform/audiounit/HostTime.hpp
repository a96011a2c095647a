#pragma once

#include <cstdint>

namespace audiounit {

// Host time in ticks of a monotonic clock (nanoseconds) for stamping parameter edits.
uint64_t hostTime();

inline constexpr uint64_t kHostTicksPerSecond = 1'000'000'000;

// Replaces the clock behind hostTime() (tests pin it); nullptr restores the monotonic clock.
using HostTimeSource = uint64_t (*)();
void setHostTimeSource(HostTimeSource source);

} // namespace audiounit
