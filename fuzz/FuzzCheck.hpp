#pragma once

// The fuzz targets' invariant check: a broken invariant stops the run as a crash, so the input is kept.

namespace fuzzcheck {

inline void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace fuzzcheck
