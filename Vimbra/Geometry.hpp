#pragma once

// Arithmetic and placement on geometry values, and the rounded rectangle with one radius per corner.
// Placement takes a display scale and, when it is positive, lands edges on device pixels.

#include "graphics/BezierPath.hpp"
#include "graphics/Geometry.hpp"

#include <concepts>
#include <optional>

namespace vimbra {
// Scaling: every component multiplied (rect origin and size, size, point).
graphics::Rect operator*(const graphics::Rect& r, double s);
graphics::Size operator*(const graphics::Size& v, double s);
graphics::Point operator*(const graphics::Point& p, double s);
// The three geometry values the scaling operators below apply to, and nothing else (a duration or a
// complex number divided by a double must keep meaning what the standard library says).
template <class T>
concept ScalableGeometry =
    std::same_as<T, graphics::Rect> || std::same_as<T, graphics::Size> || std::same_as<T, graphics::Point>;

template <ScalableGeometry T> T operator*(double s, const T& v) {
    return v * s;
}
template <ScalableGeometry T> T operator/(const T& v, double s) {
    return v * (1.0 / s);
}

graphics::Point& operator+=(graphics::Point& a, const graphics::Point& b);
graphics::Point& operator-=(graphics::Point& a, const graphics::Point& b);
// Component-wise: min keeps the first operand's component when it is smaller, max when the second's
// is smaller or equal.
graphics::Point min(const graphics::Point& a, const graphics::Point& b);
graphics::Point max(const graphics::Point& a, const graphics::Point& b);

graphics::EdgeInsets operator-(const graphics::EdgeInsets& insets);
// (left + right, top + bottom).
graphics::Size size(const graphics::EdgeInsets& insets);

graphics::Point maxPoint(const graphics::Rect& r);
bool hasArea(const graphics::Rect& r);
// (width - left - right, height - top - bottom).
graphics::Size inset(const graphics::Size& s, const graphics::EdgeInsets& insets);

// Integral in device pixels: scaled up, made integral (covering the input), scaled back. A scale of 0
// or less returns the rect unchanged.
graphics::Rect pixelAligned(const graphics::Rect& r, double scale);
// x + left, y + (flipped ? top : bottom), width - horizontal, height - vertical, made integral.
graphics::Rect inset(const graphics::Rect& r, const graphics::EdgeInsets& insets, bool flipped);
graphics::Rect outset(const graphics::Rect& r, const graphics::EdgeInsets& insets, bool flipped);
// Same size, moved into the container; a rect larger than the container goes to its origin.
graphics::Rect clamped(const graphics::Rect& r, const graphics::Rect& container);

struct ClosedRange {
    double lower = 0;
    double upper = 0;
};

// The rect's size centred in outer along one axis or both; offsets round half away from zero in
// device pixels. Each keeps the rect's size: the one-axis forms are aligned to device pixels at the
// given scale rather than widened to whole points.
graphics::Rect centeredHorizontally(const graphics::Rect& r, const graphics::Rect& outer, double scale,
                                    std::optional<ClosedRange> clampedTo = std::nullopt);
graphics::Rect centeredVertically(const graphics::Rect& r, const graphics::Rect& outer, double scale);
graphics::Rect centered(const graphics::Rect& r, const graphics::Rect& outer, double scale);

// Radii per corner; "top" corners are those at the minimum y (the views drawing them are flipped).
struct CornerRadii {
    double topLeft = 0;
    double topRight = 0;
    double bottomRight = 0;
    double bottomLeft = 0;

    friend bool operator==(const CornerRadii&, const CornerRadii&) = default;

    // Starts on the minimum-y edge after the top-left radius and runs counter-clockwise in y-up terms,
    // with a quarter arc at every corner whose radius is positive. Radii are not limited to the sides.
    graphics::BezierPath path(const graphics::Rect& rect) const;
};

graphics::BezierPath roundedPath(const graphics::Rect& rect, const CornerRadii& radii);

// Flips the current graphics context over a rect's height: translate (0, height), then scale (1, -1).
void flipVertically(const graphics::Rect& rect);

} // namespace vimbra
