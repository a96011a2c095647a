#include "tools/artwork-gen/Artwork.hpp"

#include "Vimbra/AssetCatalog.hpp"
#include "tools/artwork-gen/Paint.hpp"

#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <numbers>
#include <system_error>

namespace artwork {

namespace {

// The look: dark greys with one blue accent.
const RGB accent = hex("#2F7CF6");
const RGB accentDark = hex("#1F5FC8");
const RGB errorRed = hex("#E5484D");
const RGB bezelTop = hex("#4A4A51");
const RGB bezelBottom = hex("#3C3C42");
const RGB bezelDownTop = hex("#2E2E33");
const RGB bezelDownBottom = hex("#36363C");
const RGB edge = hex("#1A1A1D");
const RGB fieldFill = hex("#1C1C20");
const RGB fieldEdge = hex("#4C4C54");
const RGB glyph = hex("#D9D9D9");

// A rounded bezel filling the image, less one point at top and bottom, with a dark edge and a faint
// top highlight. Edges sit on half points so 1-point lines are crisp at 1x and 2x.
void bezel(cairo_t* cr, double w, double h, RGB top, RGB bottom, double radius, RGB border = edge) {
    roundedRect(cr, 0.5, 1.5, w - 1, h - 3, radius);
    fillVertical(cr, 1, h - 1, top, bottom);
    set(cr, border);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_move_to(cr, radius, 2.5);
    cairo_line_to(cr, w - radius, 2.5);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.08);
    cairo_stroke(cr);
}

void chevron(cairo_t* cr, double cx, double cy, double size, bool up, RGB c, double alpha = 1.0) {
    const double dy = up ? -size / 2 : size / 2;
    cairo_move_to(cr, cx - size, cy - dy);
    cairo_line_to(cr, cx, cy + dy);
    cairo_line_to(cr, cx + size, cy - dy);
    set(cr, c, alpha);
    cairo_set_line_width(cr, 1.5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
}

void button(cairo_t* cr, double w, double h, int look) {
    if (look == 0) {
        bezel(cr, w, h, bezelTop, bezelBottom, 4);
    } else if (look == 1) {
        bezel(cr, w, h, bezelDownTop, bezelDownBottom, 4);
    } else {
        bezel(cr, w, h, accent, accentDark, 4, hex("#123C80"));
    }
}

void checkbox(cairo_t* cr, bool down, int mark /* 0 off, 1 on, 2 mixed */) {
    roundedRect(cr, 1.5, 1.5, 13, 13, 3);
    if (mark == 0) {
        fillVertical(cr, 1, 15, down ? bezelDownTop : bezelTop, down ? bezelDownBottom : bezelBottom);
        set(cr, down ? fieldEdge : hex("#5C5C64"));
    } else {
        fillVertical(cr, 1, 15, down ? accentDark : accent, down ? hex("#174CA3") : accentDark);
        set(cr, hex("#123C80"));
    }
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 2);
    set(cr, {1, 1, 1}, down ? 0.8 : 1.0);
    if (mark == 1) {
        cairo_move_to(cr, 4.5, 8);
        cairo_line_to(cr, 7, 10.5);
        cairo_line_to(cr, 11.5, 5);
        cairo_stroke(cr);
    } else if (mark == 2) {
        cairo_move_to(cr, 5, 8);
        cairo_line_to(cr, 11, 8);
        cairo_stroke(cr);
    }
}

void checkerboard(cairo_t* cr, double w, double h, double square) {
    for (double y = 0; y < h; y += square) {
        for (double x = 0; x < w; x += square) {
            const bool dark = static_cast<int>(x / square + y / square) % 2 == 0;
            set(cr, dark ? hex("#2A2A2A") : hex("#3C3C3C"));
            cairo_rectangle(cr, x, y, square, square);
            cairo_fill(cr);
        }
    }
}

void field(cairo_t* cr, double w, double h, RGB border, double radius, bool glow) {
    if (glow) {
        roundedRect(cr, 0.5, 0.5, w - 1, h - 1, radius + 1);
        set(cr, border, 0.35);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    }
    roundedRect(cr, 1.5, 1.5, w - 3, h - 3, radius);
    set(cr, fieldFill);
    cairo_fill_preserve(cr);
    set(cr, border);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

// The search field's magnifier in its left cap: a ring with a handle towards the bottom right.
void magnifier(cairo_t* cr, double h) {
    const double cx = 5.5;
    const double cy = h / 2 - 1;
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, 2.5, 0, 2 * std::numbers::pi);
    cairo_move_to(cr, cx + 1.8, cy + 1.8);
    cairo_line_to(cr, cx + 4, cy + 4);
    set(cr, glyph);
    cairo_set_line_width(cr, 1.2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
}

void popUpArrows(cairo_t* cr, double x, double cy, bool pullDown) {
    if (pullDown) {
        chevron(cr, x, cy, 3, false, glyph);
    } else {
        chevron(cr, x, cy - 3, 2.5, true, glyph);
        chevron(cr, x, cy + 3, 2.5, false, glyph);
    }
}

void popUp(cairo_t* cr, double w, double h, bool down, bool pullDown, double arrowWidth) {
    button(cr, w, h, down ? 1 : 0);
    // Separator before the arrow area.
    cairo_move_to(cr, w - arrowWidth + 0.5, 4);
    cairo_line_to(cr, w - arrowWidth + 0.5, h - 4);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    popUpArrows(cr, w - arrowWidth / 2, h / 2, pullDown);
}

void bar(cairo_t* cr, double w, double h, RGB fill) {
    roundedRect(cr, 0, 0, w, h, h / 2);
    set(cr, fill);
    cairo_fill(cr);
}

void knob(cairo_t* cr, double size, RGB top, RGB bottom, bool multi) {
    cairo_arc(cr, size / 2, size / 2, size / 2 - 1, 0, 2 * pi);
    fillVertical(cr, 1, size - 1, top, bottom);
    set(cr, edge);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    if (multi) {
        cairo_arc(cr, size / 2, size / 2, 2, 0, 2 * pi);
        set(cr, accent);
        cairo_fill(cr);
    }
}

void tab(cairo_t* cr, double w, double h, int look) {
    cairo_rectangle(cr, 0, 0, w, h);
    const RGB fills[] = {hex("#333338"), hex("#26262A"), hex("#44444B")};
    set(cr, fills[look]);
    cairo_fill(cr);
    // Hairline dividers on both sides.
    set(cr, edge);
    cairo_rectangle(cr, 0, 0, 1, h);
    cairo_rectangle(cr, w - 1, 0, 1, h);
    cairo_fill(cr);
    if (look == 2) {
        set(cr, accent);
        cairo_rectangle(cr, 1, h - 2, w - 2, 2);
        cairo_fill(cr);
    }
}

void star(cairo_t* cr, double size, bool filled) {
    const double c = size / 2, outer = size / 2 - 1, inner = outer * 0.45;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 == 0 ? outer : inner;
        const double a = -pi / 2 + i * pi / 5;
        cairo_line_to(cr, c + r * std::cos(a), c + 0.5 + r * std::sin(a));
    }
    cairo_close_path(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    if (filled) {
        set(cr, hex("#FFD43B"));
        cairo_fill(cr);
    } else {
        set(cr, hex("#808080"));
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    }
}

void triangle(cairo_t* cr, double w, double h, bool open) {
    if (open) {
        cairo_move_to(cr, 1, 2.5);
        cairo_line_to(cr, w - 1, 2.5);
        cairo_line_to(cr, w / 2, h - 1.5);
    } else {
        cairo_move_to(cr, 2.5, 1);
        cairo_line_to(cr, w - 1.5, h / 2);
        cairo_line_to(cr, 2.5, h - 1);
    }
    cairo_close_path(cr);
    set(cr, hex("#B3B3B3"));
    cairo_fill(cr);
}

void roundButtonBackground(cairo_t* cr, double size, bool down) {
    if (down) {
        cairo_arc(cr, size / 2, size / 2, size / 2 - 0.5, 0, 2 * pi);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.16);
        cairo_fill(cr);
    }
}

void plus(cairo_t* cr, double size, bool down) {
    roundButtonBackground(cr, size, down);
    set(cr, glyph);
    cairo_rectangle(cr, size / 2 - 1, 4, 2, size - 8);
    cairo_rectangle(cr, 4, size / 2 - 1, size - 8, 2);
    cairo_fill(cr);
}

void dots(cairo_t* cr, double w, double h, RGB c, double alpha = 1.0) {
    set(cr, c, alpha);
    for (int i = -1; i <= 1; ++i) {
        cairo_arc(cr, w / 2 + i * 4, h / 2, 1.25, 0, 2 * pi);
        cairo_fill(cr);
    }
}

void back(cairo_t* cr, double w, double h, bool down) {
    roundedRect(cr, 0.5, 0.5, w - 1, h - 1, 4);
    set(cr, down ? bezelDownTop : hex("#38383E"));
    cairo_fill(cr);
    cairo_move_to(cr, w / 2 + 2, h / 2 - 5);
    cairo_line_to(cr, w / 2 - 3, h / 2);
    cairo_line_to(cr, w / 2 + 2, h / 2 + 5);
    set(cr, glyph, down ? 0.7 : 1.0);
    cairo_set_line_width(cr, 2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
}

void trackingCursor(cairo_t* cr) {
    // A vertical double arrow at the image's left edge, the way the tracking slider is dragged by default;
    // the hot spot (3, 4) sits in its upper head, below the tip (3.5, 1).
    auto path = [cr] {
        cairo_move_to(cr, 3.5, 1);
        cairo_line_to(cr, 6, 4.5);
        cairo_line_to(cr, 4.5, 4.5);
        cairo_line_to(cr, 4.5, 9.5);
        cairo_line_to(cr, 6, 9.5);
        cairo_line_to(cr, 3.5, 13);
        cairo_line_to(cr, 1, 9.5);
        cairo_line_to(cr, 2.5, 9.5);
        cairo_line_to(cr, 2.5, 4.5);
        cairo_line_to(cr, 1, 4.5);
        cairo_close_path(cr);
    };
    path();
    set(cr, {0, 0, 0});
    cairo_set_line_width(cr, 2);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
    path();
    set(cr, {1, 1, 1});
    cairo_fill(cr);
}

void cycleCursor(cairo_t* cr) {
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int pass = 0; pass < 2; ++pass) {
        set(cr, pass == 0 ? RGB{0, 0, 0} : RGB{1, 1, 1});
        cairo_set_line_width(cr, pass == 0 ? 4 : 2);
        cairo_new_path(cr);
        cairo_arc(cr, 8, 8, 5, pi * 0.15, pi * 1.75);
        cairo_stroke(cr);
        cairo_move_to(cr, 13.5, 1.5);
        cairo_line_to(cr, 13.5, 6);
        cairo_line_to(cr, 9, 6);
        cairo_stroke(cr);
    }
}

void logo(cairo_t* cr, double size) {
    // Concentric rings with a rising spectral peak line: the product's mark.
    const double c = size / 2;
    cairo_arc(cr, c, c, c - 1, 0, 2 * pi);
    cairo_pattern_t* gradient = cairo_pattern_create_radial(c, c * 0.6, 2, c, c, c);
    cairo_pattern_add_color_stop_rgb(gradient, 0, 0.27, 0.45, 0.95);
    cairo_pattern_add_color_stop_rgb(gradient, 1, 0.17, 0.09, 0.33);
    cairo_set_source(cr, gradient);
    cairo_fill(cr);
    cairo_pattern_destroy(gradient);
    cairo_set_line_width(cr, size / 32);
    for (int i = 1; i <= 3; ++i) {
        cairo_arc(cr, c, c, c * (0.25 * i + 0.05), 0, 2 * pi);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.12 * i);
        cairo_stroke(cr);
    }
    const double heights[] = {0.15, 0.3, 0.55, 0.85, 0.45, 0.7, 0.35, 0.2};
    const double left = size * 0.22, step = size * 0.08, base = size * 0.72;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, size / 24);
    for (int i = 0; i < 8; ++i) {
        cairo_move_to(cr, left + i * step, base);
        cairo_line_to(cr, left + i * step, base - heights[i] * size * 0.45);
    }
    set(cr, hex("#33D1C6"));
    cairo_stroke(cr);
}

