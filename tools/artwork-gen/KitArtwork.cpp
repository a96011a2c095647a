#include "tools/artwork-gen/KitArtwork.hpp"

#include "ZeltoCore/KitCatalog.hpp"
#include "tools/artwork-gen/Paint.hpp"

#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace artwork {

namespace {

// The housing and caps share the dials' near-black greys.
const RGB housingTop = hex("#26282D");
const RGB housingBottom = hex("#16171A");
const RGB wellColour = hex("#0B0C0E");
const RGB capTop = hex("#3E4148");
const RGB capBottom = hex("#2A2C32");
const RGB capDownTop = hex("#2B2D32");
const RGB capDownBottom = hex("#222428");
const RGB edgeDark = hex("#08090B");
const RGB white = hex("#F4F6F9");

RGB kitColour(std::string_view name) {
    for (const auto& entry : zelto::kitColors) {
        if (entry.name == name) {
            return hex(entry.hex);
        }
    }
    return {};
}

// The lit colour of an "-on-<word>" image.
std::optional<RGB> ledColour(std::string_view word) {
    if (word == "blue") {
        return kitColour("pluginBlue");
    }
    if (word == "red") {
        return kitColour("pluginRed");
    }
    if (word == "yellow") {
        return kitColour("pluginYellow");
    }
    if (word == "white") {
        return white;
    }
    return std::nullopt;
}

struct Box {
    double x = 0, y = 0, w = 0, h = 0;
};

// The fixed part of every push button: a rounded housing with a dark well the cap sits in.
void drawHousing(cairo_t* cr, double w, double h, double radius) {
    roundedRect(cr, 0.5, 0.5, w - 1, h - 1, radius);
    fillVertical(cr, 0.5, h - 0.5, housingTop, housingBottom);
    set(cr, edgeDark);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_move_to(cr, radius, 1.5);
    cairo_line_to(cr, w - radius, 1.5);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.07);
    cairo_stroke(cr);
    roundedRect(cr, 2.5, 2.5, w - 5, h - 5, radius - 1.5);
    set(cr, wellColour);
    cairo_fill(cr);
}

// A cap in the well. Pressed, it sits one point lower, darker and with almost no shadow.
void drawCap(cairo_t* cr, Box cap, double radius, bool down) {
    if (!down) {
        roundedRect(cr, cap.x, cap.y + 1.5, cap.w, cap.h, radius);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
        cairo_fill(cr);
    }
    roundedRect(cr, cap.x, cap.y, cap.w, cap.h, radius);
    fillVertical(cr, cap.y, cap.y + cap.h, down ? capDownTop : capTop, down ? capDownBottom : capBottom);
    set(cr, edgeDark, 0.9);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    // A soft sheen over the upper half and a highlight along the top edge.
    cairo_pattern_t* sheen = cairo_pattern_create_linear(0, cap.y, 0, cap.y + cap.h * 0.6);
    cairo_pattern_add_color_stop_rgba(sheen, 0, 1, 1, 1, down ? 0.03 : 0.07);
    cairo_pattern_add_color_stop_rgba(sheen, 1, 1, 1, 1, 0);
    roundedRect(cr, cap.x + 0.5, cap.y + 0.5, cap.w - 1, cap.h * 0.6, radius);
    cairo_set_source(cr, sheen);
    cairo_fill(cr);
    cairo_pattern_destroy(sheen);
    cairo_move_to(cr, cap.x + radius, cap.y + 0.9);
    cairo_line_to(cr, cap.x + cap.w - radius, cap.y + 0.9);
    cairo_set_source_rgba(cr, 1, 1, 1, down ? 0.08 : 0.2);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
}

