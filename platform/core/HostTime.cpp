#include "core/HostTime.hpp"

#include <atomic>
#include <ctime>

namespace core {

namespace {

std::atomic<HostTimeSource> gSource{nullptr};
std::atomic<std::uint64_t> gPinnedTicks{0};

std::uint64_t monotonicTicks() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * kHostTicksPerSecond +
           static_cast<std::uint64_t>(now.tv_nsec);
}

std::uint64_t pinnedTicks() {
    return gPinnedTicks.load(std::memory_order_relaxed);
}

} // namespace

std::uint64_t hostTime() {
    const HostTimeSource source = gSource.load(std::memory_order_acquire);
    return source ? source() : monotonicTicks();
}

HostTimeSource setHostTimeSource(HostTimeSource source) {
    return gSource.exchange(source, std::memory_order_acq_rel);
}

ScopedHostTime::ScopedHostTime(std::uint64_t ticks) {
    gPinnedTicks.store(ticks, std::memory_order_relaxed);
    previous_ = setHostTimeSource(&pinnedTicks);
}

ScopedHostTime::~ScopedHostTime() {
    setHostTimeSource(previous_);
}

void ScopedHostTime::set(std::uint64_t ticks) {
    gPinnedTicks.store(ticks, std::memory_order_relaxed);
}

void ScopedHostTime::advance(std::uint64_t ticks) {
    gPinnedTicks.fetch_add(ticks, std::memory_order_relaxed);
}

} // namespace core
