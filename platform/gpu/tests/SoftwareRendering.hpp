#pragma once

// Included by tests that draw on the GPU: Mesa's software renderer on the surfaceless platform, so
// pixels come out alike on every machine, with or without a GPU or a display.

#include <cstdlib>

namespace gpu::testing {

inline const bool softwareRendering = [] {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("EGL_PLATFORM", "surfaceless", 0);
    return true;
}();

} // namespace gpu::testing