// The indicator bar of a toggle: a dark slot when off, a glowing light in the colour when on.
void drawLed(cairo_t* cr, Box bar, std::optional<RGB> colour, bool down) {
    const double r = bar.h / 2;
    if (!colour) {
        roundedRect(cr, bar.x, bar.y, bar.w, bar.h, r);
        set(cr, hex("#101114"));
        cairo_fill(cr);
        cairo_move_to(cr, bar.x + r, bar.y + bar.h + 0.4);
        cairo_line_to(cr, bar.x + bar.w - r, bar.y + bar.h + 0.4);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.07);
        cairo_set_line_width(cr, 0.8);
        cairo_stroke(cr);
        return;
    }
    const RGB c = *colour;
    const double strength = down ? 0.8 : 1.0;
    for (double spread : {3.0, 1.5}) {
        roundedRect(cr, bar.x - spread, bar.y - spread, bar.w + 2 * spread, bar.h + 2 * spread, r + spread);
        set(cr, c, (spread > 2 ? 0.14 : 0.28) * strength);
        cairo_fill(cr);
    }
    roundedRect(cr, bar.x, bar.y, bar.w, bar.h, r);
    set(cr, mix(c, {0, 0, 0}, down ? 0.2 : 0));
    cairo_fill(cr);
    cairo_move_to(cr, bar.x + r, bar.y + bar.h / 2);
    cairo_line_to(cr, bar.x + bar.w - r, bar.y + bar.h / 2);
    set(cr, mix(c, {1, 1, 1}, 0.6), 0.85 * strength);
    cairo_set_line_width(cr, bar.h * 0.35);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
}

// "chaos-button-grey-..." (48 x 56) and "chaos-button-narrow-grey-..." (24 x 62): a toggle cap with its
// light near the bottom, under the text.
void drawToggle(cairo_t* cr, double w, double h, std::optional<RGB> colour, bool down) {
    const bool narrow = w < 40;
    drawHousing(cr, w, h, narrow ? 5 : 6);
    const double inset = narrow ? 3.5 : 4;
    const Box cap{inset, inset + (down ? 1 : 0), w - 2 * inset, h - 2 * inset - 2.5};
    drawCap(cr, cap, narrow ? 3.5 : 4, down);
    const double barWidth = narrow ? 9 : 18;
    drawLed(cr, {(w - barWidth) / 2, cap.y + cap.h - 7.5, barWidth, 3}, colour, down);
}

// "chaos-button-yellow": the dark cap trimmed in yellow, with a yellow strip along its bottom.
void drawYellowButton(cairo_t* cr, double w, double h, bool down) {
    const RGB yellow = kitColour("ChaosYellowText");
    drawHousing(cr, w, h, 6);
    const Box cap{4, 4 + (down ? 1.0 : 0.0), w - 8, h - 10.5};
    drawCap(cr, cap, 4, down);
    roundedRect(cr, cap.x + 0.9, cap.y + 0.9, cap.w - 1.8, cap.h - 1.8, 3.2);
    set(cr, yellow, down ? 0.55 : 0.8);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    roundedRect(cr, cap.x + 6, cap.y + cap.h - 7, cap.w - 12, 2.5, 1.25);
    set(cr, mix(yellow, {0, 0, 0}, down ? 0.3 : 0));
    cairo_fill(cr);
}

// "chaos-button-small-yellow-left/right" (28 x 34): a small cap with a yellow chevron.
void drawArrowButton(cairo_t* cr, double w, double h, bool left, bool down) {
    const RGB yellow = kitColour("ChaosYellowText");
    drawHousing(cr, w, h, 5);
    const Box cap{3.5, 3.5 + (down ? 1.0 : 0.0), w - 7, h - 9.5};
    drawCap(cr, cap, 3.5, down);
    const double cx = w / 2 + (left ? -0.8 : 0.8), cy = cap.y + cap.h / 2, size = 3.6;
    const double dir = left ? -1 : 1;
    auto chevron = [&] {
        cairo_new_path(cr);
        cairo_move_to(cr, cx - dir * size * 0.6, cy - size * 1.15);
        cairo_line_to(cr, cx + dir * size * 0.6, cy);
        cairo_line_to(cr, cx - dir * size * 0.6, cy + size * 1.15);
    };
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    chevron();
    set(cr, yellow, down ? 0.12 : 0.22);
    cairo_set_line_width(cr, 4.5);
    cairo_stroke(cr);
    chevron();
    set(cr, mix(yellow, {0, 0, 0}, down ? 0.3 : 0));
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
}

