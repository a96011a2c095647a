#include "core/WorkQueue.hpp"

#include "core/Log.hpp"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace core {

namespace detail {

struct TimerState {
    std::shared_ptr<std::function<void()>> handler;
    std::optional<Clock::TimePoint> deadline;
    Clock::Duration interval{};
    bool resumed = false;
    bool cancelled = false;
    bool running = false;
    std::thread::id runningThread;
};

// Everything the workers share. One mutex guards it all, and the condition variable wakes workers,
// cancellers waiting for a running handler and waiters for idleness alike.
struct WorkQueueCore {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> tasks;
    std::vector<std::shared_ptr<TimerState>> armed;
    std::shared_ptr<Clock> clock;
    std::size_t running = 0;
    bool stopping = false;
    std::vector<std::thread::id> workers;

    bool isWorker() const {
        return std::find(workers.begin(), workers.end(), std::this_thread::get_id()) != workers.end();
    }

    // The armed timer that is due soonest and not running; null when none is due.
    std::shared_ptr<TimerState> dueTimer(Clock::TimePoint now) const {
        std::shared_ptr<TimerState> due;
        for (const auto& timer : armed) {
            if (!timer->running && timer->deadline && *timer->deadline <= now &&
                (!due || *timer->deadline < *due->deadline)) {
                due = timer;
            }
        }
        return due;
    }

    std::optional<Clock::TimePoint> nextDeadline() const {
        std::optional<Clock::TimePoint> next;
        for (const auto& timer : armed) {
            if (!timer->running && timer->deadline && (!next || *timer->deadline < *next)) {
                next = timer->deadline;
            }
        }
        return next;
    }

    void disarm(const std::shared_ptr<TimerState>& timer) { std::erase(armed, timer); }

    void arm(const std::shared_ptr<TimerState>& timer) {
        if (!stopping && timer->resumed && !timer->cancelled && timer->deadline &&
            std::find(armed.begin(), armed.end(), timer) == armed.end()) {
            armed.push_back(timer);
        }
    }

    void fire(std::unique_lock<std::mutex>& lock, const std::shared_ptr<TimerState>& timer,
              Clock::TimePoint now) {
        if (timer->interval > Clock::Duration::zero()) {
            auto next = *timer->deadline + timer->interval;
            if (next <= now) {
                next += ((now - next) / timer->interval + 1) * timer->interval;
            }
            timer->deadline = next;
        } else {
            timer->deadline.reset();
            disarm(timer);
        }
        auto handler = timer->handler;
        timer->running = true;
        timer->runningThread = std::this_thread::get_id();
        ++running;
        lock.unlock();
        if (handler && *handler) {
            (*handler)();
        }
        handler.reset(); // may be the last reference once cancelled: release it unlocked
        lock.lock();
        timer->running = false;
        --running;
        changed.notify_all();
    }

    void work() {
        std::unique_lock lock(mutex);
        for (;;) {
            const auto now = clock->now();
            if (stopping && tasks.empty()) {
                return;
            }
            if (const auto timer = dueTimer(now)) {
                fire(lock, timer, now);
                continue;
            }
            if (!tasks.empty()) {
                auto task = std::move(tasks.front());
                tasks.pop_front();
                ++running;
                lock.unlock();
                task();
                task = nullptr;
                lock.lock();
                --running;
                changed.notify_all();
                continue;
            }
            const auto next = nextDeadline();
            if (next && clock->isRealTime()) {
                changed.wait_until(lock, *next);
            } else {
                changed.wait(lock);
            }
        }
    }
};

} // namespace detail

using detail::TimerState;
using detail::WorkQueueCore;

WorkQueue::WorkQueue(std::size_t threadCount, std::shared_ptr<Clock> clock)
    : core_(std::make_shared<WorkQueueCore>()) {
    core_->clock = clock ? std::move(clock) : Clock::steady();
    threadCount = std::max<std::size_t>(threadCount, 1);
    std::lock_guard lock(core_->mutex);
    for (std::size_t i = 0; i < threadCount; ++i) {
        threads_.emplace_back([core = core_] { core->work(); });
        core_->workers.push_back(threads_.back().get_id());
    }
}

