#pragma once

// Included by tests that draw on the GPU: Mesa's software renderer on the surfaceless platform, so
// pixels come out alike on every machine, with or without a GPU or a display. The rasteriser runs on
// the calling thread: worker threads still winding down at exit can crash the leak checker's tracer.

#include <cstdlib>

namespace gpu::testing {

inline const bool softwareRendering = [] {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("EGL_PLATFORM", "surfaceless", 0);
    setenv("LP_NUM_THREADS", "0", 0);
    return true;
}();

} // namespace gpu::testing
