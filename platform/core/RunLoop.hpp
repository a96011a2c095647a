#pragma once

#include "core/Clock.hpp"
#include "core/MainQueue.hpp"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace core {

class RunLoop;

// A timer scheduled on a run loop. The run loop keeps it alive until it is invalidated (a one-shot
// timer invalidates itself when it fires). It always fires on the main thread.
class Timer {
public:
    using Duration = Clock::Duration;
    using TimePoint = Clock::TimePoint;

    // Stops the timer for good and releases its action. Safe from any thread and from its own action.
    void invalidate();
    bool isValid() const { return valid_.load(std::memory_order_acquire); }

    bool repeats() const { return repeats_; }
    Duration interval() const { return interval_; }
    TimePoint fireDate() const { return TimePoint(Duration(fireDate_.load(std::memory_order_acquire))); }

private:
    friend class RunLoop;
    Timer(Duration interval, bool repeats, TimePoint firstFire, std::uint64_t order,
          std::function<void()> action);

    std::shared_ptr<std::function<void()>> takeActionForFiring();

    const Duration interval_;
    const bool repeats_;
    const std::uint64_t order_;
    std::atomic<Duration::rep> fireDate_;
    std::atomic<bool> valid_{true};
    mutable std::mutex actionMutex_;
    std::shared_ptr<std::function<void()>> action_;
};

// Services the main queue, timers and watched file descriptors on the main thread. The application
// runs it; an LV2 UI calls runOnce(0) from its idle callback instead.
class RunLoop {
public:
    using Duration = Clock::Duration;
    using TimePoint = Clock::TimePoint;
    using WatchId = std::uint64_t;

    explicit RunLoop(MainQueue& queue = MainQueue::shared(), std::shared_ptr<Clock> clock = Clock::steady());
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // The run loop of the shared main queue.
    static RunLoop& main();

    MainQueue& queue() { return queue_; }
    std::shared_ptr<Clock> clock() const;
    void setClock(std::shared_ptr<Clock> clock);

    // A repeating timer first fires one interval from now. When it fires late it fires once and
    // moves on to the next multiple of its interval that lies in the future. Any thread may schedule.
    std::shared_ptr<Timer> scheduleRepeating(Duration interval, std::function<void()> action);
    std::shared_ptr<Timer> scheduleOnce(Duration delay, std::function<void()> action);

    std::optional<TimePoint> nextTimerDeadline() const;

    // Fires every timer that is due now, earliest first. Main thread only. Returns how many fired.
    std::size_t fireDueTimers();

    // Calls back on the main thread when poll() reports one of the events on the descriptor
    // (for example the display connection). The run loop never closes the descriptor.
    WatchId watchFileDescriptor(int fd, short events, std::function<void(short revents)> callback);
    // The same for a descriptor whose library reads ahead (Xlib): when buffered() says input is
    // already waiting in the library, the callback runs on this turn as if the descriptor were
    // readable, since poll() would not report it. buffered() runs on the main thread, every turn.
    WatchId watchFileDescriptor(int fd, short events, std::function<void(short revents)> callback,
                                std::function<bool()> buffered);
    void unwatchFileDescriptor(WatchId id);

    // Waits up to timeout (forever when absent, but never past the next timer) for work, then runs
    // ready descriptors, the main queue and due timers. Main thread only. Returns whether anything ran.
    bool runOnce(std::optional<Duration> timeout);

    // Runs until done() holds (returns true) or the deadline passes or stop() is called (returns false).
    bool runUntil(const std::function<bool()>& done, std::optional<TimePoint> deadline = std::nullopt);
    void runUntil(TimePoint deadline);
    void run();

    // Runs a nested session (a modal window's) as runUntil does, counted in nestingDepth() while it runs.
    // Event sources that refuse to be re-entered while one of their handlers runs (a display) serve a
    // nested session's turns as turns of their own, also when a handler started the session; a runOnce
    // or runUntil called from a handler is no session of its own. Main thread only.
    bool runNested(const std::function<bool()>& done);
    // How many nested sessions are running now (0: none).
    int nestingDepth() const { return nestingDepth_; }

    // Makes run() or runUntil() return soon; callable from any thread.
    void stop();

private:
    struct Watch {
        WatchId id;
        int fd;
        short events;
        std::shared_ptr<std::function<void(short)>> callback;
        std::shared_ptr<std::function<bool()>> buffered;
    };

    std::shared_ptr<Timer> schedule(Duration interval, bool repeats, TimePoint firstFire,
                                    std::function<void()> action);
    void wake();

    MainQueue& queue_;
    mutable std::mutex mutex_;
    std::shared_ptr<Clock> clock_;
    std::vector<std::shared_ptr<Timer>> timers_;
    std::vector<Watch> watches_;
    std::uint64_t nextOrder_ = 0;
    WatchId nextWatchId_ = 1;
    std::atomic<bool> stopRequested_{false};
    int nestingDepth_ = 0;
};

} // namespace core
