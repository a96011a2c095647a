// Tokens that end a registration when cancelled or destroyed, and sets of them.
#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace core {

// Owns a registration (an observer, a subscription, a tracking scope) and ends it when cancelled
// or destroyed. Move-only.
class Cancellable {
public:
    Cancellable() = default;
    explicit Cancellable(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    ~Cancellable() { cancel(); }
    Cancellable(Cancellable&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)) {}
    Cancellable& operator=(Cancellable&& other) noexcept {
        if (this != &other) {
            cancel();
            cancel_ = std::exchange(other.cancel_, nullptr);
        }
        return *this;
    }
    Cancellable(const Cancellable&) = delete;
    Cancellable& operator=(const Cancellable&) = delete;

    void cancel() {
        if (auto cancel = std::exchange(cancel_, nullptr)) {
            cancel();
        }
    }
    bool isActive() const { return static_cast<bool>(cancel_); }

    // Hands ownership to a collection that lives as long as the owner's subscriptions should.
    void store(std::vector<Cancellable>& collection) && { collection.push_back(std::move(*this)); }

private:
    std::function<void()> cancel_;
};

using ObservationToken = Cancellable;
using AnyCancellable = Cancellable;
// The subscriptions an owner keeps while it lives; replacing or destroying it cancels them all.
using CancellableSet = std::vector<Cancellable>;

} // namespace core
