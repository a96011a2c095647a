#pragma once

#include "core/Cancellable.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace core {

namespace detail {

// A thread-safe list of callbacks. Notification calls a snapshot outside the lock, skipping callbacks
// removed meanwhile, so callbacks may add or remove observers (themselves included) while it runs.
class ObserverRegistry : public std::enable_shared_from_this<ObserverRegistry> {
public:
    using Callback = std::function<void(const void* value)>;

    std::uint64_t add(Callback callback);
    void remove(std::uint64_t id);
    void notify(const void* value);
    bool empty() const;

private:
    struct Entry {
        std::uint64_t id;
        std::shared_ptr<Callback> callback;
    };
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    std::uint64_t nextId_ = 1;
};

// Records a read of an observed value inside withObservationTracking().
void reportAccess(const std::shared_ptr<ObserverRegistry>& registry);

} // namespace detail

// Equality policies of observed properties. Value equality covers numbers, flags, optionals
// (absent equals absent) and arrays element by element; for std::shared_ptr it is object identity.
struct NotifyOnChange {
    template <class T> static bool same(const T& a, const T& b) { return a == b; }
};
struct NotifyAlways {
    template <class T> static bool same(const T&, const T&) { return false; }
};

// An observed property: a write notifies observers (synchronously, on the writing thread) only when
// the new value differs under the policy; an equal write stores silently. Not thread-safe: models
// write their observed properties on the main thread.
template <class T, class Policy = NotifyOnChange> class Observed {
public:
    Observed() : value_() {}
    explicit Observed(T initial) : value_(std::move(initial)) {}
    Observed(const Observed&) = delete;
    Observed& operator=(const Observed&) = delete;

    const T& get() const {
        detail::reportAccess(registry_);
        return value_;
    }
    operator const T&() const { return get(); }

    // Returns whether observers were notified.
    bool set(T newValue) {
        const bool changed = !Policy::same(value_, newValue);
        value_ = std::move(newValue);
        if (changed && !registry_->empty()) {
            // Observers get a copy, which stays valid even if one of them destroys this property.
            const T snapshot = value_;
            registry_->notify(&snapshot);
        }
        return changed;
    }
    Observed& operator=(T newValue) {
        set(std::move(newValue));
        return *this;
    }

    [[nodiscard]] ObservationToken observe(std::function<void(const T&)> observer) {
        const auto id = registry_->add(
            [observer = std::move(observer)](const void* value) { observer(*static_cast<const T*>(value)); });
        return ObservationToken([weak = std::weak_ptr(registry_), id] {
            if (auto registry = weak.lock()) {
                registry->remove(id);
            }
        });
    }

    // The value without registering interest in a tracking scope.
    const T& peek() const { return value_; }

private:
    T value_;
    std::shared_ptr<detail::ObserverRegistry> registry_ = std::make_shared<detail::ObserverRegistry>();
};

template <class T> using AlwaysObserved = Observed<T, NotifyAlways>;

// Runs apply() and records every observed property it reads on this thread; the first later change
// of any of them calls onChange once (after the new value is stored). Destroying the returned
// token stops the tracking.
[[nodiscard]] ObservationToken withObservationTracking(const std::function<void()>& apply,
                                                       std::function<void()> onChange);

} // namespace core
