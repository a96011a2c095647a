// Publishers, subscribers with demand, subjects and operators: a reactive kit whose streams never fail.
#pragma once

#include "core/Cancellable.hpp"
#include "core/MainQueue.hpp"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace core {

// How many more values a subscriber is ready to receive: none, a number, or unlimited.
class Demand {
public:
    static constexpr Demand none() { return Demand(0); }
    static constexpr Demand max(std::size_t count) { return Demand(std::min(count, kUnlimited - 1)); }
    static constexpr Demand unlimited() { return Demand(kUnlimited); }

    constexpr bool isUnlimited() const { return count_ == kUnlimited; }
    constexpr bool isNone() const { return count_ == 0; }
    // The number of values; meaningless when unlimited.
    constexpr std::size_t count() const { return count_; }

    // Saturates at unlimited.
    constexpr Demand& operator+=(Demand other) {
        count_ = (isUnlimited() || other.isUnlimited() || kUnlimited - count_ <= other.count_)
                     ? kUnlimited
                     : count_ + other.count_;
        return *this;
    }
    friend constexpr Demand operator+(Demand a, Demand b) { return a += b; }
    // One value delivered: unlimited stays unlimited, none stays none.
    constexpr void consumeOne() {
        if (!isUnlimited() && count_ > 0) {
            --count_;
        }
    }
    friend constexpr bool operator==(Demand a, Demand b) = default;

private:
    static constexpr std::size_t kUnlimited = std::numeric_limits<std::size_t>::max();
    constexpr explicit Demand(std::size_t count) : count_(count) {}
    std::size_t count_;
};

// The link between one publisher and one subscriber: the subscriber asks for values through it and
// ends it with cancel(). Both are thread-safe and may be called from inside the subscriber's callbacks.
class Subscription {
public:
    virtual ~Subscription() = default;
    virtual void request(Demand demand) = 0;
    virtual void cancel() = 0;
};

// Receives first a subscription, then values (never more than it asked for, apart from operators that
// say otherwise), then at most one completion. The value callback returns additional demand.
template <class T> class Subscriber {
public:
    using Input = T;
    virtual ~Subscriber() = default;
    virtual void receive(std::shared_ptr<Subscription> subscription) = 0;
    virtual Demand receive(const T& value) = 0;
    virtual void receiveCompletion() = 0;
};

// A subscription that has nothing to deliver.
class EmptySubscription final : public Subscription {
public:
    void request(Demand) override {}
    void cancel() override {}
};

namespace detail {

// Delivers pushed values to one subscriber within its demand; values beyond it are dropped. Calls to the
// subscriber are serialised (a recursive lock, so the subscriber may send again from inside), and nothing
// reaches it after cancel() returns, except a call already running on another thread.
template <class T>
class Conduit final : public Subscription, public std::enable_shared_from_this<Conduit<T>> {
public:
    explicit Conduit(std::shared_ptr<Subscriber<T>> downstream) : downstream_(std::move(downstream)) {}

    // Runs work while no value can be delivered from another thread.
    template <class F> void serialised(F&& work) {
        std::lock_guard delivery(deliveryMutex_);
        work();
    }

    // Runs once when the conduit is cancelled or finished: detaches it from its source.
    void setDetach(Cancellable detach) {
        std::unique_lock lock(mutex_);
        if (terminated_) {
            lock.unlock();
            detach.cancel();
            return;
        }
        detach_ = std::move(detach);
    }

    // Whether a value was handed to the subscriber.
    bool deliver(const T& value) {
        std::lock_guard delivery(deliveryMutex_);
        std::shared_ptr<Subscriber<T>> downstream;
        {
            std::lock_guard lock(mutex_);
            if (terminated_ || demand_.isNone()) {
                return false;
            }
            demand_.consumeOne();
            downstream = downstream_;
        }
        const Demand more = downstream->receive(value);
        if (!more.isNone()) {
            std::lock_guard lock(mutex_);
            if (!terminated_) {
                demand_ += more;
            }
        }
        return true;
    }

