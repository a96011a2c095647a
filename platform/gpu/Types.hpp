#pragma once

// Value types of the GPU layer: pixel formats, viewports, clear colours, colour spaces and its error.

#include <stdexcept>
#include <string>

namespace gpu {

// Raw values follow the numbering that the shader kit's data uses (RGBA of four 16-bit floats = 115).
enum class PixelFormat : unsigned {
    invalid = 0,
    rgba8Unorm = 70,
    bgra8Unorm = 80,
    rgba16Float = 115,
};

// How the values a view's drawable holds are meant: none = already display-encoded; the extended linear
// spaces hold linear light (values outside 0...1 are kept in the drawable and clamped on presentation).
enum class ColorSpace { none, extendedLinearSRGB, extendedLinearDisplayP3 };

enum class PrimitiveType { point = 0, line = 1, lineStrip = 2, triangle = 3, triangleStrip = 4 };

struct Viewport {
    double originX = 0;
    double originY = 0;
    double width = 0;
    double height = 0;
    double znear = 0;
    double zfar = 1;
    friend bool operator==(const Viewport&, const Viewport&) = default;
};

struct ClearColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
};

// The failure of a GPU operation (library loading, shader compilation, pipeline creation, textures).
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace gpu