// "modern-button" (88 x 27, drawn stretched to any width): a flat, softly lit plate. The on state
// carries a yellow bar along the bottom and a faint yellow rim.
void drawModernButton(cairo_t* cr, double w, double h, bool on, bool down) {
    const RGB yellow = kitColour("pluginYellow");
    RGB top = down ? hex("#1F2125") : hex("#2D3036");
    RGB bottom = down ? hex("#1B1D21") : hex("#24262B");
    if (on) {
        top = mix(top, yellow, 0.05);
        bottom = mix(bottom, yellow, 0.03);
    }
    roundedRect(cr, 0.5, 0.5, w - 1, h - 1, 2.5);
    fillVertical(cr, 0.5, h - 0.5, top, bottom);
    set(cr, on ? mix(edgeDark, yellow, down ? 0.3 : 0.45) : edgeDark);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_rectangle(cr, 2, 1, w - 4, 1);
    cairo_set_source_rgba(cr, 1, 1, 1, down ? 0.03 : 0.08);
    cairo_fill(cr);
    if (on) {
        cairo_rectangle(cr, 2, h - 3.5, w - 4, 2);
        set(cr, mix(yellow, {0, 0, 0}, down ? 0.25 : 0));
        cairo_fill(cr);
    }
}

// "retro-button" (88 x 27): a vintage ivory key in a dark slot; pressed, the key sinks and its front
// edge almost disappears.
void drawRetroButton(cairo_t* cr, double w, double h, bool down) {
    roundedRect(cr, 0.5, 0.5, w - 1, h - 1, 3.5);
    set(cr, hex("#0E0F11"));
    cairo_fill(cr);
    const double faceTop = down ? 3 : 1.5;
    const double faceBottom = h - (down ? 2.5 : 5);
    roundedRect(cr, 1.5, faceTop + 1, w - 3, h - 2.5 - faceTop, 3);
    set(cr, hex("#A3967A"));
    cairo_fill(cr);
    roundedRect(cr, 1.5, faceTop, w - 3, faceBottom - faceTop, 3);
    fillVertical(cr, faceTop, faceBottom, down ? hex("#DED5BD") : hex("#F4EEDD"),
                 down ? hex("#CFC4A7") : hex("#E3D9BF"));
    cairo_set_source_rgba(cr, 0.45, 0.4, 0.3, 0.5);
    cairo_set_line_width(cr, 0.6);
    cairo_stroke(cr);
    cairo_move_to(cr, 4, faceTop + 0.8);
    cairo_line_to(cr, w - 4, faceTop + 0.8);
    cairo_set_source_rgba(cr, 1, 1, 1, down ? 0.35 : 0.7);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
}

// "settings-button" (24 x 24): an eight-toothed gear.
void drawGear(cairo_t* cr, double w, double h, bool down) {
    const double cx = w / 2, cy = h / 2, outer = 9, root = 6.8, hole = 2.8;
    const int teeth = 8;
    if (down) {
        cairo_arc(cr, cx, cy, std::min(w, h) / 2 - 0.5, 0, 2 * pi);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.08);
        cairo_fill(cr);
    }
    cairo_new_path(cr);
    for (int i = 0; i < teeth; ++i) {
        const double a = i * 2 * pi / teeth - pi / 2;
        const double rootHalf = radians(13), tipHalf = radians(8.5);
        cairo_arc(cr, cx, cy, root, a - pi / teeth + rootHalf, a - rootHalf);
        cairo_line_to(cr, cx + outer * std::cos(a - tipHalf), cy + outer * std::sin(a - tipHalf));
        cairo_arc(cr, cx, cy, outer, a - tipHalf, a + tipHalf);
        cairo_line_to(cr, cx + root * std::cos(a + rootHalf), cy + root * std::sin(a + rootHalf));
        cairo_arc(cr, cx, cy, root, a + rootHalf, a + pi / teeth - rootHalf);
    }
    cairo_close_path(cr);
    cairo_new_sub_path(cr);
    cairo_arc_negative(cr, cx, cy, hole, 2 * pi, 0);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    const RGB face = kitColour("buttonText");
    fillVertical(cr, cy - outer, cy + outer, down ? mix(face, {0, 0, 0}, 0.3) : face,
                 mix(face, {0, 0, 0}, down ? 0.5 : 0.3));
    cairo_new_path(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
}

} // namespace

