#include "graphics/Geometry.hpp"

#include <algorithm>

namespace graphics {

namespace {
constexpr double inf = std::numeric_limits<double>::infinity();
}

Rect Rect::null() {
    return {inf, inf, 0, 0};
}

bool Rect::isNull() const {
    return std::isinf(origin.x) || std::isinf(origin.y);
}

bool Rect::isEmpty() const {
    return isNull() || size.width == 0 || size.height == 0;
}

Rect Rect::standardized() const {
    if (isNull())
        return *this;
    Rect r = *this;
    if (r.size.width < 0) {
        r.origin.x += r.size.width;
        r.size.width = -r.size.width;
    }
    if (r.size.height < 0) {
        r.origin.y += r.size.height;
        r.size.height = -r.size.height;
    }
    return r;
}

double Rect::minX() const {
    return standardized().origin.x;
}
double Rect::maxX() const {
    Rect r = standardized();
    return r.origin.x + r.size.width;
}
double Rect::midX() const {
    Rect r = standardized();
    return r.origin.x + r.size.width * 0.5;
}
double Rect::minY() const {
    return standardized().origin.y;
}
double Rect::maxY() const {
    Rect r = standardized();
    return r.origin.y + r.size.height;
}
double Rect::midY() const {
    Rect r = standardized();
    return r.origin.y + r.size.height * 0.5;
}

Rect Rect::insetBy(double dx, double dy) const {
    if (isNull())
        return *this;
    Rect r = standardized();
    r.origin.x += dx;
    r.origin.y += dy;
    r.size.width -= 2 * dx;
    r.size.height -= 2 * dy;
    if (r.size.width < 0 || r.size.height < 0)
        return null();
    return r;
}

Rect Rect::insetBy(const EdgeInsets& in, bool flipped) const {
    if (isNull())
        return *this;
    Rect r = standardized();
    return {r.origin.x + in.left, r.origin.y + (flipped ? in.top : in.bottom), r.size.width - in.horizontal(),
            r.size.height - in.vertical()};
}

Rect Rect::offsetBy(double dx, double dy) const {
    if (isNull())
        return *this;
    return {origin.x + dx, origin.y + dy, size.width, size.height};
}

Rect Rect::unionWith(const Rect& other) const {
    if (isNull())
        return other.standardized();
    if (other.isNull())
        return standardized();
    double x0 = std::min(minX(), other.minX());
    double y0 = std::min(minY(), other.minY());
    double x1 = std::max(maxX(), other.maxX());
    double y1 = std::max(maxY(), other.maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::intersection(const Rect& other) const {
    if (isNull() || other.isNull())
        return null();
    double x0 = std::max(minX(), other.minX());
    double y0 = std::max(minY(), other.minY());
    double x1 = std::min(maxX(), other.maxX());
    double y1 = std::min(maxY(), other.maxY());
    if (x1 < x0 || y1 < y0)
        return null();
    return {x0, y0, x1 - x0, y1 - y0};
}

bool Rect::intersects(const Rect& other) const {
    Rect r = intersection(other);
    return !r.isNull() && !r.isEmpty();
}

bool Rect::contains(Point p) const {
    if (isEmpty())
        return false;
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool Rect::contains(const Rect& other) const {
    if (isNull() || other.isNull())
        return false;
    return other.minX() >= minX() && other.maxX() <= maxX() && other.minY() >= minY() &&
           other.maxY() <= maxY();
}

Rect Rect::integral() const {
    if (isNull())
        return *this;
    Rect r = standardized();
    double x0 = std::floor(r.origin.x);
    double y0 = std::floor(r.origin.y);
    double x1 = std::ceil(r.origin.x + r.size.width);
    double y1 = std::ceil(r.origin.y + r.size.height);
    return {x0, y0, x1 - x0, y1 - y0};
}

AffineTransform AffineTransform::makeRotation(double radians) {
    double c = std::cos(radians);
    double s = std::sin(radians);
    return {c, s, -s, c, 0, 0};
}

AffineTransform AffineTransform::concatenating(const AffineTransform& u) const {
    const AffineTransform& t = *this;
    return {t.a * u.a + t.b * u.c, t.a * u.b + t.b * u.d,          t.c * u.a + t.d * u.c,
            t.c * u.b + t.d * u.d, t.tx * u.a + t.ty * u.c + u.tx, t.tx * u.b + t.ty * u.d + u.ty};
}

AffineTransform AffineTransform::translatedBy(double x, double y) const {
    return makeTranslation(x, y).concatenating(*this);
}

AffineTransform AffineTransform::scaledBy(double sx, double sy) const {
    return makeScale(sx, sy).concatenating(*this);
}

AffineTransform AffineTransform::rotatedBy(double radians) const {
    return makeRotation(radians).concatenating(*this);
}

AffineTransform AffineTransform::inverted() const {
    double det = a * d - b * c;
    if (det == 0)
        return identity();
    double ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
    return {ia, ib, ic, id, -(tx * ia + ty * ic), -(tx * ib + ty * id)};
}

Rect AffineTransform::apply(const Rect& r) const {
    if (r.isNull())
        return r;
    Rect s = r.standardized();
    Point p[4] = {apply(Point{s.minX(), s.minY()}), apply(Point{s.maxX(), s.minY()}),
                  apply(Point{s.minX(), s.maxY()}), apply(Point{s.maxX(), s.maxY()})};
    double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
    for (const Point& q : p) {
        x0 = std::min(x0, q.x);
        x1 = std::max(x1, q.x);
        y0 = std::min(y0, q.y);
        y1 = std::max(y1, q.y);
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

} // namespace graphics
