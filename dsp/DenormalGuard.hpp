#pragma once

#include <cstdint>

#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
#include <xmmintrin.h>
#endif

// Flushes denormals to zero while alive and restores the caller's floating-point mode afterwards.
// Decaying smoothers and feedback tails would otherwise crawl through denormals at a large cost per
// operation.
class DenormalGuard {
public:
    DenormalGuard() {
#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
        saved_ = _mm_getcsr();
        _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero);
#elif defined(__aarch64__)
        uint64_t fpcr;
        __asm__ __volatile__("mrs %0, fpcr" : "=r"(fpcr));
        saved_ = fpcr;
        fpcr |= kFlushToZero;
        __asm__ __volatile__("msr fpcr, %0" : : "r"(fpcr));
#endif
    }

    ~DenormalGuard() {
#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
        _mm_setcsr(saved_);
#elif defined(__aarch64__)
        uint64_t fpcr = saved_;
        __asm__ __volatile__("msr fpcr, %0" : : "r"(fpcr));
#endif
    }

    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;

private:
#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__)
    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;
    unsigned saved_ = 0;
#elif defined(__aarch64__)
    static constexpr uint64_t kFlushToZero = uint64_t{1} << 24;
    uint64_t saved_ = 0;
#endif
};
