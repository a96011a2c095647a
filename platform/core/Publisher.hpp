#pragma once

#include "core/Cancellable.hpp"
#include "core/MainQueue.hpp"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

namespace core {

// A small publish/subscribe kit in the manner of reactive streams that never fail. Demand is always
// unlimited: a subscriber receives every value sent after it subscribed, then at most one completion.
template <class T> struct Subscriber {
    std::function<void(const T&)> receiveValue;
    std::function<void()> receiveCompletion;
};

template <class T> class Publisher {
public:
    using Output = T;
    using SubscribeFunction = std::function<Cancellable(Subscriber<T>)>;

    explicit Publisher(SubscribeFunction subscribe) : subscribe_(std::move(subscribe)) {}

    [[nodiscard]] Cancellable subscribe(Subscriber<T> subscriber) const {
        return subscribe_(std::move(subscriber));
    }

    [[nodiscard]] Cancellable sink(std::function<void(const T&)> receiveValue,
                                   std::function<void()> receiveCompletion = nullptr) const {
        return subscribe(Subscriber<T>{std::move(receiveValue), std::move(receiveCompletion)});
    }

    template <class F>
    auto map(F transform) const -> Publisher<std::decay_t<std::invoke_result_t<F&, const T&>>> {
        using U = std::decay_t<std::invoke_result_t<F&, const T&>>;
        return Publisher<U>([upstream = *this, transform = std::move(transform)](Subscriber<U> downstream) {
            return upstream.subscribe(Subscriber<T>{
                [transform, receive = std::move(downstream.receiveValue)](const T& value) mutable {
                    if (receive) {
                        receive(transform(value));
                    }
                },
                std::move(downstream.receiveCompletion)});
        });
    }

    // Delivers every event on the main thread: at once when it arrives there, otherwise through the
    // shared main queue, in arrival order. Events still queued when the subscription is cancelled
    // are dropped.
    Publisher<T> receiveOnMain() const {
        return Publisher<T>([upstream = *this](Subscriber<T> downstream) {
            struct Inner {
                Subscriber<T> downstream;
                std::atomic<bool> cancelled{false};
            };
            auto inner = std::make_shared<Inner>();
            inner->downstream = std::move(downstream);
            auto deliver = [inner](std::function<void()> step) {
                if (isMainThread()) {
                    step();
                } else {
                    MainQueue::shared().async([inner, step = std::move(step)] { step(); });
                }
            };
            auto upstreamSubscription = std::make_shared<Cancellable>(upstream.subscribe(
                Subscriber<T>{[inner, deliver](const T& value) {
                                  deliver([inner, value] {
                                      if (!inner->cancelled.load() && inner->downstream.receiveValue) {
                                          inner->downstream.receiveValue(value);
                                      }
                                  });
                              },
                              [inner, deliver] {
                                  deliver([inner] {
                                      if (!inner->cancelled.load() && inner->downstream.receiveCompletion) {
                                          inner->downstream.receiveCompletion();
                                      }
                                  });
                              }}));
            return Cancellable([inner, upstreamSubscription] {
                inner->cancelled.store(true);
                upstreamSubscription->cancel();
            });
        });
    }

private:
    SubscribeFunction subscribe_;
};

// Broadcasts values to its current subscribers, on the sending thread. Thread-safe.
template <class T> class PassthroughSubject {
public:
    PassthroughSubject() = default;
    PassthroughSubject(const PassthroughSubject&) = delete;
    PassthroughSubject& operator=(const PassthroughSubject&) = delete;

    void send(const T& value) const {
        for (const auto& entry : state_->snapshot()) {
            if (state_->isSubscribed(entry.id) && entry.subscriber->receiveValue) {
                entry.subscriber->receiveValue(value);
            }
        }
    }

    // Ends the stream: current subscribers get the completion, later ones get it on subscribing,
    // and later values are ignored.
    void sendCompletion() const {
        std::vector<Entry> finished;
        {
            std::lock_guard lock(state_->mutex);
            if (state_->completed) {
                return;
            }
            state_->completed = true;
            finished.swap(state_->entries);
        }
        for (const auto& entry : finished) {
            if (entry.subscriber->receiveCompletion) {
                entry.subscriber->receiveCompletion();
            }
        }
    }

    Publisher<T> publisher() const {
        return Publisher<T>([weak = std::weak_ptr<State>(state_)](Subscriber<T> subscriber) {
            const auto state = weak.lock();
            if (!state) {
                return Cancellable();
            }
            return state->add(std::make_shared<Subscriber<T>>(std::move(subscriber)));
        });
    }

    [[nodiscard]] Cancellable sink(std::function<void(const T&)> receiveValue,
                                   std::function<void()> receiveCompletion = nullptr) const {
        return publisher().sink(std::move(receiveValue), std::move(receiveCompletion));
    }

    std::size_t subscriberCount() const {
        std::lock_guard lock(state_->mutex);
        return state_->entries.size();
    }

private:
    struct Entry {
        std::uint64_t id;
        std::shared_ptr<Subscriber<T>> subscriber;
    };

    struct State : std::enable_shared_from_this<State> {
        mutable std::mutex mutex;
        std::vector<Entry> entries;
        std::uint64_t nextId = 1;
        bool completed = false;

        Cancellable add(std::shared_ptr<Subscriber<T>> subscriber) {
            std::unique_lock lock(mutex);
            if (completed) {
                lock.unlock();
                if (subscriber->receiveCompletion) {
                    subscriber->receiveCompletion();
                }
                return Cancellable();
            }
            const auto id = nextId++;
            entries.push_back(Entry{id, std::move(subscriber)});
            return Cancellable([weak = this->weak_from_this(), id] {
                if (const auto state = weak.lock()) {
                    state->remove(id);
                }
            });
        }

        void remove(std::uint64_t id) {
            std::shared_ptr<Subscriber<T>> released;
            std::lock_guard lock(mutex);
            const auto it =
                std::find_if(entries.begin(), entries.end(), [id](const Entry& e) { return e.id == id; });
            if (it != entries.end()) {
                released = std::move(it->subscriber);
                entries.erase(it);
            }
        }

        bool isSubscribed(std::uint64_t id) const {
            std::lock_guard lock(mutex);
            return std::any_of(entries.begin(), entries.end(), [id](const Entry& e) { return e.id == id; });
        }

        std::vector<Entry> snapshot() const {
            std::lock_guard lock(mutex);
            return entries;
        }
    };

    std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace core