// The corner marker of a tool button: drawn over the whole button, so the image is the bezel's size with
// a small menu arrow in its lower right corner, clear of the tool's icon, and nothing elsewhere.
void moreMarker(cairo_t* cr, double w, double h) {
    cairo_move_to(cr, w - 10, h - 6);
    cairo_line_to(cr, w - 4, h - 6);
    cairo_line_to(cr, w - 7, h - 3);
    cairo_close_path(cr);
    set(cr, {0, 0, 0});
    cairo_fill(cr);
}

using Draw = std::function<void(cairo_t*, double, double)>;

// How each image of the catalogue is drawn, by name.
std::map<std::string_view, Draw> drawings() {
    std::map<std::string_view, Draw> list;
    auto add = [&list](std::string_view name, Draw draw) { list.emplace(name, std::move(draw)); };
    add("qel-button", [](cairo_t* cr, double w, double h) { button(cr, w, h, 0); });
    add("qel-button-down", [](cairo_t* cr, double w, double h) { button(cr, w, h, 1); });
    add("qel-button-selected", [](cairo_t* cr, double w, double h) { button(cr, w, h, 2); });

    const char* boxes[] = {"qel-checkbox",       "qel-checkbox-down",
                           "qel-checkbox-mixed", "qel-checkbox-mixed-down",
                           "qel-checkbox-on",    "qel-checkbox-on-down"};
    const int marks[] = {0, 0, 2, 2, 1, 1};
    for (int i = 0; i < 6; ++i) {
        const int mark = marks[i];
        const bool down = i % 2 == 1;
        add(boxes[i], [mark, down](cairo_t* cr, double, double) { checkbox(cr, down, mark); });
    }

    add("qel-checkerboard", [](cairo_t* cr, double w, double h) { checkerboard(cr, w, h, 8); });
    add("qel-checkerboard-small", [](cairo_t* cr, double w, double h) { checkerboard(cr, w, h, 4); });

    // The combo box's field (stretched between its caps, open at the right where the arrow joins it)
    // and its closed arrow: a filled end with a down chevron. Template glyphs: only alpha counts.
    add("qel-combobox", [](cairo_t* cr, double w, double h) {
        roundedRect(cr, 2.5, 3.5, w - 3, h - 7, 3);
        set(cr, {0, 0, 0}, 0.12);
        cairo_fill_preserve(cr);
        set(cr, {0, 0, 0}, 0.7);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    });
    add("qel-combobox-up", [](cairo_t* cr, double w, double h) {
        roundedRect(cr, 0.5, 3.5, w - 3, h - 7, 3);
        set(cr, {0, 0, 0}, 0.35);
        cairo_fill_preserve(cr);
        set(cr, {0, 0, 0}, 0.7);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
        chevron(cr, (w - 2) / 2, h / 2, 3.5, false, {0, 0, 0});
    });

    add("qel-customslider-handle",
        [](cairo_t* cr, double w, double) { knob(cr, w, hex("#F2F2F2"), hex("#C8C8C8"), false); });
    add("qel-customslider-handle-down",
        [](cairo_t* cr, double w, double) { knob(cr, w, hex("#C8C8C8"), hex("#A0A0A0"), false); });
    add("qel-customslider-on", [](cairo_t* cr, double w, double h) { bar(cr, w, h, accent); });

    add("qel-popdown", [](cairo_t* cr, double w, double h) { popUp(cr, w, h, false, true, 16); });
    add("qel-popdown-down", [](cairo_t* cr, double w, double h) { popUp(cr, w, h, true, true, 16); });
    add("qel-popup", [](cairo_t* cr, double w, double h) { popUp(cr, w, h, false, false, 16); });
    add("qel-popup-down", [](cairo_t* cr, double w, double h) { popUp(cr, w, h, true, false, 16); });
    add("qel-popup-tool", [](cairo_t* cr, double w, double h) { popUp(cr, w, h, false, false, 13); });
    add("qel-popup-tool-down", [](cairo_t* cr, double w, double h) { popUp(cr, w, h, true, false, 13); });

    add("qel-searchfield", [](cairo_t* cr, double w, double h) {
        field(cr, w, h, fieldEdge, 8, false);
        magnifier(cr, h);
    });
    add("qel-searchfield-focus", [](cairo_t* cr, double w, double h) {
        field(cr, w, h, accent, 8, true);
        magnifier(cr, h);
    });

    add("qel-slider", [](cairo_t* cr, double w, double h) { bar(cr, w, h, accent); });
    add("qel-slider-alley", [](cairo_t* cr, double w, double h) { bar(cr, w, h, hex("#1A1A1D")); });
    add("qel-slider-handle",
        [](cairo_t* cr, double w, double) { knob(cr, w, hex("#E6E6E6"), hex("#BDBDBD"), false); });
    add("qel-slider-handle-down",
        [](cairo_t* cr, double w, double) { knob(cr, w, hex("#BDBDBD"), hex("#969696"), false); });
    add("qel-slider-handle-multi",
        [](cairo_t* cr, double w, double) { knob(cr, w, hex("#E6E6E6"), hex("#BDBDBD"), true); });

    add("qel-textfield", [](cairo_t* cr, double w, double h) { field(cr, w, h, fieldEdge, 3, false); });
    add("qel-textfield-error", [](cairo_t* cr, double w, double h) { field(cr, w, h, errorRed, 3, true); });
    add("qel-textfield-focus", [](cairo_t* cr, double w, double h) { field(cr, w, h, accent, 3, true); });
    add("qel-textfield-tableheader", [](cairo_t* cr, double w, double h) {
        cairo_rectangle(cr, 0, 0, w, h);
        set(cr, hex("#18181B"));
        cairo_fill(cr);
        cairo_rectangle(cr, 0, h - 1, w, 1);
        set(cr, fieldEdge);
        cairo_fill(cr);
    });

    add("qel-window-tab", [](cairo_t* cr, double w, double h) { tab(cr, w, h, 0); });
    add("qel-window-tab-down", [](cairo_t* cr, double w, double h) { tab(cr, w, h, 1); });
    add("qel-window-tab-selected", [](cairo_t* cr, double w, double h) { tab(cr, w, h, 2); });

    auto corner = [](cairo_t* cr, double w, double h, RGB fill) {
        roundedRect(cr, 0.5, 0.5, w - 1, h - 1, 5);
        set(cr, fill);
        cairo_fill_preserve(cr);
        set(cr, edge);
        cairo_set_line_width(cr, 1);
        cairo_stroke(cr);
    };
    add("corner-tool-background",
        [corner](cairo_t* cr, double w, double h) { corner(cr, w, h, hex("#3A3A40")); });
    add("corner-tool-background-down",
        [corner](cairo_t* cr, double w, double h) { corner(cr, w, h, hex("#2A2A2F")); });
    add("corner-tool-background-selected",
        [corner](cairo_t* cr, double w, double h) { corner(cr, w, h, accentDark); });
    add("corner-tool-more", moreMarker);

    add("cursor-trackingslider", [](cairo_t* cr, double, double) { trackingCursor(cr); });

    add("organiser-icon-disclose", [](cairo_t* cr, double w, double h) { triangle(cr, w, h, false); });
    add("organiser-icon-disclose-open", [](cairo_t* cr, double w, double h) { triangle(cr, w, h, true); });
    add("organiser-icon-star", [](cairo_t* cr, double w, double) { star(cr, w, true); });
    add("organiser-icon-star-empty", [](cairo_t* cr, double w, double) { star(cr, w, false); });
    add("organiser-navbar-back", [](cairo_t* cr, double w, double h) { back(cr, w, h, false); });
    add("organiser-navbar-back-down", [](cairo_t* cr, double w, double h) { back(cr, w, h, true); });

    add("properties-table-add", [](cairo_t* cr, double w, double) { plus(cr, w, false); });
    add("properties-table-add-down", [](cairo_t* cr, double w, double) { plus(cr, w, true); });
    add("properties-tableheader-overflow", [](cairo_t* cr, double w, double h) { dots(cr, w, h, glyph); });
    add("properties-tableheader-overflow-down", [](cairo_t* cr, double w, double h) {
        roundButtonBackground(cr, w, true);
        dots(cr, w, h, glyph);
    });

    add("window-kestrova", [](cairo_t* cr, double w, double) { logo(cr, w); });
    add("cursor-cycle", [](cairo_t* cr, double, double) { cycleCursor(cr); });
    return list;
}

