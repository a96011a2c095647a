#include "graphics/BezierPath.hpp"

#include "graphics/CairoSupport.hpp"
#include "graphics/GraphicsContext.hpp"

#include <algorithm>
#include <cmath>

namespace graphics {

namespace {

// The smallest rectangle holding every point given; empty when none was.
struct BoundsAccumulator {
    bool any = false;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    void include(Point p) {
        if (!any) {
            x0 = x1 = p.x;
            y0 = y1 = p.y;
            any = true;
        }
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    Rect rect() const { return any ? Rect{x0, y0, x1 - x0, y1 - y0} : Rect{}; }
};

constexpr double pi = 3.141592653589793;
// Control-point distance for a quarter ellipse drawn with one cubic.
constexpr double kappa = 0.5522847498307936;

} // namespace

BezierPath BezierPath::rect(const Rect& r) {
    BezierPath p;
    p.appendRect(r);
    return p;
}

BezierPath BezierPath::oval(const Rect& r) {
    BezierPath p;
    p.appendOval(r);
    return p;
}

BezierPath BezierPath::roundedRect(const Rect& r, double xRadius, double yRadius) {
    BezierPath p;
    p.appendRoundedRect(r, xRadius, yRadius);
    return p;
}

void BezierPath::moveTo(Point p) {
    elements_.push_back({PathElementType::moveTo, {p}});
    currentPoint_ = subpathStart_ = p;
    hasCurrentPoint_ = true;
}

void BezierPath::lineTo(Point p) {
    if (!hasCurrentPoint_) {
        moveTo(p);
        return;
    }
    elements_.push_back({PathElementType::lineTo, {p}});
    currentPoint_ = p;
}

void BezierPath::curveTo(Point end, Point control1, Point control2) {
    if (!hasCurrentPoint_)
        moveTo(control1);
    elements_.push_back({PathElementType::curveTo, {control1, control2, end}});
    currentPoint_ = end;
}

void BezierPath::close() {
    if (!hasCurrentPoint_)
        return;
    elements_.push_back({PathElementType::closePath, {}});
    currentPoint_ = subpathStart_;
}

void BezierPath::appendRect(const Rect& r0) {
    if (r0.isNull())
        return;
    Rect r = r0.standardized();
    moveTo({r.minX(), r.minY()});
    lineTo({r.maxX(), r.minY()});
    lineTo({r.maxX(), r.maxY()});
    lineTo({r.minX(), r.maxY()});
    close();
}

void BezierPath::appendOval(const Rect& r0) {
    if (r0.isNull())
        return;
    Rect r = r0.standardized();
    double rx = r.width() / 2, ry = r.height() / 2;
    double cx = r.midX(), cy = r.midY();
    double kx = rx * kappa, ky = ry * kappa;
    moveTo({cx + rx, cy});
    curveTo({cx, cy + ry}, {cx + rx, cy + ky}, {cx + kx, cy + ry});
    curveTo({cx - rx, cy}, {cx - kx, cy + ry}, {cx - rx, cy + ky});
    curveTo({cx, cy - ry}, {cx - rx, cy - ky}, {cx - kx, cy - ry});
    curveTo({cx + rx, cy}, {cx + kx, cy - ry}, {cx + rx, cy - ky});
    close();
}

void BezierPath::appendRoundedRect(const Rect& r0, double xRadius, double yRadius) {
    if (r0.isNull())
        return;
    Rect r = r0.standardized();
    double rx = std::clamp(xRadius, 0.0, r.width() / 2);
    double ry = std::clamp(yRadius, 0.0, r.height() / 2);
    if (rx <= 0 || ry <= 0) {
        appendRect(r);
        return;
    }
    double kx = rx * kappa, ky = ry * kappa;
    double x0 = r.minX(), x1 = r.maxX(), y0 = r.minY(), y1 = r.maxY();
    moveTo({x0 + rx, y0});
    lineTo({x1 - rx, y0});
    curveTo({x1, y0 + ry}, {x1 - rx + kx, y0}, {x1, y0 + ry - ky});
    lineTo({x1, y1 - ry});
    curveTo({x1 - rx, y1}, {x1, y1 - ry + ky}, {x1 - rx + kx, y1});
    lineTo({x0 + rx, y1});
    curveTo({x0, y1 - ry}, {x0 + rx - kx, y1}, {x0, y1 - ry + ky});
    lineTo({x0, y0 + ry});
    curveTo({x0 + rx, y0}, {x0, y0 + ry - ky}, {x0 + rx - kx, y0});
    close();
}

void BezierPath::addArc(Point c, double radius, double startAngle, double endAngle, bool clockwise) {
    double sweep = endAngle - startAngle;
    if (!clockwise) {
        if (sweep < 0)
            sweep = std::fmod(sweep, 2 * pi) + 2 * pi;
        sweep = std::min(sweep, 2 * pi);
    } else {
        if (sweep > 0)
            sweep = std::fmod(sweep, 2 * pi) - 2 * pi;
        sweep = std::max(sweep, -2 * pi);
    }
    Point start{c.x + radius * std::cos(startAngle), c.y + radius * std::sin(startAngle)};
    if (hasCurrentPoint_)
        lineTo(start);
    else
        moveTo(start);
    if (sweep == 0 || radius == 0)
        return;
    // At most a quarter turn per cubic keeps the error below 0.03% of the radius.
    int segments = static_cast<int>(std::ceil(std::fabs(sweep) / (pi / 2) - 1e-9));
    double step = sweep / segments;
    double k = 4.0 / 3.0 * std::tan(step / 4);
    double a = startAngle;
    for (int i = 0; i < segments; ++i) {
        double b = a + step;
        double ca = std::cos(a), sa = std::sin(a), cb = std::cos(b), sb = std::sin(b);
        Point p1{c.x + radius * (ca - k * sa), c.y + radius * (sa + k * ca)};
        Point p2{c.x + radius * (cb + k * sb), c.y + radius * (sb - k * cb)};
        Point p3{c.x + radius * cb, c.y + radius * sb};
        curveTo(p3, p1, p2);
        a = b;
    }
}

void BezierPath::appendArcDegrees(Point center, double radius, double startDegrees, double endDegrees,
                                  bool clockwise) {
    addArc(center, radius, radians(startDegrees), radians(endDegrees), clockwise);
}

void BezierPath::append(const BezierPath& other) {
    for (const auto& e : other.elements_) {
        switch (e.type) {
        case PathElementType::moveTo:
            moveTo(e.points[0]);
            break;
        case PathElementType::lineTo:
            lineTo(e.points[0]);
            break;
        case PathElementType::curveTo:
            curveTo(e.points[2], e.points[0], e.points[1]);
            break;
        case PathElementType::closePath:
            close();
            break;
        }
    }
}

void BezierPath::transform(const AffineTransform& t) {
    for (auto& e : elements_)
        for (auto& p : e.points)
            p = t.apply(p);
    currentPoint_ = t.apply(currentPoint_);
    subpathStart_ = t.apply(subpathStart_);
}

BezierPath BezierPath::transformed(const AffineTransform& t) const {
    BezierPath copy = *this;
    copy.transform(t);
    return copy;
}

Rect BezierPath::controlPointBounds() const {
    BoundsAccumulator bounds;
    for (const auto& e : elements_)
        for (const auto& p : e.points)
            bounds.include(p);
    return bounds.rect();
}

namespace {

// Parameters in (0, 1) where one coordinate of a cubic has a turning point.
int cubicExtrema(double p0, double p1, double p2, double p3, double out[2]) {
    double a = -p0 + 3 * p1 - 3 * p2 + p3;
    double b = 2 * (p0 - 2 * p1 + p2);
    double c = p1 - p0;
    int n = 0;
    auto keep = [&](double t) {
        if (t > 0 && t < 1)
            out[n++] = t;
    };
    if (std::fabs(a) < 1e-12) {
        if (std::fabs(b) > 1e-12)
            keep(-c / b);
        return n;
    }
    double disc = b * b - 4 * a * c;
    if (disc < 0)
        return 0;
    double root = std::sqrt(disc);
    keep((-b + root) / (2 * a));
    keep((-b - root) / (2 * a));
    return n;
}

double cubicAt(double p0, double p1, double p2, double p3, double t) {
    double u = 1 - t;
    return u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
}

} // namespace

Rect BezierPath::bounds() const {
    BoundsAccumulator bounds;
    auto include = [&](Point p) { bounds.include(p); };
    Point current;
    for (const auto& e : elements_) {
        switch (e.type) {
        case PathElementType::moveTo:
        case PathElementType::lineTo:
            current = e.points[0];
            include(current);
            break;
        case PathElementType::curveTo: {
            const Point &p1 = e.points[0], &p2 = e.points[1], &p3 = e.points[2];
            include(p3);
            double ts[2];
            int n = cubicExtrema(current.x, p1.x, p2.x, p3.x, ts);
            for (int i = 0; i < n; ++i)
                include({cubicAt(current.x, p1.x, p2.x, p3.x, ts[i]),
                         cubicAt(current.y, p1.y, p2.y, p3.y, ts[i])});
            n = cubicExtrema(current.y, p1.y, p2.y, p3.y, ts);
            for (int i = 0; i < n; ++i)
                include({cubicAt(current.x, p1.x, p2.x, p3.x, ts[i]),
                         cubicAt(current.y, p1.y, p2.y, p3.y, ts[i])});
            current = p3;
            break;
        }
        case PathElementType::closePath:
            break;
        }
    }
    return bounds.rect();
}

bool BezierPath::contains(Point p) const {
    if (elements_.empty())
        return false;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(surface);
    detail::appendPath(cr, *this);
    cairo_set_fill_rule(cr, detail::toCairo(windingRule_));
    bool inside = cairo_in_fill(cr, p.x, p.y);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return inside;
}

void BezierPath::fill() const {
    if (auto* ctx = GraphicsContext::current())
        ctx->fillPath(*this);
}

void BezierPath::stroke() const {
    if (auto* ctx = GraphicsContext::current())
        ctx->strokePath(*this);
}

void BezierPath::addClip() const {
    if (auto* ctx = GraphicsContext::current())
        ctx->clipToPath(*this);
}

} // namespace graphics
