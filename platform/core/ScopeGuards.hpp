// Scope guards: work that is undone however a scope is left (handlers may throw to a caller that goes on,
// such as a plug-in's C boundary).
#pragma once

#include <utility>

namespace core {

// Runs an action when the scope is left.
template <typename Action> class OnExit {
public:
    explicit OnExit(Action action) : action_(std::move(action)) {}
    ~OnExit() { action_(); }
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;

private:
    Action action_;
};

// Gives a variable a value for the lifetime of the scope and puts back the one it held.
template <class T> class Setting {
public:
    Setting(T& variable, T value) : variable_(variable), saved_(std::exchange(variable, std::move(value))) {}
    ~Setting() { variable_ = std::move(saved_); }
    Setting(const Setting&) = delete;
    Setting& operator=(const Setting&) = delete;

private:
    T& variable_;
    T saved_;
};

} // namespace core