void letterPath(cairo_t* cr, char letter, double w, double h) {
    switch (letter) {
    case 'K':
        cairo_move_to(cr, 0, 0);
        cairo_line_to(cr, 0, h);
        cairo_move_to(cr, w, 0);
        cairo_line_to(cr, 0.9, h * 0.56);
        cairo_move_to(cr, w * 0.36, h * 0.4);
        cairo_line_to(cr, w, h);
        break;
    case 'E':
        cairo_move_to(cr, w, 0);
        cairo_line_to(cr, 0, 0);
        cairo_line_to(cr, 0, h);
        cairo_line_to(cr, w, h);
        cairo_move_to(cr, 0, h / 2);
        cairo_line_to(cr, w * 0.8, h / 2);
        break;
    case 'S': {
        // Two elliptical bowls meeting in the middle.
        const double rx = w / 2, ry = h / 4;
        cairo_save(cr);
        cairo_translate(cr, w / 2, ry);
        cairo_scale(cr, rx, ry);
        cairo_arc_negative(cr, 0, 0, 1, radians(-25), radians(90));
        cairo_restore(cr);
        cairo_save(cr);
        cairo_translate(cr, w / 2, 3 * ry);
        cairo_scale(cr, rx, ry);
        cairo_arc(cr, 0, 0, 1, radians(-90), radians(155));
        cairo_restore(cr);
        break;
    }
    case 'T':
        cairo_move_to(cr, 0, 0);
        cairo_line_to(cr, w, 0);
        cairo_move_to(cr, w / 2, 0);
        cairo_line_to(cr, w / 2, h);
        break;
    case 'R': {
        const double r = h * 0.27;
        cairo_move_to(cr, 0, h);
        cairo_line_to(cr, 0, 0);
        cairo_line_to(cr, w - r, 0);
        cairo_arc(cr, w - r, r, r, -pi / 2, pi / 2);
        cairo_line_to(cr, 0, 2 * r);
        cairo_move_to(cr, w * 0.5, 2 * r);
        cairo_line_to(cr, w, h);
        break;
    }
    case 'O':
        cairo_save(cr);
        cairo_translate(cr, w / 2, h / 2);
        cairo_scale(cr, w / 2, h / 2);
        cairo_new_sub_path(cr);
        cairo_arc(cr, 0, 0, 1, 0, 2 * pi);
        cairo_close_path(cr);
        cairo_restore(cr);
        break;
    case 'V':
        cairo_move_to(cr, 0, 0);
        cairo_line_to(cr, w / 2, h);
        cairo_line_to(cr, w, 0);
        break;
    case 'A':
        cairo_move_to(cr, 0, h);
        cairo_line_to(cr, w / 2, 0);
        cairo_line_to(cr, w, h);
        cairo_move_to(cr, w * 0.24, h * 0.68);
        cairo_line_to(cr, w * 0.76, h * 0.68);
        break;
    default:
        break;
    }
}

double letterWidth(char letter) {
    switch (letter) {
    case 'O':
        return 10;
    case 'E':
        return 6.5;
    case 'S':
        return 7;
    case 'A':
        return 8.5;
    case 'V':
        return 8;
    default:
        return 7.5;
    }
}

namespace {

// "kestrova-logo": a dial mark in yellow and the name in stroked capitals, all paths, so the image
// never depends on the fonts installed.
void drawLogo(cairo_t* cr, double w, double h) {
    const double cy = h / 2;
    const double markRadius = 8.5, markX = markRadius + 2;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 2.2);
    set(cr, kitColour("ChaosYellowText"));
    cairo_new_path(cr);
    cairo_arc(cr, markX, cy, markRadius, cairoAngle(radians(-135)), cairoAngle(radians(135)));
    cairo_stroke(cr);
    const RGB ink = kitColour("buttonText");
    set(cr, ink);
    cairo_move_to(cr, markX, cy);
    cairo_line_to(cr, pointX(markX, 5, radians(45)), pointY(cy, 5, radians(45)));
    cairo_stroke(cr);

