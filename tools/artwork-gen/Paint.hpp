#pragma once

// Small Cairo painting helpers shared by the kit's and the dials' artwork: colours from "#RRGGBB"
// texts, rounded rectangles, gradients and angles measured like a clock face.

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <numbers>
#include <string_view>

namespace artwork {

inline constexpr double pi = std::numbers::pi;

struct RGB {
    double r = 0, g = 0, b = 0;
};

// "#RRGGBB"; black for anything else.
inline RGB hex(std::string_view text) {
    if (text.size() != 7 || text[0] != '#') {
        return {};
    }
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return 0;
    };
    auto channel = [&](int at) { return (digit(text[at]) * 16 + digit(text[at + 1])) / 255.0; };
    return {channel(1), channel(3), channel(5)};
}

// t = 0 gives a, t = 1 gives b.
inline RGB mix(RGB a, RGB b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

inline void set(cairo_t* cr, RGB c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

inline void addStop(cairo_pattern_t* pattern, double offset, RGB c, double alpha = 1.0) {
    cairo_pattern_add_color_stop_rgba(pattern, offset, c.r, c.g, c.b, alpha);
}

inline void roundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    r = std::min({r, w / 2, h / 2});
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -pi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, pi / 2);
    cairo_arc(cr, x + r, y + h - r, r, pi / 2, pi);
    cairo_arc(cr, x + r, y + r, r, pi, 3 * pi / 2);
    cairo_close_path(cr);
}

// Fills the current path with a vertical gradient from y0 (top) to y1 (bottom), keeping the path.
inline void fillVertical(cairo_t* cr, double y0, double y1, RGB top, RGB bottom) {
    cairo_pattern_t* gradient = cairo_pattern_create_linear(0, y0, 0, y1);
    addStop(gradient, 0, top);
    addStop(gradient, 1, bottom);
    cairo_set_source(cr, gradient);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(gradient);
}

inline double radians(double degrees) {
    return degrees * pi / 180;
}

// Angles of a clock face: 0 points up and positive angles turn clockwise on screen (y down).
inline double cairoAngle(double clockRadians) {
    return clockRadians - pi / 2;
}

inline double pointX(double cx, double radius, double clockRadians) {
    return cx + radius * std::sin(clockRadians);
}

inline double pointY(double cy, double radius, double clockRadians) {
    return cy - radius * std::cos(clockRadians);
}

} // namespace artwork