    void finish() {
        std::lock_guard delivery(deliveryMutex_);
        std::shared_ptr<Subscriber<T>> downstream;
        Cancellable detach;
        {
            std::lock_guard lock(mutex_);
            if (terminated_) {
                return;
            }
            terminated_ = true;
            downstream = std::move(downstream_);
            detach = std::move(detach_);
        }
        detach.cancel();
        downstream->receiveCompletion();
    }

    void request(Demand demand) override {
        std::lock_guard lock(mutex_);
        if (!terminated_) {
            demand_ += demand;
        }
    }

    void cancel() override {
        std::shared_ptr<Subscriber<T>> released;
        Cancellable detach;
        {
            std::lock_guard lock(mutex_);
            if (terminated_) {
                return;
            }
            terminated_ = true;
            released = std::move(downstream_);
            detach = std::move(detach_);
        }
        detach.cancel();
    }

private:
    mutable std::mutex mutex_;
    std::recursive_mutex deliveryMutex_;
    std::shared_ptr<Subscriber<T>> downstream_;
    Cancellable detach_;
    Demand demand_ = Demand::none();
    bool terminated_ = false;
};

// The subscribers of a subject. Sending walks a snapshot, so subscribers may subscribe or cancel from
// inside their callbacks.
template <class T> class SubjectState : public std::enable_shared_from_this<SubjectState<T>> {
public:
    void add(const std::shared_ptr<Conduit<T>>& conduit) {
        {
            std::lock_guard lock(mutex_);
            if (!completed_) {
                conduits_.push_back(conduit);
                conduit->setDetach(Cancellable([weak = this->weak_from_this(), raw = conduit.get()] {
                    if (const auto state = weak.lock()) {
                        state->remove(raw);
                    }
                }));
                return;
            }
        }
        conduit->finish();
    }

    void send(const T& value) {
        for (const auto& conduit : snapshot()) {
            conduit->deliver(value);
        }
    }

    void complete() {
        std::vector<std::shared_ptr<Conduit<T>>> finished;
        {
            std::lock_guard lock(mutex_);
            if (completed_) {
                return;
            }
            completed_ = true;
            finished.swap(conduits_);
        }
        for (const auto& conduit : finished) {
            conduit->finish();
        }
    }

    bool isCompleted() const {
        std::lock_guard lock(mutex_);
        return completed_;
    }

    std::size_t count() const {
        std::lock_guard lock(mutex_);
        return conduits_.size();
    }

private:
    void remove(const Conduit<T>* conduit) {
        std::shared_ptr<Conduit<T>> released;
        std::lock_guard lock(mutex_);
        const auto it = std::find_if(conduits_.begin(), conduits_.end(),
                                     [conduit](const auto& entry) { return entry.get() == conduit; });
        if (it != conduits_.end()) {
            released = std::move(*it);
            conduits_.erase(it);
        }
    }

    std::vector<std::shared_ptr<Conduit<T>>> snapshot() const {
        std::lock_guard lock(mutex_);
        return conduits_;
    }

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Conduit<T>>> conduits_;
    bool completed_ = false;
};

// A subscriber made of closures that asks for unlimited values as soon as it is subscribed.
template <class T> class Sink final : public Subscriber<T> {
public:
    Sink(std::function<void(const T&)> receiveValue, std::function<void()> receiveCompletion)
        : receiveValue_(std::move(receiveValue)), receiveCompletion_(std::move(receiveCompletion)) {}

    void receive(std::shared_ptr<Subscription> subscription) override {
        {
            std::lock_guard lock(mutex_);
            if (!done_ && !subscription_) {
                subscription_ = subscription;
                subscription = nullptr;
            }
        }
        if (subscription) {
            subscription->cancel(); // a second subscription, or one after the end
            return;
        }
        std::shared_ptr<Subscription> current;
        {
            std::lock_guard lock(mutex_);
            current = subscription_;
        }
        if (current) {
            current->request(Demand::unlimited());
        }
    }

    Demand receive(const T& value) override {
        if (!done_.load(std::memory_order_acquire) && receiveValue_) {
            receiveValue_(value);
        }
        return Demand::none();
    }

    void receiveCompletion() override {
        if (done_.exchange(true)) {
            return;
        }
        std::shared_ptr<Subscription> released;
        {
            std::lock_guard lock(mutex_);
            released = std::move(subscription_);
        }
        if (receiveCompletion_) {
            receiveCompletion_();
        }
    }

    void cancel() {
        done_.store(true, std::memory_order_release);
        std::shared_ptr<Subscription> subscription;
        {
            std::lock_guard lock(mutex_);
            subscription = std::move(subscription_);
        }
        if (subscription) {
            subscription->cancel();
        }
    }

private:
    std::mutex mutex_;
    std::shared_ptr<Subscription> subscription_;
    std::atomic<bool> done_{false};
    std::function<void(const T&)> receiveValue_;
    std::function<void()> receiveCompletion_;
};

} // namespace detail

