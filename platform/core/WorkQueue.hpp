// A pool of worker threads for background work, with timer sources; its owners keep it alive.
#pragma once

#include "core/Clock.hpp"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace core {

namespace detail {
struct WorkQueueCore;
struct TimerState;
} // namespace detail

// A timer that runs its handler on a worker thread of its queue: set a handler, schedule a first deadline
// with an optional repeat interval, resume. The handler never runs twice at once; a repeating timer that
// falls behind fires once and moves on to its next deadline in the future. Destroying the timer cancels it.
// Configure it from one thread at a time.
class TimerSource {
public:
    using Duration = Clock::Duration;
    using TimePoint = Clock::TimePoint;

    TimerSource() = default;
    ~TimerSource();
    TimerSource(TimerSource&& other) noexcept;
    TimerSource& operator=(TimerSource&& other) noexcept;
    TimerSource(const TimerSource&) = delete;
    TimerSource& operator=(const TimerSource&) = delete;

    void setEventHandler(std::function<void()> handler);
    // A zero interval fires once; schedule again to fire again.
    void schedule(TimePoint deadline, Duration repeatInterval = Duration::zero());
    // Starts delivering: nothing fires before the first resume.
    void resume();
    // Stops the timer for good. When it returns, no handler runs and the one that was running on another
    // thread has finished; called from inside its own handler it returns at once. The handler is released.
    void cancel();

    bool isCancelled() const;
    // The next time the timer fires, absent when it will not fire.
    std::optional<TimePoint> nextDeadline() const;

private:
    friend class WorkQueue;
    TimerSource(std::shared_ptr<detail::WorkQueueCore> core, std::shared_ptr<detail::TimerState> state);

    std::shared_ptr<detail::WorkQueueCore> core_;
    std::shared_ptr<detail::TimerState> state_;
};

// Runs tasks on its own worker threads, first in first out (with more than one worker, tasks may run at
// the same time). Destroying it stops its timers, refuses new tasks, lets the queued ones run and joins
// its threads, so no thread outlives it.
class WorkQueue {
public:
    explicit WorkQueue(std::size_t threadCount = 1, std::shared_ptr<Clock> clock = Clock::steady());
    ~WorkQueue();
    WorkQueue(const WorkQueue&) = delete;
    WorkQueue& operator=(const WorkQueue&) = delete;

    // The queue shared by everything in the process that holds it: made on first use, and stopped when
    // its last holder lets go (an editor being unloaded takes the threads with it). Hold it while its
    // work matters: letting go of the last reference waits for the queued tasks.
    static std::shared_ptr<WorkQueue> global();

    // Thread-safe.
    void async(std::function<void()> task);

    // A new timer on this queue, suspended and without a deadline.
    TimerSource makeTimer();

    std::shared_ptr<Clock> clock() const;
    // Tells the workers that the clock moved (a manual clock advanced by a test), so due timers fire.
    void clockDidChange();

    // Waits until no task is queued or running and no timer is due. Not from one of its own workers.
    void waitUntilIdle();

    std::size_t threadCount() const { return threads_.size(); }

private:
    std::shared_ptr<detail::WorkQueueCore> core_;
    std::vector<std::thread> threads_;
};

} // namespace core
