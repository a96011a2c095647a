#include "core/RunLoop.hpp"

#include "core/Log.hpp"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <poll.h>

namespace core {

namespace {

// A repeating timer with no interval would fire on every turn of the loop forever.
constexpr Clock::Duration kMinimumInterval = std::chrono::microseconds(100);

void requireMainThread(const char* operation) {
    if (!isMainThread()) {
        fatal(std::string(operation) + " must be called on the main thread");
    }
}

} // namespace

Timer::Timer(Duration interval, bool repeats, TimePoint firstFire, std::uint64_t order,
             std::function<void()> action)
    : interval_(interval), repeats_(repeats), order_(order), fireDate_(firstFire.time_since_epoch().count()),
      action_(std::make_shared<std::function<void()>>(std::move(action))) {}

void Timer::invalidate() {
    valid_.store(false, std::memory_order_release);
    std::shared_ptr<std::function<void()>> released;
    std::lock_guard lock(actionMutex_);
    released = std::move(action_);
}

std::shared_ptr<std::function<void()>> Timer::takeActionForFiring() {
    std::lock_guard lock(actionMutex_);
    return action_;
}

RunLoop::RunLoop(MainQueue& queue, std::shared_ptr<Clock> clock) : queue_(queue), clock_(std::move(clock)) {}

RunLoop& RunLoop::main() {
    static auto* loop = new RunLoop(MainQueue::shared(), Clock::steady());
    return *loop;
}

std::shared_ptr<Clock> RunLoop::clock() const {
    std::lock_guard lock(mutex_);
    return clock_;
}

void RunLoop::setClock(std::shared_ptr<Clock> clock) {
    std::lock_guard lock(mutex_);
    clock_ = std::move(clock);
}

std::shared_ptr<Timer> RunLoop::scheduleRepeating(Duration interval, std::function<void()> action) {
    interval = std::max(interval, kMinimumInterval);
    return schedule(interval, true, clock()->now() + interval, std::move(action));
}

std::shared_ptr<Timer> RunLoop::scheduleOnce(Duration delay, std::function<void()> action) {
    return schedule(Duration::zero(), false, clock()->now() + std::max(delay, Duration::zero()),
                    std::move(action));
}

std::shared_ptr<Timer> RunLoop::schedule(Duration interval, bool repeats, TimePoint firstFire,
                                         std::function<void()> action) {
    std::shared_ptr<Timer> timer;
    {
        std::lock_guard lock(mutex_);
        timer.reset(new Timer(interval, repeats, firstFire, nextOrder_++, std::move(action)));
        timers_.push_back(timer);
    }
    if (!isMainThread()) {
        // The main thread may be asleep with a later deadline in mind.
        wake();
    }
    return timer;
}

std::optional<RunLoop::TimePoint> RunLoop::nextTimerDeadline() const {
    std::lock_guard lock(mutex_);
    std::optional<TimePoint> earliest;
    for (const auto& timer : timers_) {
        if (timer->isValid() && (!earliest || timer->fireDate() < *earliest)) {
            earliest = timer->fireDate();
        }
    }
    return earliest;
}

std::size_t RunLoop::fireDueTimers() {
    requireMainThread("RunLoop::fireDueTimers");
    std::vector<std::shared_ptr<Timer>> due;
    std::shared_ptr<Clock> clock;
    {
        std::lock_guard lock(mutex_);
        clock = clock_;
        std::erase_if(timers_, [](const auto& timer) { return !timer->isValid(); });
        const TimePoint now = clock->now();
        for (const auto& timer : timers_) {
            if (timer->fireDate() <= now) {
                due.push_back(timer);
            }
        }
    }
    std::sort(due.begin(), due.end(), [](const auto& a, const auto& b) {
        return a->fireDate() != b->fireDate() ? a->fireDate() < b->fireDate() : a->order_ < b->order_;
    });

    std::size_t fired = 0;
    for (const auto& timer : due) {
        // An earlier action in this pass may have invalidated it.
        auto action = timer->takeActionForFiring();
        if (!timer->isValid() || !action) {
            continue;
        }
        if (timer->repeats()) {
            const TimePoint now = clock->now();
            const TimePoint scheduled = timer->fireDate();
            const auto missed = now >= scheduled ? (now - scheduled) / timer->interval() : 0;
            const TimePoint next = scheduled + timer->interval() * (missed + 1);
            timer->fireDate_.store(next.time_since_epoch().count(), std::memory_order_release);
        } else {
            timer->invalidate();
        }
        (*action)();
        ++fired;
    }
    return fired;
}

RunLoop::WatchId RunLoop::watchFileDescriptor(int fd, short events, std::function<void(short)> callback) {
    return watchFileDescriptor(fd, events, std::move(callback), {});
}

RunLoop::WatchId RunLoop::watchFileDescriptor(int fd, short events, std::function<void(short)> callback,
                                              std::function<bool()> buffered) {
    WatchId id;
    {
        std::lock_guard lock(mutex_);
        id = nextWatchId_++;
        watches_.push_back(
            Watch{id, fd, events, std::make_shared<std::function<void(short)>>(std::move(callback)),
                  buffered ? std::make_shared<std::function<bool()>>(std::move(buffered)) : nullptr});
    }
    if (!isMainThread()) {
        wake();
    }
    return id;
}

void RunLoop::unwatchFileDescriptor(WatchId id) {
    std::lock_guard lock(mutex_);
    std::erase_if(watches_, [id](const Watch& watch) { return watch.id == id; });
}

bool RunLoop::runOnce(std::optional<Duration> timeout) {
    requireMainThread("RunLoop::runOnce");
    std::vector<Watch> watches;
    std::shared_ptr<Clock> clock;
    {
        std::lock_guard lock(mutex_);
        watches = watches_;
        clock = clock_;
    }

    std::optional<Duration> wait = timeout;
    if (queue_.pendingCount() > 0) {
        wait = Duration::zero();
    }
    std::vector<short> alreadyBuffered(watches.size(), 0);
    for (std::size_t i = 0; i < watches.size(); ++i) {
        if (watches[i].buffered && (*watches[i].buffered)()) {
            alreadyBuffered[i] = static_cast<short>(watches[i].events & POLLIN);
            wait = Duration::zero();
        }
    }
    if (const auto deadline = nextTimerDeadline()) {
        const Duration untilTimer = std::max(*deadline - clock->now(), Duration::zero());
        // A manual clock does not move while we sleep, so only a timer that is already due matters.
        if (clock->isRealTime() || untilTimer == Duration::zero()) {
            wait = wait ? std::min(*wait, untilTimer) : untilTimer;
        }
    }

    std::vector<pollfd> fds;
    fds.reserve(watches.size() + 1);
    fds.push_back(pollfd{queue_.wakeFd(), POLLIN, 0});
    for (const auto& watch : watches) {
        fds.push_back(pollfd{watch.fd, watch.events, 0});
    }
    timespec waitTime{};
    if (wait) {
        const auto nanoseconds =
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(*wait, Duration::zero()));
        waitTime.tv_sec = static_cast<time_t>(nanoseconds.count() / 1'000'000'000);
        waitTime.tv_nsec = static_cast<long>(nanoseconds.count() % 1'000'000'000);
    }
    const int ready = ::ppoll(fds.data(), fds.size(), wait ? &waitTime : nullptr, nullptr);
    if (ready < 0 && errno != EINTR) {
        log("RunLoop: poll failed (errno %d)", errno);
    }

    bool didWork = false;
    const bool anyBuffered =
        std::any_of(alreadyBuffered.begin(), alreadyBuffered.end(), [](short b) { return b != 0; });
    if (ready > 0 || anyBuffered) {
        for (std::size_t i = 0; i < watches.size(); ++i) {
            const short revents =
                static_cast<short>((ready > 0 ? fds[i + 1].revents : 0) | alreadyBuffered[i]);
            if (revents == 0) {
                continue;
            }
            bool stillWatched;
            {
                std::lock_guard lock(mutex_);
                stillWatched = std::any_of(watches_.begin(), watches_.end(),
                                           [&](const Watch& watch) { return watch.id == watches[i].id; });
            }
            if (stillWatched) {
                (*watches[i].callback)(revents);
                didWork = true;
            }
        }
    }
    didWork = queue_.runPending() > 0 || didWork;
    didWork = fireDueTimers() > 0 || didWork;
    return didWork;
}

bool RunLoop::runUntil(const std::function<bool()>& done, std::optional<TimePoint> deadline) {
    stopRequested_.store(false, std::memory_order_release);
    while (true) {
        if (done && done()) {
            return true;
        }
        if (stopRequested_.exchange(false, std::memory_order_acq_rel)) {
            return false;
        }
        std::optional<Duration> timeout;
        if (deadline) {
            const TimePoint now = clock()->now();
            if (now >= *deadline) {
                return false;
            }
            timeout = *deadline - now;
        }
        runOnce(timeout);
    }
}

void RunLoop::runUntil(TimePoint deadline) {
    runUntil(nullptr, deadline);
}

bool RunLoop::runNested(const std::function<bool()>& done) {
    requireMainThread("RunLoop::runNested");
    ++nestingDepth_;
    // The session ends however runUntil is left, an exception from its work included.
    struct Leave {
        int& depth;
        ~Leave() { --depth; }
    } leave{nestingDepth_};
    return runUntil(done);
}

void RunLoop::run() {
    runUntil(nullptr);
}

void RunLoop::stop() {
    stopRequested_.store(true, std::memory_order_release);
    wake();
}

void RunLoop::wake() {
    queue_.async([] {});
}

} // namespace core