    constexpr std::string_view name = "KESTROVA";
    const double letterHeight = 11.5, stroke = 1.8;
    double advance = 0;
    for (char letter : name) {
        advance += letterWidth(letter);
    }
    const double left = markX + markRadius + 6.5;
    const double tracking = (w - 1 - stroke / 2 - left - advance) / (name.size() - 1);
    cairo_set_line_width(cr, stroke);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    cairo_set_miter_limit(cr, 2);
    double x = left;
    for (char letter : name) {
        cairo_save(cr);
        cairo_translate(cr, x, cy - letterHeight / 2);
        cairo_new_path(cr);
        letterPath(cr, letter, letterWidth(letter), letterHeight);
        cairo_restore(cr);
        cairo_stroke(cr);
        x += letterWidth(letter) + tracking;
    }
}

using Drawer = std::function<void(cairo_t*, double, double)>;

bool consumeSuffix(std::string_view& name, std::string_view suffix) {
    if (name.ends_with(suffix)) {
        name.remove_suffix(suffix.size());
        return true;
    }
    return false;
}

bool consumePrefix(std::string_view& name, std::string_view prefix) {
    if (name.starts_with(prefix)) {
        name.remove_prefix(prefix.size());
        return true;
    }
    return false;
}

// The drawing for a catalogue name: the name says the kind, the state ("-off", "-on-<colour>",
// "-left"/"-right") and whether it is pressed ("-down"). Empty when unknown.
Drawer drawerFor(std::string_view name) {
    if (name == "kestrova-logo") {
        return drawLogo;
    }
    const bool down = consumeSuffix(name, "-down");
    if (name == "settings-button") {
        return [down](cairo_t* cr, double w, double h) { drawGear(cr, w, h, down); };
    }
    if (name == "modern-button" || name == "modern-button-on") {
        const bool on = name == "modern-button-on";
        return [on, down](cairo_t* cr, double w, double h) { drawModernButton(cr, w, h, on, down); };
    }
    if (name == "retro-button") {
        return [down](cairo_t* cr, double w, double h) { drawRetroButton(cr, w, h, down); };
    }
    if (!consumePrefix(name, "chaos-button-")) {
        return {};
    }
    if (name == "yellow") {
        return [down](cairo_t* cr, double w, double h) { drawYellowButton(cr, w, h, down); };
    }
    if (consumePrefix(name, "small-yellow-")) {
        if (name != "left" && name != "right") {
            return {};
        }
        const bool left = name == "left";
        return [left, down](cairo_t* cr, double w, double h) { drawArrowButton(cr, w, h, left, down); };
    }
    consumePrefix(name, "narrow-");
    if (!consumePrefix(name, "grey-")) {
        return {};
    }
    std::optional<RGB> colour;
    if (name != "off") {
        if (!consumePrefix(name, "on-") || !(colour = ledColour(name))) {
            return {};
        }
    }
    return [colour, down](cairo_t* cr, double w, double h) { drawToggle(cr, w, h, colour, down); };
}

} // namespace

std::vector<ImageSpec> kitImageSpecs() {
    std::vector<ImageSpec> specs;
    for (const auto& entry : zelto::kitImages) {
        Drawer draw = drawerFor(entry.name);
        if (!draw) {
            std::fprintf(stderr, "artwork-gen: no drawing for the kit image \"%.*s\"\n",
                         static_cast<int>(entry.name.size()), entry.name.data());
            return {};
        }
        specs.push_back(
            {std::string(entry.name), entry.width, entry.height, {}, false, false, std::move(draw)});
    }
    return specs;
}

bool writeKitArtwork(const std::filesystem::path& bundleDirectory) {
    std::vector<ColorSpec> colors;
    for (const auto& entry : zelto::kitColors) {
        colors.push_back({std::string(entry.name), std::string(entry.hex)});
    }
    return writeCatalogue(bundleDirectory, kitImageSpecs(), colors, "kit's");
}

} // namespace artwork