// A type-erased publisher: a value that subscribes subscribers. Copies subscribe to the same source.
template <class T> class Publisher {
public:
    using Output = T;
    using SubscribeFunction = std::function<void(std::shared_ptr<Subscriber<T>>)>;

    explicit Publisher(SubscribeFunction subscribe) : subscribe_(std::move(subscribe)) {}

    // Attaches a subscriber; it receives its subscription before this returns or later.
    void receive(std::shared_ptr<Subscriber<T>> subscriber) const { subscribe_(std::move(subscriber)); }

    // Subscribes closures with unlimited demand. The subscription lasts until the returned token is
    // cancelled or destroyed, or the stream completes.
    [[nodiscard]] AnyCancellable sink(std::function<void(const T&)> receiveValue,
                                      std::function<void()> receiveCompletion = nullptr) const {
        auto sink = std::make_shared<detail::Sink<T>>(std::move(receiveValue), std::move(receiveCompletion));
        receive(sink);
        return AnyCancellable([sink] { sink->cancel(); });
    }

    // Each value transformed; demand and completion pass through unchanged.
    template <class F>
    auto map(F transform) const -> Publisher<std::decay_t<std::invoke_result_t<F&, const T&>>> {
        using U = std::decay_t<std::invoke_result_t<F&, const T&>>;
        struct Mapper final : Subscriber<T> {
            Mapper(std::shared_ptr<Subscriber<U>> downstream, F transform)
                : downstream(std::move(downstream)), transform(std::move(transform)) {}
            void receive(std::shared_ptr<Subscription> subscription) override {
                downstream->receive(std::move(subscription));
            }
            Demand receive(const T& value) override { return downstream->receive(transform(value)); }
            void receiveCompletion() override { downstream->receiveCompletion(); }
            std::shared_ptr<Subscriber<U>> downstream;
            F transform;
        };
        return Publisher<U>([upstream = *this, transform = std::move(transform)](auto downstream) {
            upstream.receive(std::make_shared<Mapper>(std::move(downstream), transform));
        });
    }

    // Only the values the predicate accepts; each refused value asks the upstream for one more, so the
    // downstream's demand counts accepted values only. Completion passes through.
    template <class F> Publisher<T> filter(F predicate) const {
        struct Filter final : Subscriber<T> {
            Filter(std::shared_ptr<Subscriber<T>> downstream, F predicate)
                : downstream(std::move(downstream)), predicate(std::move(predicate)) {}
            void receive(std::shared_ptr<Subscription> subscription) override {
                downstream->receive(std::move(subscription));
            }
            Demand receive(const T& value) override {
                return predicate(value) ? downstream->receive(value) : Demand::max(1);
            }
            void receiveCompletion() override { downstream->receiveCompletion(); }
            std::shared_ptr<Subscriber<T>> downstream;
            F predicate;
        };
        return Publisher<T>([upstream = *this, predicate = std::move(predicate)](auto downstream) {
            upstream.receive(std::make_shared<Filter>(std::move(downstream), predicate));
        });
    }

    // The values of this publisher and of other, interleaved as they arrive, within the subscriber's
    // demand (values beyond it are dropped). Completes when both have completed; cancelling cancels both.
    Publisher<T> merge(const Publisher<T>& other) const;

    // Hands every event to the subscriber on the main thread: at once when it arrives there, otherwise
    // through the shared main queue, so events from one thread keep their order. The subscription, its
    // requests and its cancellation reach the upstream on the main thread too. Every value answers the
    // upstream with unlimited demand. Events still queued when the subscriber cancels are dropped.
    Publisher<T> receiveOnMain() const;

    Publisher<T> eraseToAnyPublisher() const { return *this; }

private:
    SubscribeFunction subscribe_;
};

