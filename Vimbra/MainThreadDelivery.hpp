// Delivery of publisher events on the main thread, a throttler that coalesces bursts of events, and the
// check the controls' main-thread entry points make.
#pragma once

#include "core/Publisher.hpp"
#include "core/WorkQueue.hpp"

#include <functional>
#include <memory>
#include <optional>

namespace vimbra {

// Stops the process unless called on the main thread (the controls' entry points call it).
void requireMainThread();

struct Publishers {
    // Hands every event of the upstream to its subscriber on the main thread: synchronously when it
    // arrives there, otherwise through the main queue (events from one thread keep their order). The
    // upstream is answered with unlimited demand for every value.
    template <class T> struct ReceiveOnMainThread {
        explicit ReceiveOnMainThread(core::Publisher<T> upstream) : upstream(std::move(upstream)) {}

        void receive(std::shared_ptr<core::Subscriber<T>> subscriber) const {
            upstream.receiveOnMain().receive(std::move(subscriber));
        }
        core::Publisher<T> eraseToAnyPublisher() const { return upstream.receiveOnMain(); }
        [[nodiscard]] core::AnyCancellable sink(std::function<void(const T&)> receiveValue,
                                                std::function<void()> receiveCompletion = nullptr) const {
            return eraseToAnyPublisher().sink(std::move(receiveValue), std::move(receiveCompletion));
        }

        core::Publisher<T> upstream;
    };
};

// Coalesces a burst of user-interface events: each call replaces the pending timer, so the action runs
// once, one interval after the last call of the burst, on a worker thread of the queue (not the main
// thread). Call schedule, throttle and cancel from one thread. Destroying the throttler cancels the
// pending action and waits for one that is running on another thread.
class UIEventThrottler {
public:
    explicit UIEventThrottler(double interval,
                              std::shared_ptr<core::WorkQueue> queue = core::WorkQueue::global());
    virtual ~UIEventThrottler();
    UIEventThrottler(const UIEventThrottler&) = delete;
    UIEventThrottler& operator=(const UIEventThrottler&) = delete;

    // Seconds; a new interval applies from the next call.
    virtual double interval() const { return interval_; }
    virtual void setInterval(double interval) { interval_ = interval; }

    virtual void throttle(std::function<void()> action) { schedule(std::move(action)); }
    // Cancels the pending action, if any.
    virtual void cancel();
    virtual void schedule(std::function<void()> action);

    bool isPending() const;

private:
    double interval_;
    std::shared_ptr<core::WorkQueue> queue_;
    std::optional<core::TimerSource> timer_;
};

} // namespace vimbra
