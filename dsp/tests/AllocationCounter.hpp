#pragma once

// Replaces the global allocation functions so that tests can count heap allocations made while counting is
// on. Every allocation still goes through malloc, so the sanitizers see it. The replacements may be defined
// only once per program: include this header from exactly one source file of a test binary.

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace alloccount {

inline std::atomic<bool> counting{false};
inline std::atomic<long> allocations{0};

inline void* allocate(std::size_t size, std::size_t alignment = 0) {
    if (counting.load(std::memory_order_relaxed)) {
        allocations.fetch_add(1, std::memory_order_relaxed);
    }
    void* memory = nullptr;
    if (alignment > alignof(std::max_align_t)) {
        return posix_memalign(&memory, alignment, size ? size : 1) == 0 ? memory : nullptr;
    }
    return std::malloc(size ? size : 1);
}

inline void* allocateOrThrow(std::size_t size, std::size_t alignment = 0) {
    if (void* memory = allocate(size, alignment)) {
        return memory;
    }
    throw std::bad_alloc();
}

// Allocations made while running f; a probe allocation first proves the counter sees them at all.
template <typename F> long allocationsDuring(F&& f) {
    static int* volatile probe;
    counting = true;
    probe = new int(1);
    counting = false;
    delete probe;
    if (allocations.exchange(0) != 1) {
        return -1;
    }
    counting = true;
    f();
    counting = false;
    return allocations.exchange(0);
}

} // namespace alloccount

void* operator new(std::size_t size) {
    return alloccount::allocateOrThrow(size);
}
void* operator new[](std::size_t size) {
    return alloccount::allocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return alloccount::allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return alloccount::allocate(size);
}
void* operator new(std::size_t size, std::align_val_t a) {
    return alloccount::allocateOrThrow(size, std::size_t(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
    return alloccount::allocateOrThrow(size, std::size_t(a));
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