template <class T> using AnyPublisher = Publisher<T>;

// A publisher over a source that pushes values whenever it likes (notifications, callbacks): attach
// connects one subscriber's send function and returns the token that disconnects it. Values pushed
// while the subscriber has no demand are dropped.
template <class T>
Publisher<T> makePushPublisher(std::function<Cancellable(std::function<void(const T&)> send)> attach) {
    return Publisher<T>([attach = std::move(attach)](std::shared_ptr<Subscriber<T>> subscriber) {
        auto conduit = std::make_shared<detail::Conduit<T>>(subscriber);
        subscriber->receive(conduit);
        conduit->setDetach(attach([weak = std::weak_ptr<detail::Conduit<T>>(conduit)](const T& value) {
            if (const auto conduit = weak.lock()) {
                conduit->deliver(value);
            }
        }));
    });
}

// Broadcasts values to its current subscribers on the sending thread, each within its demand. A value
// sent to nobody, or to a subscriber that asked for nothing more, is gone. Thread-safe. Destroying the
// subject completes it.
template <class T> class PassthroughSubject {
public:
    PassthroughSubject() = default;
    ~PassthroughSubject() { state_->complete(); }
    PassthroughSubject(const PassthroughSubject&) = delete;
    PassthroughSubject& operator=(const PassthroughSubject&) = delete;

    void send(const T& value) const { state_->send(value); }

    // Ends the stream: current subscribers get the completion, later ones get it on subscribing, and
    // later values are ignored.
    void sendCompletion() const { state_->complete(); }

    Publisher<T> publisher() const {
        return Publisher<T>([weak = std::weak_ptr<detail::SubjectState<T>>(state_)](auto subscriber) {
            auto conduit = std::make_shared<detail::Conduit<T>>(subscriber);
            subscriber->receive(conduit);
            if (const auto state = weak.lock()) {
                state->add(conduit);
            } else {
                conduit->finish();
            }
        });
    }

    [[nodiscard]] AnyCancellable sink(std::function<void(const T&)> receiveValue,
                                      std::function<void()> receiveCompletion = nullptr) const {
        return publisher().sink(std::move(receiveValue), std::move(receiveCompletion));
    }

    std::size_t subscriberCount() const { return state_->count(); }

private:
    std::shared_ptr<detail::SubjectState<T>> state_ = std::make_shared<detail::SubjectState<T>>();
};

