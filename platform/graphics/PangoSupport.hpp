#pragma once

// Internal: Pango contexts and layouts for measuring and drawing attributed strings.

#include "graphics/AttributedString.hpp"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

namespace graphics::detail {

// A Pango context on this thread's font map with hinting off, so measurements are the same at every
// scale. With cr, the context follows cr's transform and target; without, it measures in points.
PangoContext* createPangoContext(cairo_t* cr = nullptr);
// This thread's font map: our own, on the library's private fontconfig configuration (never the toolkit's
// default map, which a host's toolkit shares), refreshed after application fonts were registered.
PangoFontMap* fontMap();
// The library's private fontconfig configuration.
FcConfig* fontConfig();
PangoFontDescription* createFontDescription(const Font& font);

struct LayoutRequest {
    double width = -1; // points; <= 0 means unlimited
    bool applyLineBreakMode = true;
};

// A layout of text (caller unrefs). Alignment for unlimited widths is left to the caller.
PangoLayout* createLayout(PangoContext* context, const AttributedString& text, const LayoutRequest& request);
// Logical size of a layout in points.
Size layoutSize(PangoLayout* layout);
// Draws the layout at cr's current point (the origin without one), as pango_cairo_show_layout does, except
// that a full stop too small to cover two device pixels is drawn with its ink centred on a pixel.
void showLayout(cairo_t* cr, PangoLayout* layout);

} // namespace graphics::detail
