#pragma once

// Plain geometry values in the AppKit convention: y grows upwards unless a context or view says it is
// flipped. All lengths are points (1 pt = 1 px at backing scale 1).

#include <cmath>
#include <limits>

namespace graphics {

struct Point {
    double x = 0;
    double y = 0;

    friend bool operator==(const Point&, const Point&) = default;
    Point operator+(const Point& o) const { return {x + o.x, y + o.y}; }
    Point operator-(const Point& o) const { return {x - o.x, y - o.y}; }
};

struct Size {
    double width = 0;
    double height = 0;

    friend bool operator==(const Size&, const Size&) = default;
    // Both dimensions non-zero.
    bool hasArea() const { return width != 0 && height != 0; }
};

struct EdgeInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;

    friend bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
    bool isZero() const { return top == 0 && left == 0 && bottom == 0 && right == 0; }
    double horizontal() const { return left + right; }
    double vertical() const { return top + bottom; }
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(Point o, Size s) : origin(o), size(s) {}
    constexpr Rect(double x, double y, double w, double h) : origin{x, y}, size{w, h} {}

    friend bool operator==(const Rect&, const Rect&) = default;

    // The null rect (no position at all): what an empty intersection returns.
    static Rect null();
    static constexpr Rect zero() { return {}; }

    double x() const { return origin.x; }
    double y() const { return origin.y; }
    double width() const { return size.width; }
    double height() const { return size.height; }
    // Edges are taken from the standardized rect, so negative sizes behave.
    double minX() const;
    double midX() const;
    double maxX() const;
    double minY() const;
    double midY() const;
    double maxY() const;
    Point center() const { return {midX(), midY()}; }

    bool isNull() const;
    // Null, or zero width or height.
    bool isEmpty() const;
    // Width and height positive and origin non-negative is not implied; only the sign of the size.
    Rect standardized() const;

    // Positive dx/dy shrink the rect. Null stays null; a rect that inverts becomes null.
    Rect insetBy(double dx, double dy) const;
    // Insets measured from the edges; in y-up space "top" is the maxY side unless flipped is set.
    Rect insetBy(const EdgeInsets& insets, bool flipped = false) const;
    Rect offsetBy(double dx, double dy) const;
    Rect unionWith(const Rect& other) const;
    // Null when the rects do not overlap (touching edges count as no overlap).
    Rect intersection(const Rect& other) const;
    bool intersects(const Rect& other) const;
    // Half-open on the max edges, as AppKit's hit tests are.
    bool contains(Point p) const;
    bool contains(const Rect& other) const;
    // The smallest rect with integral origin and size that covers this one: origin rounded down, far
    // edges rounded up. Null stays null; an empty rect is made integral the same way (so a zero-width
    // rect at a fractional x becomes one point wide, at an integral x stays zero-wide).
    Rect integral() const;
};

// Row-vector affine transform, as CoreGraphics writes it: x' = a*x + c*y + tx, y' = b*x + d*y + ty.
struct AffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    friend bool operator==(const AffineTransform&, const AffineTransform&) = default;

    static constexpr AffineTransform identity() { return {}; }
    static AffineTransform makeTranslation(double x, double y) { return {1, 0, 0, 1, x, y}; }
    static AffineTransform makeScale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    static AffineTransform makeRotation(double radians);

    bool isIdentity() const { return *this == identity(); }
    // t.concatenating(u) applies t first, then u.
    AffineTransform concatenating(const AffineTransform& then) const;
    // Prepend: the new operation applies to points before this transform (CGAffineTransformTranslate).
    AffineTransform translatedBy(double x, double y) const;
    AffineTransform scaledBy(double sx, double sy) const;
    AffineTransform rotatedBy(double radians) const;
    // The identity is returned for a singular transform, which cannot be inverted.
    AffineTransform inverted() const;
    bool isInvertible() const { return a * d - b * c != 0; }

    Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    // Sizes take no translation.
    Size apply(Size s) const { return {a * s.width + c * s.height, b * s.width + d * s.height}; }
    // Bounding box of the transformed corners.
    Rect apply(const Rect& r) const;
    // True when y grows downwards after this transform relative to before it.
    bool flipsY() const { return a * d - b * c < 0; }
};

// Degrees to radians with the nearest-double pi.
inline double radians(double degrees) {
    return degrees * 3.141592653589793 / 180.0;
}

} // namespace graphics
