#include "audiounit/HostTime.hpp"

#include <atomic>
#include <chrono>

namespace audiounit {
namespace {

uint64_t monotonicNanoseconds() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
}

std::atomic<HostTimeSource> gSource{&monotonicNanoseconds};

} // namespace

uint64_t hostTime() {
    return gSource.load(std::memory_order_acquire)();
}

void setHostTimeSource(HostTimeSource source) {
    gSource.store(source ? source : &monotonicNanoseconds, std::memory_order_release);
}

} // namespace audiounit