// A subject that holds a current value: a new subscriber receives it as soon as it asks for a value,
// then every later one. Thread-safe; destroying the subject completes it.
template <class T> class CurrentValueSubject {
public:
    explicit CurrentValueSubject(T initial) : shared_(std::make_shared<Shared>(std::move(initial))) {}
    ~CurrentValueSubject() { shared_->state->complete(); }
    CurrentValueSubject(const CurrentValueSubject&) = delete;
    CurrentValueSubject& operator=(const CurrentValueSubject&) = delete;

    T value() const {
        std::lock_guard lock(shared_->mutex);
        return shared_->value;
    }

    void send(const T& value) const {
        {
            std::lock_guard lock(shared_->mutex);
            if (shared_->state->isCompleted()) {
                return;
            }
            shared_->value = value;
        }
        shared_->state->send(value);
    }

    void sendCompletion() const { shared_->state->complete(); }

    Publisher<T> publisher() const {
        return Publisher<T>(
            [weak = std::weak_ptr<Shared>(shared_)](std::shared_ptr<Subscriber<T>> subscriber) {
                auto conduit = std::make_shared<detail::Conduit<T>>(subscriber);
                const auto shared = weak.lock();
                if (!shared) {
                    subscriber->receive(conduit);
                    conduit->finish();
                    return;
                }
                subscriber->receive(std::make_shared<Initial>(conduit, shared));
                shared->state->add(conduit);
            });
    }

    [[nodiscard]] AnyCancellable sink(std::function<void(const T&)> receiveValue,
                                      std::function<void()> receiveCompletion = nullptr) const {
        return publisher().sink(std::move(receiveValue), std::move(receiveCompletion));
    }

    std::size_t subscriberCount() const { return shared_->state->count(); }

private:
    struct Shared {
        explicit Shared(T initial) : value(std::move(initial)) {}
        mutable std::mutex mutex;
        T value;
        std::shared_ptr<detail::SubjectState<T>> state = std::make_shared<detail::SubjectState<T>>();
    };

    // Wraps a subject conduit: the first request hands over the current value before joining the
    // subject's broadcasts.
    class Initial final : public Subscription {
    public:
        Initial(std::shared_ptr<detail::Conduit<T>> conduit, const std::shared_ptr<Shared>& shared)
            : conduit_(std::move(conduit)), shared_(shared) {}

        void request(Demand demand) override {
            if (demand.isNone()) {
                return;
            }
            if (joined_.exchange(true)) {
                conduit_->request(demand);
                return;
            }
            // Serialised with the subject's deliveries, so a value sent meanwhile from another thread
            // arrives after the current one, never before it.
            conduit_->serialised([&] {
                conduit_->request(demand);
                const auto shared = shared_.lock();
                if (!shared) {
                    return;
                }
                std::optional<T> current;
                {
                    std::lock_guard lock(shared->mutex);
                    if (!shared->state->isCompleted()) {
                        current = shared->value;
                    }
                }
                if (current) {
                    conduit_->deliver(*current);
                }
            });
        }

        void cancel() override { conduit_->cancel(); }

    private:
        std::shared_ptr<detail::Conduit<T>> conduit_;
        std::weak_ptr<Shared> shared_;
        std::atomic<bool> joined_{false};
    };

    std::shared_ptr<Shared> shared_;
};

namespace detail {

// The shared end of a merge: the conduit towards the downstream and the subscriptions of both upstreams.
template <class T> struct MergeState {
    explicit MergeState(std::shared_ptr<Conduit<T>> conduit) : conduit(std::move(conduit)) {}

    void cancelUpstreams() {
        std::vector<std::shared_ptr<Subscription>> taken;
        {
            std::lock_guard lock(mutex);
            cancelled = true;
            taken.swap(upstreams);
        }
        for (const auto& subscription : taken) {
            subscription->cancel();
        }
    }

    std::shared_ptr<Conduit<T>> conduit;
    std::mutex mutex;
    std::vector<std::shared_ptr<Subscription>> upstreams;
    int remaining = 2;
    bool cancelled = false;
};

// One upstream of a merge: asks for every value and hands each to the shared conduit.
template <class T> class MergeInner final : public Subscriber<T> {
public:
    explicit MergeInner(std::shared_ptr<MergeState<T>> state) : state_(std::move(state)) {}

    void receive(std::shared_ptr<Subscription> subscription) override {
        bool accepted = false;
        {
            std::lock_guard lock(state_->mutex);
            if (!state_->cancelled) {
                state_->upstreams.push_back(subscription);
                accepted = true;
            }
        }
        if (!accepted) {
            subscription->cancel();
            return;
        }
        subscription->request(Demand::unlimited());
    }

    Demand receive(const T& value) override {
        state_->conduit->deliver(value);
        return Demand::none();
    }

    void receiveCompletion() override {
        bool last = false;
        {
            std::lock_guard lock(state_->mutex);
            last = --state_->remaining == 0;
        }
        if (last) {
            state_->conduit->finish();
        }
    }

private:
    std::shared_ptr<MergeState<T>> state_;
};

} // namespace detail

