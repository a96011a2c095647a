#include "Vimbra/Geometry.hpp"

#include "graphics/GraphicsContext.hpp"

#include <cmath>
#include <numbers>

namespace vimbra {
using graphics::EdgeInsets;
using graphics::Point;
using graphics::Rect;
using graphics::Size;

graphics::Rect operator*(const Rect& r, double s) {
    return {r.x() * s, r.y() * s, r.width() * s, r.height() * s};
}

graphics::Size operator*(const Size& v, double s) {
    return {v.width * s, v.height * s};
}

graphics::Point operator*(const Point& p, double s) {
    return {p.x * s, p.y * s};
}

graphics::Point& operator+=(Point& a, const Point& b) {
    a = a + b;
    return a;
}

graphics::Point& operator-=(Point& a, const Point& b) {
    a = a - b;
    return a;
}

graphics::Point min(const Point& a, const Point& b) {
    return {a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y};
}

graphics::Point max(const Point& a, const Point& b) {
    return {b.x <= a.x ? a.x : b.x, b.y <= a.y ? a.y : b.y};
}

graphics::EdgeInsets operator-(const EdgeInsets& i) {
    return {-i.top, -i.left, -i.bottom, -i.right};
}

graphics::Size size(const EdgeInsets& insets) {
    return {insets.horizontal(), insets.vertical()};
}

graphics::Point maxPoint(const Rect& r) {
    return {r.maxX(), r.maxY()};
}

bool hasArea(const Rect& r) {
    return r.size.hasArea();
}

graphics::Size inset(const Size& s, const EdgeInsets& insets) {
    return {s.width - insets.left - insets.right, s.height - insets.top - insets.bottom};
}

graphics::Rect pixelAligned(const Rect& r, double scale) {
    if (!(scale > 0)) {
        return r;
    }
    return (r * scale).integral() * (1.0 / scale);
}

graphics::Rect inset(const Rect& r, const EdgeInsets& i, bool flipped) {
    return Rect(r.x() + i.left, r.y() + (flipped ? i.top : i.bottom), r.width() - (i.left + i.right),
                r.height() - (i.top + i.bottom))
        .integral();
}

graphics::Rect outset(const Rect& r, const EdgeInsets& i, bool flipped) {
    return Rect(r.x() - i.left, r.y() - (flipped ? i.top : i.bottom), r.width() + i.left + i.right,
                r.height() + i.top + i.bottom)
        .integral();
}

graphics::Rect clamped(const Rect& r, const Rect& container) {
    const double x = std::max(container.x(), std::min(container.maxX(), r.maxX()) - r.width());
    const double y = std::max(container.y(), std::min(container.maxY(), r.maxY()) - r.height());
    return {x, y, r.width(), r.height()};
}

namespace {

// Rounds half away from zero in device pixels; a non-positive scale rounds in points.
double roundToPixels(double value, double scale) {
    if (!(scale > 0)) {
        return std::round(value);
    }
    return std::round(scale * value) / scale;
}

} // namespace

graphics::Rect centeredHorizontally(const Rect& r, const Rect& outer, double scale,
                                    std::optional<ClosedRange> clampedTo) {
    double x = roundToPixels(outer.midX() - r.width() * 0.5, scale);
    if (clampedTo) {
        x = std::min(std::max(x, clampedTo->lower), clampedTo->upper);
    }
    return pixelAligned(Rect(x, r.y(), r.width(), r.height()), scale > 0 ? scale : 1.0);
}

graphics::Rect centeredVertically(const Rect& r, const Rect& outer, double scale) {
    const double y = roundToPixels(outer.midY() - r.height() * 0.5, scale);
    return pixelAligned(Rect(r.x(), y, r.width(), r.height()), scale > 0 ? scale : 1.0);
}

graphics::Rect centered(const Rect& r, const Rect& outer, double scale) {
    const double dx = roundToPixels((outer.width() - r.width()) * 0.5, scale);
    const double dy = roundToPixels((outer.height() - r.height()) * 0.5, scale);
    const Rect result(outer.x() + dx, outer.y() + dy, r.width(), r.height());
    return scale > 0 ? pixelAligned(result, scale) : result;
}

graphics::BezierPath CornerRadii::path(const Rect& rect) const {
    constexpr double pi = std::numbers::pi;
    const double minX = rect.minX(), minY = rect.minY(), maxX = rect.maxX(), maxY = rect.maxY();
    graphics::BezierPath path;
    path.moveTo({minX + topLeft, minY});
    // addArc joins the current point to the arc's start with a line, which is the edge itself.
    auto corner = [&path](Point lineEnd, double radius, Point centre, double from, double to) {
        if (radius > 0) {
            path.addArc(centre, radius, from, to, false);
        } else {
            path.lineTo(lineEnd);
        }
    };
    corner({maxX - topRight, minY}, topRight, {maxX - topRight, minY + topRight}, 3 * pi / 2, 0);
    corner({maxX, maxY - bottomRight}, bottomRight, {maxX - bottomRight, maxY - bottomRight}, 0, pi / 2);
    corner({minX + bottomLeft, maxY}, bottomLeft, {minX + bottomLeft, maxY - bottomLeft}, pi / 2, pi);
    corner({minX, minY + topLeft}, topLeft, {minX + topLeft, minY + topLeft}, pi, 3 * pi / 2);
    path.close();
    return path;
}

graphics::BezierPath roundedPath(const Rect& rect, const CornerRadii& radii) {
    return radii.path(rect);
}

void flipVertically(const Rect& rect) {
    if (auto* context = graphics::GraphicsContext::current()) {
        context->concat(graphics::AffineTransform::makeTranslation(0, rect.height()).scaledBy(1, -1));
    }
}

} // namespace vimbra
