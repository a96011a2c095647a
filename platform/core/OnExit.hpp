// Runs an action when a scope is left, however it is left (handlers may throw to a caller that goes on).
#pragma once

#include <utility>

namespace core {

template <typename Action> class OnExit {
public:
    explicit OnExit(Action action) : action_(std::move(action)) {}
    ~OnExit() { action_(); }
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;

private:
    Action action_;
};

} // namespace core
