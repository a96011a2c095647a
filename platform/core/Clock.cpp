#include "core/Clock.hpp"

namespace core {

namespace {

class SteadyClock final : public Clock {
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
};

} // namespace

std::shared_ptr<Clock> Clock::steady() {
    static const auto clock = std::make_shared<SteadyClock>();
    return clock;
}

Clock::TimePoint ManualClock::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

void ManualClock::advance(Duration by) {
    std::lock_guard lock(mutex_);
    now_ += by;
}

void ManualClock::set(TimePoint to) {
    std::lock_guard lock(mutex_);
    now_ = to;
}

} // namespace core