// The catalogue's images with their drawings; empty (with a message) when one has no drawing.
std::vector<ImageSpec> makeImages() {
    const auto drawn = drawings();
    std::vector<ImageSpec> list;
    for (const auto& entry : vimbra::assetImages) {
        const auto found = drawn.find(entry.name);
        if (found == drawn.end()) {
            std::fprintf(stderr, "artwork-gen: no drawing for the library image \"%.*s\"\n",
                         static_cast<int>(entry.name.size()), entry.name.data());
            return {};
        }
        const auto& c = entry.capInsets;
        list.push_back({std::string(entry.name),
                        entry.width,
                        entry.height,
                        {c.top, c.left, c.bottom, c.right},
                        entry.tile,
                        entry.isTemplate,
                        found->second});
    }
    return list;
}

} // namespace

const std::vector<ColorSpec>& colors() {
    static const std::vector<ColorSpec> list = [] {
        std::vector<ColorSpec> made;
        for (const auto& entry : vimbra::assetColors) {
            made.push_back({std::string(entry.name), std::string(entry.hex)});
        }
        return made;
    }();
    return list;
}

const std::vector<ImageSpec>& images() {
    static const std::vector<ImageSpec> list = makeImages();
    return list;
}

bool writeImage(const ImageSpec& spec, double scale, const std::filesystem::path& file) {
    const int width = static_cast<int>(std::lround(spec.width * scale));
    const int height = static_cast<int>(std::lround(spec.height * scale));
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
    spec.draw(cr, spec.width, spec.height);
    cairo_destroy(cr);
    const bool ok = cairo_surface_write_to_png(surface, file.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

bool writeBundle(const std::filesystem::path& bundleDirectory) {
    const auto resources = bundleDirectory / "Resources";
    std::error_code error;
    std::filesystem::create_directories(resources, error);
    if (error) {
        std::fprintf(stderr, "artwork-gen: cannot create %s: %s\n", resources.c_str(),
                     error.message().c_str());
        return false;
    }
    if (images().empty()) {
        return false;
    }
    auto writeJSON = [](const std::filesystem::path& file, const nlohmann::json& json) {
        std::ofstream out(file);
        out << json.dump(2) << '\n';
        return static_cast<bool>(out);
    };
    nlohmann::json info = {{"CFBundleIdentifier", "com.tessaray.Vimbra.resources"},
                           {"CFBundleName", "Vimbra_Vimbra"},
                           {"CFBundlePackageType", "BNDL"}};
    nlohmann::json colorTable = nlohmann::json::object();
    for (const auto& color : colors()) {
        colorTable[color.name] = color.hex;
    }
    nlohmann::json attributes = nlohmann::json::object();
    for (const auto& image : images()) {
        nlohmann::json entry = nlohmann::json::object();
        const auto& c = image.capInsets;
        if (c.top != 0 || c.left != 0 || c.bottom != 0 || c.right != 0) {
            entry["capInsets"] = {c.top, c.left, c.bottom, c.right};
        }
        if (image.tile) {
            entry["resizingMode"] = "tile";
        }
        if (image.isTemplate) {
            entry["template"] = true;
        }
        if (!entry.empty()) {
            attributes[image.name] = entry;
        }
        if (!writeImage(image, 1, resources / (image.name + ".png")) ||
            !writeImage(image, 2, resources / (image.name + "@2x.png"))) {
            std::fprintf(stderr, "artwork-gen: cannot write %s\n", image.name.c_str());
            return false;
        }
    }
    if (!writeJSON(bundleDirectory / "Info.json", info) ||
        !writeJSON(resources / "Colors.json", colorTable) ||
        !writeJSON(resources / "Images.json", attributes)) {
        std::fprintf(stderr, "artwork-gen: cannot write the bundle's tables\n");
        return false;
    }
    return true;
}

bool writeCatalogue(const std::filesystem::path& bundleDirectory, const std::vector<ImageSpec>& images,
                    const std::vector<ColorSpec>& colors, const char* what) {
    const auto resources = bundleDirectory / "Resources";
    std::error_code error;
    std::filesystem::create_directories(resources, error);
    if (error) {
        std::fprintf(stderr, "artwork-gen: cannot create %s: %s\n", resources.c_str(),
                     error.message().c_str());
        return false;
    }
    if (images.empty()) {
        return false;
    }
    for (const auto& spec : images) {
        if (!writeImage(spec, 1, resources / (spec.name + ".png")) ||
            !writeImage(spec, 2, resources / (spec.name + "@2x.png"))) {
            std::fprintf(stderr, "artwork-gen: cannot write %s\n", spec.name.c_str());
            return false;
        }
    }
    nlohmann::json table = nlohmann::json::object();
    for (const auto& entry : colors) {
        table[entry.name] = entry.hex;
    }
    std::ofstream out(resources / "Colors.json");
    out << table.dump(2) << '\n';
    if (!out) {
        std::fprintf(stderr, "artwork-gen: cannot write the %s colour table\n", what);
        return false;
    }
    return true;
}

} // namespace artwork
