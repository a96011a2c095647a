#pragma once

// Internal helpers shared by the Cairo-based parts of the layer (not for other layers).

#include "graphics/BezierPath.hpp"
#include "graphics/GraphicsContext.hpp"

#include <cairo.h>

namespace graphics::detail {

// Replaces cr's current path with path (points transformed by cr's current matrix, as usual).
void appendPath(cairo_t* cr, const BezierPath& path);
cairo_matrix_t toCairo(const AffineTransform& t);
cairo_operator_t toCairo(CompositingOperation op);

// Sets the compositing operation of the drawing made while it lives. Cairo has every operation but
// plus-darker; for that one the drawing goes to a group, which is then composited pixel by pixel:
// each premultiplied component becomes max(0, Ra - ((Da - D) + (Sa - S))), with Ra = Sa + Da - Sa·Da the
// source-over alpha (so opaque 0.5 plus-darker 0.5 gives 0). Where the target is not an image surface the
// closest Cairo operator, multiply, stands in.
class CompositeScope {
public:
    CompositeScope(cairo_t* cr, CompositingOperation op);
    ~CompositeScope();
    CompositeScope(const CompositeScope&) = delete;
    CompositeScope& operator=(const CompositeScope&) = delete;

private:
    cairo_t* cr_;
    bool grouped_ = false;
};
cairo_fill_rule_t toCairo(FillRule rule);
cairo_line_cap_t toCairo(LineCap cap);
cairo_line_join_t toCairo(LineJoin join);

} // namespace graphics::detail
