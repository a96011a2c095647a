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
cairo_fill_rule_t toCairo(FillRule rule);
cairo_line_cap_t toCairo(LineCap cap);
cairo_line_join_t toCairo(LineJoin join);

} // namespace graphics::detail