template <class T> Publisher<T> Publisher<T>::merge(const Publisher<T>& other) const {
    return Publisher<T>([first = *this, second = other](std::shared_ptr<Subscriber<T>> downstream) {
        auto conduit = std::make_shared<detail::Conduit<T>>(downstream);
        auto state = std::make_shared<detail::MergeState<T>>(conduit);
        downstream->receive(conduit);
        conduit->setDetach(Cancellable([weak = std::weak_ptr<detail::MergeState<T>>(state)] {
            if (const auto state = weak.lock()) {
                state->cancelUpstreams();
            }
        }));
        first.receive(std::make_shared<detail::MergeInner<T>>(state));
        second.receive(std::make_shared<detail::MergeInner<T>>(state));
    });
}

namespace detail {

// One per subscriber of receiveOnMain(): a subscriber towards the upstream and the subscription towards
// the downstream. Its state beyond the cancelled flag is touched on the main thread only.
template <class T>
class MainThreadInner final : public Subscriber<T>,
                              public Subscription,
                              public std::enable_shared_from_this<MainThreadInner<T>> {
public:
    explicit MainThreadInner(std::shared_ptr<Subscriber<T>> downstream)
        : downstream_(std::move(downstream)) {}

    void receive(std::shared_ptr<Subscription> subscription) override {
        onMain([subscription = std::move(subscription)](MainThreadInner& inner) {
            if (inner.cancelled_.load(std::memory_order_acquire)) {
                subscription->cancel();
                return;
            }
            inner.subscription_ = subscription;
            inner.downstream_->receive(inner.shared_from_this());
        });
    }

    Demand receive(const T& value) override {
        onMain([value](MainThreadInner& inner) {
            if (inner.subscription_ && !inner.cancelled_.load(std::memory_order_acquire)) {
                const auto downstream = inner.downstream_; // it may cancel from inside
                (void)downstream->receive(value);
            }
        });
        return Demand::unlimited();
    }

    void receiveCompletion() override {
        onMain([](MainThreadInner& inner) {
            if (inner.subscription_ && !inner.cancelled_.load(std::memory_order_acquire)) {
                // Nothing reaches the downstream after its completion: let go of it.
                const auto downstream = std::exchange(inner.downstream_, nullptr);
                inner.cancelled_.store(true, std::memory_order_release);
                downstream->receiveCompletion();
            }
        });
    }

    void request(Demand demand) override {
        onMain([demand](MainThreadInner& inner) {
            if (inner.subscription_ && !inner.cancelled_.load(std::memory_order_acquire)) {
                inner.subscription_->request(demand);
            }
        });
    }

    // Stops deliveries at once on any thread; the upstream is cancelled on the main thread.
    void cancel() override {
        cancelled_.store(true, std::memory_order_release);
        onMain([](MainThreadInner& inner) {
            const auto downstream = std::exchange(inner.downstream_, nullptr);
            if (auto subscription = std::exchange(inner.subscription_, nullptr)) {
                subscription->cancel();
            }
        });
    }

private:
    void onMain(std::function<void(MainThreadInner&)> step) {
        if (isMainThread()) {
            step(*this);
        } else {
            MainQueue::shared().async(
                [self = this->shared_from_this(), step = std::move(step)] { step(*self); });
        }
    }

    std::shared_ptr<Subscriber<T>> downstream_;
    std::shared_ptr<Subscription> subscription_;
    std::atomic<bool> cancelled_{false};
};

} // namespace detail

template <class T> Publisher<T> Publisher<T>::receiveOnMain() const {
    return Publisher<T>([upstream = *this](std::shared_ptr<Subscriber<T>> downstream) {
        upstream.receive(std::make_shared<detail::MainThreadInner<T>>(std::move(downstream)));
    });
}

} // namespace core
