#include "graphics/CairoSupport.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

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

namespace {

bool isPixelSurface(cairo_surface_t* surface) {
    return surface != nullptr && cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE &&
           cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
}

// target = max(0, Ra - ((Da - D) + (Sa - S))) per premultiplied component, alpha by source-over.
void compositePlusDarker(cairo_surface_t* group, cairo_surface_t* target) {
    cairo_surface_flush(group);
    cairo_surface_flush(target);
    double gx = 0, gy = 0, tx = 0, ty = 0;
    cairo_surface_get_device_offset(group, &gx, &gy);
    cairo_surface_get_device_offset(target, &tx, &ty);
    const int gw = cairo_image_surface_get_width(group), gh = cairo_image_surface_get_height(group);
    const int tw = cairo_image_surface_get_width(target), th = cairo_image_surface_get_height(target);
    const int gstride = cairo_image_surface_get_stride(group),
              tstride = cairo_image_surface_get_stride(target);
    const unsigned char* gdata = cairo_image_surface_get_data(group);
    unsigned char* tdata = cairo_image_surface_get_data(target);
    if (gdata == nullptr || tdata == nullptr) {
        return;
    }
    // Group pixel (x, y) lies at device (x - gx, y - gy), which is target pixel (x - gx + tx, y - gy + ty).
    const int dx = static_cast<int>(std::lround(tx - gx)), dy = static_cast<int>(std::lround(ty - gy));
    for (int y = 0; y < gh; ++y) {
        const int row = y + dy;
        if (row < 0 || row >= th) {
            continue;
        }
        const auto* src = reinterpret_cast<const uint32_t*>(gdata + static_cast<std::ptrdiff_t>(y) * gstride);
        auto* dst = reinterpret_cast<uint32_t*>(tdata + static_cast<std::ptrdiff_t>(row) * tstride);
        for (int x = 0; x < gw; ++x) {
            const int column = x + dx;
            if (column < 0 || column >= tw) {
                continue;
            }
            const uint32_t s = src[x];
            const int sa = static_cast<int>(s >> 24);
            if (sa == 0) {
                continue;
            }
            const uint32_t d = dst[column];
            const int da = static_cast<int>(d >> 24);
            const int ra = sa + da - (sa * da + 127) / 255;
            uint32_t out = static_cast<uint32_t>(ra) << 24;
            for (int shift = 0; shift < 24; shift += 8) {
                const int sc = static_cast<int>((s >> shift) & 0xFF);
                const int dc = static_cast<int>((d >> shift) & 0xFF);
                const int rc = std::clamp(ra - ((da - dc) + (sa - sc)), 0, ra);
                out |= static_cast<uint32_t>(rc) << shift;
            }
            dst[column] = out;
        }
    }
    cairo_surface_mark_dirty(target);
}

} // namespace

CompositeScope::CompositeScope(cairo_t* cr, CompositingOperation op) : cr_(cr) {
    if (op == CompositingOperation::plusDarker && isPixelSurface(cairo_get_target(cr))) {
        cairo_push_group_with_content(cr, CAIRO_CONTENT_COLOR_ALPHA);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
        grouped_ = true;
    } else {
        cairo_set_operator(cr, toCairo(op));
    }
}

CompositeScope::~CompositeScope() {
    if (!grouped_) {
        return;
    }
    cairo_pattern_t* pattern = cairo_pop_group(cr_);
    cairo_surface_t* group = nullptr;
    if (cairo_pattern_get_surface(pattern, &group) == CAIRO_STATUS_SUCCESS && isPixelSurface(group)) {
        compositePlusDarker(group, cairo_get_target(cr_));
    } else {
        cairo_save(cr_);
        cairo_set_source(cr_, pattern);
        cairo_set_operator(cr_, CAIRO_OPERATOR_MULTIPLY);
        cairo_paint(cr_);
        cairo_restore(cr_);
    }
    cairo_pattern_destroy(pattern);
}

} // namespace graphics::detail
