#pragma once

#include <chrono>
#include <memory>
#include <mutex>

namespace core {

// The time source of run-loop timers. Tests swap in a ManualClock and advance it by hand.
class Clock {
public:
    using Duration = std::chrono::steady_clock::duration;
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;

    // Whether now() follows real time, so that sleeping until a deadline makes sense.
    virtual bool isRealTime() const { return true; }

    static std::shared_ptr<Clock> steady();
};

class ManualClock final : public Clock {
public:
    explicit ManualClock(TimePoint start = TimePoint{}) : now_(start) {}

    TimePoint now() const override;
    bool isRealTime() const override { return false; }

    void advance(Duration by);
    void set(TimePoint to);

private:
    mutable std::mutex mutex_;
    TimePoint now_;
};

} // namespace core
