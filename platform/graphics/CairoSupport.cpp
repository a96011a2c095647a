#include "graphics/CairoSupport.hpp"

namespace graphics::detail {

void appendPath(cairo_t* cr, const BezierPath& path) {
    cairo_new_path(cr);
    for (const PathElement& e : path.elements()) {
        switch (e.type) {
        case PathElementType::moveTo:
            cairo_move_to(cr, e.points[0].x, e.points[0].y);
            break;
        case PathElementType::lineTo:
            cairo_line_to(cr, e.points[0].x, e.points[0].y);
            break;
        case PathElementType::curveTo:
            cairo_curve_to(cr, e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y, e.points[2].x,
                           e.points[2].y);
            break;
        case PathElementType::closePath:
            cairo_close_path(cr);
            break;
        }
    }
}

cairo_matrix_t toCairo(const AffineTransform& t) {
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    return m;
}

cairo_operator_t toCairo(CompositingOperation op) {
    switch (op) {
    case CompositingOperation::clear:
        return CAIRO_OPERATOR_CLEAR;
    case CompositingOperation::copy:
        return CAIRO_OPERATOR_SOURCE;
    case CompositingOperation::sourceOver:
    case CompositingOperation::highlight:
        return CAIRO_OPERATOR_OVER;
    case CompositingOperation::sourceIn:
        return CAIRO_OPERATOR_IN;
    case CompositingOperation::sourceOut:
        return CAIRO_OPERATOR_OUT;
    case CompositingOperation::sourceAtop:
        return CAIRO_OPERATOR_ATOP;
    case CompositingOperation::destinationOver:
        return CAIRO_OPERATOR_DEST_OVER;
    case CompositingOperation::destinationIn:
        return CAIRO_OPERATOR_DEST_IN;
    case CompositingOperation::destinationOut:
        return CAIRO_OPERATOR_DEST_OUT;
    case CompositingOperation::destinationAtop:
        return CAIRO_OPERATOR_DEST_ATOP;
    case CompositingOperation::xorOperation:
        return CAIRO_OPERATOR_XOR;
    case CompositingOperation::plusDarker:
        // Cairo has no plus-darker; multiply is the closest darkening operator.
        return CAIRO_OPERATOR_MULTIPLY;
    case CompositingOperation::plusLighter:
        return CAIRO_OPERATOR_ADD;
    case CompositingOperation::multiply:
        return CAIRO_OPERATOR_MULTIPLY;
    case CompositingOperation::screen:
        return CAIRO_OPERATOR_SCREEN;
    case CompositingOperation::overlay:
        return CAIRO_OPERATOR_OVERLAY;
    case CompositingOperation::darken:
        return CAIRO_OPERATOR_DARKEN;
    case CompositingOperation::lighten:
        return CAIRO_OPERATOR_LIGHTEN;
    case CompositingOperation::colorDodge:
        return CAIRO_OPERATOR_COLOR_DODGE;
    case CompositingOperation::colorBurn:
        return CAIRO_OPERATOR_COLOR_BURN;
    case CompositingOperation::softLight:
        return CAIRO_OPERATOR_SOFT_LIGHT;
    case CompositingOperation::hardLight:
        return CAIRO_OPERATOR_HARD_LIGHT;
    case CompositingOperation::difference:
        return CAIRO_OPERATOR_DIFFERENCE;
    case CompositingOperation::exclusion:
        return CAIRO_OPERATOR_EXCLUSION;
    case CompositingOperation::hue:
        return CAIRO_OPERATOR_HSL_HUE;
    case CompositingOperation::saturation:
        return CAIRO_OPERATOR_HSL_SATURATION;
    case CompositingOperation::color:
        return CAIRO_OPERATOR_HSL_COLOR;
    case CompositingOperation::luminosity:
        return CAIRO_OPERATOR_HSL_LUMINOSITY;
    }
    return CAIRO_OPERATOR_OVER;
}

cairo_fill_rule_t toCairo(FillRule rule) {
    return rule == FillRule::evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING;
}

cairo_line_cap_t toCairo(LineCap cap) {
    switch (cap) {
    case LineCap::butt:
        return CAIRO_LINE_CAP_BUTT;
    case LineCap::round:
        return CAIRO_LINE_CAP_ROUND;
    case LineCap::square:
        return CAIRO_LINE_CAP_SQUARE;
    }
    return CAIRO_LINE_CAP_BUTT;
}

cairo_line_join_t toCairo(LineJoin join) {
    switch (join) {
    case LineJoin::miter:
        return CAIRO_LINE_JOIN_MITER;
    case LineJoin::round:
        return CAIRO_LINE_JOIN_ROUND;
    case LineJoin::bevel:
        return CAIRO_LINE_JOIN_BEVEL;
    }
    return CAIRO_LINE_JOIN_MITER;
}

} // namespace graphics::detail
