#pragma once

#include <atomic>

// Fields that a parameter write on another thread may touch while the render thread reads them are plain
// members (so the engine stays a copyable aggregate) accessed through these relaxed atomic views.
template <class T> inline T loadRelaxed(const T& value) {
    static_assert(std::atomic_ref<T>::is_always_lock_free);
    return std::atomic_ref<T>(const_cast<T&>(value)).load(std::memory_order_relaxed);
}

template <class T> inline void storeRelaxed(T& field, T value) {
    std::atomic_ref<T>(field).store(value, std::memory_order_relaxed);
}
