#pragma once

// Shared defaults of the library's controls that come from its resources.

#include "graphics/Image.hpp"

namespace vimbra {
// The cycle cursor image "cursor-cycle": the application's own copy when its main bundle has one,
// else the library's. Missing from both stops the process: it is part of the product.
graphics::ImageRef cycleImage();

} // namespace vimbra
