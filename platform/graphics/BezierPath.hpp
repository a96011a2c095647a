#pragma once

// A path of move/line/cubic-curve/close elements in user space, with its stroke attributes. Arcs, ovals
// and rounded corners are stored as cubic curves, so the element list is all a back end needs.

#include "graphics/Geometry.hpp"

#include <vector>

namespace graphics {

enum class PathElementType { moveTo, lineTo, curveTo, closePath };

struct PathElement {
    PathElementType type = PathElementType::moveTo;
    // moveTo/lineTo: one point; curveTo: control point 1, control point 2, end point; closePath: none.
    std::vector<Point> points;

    friend bool operator==(const PathElement&, const PathElement&) = default;
};

enum class LineCap { butt = 0, round = 1, square = 2 };
enum class LineJoin { miter = 0, round = 1, bevel = 2 };
enum class FillRule { nonZero = 0, evenOdd = 1 };

class BezierPath {
public:
    BezierPath() = default;

    static BezierPath rect(const Rect& r);
    static BezierPath oval(const Rect& r);
    // Corners of radius xRadius by yRadius, each clamped to half the side (as AppKit does).
    static BezierPath roundedRect(const Rect& r, double xRadius, double yRadius);

    void moveTo(Point p);
    // A line or curve without a current point starts the subpath at its first point.
    void lineTo(Point p);
    void curveTo(Point end, Point control1, Point control2);
    void close();

    void appendRect(const Rect& r);
    void appendOval(const Rect& r);
    void appendRoundedRect(const Rect& r, double xRadius, double yRadius);
    // Arc in radians. clockwise=false sweeps increasing angles (counter-clockwise in y-up space); when the
    // end angle is behind the start in the sweep direction a full turn is added. With a current point a
    // line joins it to the arc's start, otherwise the arc starts a new subpath.
    void addArc(Point center, double radius, double startAngle, double endAngle, bool clockwise);
    // AppKit's degree form of the same.
    void appendArcDegrees(Point center, double radius, double startDegrees, double endDegrees,
                          bool clockwise = false);
    void append(const BezierPath& other);

    // Transforms every point (stroke attributes unchanged).
    void transform(const AffineTransform& t);
    BezierPath transformed(const AffineTransform& t) const;

    const std::vector<PathElement>& elements() const { return elements_; }
    std::size_t elementCount() const { return elements_.size(); }
    bool isEmpty() const { return elements_.empty(); }
    bool hasCurrentPoint() const { return hasCurrentPoint_; }
    Point currentPoint() const { return currentPoint_; }
    // Tight bounds of the geometry (curve extrema, not control points); zero rect when empty.
    Rect bounds() const;
    // Bounds of every point including curve control points.
    Rect controlPointBounds() const;
    // Inside the filled area under the path's winding rule.
    bool contains(Point p) const;

    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double w) { lineWidth_ = w; }
    LineCap lineCapStyle() const { return lineCap_; }
    void setLineCapStyle(LineCap c) { lineCap_ = c; }
    LineJoin lineJoinStyle() const { return lineJoin_; }
    void setLineJoinStyle(LineJoin j) { lineJoin_ = j; }
    double miterLimit() const { return miterLimit_; }
    void setMiterLimit(double m) { miterLimit_ = m; }
    FillRule windingRule() const { return windingRule_; }
    void setWindingRule(FillRule r) { windingRule_ = r; }
    const std::vector<double>& dashPattern() const { return dash_; }
    double dashPhase() const { return dashPhase_; }
    void setLineDash(std::vector<double> pattern, double phase) {
        dash_ = std::move(pattern);
        dashPhase_ = phase;
    }

    // Fill or stroke with the current context's fill/stroke colour; nothing without a current context.
    void fill() const;
    void stroke() const;
    // Intersects the current context's clip with this path.
    void addClip() const;

private:
    std::vector<PathElement> elements_;
    Point currentPoint_;
    Point subpathStart_;
    bool hasCurrentPoint_ = false;
    double lineWidth_ = 1.0;
    LineCap lineCap_ = LineCap::butt;
    LineJoin lineJoin_ = LineJoin::miter;
    double miterLimit_ = 10.0;
    FillRule windingRule_ = FillRule::nonZero;
    std::vector<double> dash_;
    double dashPhase_ = 0;
};

} // namespace graphics