WorkQueue::~WorkQueue() {
    std::vector<std::shared_ptr<TimerState>> stopped;
    {
        std::lock_guard lock(core_->mutex);
        core_->stopping = true;
        stopped.swap(core_->armed);
        core_->changed.notify_all();
    }
    for (auto& thread : threads_) {
        if (thread.get_id() == std::this_thread::get_id()) {
            // The last holder let go inside one of our own tasks: this thread finishes that task and
            // then leaves the loop, touching only the state it shares.
            thread.detach();
        } else {
            thread.join();
        }
    }
}

std::shared_ptr<WorkQueue> WorkQueue::global() {
    struct Shared {
        std::mutex mutex;
        std::weak_ptr<WorkQueue> queue;
    };
    static auto* shared = new Shared; // never destroyed: holders may outlive static destruction
    std::lock_guard lock(shared->mutex);
    if (auto queue = shared->queue.lock()) {
        return queue;
    }
    const auto cores = std::max(2u, std::thread::hardware_concurrency());
    auto queue = std::make_shared<WorkQueue>(std::clamp(cores / 2, 2u, 4u));
    shared->queue = queue;
    return queue;
}

void WorkQueue::async(std::function<void()> task) {
    if (!task) {
        return;
    }
    std::lock_guard lock(core_->mutex);
    if (core_->stopping) {
        return;
    }
    core_->tasks.push_back(std::move(task));
    core_->changed.notify_all();
}

TimerSource WorkQueue::makeTimer() {
    return TimerSource(core_, std::make_shared<TimerState>());
}

std::shared_ptr<Clock> WorkQueue::clock() const {
    return core_->clock;
}

void WorkQueue::clockDidChange() {
    std::lock_guard lock(core_->mutex);
    core_->changed.notify_all();
}

void WorkQueue::waitUntilIdle() {
    std::unique_lock lock(core_->mutex);
    if (core_->isWorker()) {
        fatal("WorkQueue::waitUntilIdle called from one of the queue's own workers");
    }
    core_->changed.wait(lock, [this] {
        return core_->stopping ||
               (core_->tasks.empty() && core_->running == 0 && !core_->dueTimer(core_->clock->now()));
    });
}

TimerSource::TimerSource(std::shared_ptr<WorkQueueCore> core, std::shared_ptr<TimerState> state)
    : core_(std::move(core)), state_(std::move(state)) {}

TimerSource::~TimerSource() {
    cancel();
}

TimerSource::TimerSource(TimerSource&& other) noexcept
    : core_(std::move(other.core_)), state_(std::move(other.state_)) {}

TimerSource& TimerSource::operator=(TimerSource&& other) noexcept {
    if (this != &other) {
        cancel();
        core_ = std::move(other.core_);
        state_ = std::move(other.state_);
    }
    return *this;
}

void TimerSource::setEventHandler(std::function<void()> handler) {
    if (!state_) {
        return;
    }
    std::lock_guard lock(core_->mutex);
    if (!state_->cancelled) {
        state_->handler = std::make_shared<std::function<void()>>(std::move(handler));
    }
}

void TimerSource::schedule(TimePoint deadline, Duration repeatInterval) {
    if (!state_) {
        return;
    }
    std::lock_guard lock(core_->mutex);
    if (state_->cancelled) {
        return;
    }
    state_->deadline = deadline;
    state_->interval = std::max(repeatInterval, Duration::zero());
    core_->arm(state_);
    core_->changed.notify_all();
}

void TimerSource::resume() {
    if (!state_) {
        return;
    }
    std::lock_guard lock(core_->mutex);
    if (state_->cancelled || core_->stopping) {
        return;
    }
    state_->resumed = true;
    core_->arm(state_);
    core_->changed.notify_all();
}

void TimerSource::cancel() {
    if (!state_) {
        return;
    }
    std::shared_ptr<std::function<void()>> released;
    std::unique_lock lock(core_->mutex);
    state_->cancelled = true;
    state_->deadline.reset();
    core_->disarm(state_);
    released = std::move(state_->handler);
    core_->changed.wait(
        lock, [this] { return !state_->running || state_->runningThread == std::this_thread::get_id(); });
    core_->changed.notify_all();
    lock.unlock();
}

bool TimerSource::isCancelled() const {
    if (!state_) {
        return true;
    }
    std::lock_guard lock(core_->mutex);
    return state_->cancelled;
}

std::optional<TimerSource::TimePoint> TimerSource::nextDeadline() const {
    if (!state_) {
        return std::nullopt;
    }
    std::lock_guard lock(core_->mutex);
    if (state_->cancelled || !state_->resumed) {
        return std::nullopt;
    }
    return state_->deadline;
}

} // namespace core
