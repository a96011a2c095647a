#include "core/Observation.hpp"

#include <algorithm>
#include <atomic>

namespace core {

namespace detail {

std::uint64_t ObserverRegistry::add(Callback callback) {
    std::lock_guard lock(mutex_);
    const auto id = nextId_++;
    entries_.push_back(Entry{id, std::make_shared<Callback>(std::move(callback))});
    return id;
}

void ObserverRegistry::remove(std::uint64_t id) {
    std::shared_ptr<Callback> released;
    std::lock_guard lock(mutex_);
    const auto it =
        std::find_if(entries_.begin(), entries_.end(), [id](const Entry& e) { return e.id == id; });
    if (it != entries_.end()) {
        released = std::move(it->callback);
        entries_.erase(it);
    }
}

bool ObserverRegistry::empty() const {
    std::lock_guard lock(mutex_);
    return entries_.empty();
}

void ObserverRegistry::notify(const void* value) {
    // Keep the registry alive even if a callback destroys its owner.
    const auto self = shared_from_this();
    std::vector<Entry> snapshot;
    {
        std::lock_guard lock(mutex_);
        snapshot = entries_;
    }
    for (const auto& entry : snapshot) {
        bool stillRegistered;
        {
            std::lock_guard lock(mutex_);
            stillRegistered = std::any_of(entries_.begin(), entries_.end(),
                                          [&](const Entry& e) { return e.id == entry.id; });
        }
        if (stillRegistered) {
            (*entry.callback)(value);
        }
    }
}

namespace {

struct TrackingScope {
    std::vector<std::shared_ptr<ObserverRegistry>> accessed;
};

thread_local TrackingScope* tCurrentScope = nullptr;

} // namespace

void reportAccess(const std::shared_ptr<ObserverRegistry>& registry) {
    if (tCurrentScope == nullptr) {
        return;
    }
    auto& accessed = tCurrentScope->accessed;
    if (std::find(accessed.begin(), accessed.end(), registry) == accessed.end()) {
        accessed.push_back(registry);
    }
}

} // namespace detail

namespace {

// One tracking: a registration in every registry that was read, all dropped at the first change.
struct Tracking {
    std::mutex mutex;
    std::vector<std::pair<std::weak_ptr<detail::ObserverRegistry>, std::uint64_t>> registrations;
    std::function<void()> onChange;
    std::atomic<bool> fired{false};

    void unregisterAll() {
        std::vector<std::pair<std::weak_ptr<detail::ObserverRegistry>, std::uint64_t>> registrations;
        {
            std::lock_guard lock(mutex);
            registrations.swap(this->registrations);
        }
        for (auto& [weak, id] : registrations) {
            if (auto registry = weak.lock()) {
                registry->remove(id);
            }
        }
    }
};

} // namespace

ObservationToken withObservationTracking(const std::function<void()>& apply, std::function<void()> onChange) {
    detail::TrackingScope scope;
    detail::TrackingScope* const outer = std::exchange(detail::tCurrentScope, &scope);
    try {
        apply();
    } catch (...) {
        detail::tCurrentScope = outer;
        throw;
    }
    detail::tCurrentScope = outer;

    auto tracking = std::make_shared<Tracking>();
    tracking->onChange = std::move(onChange);
    for (const auto& registry : scope.accessed) {
        const std::weak_ptr<Tracking> weakTracking = tracking;
        const auto id = registry->add([weakTracking](const void*) {
            const auto tracking = weakTracking.lock();
            if (!tracking || tracking->fired.exchange(true)) {
                return;
            }
            tracking->unregisterAll();
            if (tracking->onChange) {
                tracking->onChange();
            }
        });
        std::lock_guard lock(tracking->mutex);
        tracking->registrations.emplace_back(registry, id);
    }

    return ObservationToken([tracking] {
        tracking->fired = true;
        tracking->unregisterAll();
    });
}

} // namespace core
