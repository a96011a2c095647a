#include "tools/artwork-gen/EditorArtwork.hpp"

#include "extension/editor/EditorCatalog.hpp"
#include "tools/artwork-gen/KitArtwork.hpp"
#include "tools/artwork-gen/Paint.hpp"

#include <cairo.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <system_error>

namespace artwork {

namespace {

namespace cv = editor::canvas;

RGB editorColour(std::string_view name) {
    for (const auto& entry : editor::editorColors) {
        if (entry.name == name) {
            return hex(entry.hex);
        }
    }
    return {};
}

const RGB panelTop = hex("#22252B");
const RGB panelBottom = hex("#17181C");
const RGB plateTop = hex("#262930");
const RGB plateBottom = hex("#1C1E23");
const RGB wellColour = hex("#090A0C");
const RGB edgeDark = hex("#060708");
const RGB engraving = hex("#3A3E46");

// Where the dial area's content sits: its stacks are laid out top-aligned and centred in the area's
// 272 points, so the tallest column (the two dial rows) starts here.
constexpr double contentTop = 282.5;
constexpr double dialHeight = 64;
constexpr double rowSpacing = 57;
constexpr double knobLift = 20; // the knob sits this far above the dial's centre

double upperKnobCentre() {
    return contentTop + dialHeight / 2 - knobLift;
}
double lowerKnobCentre() {
    return contentTop + dialHeight + rowSpacing + dialHeight / 2 - knobLift;
}

// A hairline in white or black at an alpha, along a horizontal or vertical run.
void hairline(cairo_t* cr, double x0, double y0, double x1, double y1, double alpha, bool light) {
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_set_source_rgba(cr, light ? 1 : 0, light ? 1 : 0, light ? 1 : 0, alpha);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

// An engraved line: a dark cut with a light lip under it.
void engrave(cairo_t* cr, double x0, double x1, double y) {
    hairline(cr, x0, y - 0.5, x1, y - 0.5, 0.55, false);
    hairline(cr, x0, y + 0.5, x1, y + 0.5, 0.05, true);
}

// A recessed well: a bevel darker at the top and lighter at the bottom, and a near-black floor.
void drawWell(cairo_t* cr, double x, double y, double w, double h, double radius, RGB floor) {
    roundedRect(cr, x - 1.5, y - 1.5, w + 3, h + 3, radius + 1.5);
    cairo_pattern_t* bevel = cairo_pattern_create_linear(0, y - 1.5, 0, y + h + 1.5);
    cairo_pattern_add_color_stop_rgba(bevel, 0, 0, 0, 0, 0.85);
    cairo_pattern_add_color_stop_rgba(bevel, 1, 1, 1, 1, 0.09);
    cairo_set_source(cr, bevel);
    cairo_fill(cr);
    cairo_pattern_destroy(bevel);
    roundedRect(cr, x, y, w, h, radius);
    set(cr, floor);
    cairo_fill(cr);
    // A soft inner shadow under the top edge.
    cairo_save(cr);
    roundedRect(cr, x, y, w, h, radius);
    cairo_clip(cr);
    cairo_pattern_t* shade = cairo_pattern_create_linear(0, y, 0, y + 10);
    cairo_pattern_add_color_stop_rgba(shade, 0, 0, 0, 0, 0.7);
    cairo_pattern_add_color_stop_rgba(shade, 1, 0, 0, 0, 0);
    cairo_set_source(cr, shade);
    cairo_paint(cr);
    cairo_pattern_destroy(shade);
    cairo_restore(cr);
}

// A raised plate with a lit top edge, a dark outline and a faint drop shadow.
void drawPlate(cairo_t* cr, double x, double y, double w, double h, double radius) {
    roundedRect(cr, x, y + 2, w, h, radius);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_fill(cr);
    roundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, radius);
    fillVertical(cr, y, y + h, plateTop, plateBottom);
    set(cr, edgeDark, 0.9);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    hairline(cr, x + radius, y + 1.5, x + w - radius, y + 1.5, 0.09, true);
}

// A countersunk hex screw.
void drawScrew(cairo_t* cr, double cx, double cy) {
    cairo_arc(cr, cx, cy, 4.5, 0, 2 * pi);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, 3.6, 0, 2 * pi);
    fillVertical(cr, cy - 3.6, cy + 3.6, hex("#5A5E66"), hex("#2B2E33"));
    cairo_new_path(cr);
    for (int i = 0; i < 6; ++i) {
        const double a = i * pi / 3 + pi / 6;
        const double px = cx + 1.7 * std::cos(a), py = cy + 1.7 * std::sin(a);
        i == 0 ? cairo_move_to(cr, px, py) : cairo_line_to(cr, px, py);
    }
    cairo_close_path(cr);
    set(cr, hex("#15161A"));
    cairo_fill(cr);
}

// The x of a frequency on the analyser's axis (20 Hz to 20 kHz, logarithmic), as the graph places it.
double frequencyX(double hz) {
    return cv::analyserX + std::round(cv::analyserWidth * std::log2(hz / 20) / std::log2(1000.0));
}

void drawAnalyserWell(cairo_t* cr) {
    const double x = cv::analyserX, y = cv::analyserY, w = cv::analyserWidth, h = cv::analyserHeight;
    drawPlate(cr, x - 10, y - 8, w + 20, h + 16, 10);
    drawWell(cr, x, y, w, h, 3, wellColour);
    const double barArea = h - std::round(0.2 * h);
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    // Level lines every 20 dB of the 80 dB scale.
    for (int i = 1; i < 4; ++i) {
        const double ly = std::round(y + barArea * i / 4.0) + 0.5;
        hairline(cr, x, ly, x + w, ly, 0.045, true);
    }
    // Frequency lines: decades brighter than the steps between them.
    for (double decade : {10.0, 100.0, 1000.0, 10000.0}) {
        for (double step : {1.0, 2.0, 5.0}) {
            const double hz = decade * step;
            if (hz <= 20 || hz >= 20000) {
                continue;
            }
            const double lx = frequencyX(hz) + 0.5;
            hairline(cr, lx, y, lx, y + barArea, step == 1.0 ? 0.07 : 0.03, true);
        }
    }
    // The floor the bars stand on, and the glass of the mirror strip below it.
    hairline(cr, x, y + barArea + 0.5, x + w, y + barArea + 0.5, 0.12, true);
    cairo_pattern_t* glass = cairo_pattern_create_linear(0, y + barArea, 0, y + h);
    cairo_pattern_add_color_stop_rgba(glass, 0, 1, 1, 1, 0.025);
    cairo_pattern_add_color_stop_rgba(glass, 1, 1, 1, 1, 0);
    cairo_rectangle(cr, x, y + barArea + 1, w, h - barArea - 1);
    cairo_set_source(cr, glass);
    cairo_fill(cr);
    cairo_pattern_destroy(glass);
    cairo_restore(cr);
}

// A small glyph of one cycle of a waveform, in a box.
void waveGlyph(cairo_t* cr, char shape, double x, double y, double w, double h) {
    cairo_new_path(cr);
    switch (shape) {
    case 's': // sawtooth
        cairo_move_to(cr, x, y + h);
        cairo_line_to(cr, x + w / 2, y);
        cairo_line_to(cr, x + w / 2, y + h);
        cairo_line_to(cr, x + w, y);
        break;
    case 'q': // square
        cairo_move_to(cr, x, y + h);
        cairo_line_to(cr, x, y);
        cairo_line_to(cr, x + w / 2, y);
        cairo_line_to(cr, x + w / 2, y + h);
        cairo_line_to(cr, x + w, y + h);
        cairo_line_to(cr, x + w, y);
        break;
    default: // sine
        for (int i = 0; i <= 24; ++i) {
            const double t = i / 24.0;
            const double py = y + h / 2 - std::sin(2 * pi * t) * h / 2;
            i == 0 ? cairo_move_to(cr, x + t * w, py) : cairo_line_to(cr, x + t * w, py);
        }
        break;
    }
    cairo_set_line_width(cr, 1.2);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    set(cr, editorColour("values"), 0.55);
    cairo_stroke(cr);
}

// The morph pad's screen: a well with a fine grid, a cross through its centre and the three shapes at
// the corners where each sounds alone (square at top left, sawtooth at top right, sine along the bottom).
void drawPadScreen(cairo_t* cr) {
    const double x = cv::centreColumnX, y = contentTop, w = cv::padWidth, h = cv::padHeight;
    drawPlate(cr, x - 9, y - 9, w + 18, h + 18, 9);
    drawWell(cr, x, y, w, h, 4, hex("#0B0D10"));
    cairo_save(cr);
    roundedRect(cr, x, y, w, h, 4);
    cairo_clip(cr);
    for (int i = 1; i < 4; ++i) {
        const double gx = std::round(x + w * i / 4) + 0.5;
        const double gy = std::round(y + h * i / 4) + 0.5;
        hairline(cr, gx, y, gx, y + h, i == 2 ? 0.09 : 0.035, true);
        hairline(cr, x, gy, x + w, gy, i == 2 ? 0.09 : 0.035, true);
    }
    // A faint blue glow in the middle of the screen.
    cairo_pattern_t* glow =
        cairo_pattern_create_radial(x + w / 2, y + h / 2, 0, x + w / 2, y + h / 2, h * 0.6);
    const RGB blue = editorColour("buttonBlue");
    addStop(glow, 0, blue, 0.07);
    addStop(glow, 1, blue, 0);
    cairo_set_source(cr, glow);
    cairo_paint(cr);
    cairo_pattern_destroy(glow);
    cairo_restore(cr);
    waveGlyph(cr, 'q', x + 6, y + 6, 14, 8);
    waveGlyph(cr, 's', x + w - 20, y + 6, 14, 8);
    waveGlyph(cr, 'n', x + w / 2 - 7, y + h - 14, 14, 8);
}

void drawDialPlates(cairo_t* cr) {
    // From above the upper knobs' rings to below the lower labels' values.
    const double top = contentTop - 26, bottom = cv::height - 11;
    for (double columnX : {cv::leftColumnX, cv::rightColumnX}) {
        drawPlate(cr, columnX - 12, top, cv::groupWidth + 24, bottom - top, 10);
        // A cut between the two rows, and sockets under each knob.
        engrave(cr, columnX + 4, columnX + cv::groupWidth - 4, std::round(lowerKnobCentre() - 36) + 0.5);
        for (int i = 0; i < 4; ++i) {
            const double cx = columnX + 30 + i * 72;
            for (double cy : {upperKnobCentre(), lowerKnobCentre()}) {
                cairo_arc(cr, cx, cy + 1, 27, 0, 2 * pi);
                cairo_pattern_t* socket = cairo_pattern_create_radial(cx, cy + 1, 18, cx, cy + 1, 27);
                cairo_pattern_add_color_stop_rgba(socket, 0, 0, 0, 0, 0.55);
                cairo_pattern_add_color_stop_rgba(socket, 1, 0, 0, 0, 0);
                cairo_set_source(cr, socket);
                cairo_fill(cr);
                cairo_pattern_destroy(socket);
            }
        }
    }
}

// "background": the whole canvas.
void drawBackground(cairo_t* cr, double w, double h) {
    cairo_rectangle(cr, 0, 0, w, h);
    fillVertical(cr, 0, h, panelTop, panelBottom);
    cairo_new_path(cr);
    // Brushed metal: faint horizontal streaks of varying strength (a fixed sequence, so every build
    // draws the same panel).
    std::uint32_t seed = 0x2545F491u;
    for (double y = 0.5; y < h; y += 1) {
        seed = seed * 1664525u + 1013904223u;
        const double alpha = 0.006 + (seed >> 24) / 255.0 * 0.018;
        hairline(cr, 0, y, w, y, alpha, (seed & 0x100u) != 0);
    }
    // The panel's edge.
    roundedRect(cr, 0.5, 0.5, w - 1, h - 1, 3);
    set(cr, edgeDark);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    hairline(cr, 3, 1.5, w - 3, 1.5, 0.1, true);

    // Header strip: a shallow channel the logo, preset field and version sit in.
    const double stripTop = cv::headerTop - 5, stripHeight = cv::headerHeight + 10;
    roundedRect(cr, 12, stripTop, w - 24, stripHeight, 7);
    fillVertical(cr, stripTop, stripTop + stripHeight, hex("#141519"), hex("#1A1C21"));
    hairline(cr, 19, stripTop + 0.5, w - 19, stripTop + 0.5, 0.6, false);
    hairline(cr, 19, stripTop + stripHeight - 0.5, w - 19, stripTop + stripHeight - 0.5, 0.06, true);

    drawAnalyserWell(cr);
    drawDialPlates(cr);
    drawPadScreen(cr);

    for (double sx : {7.0, w - 7}) {
        for (double sy : {7.0, h - 7}) {
            drawScrew(cr, sx, sy);
        }
    }
}

// "kestrova-logo": a blue dial mark and the maker's name in stroked capitals.
void drawLogo(cairo_t* cr, double w, double h) {
    const double cy = h / 2, markRadius = 6.5, markX = markRadius + 1.5;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 1.8);
    set(cr, editorColour("buttonBlue"));
    cairo_new_path(cr);
    cairo_arc(cr, markX, cy, markRadius, cairoAngle(radians(-135)), cairoAngle(radians(135)));
    cairo_stroke(cr);
    cairo_move_to(cr, markX, cy);
    cairo_line_to(cr, pointX(markX, 3.8, radians(45)), pointY(cy, 3.8, radians(45)));
    set(cr, editorColour("values"));
    cairo_stroke(cr);

    constexpr std::string_view name = "KESTROVA";
    const double letterHeight = 9, stroke = 1.4, scale = letterHeight / 11.5;
    double advance = 0;
    for (char letter : name) {
        advance += letterWidth(letter) * scale;
    }
    const double left = markX + markRadius + 5.5;
    const double tracking = (w - 1 - stroke / 2 - left - advance) / (name.size() - 1);
    cairo_set_line_width(cr, stroke);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    cairo_set_miter_limit(cr, 2);
    set(cr, editorColour("values"), 0.9);
    double x = left;
    for (char letter : name) {
        cairo_save(cr);
        cairo_translate(cr, x, cy - letterHeight / 2);
        cairo_new_path(cr);
        letterPath(cr, letter, letterWidth(letter) * scale, letterHeight);
        cairo_restore(cr);
        cairo_stroke(cr);
        x += letterWidth(letter) * scale + tracking;
    }
}

// "header-preset": the preset field's box, a dark recessed display (the revert button sits at its right
// end when shown).
void drawPresetBox(cairo_t* cr, double w, double h) {
    roundedRect(cr, 0.5, 0.5, w - 1, h - 1, 4);
    fillVertical(cr, 0.5, h - 0.5, hex("#07080A"), hex("#0E1013"));
    cairo_set_source_rgba(cr, 1, 1, 1, 0.1);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    hairline(cr, 4, 1.5, w - 4, 1.5, 0.8, false);
}

// The square glyph buttons beside the field: a small raised cap with a chevron.
void drawStepButton(cairo_t* cr, double w, double h, bool next) {
    roundedRect(cr, 0.5, 0.5, w - 1, h - 1, 4);
    fillVertical(cr, 0.5, h - 0.5, hex("#2C2F36"), hex("#1E2025"));
    set(cr, edgeDark);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    hairline(cr, 4, 1.5, w - 4, 1.5, 0.12, true);
    const double cx = w / 2, cy = h / 2, d = next ? 1 : -1;
    cairo_move_to(cr, cx - 2 * d, cy - 4);
    cairo_line_to(cr, cx + 2 * d, cy);
    cairo_line_to(cr, cx - 2 * d, cy + 4);
    set(cr, editorColour("buttonBlue"));
    cairo_set_line_width(cr, 1.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke(cr);
}

// "header-preset-revert": an anticlockwise arrow.
void drawRevert(cairo_t* cr, double w, double h) {
    const double cx = w / 2, cy = h / 2 + 0.5, r = 4.5;
    cairo_new_path(cr);
    cairo_arc(cr, cx, cy, r, radians(-150), radians(140));
    set(cr, editorColour("buttonBlue"));
    cairo_set_line_width(cr, 1.5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
    const double ax = cx + r * std::cos(radians(-150)), ay = cy + r * std::sin(radians(-150));
    cairo_move_to(cr, ax - 2.6, ay - 2.4);
    cairo_line_to(cr, ax + 0.4, ay + 0.2);
    cairo_line_to(cr, ax + 3.2, ay - 2.2);
    cairo_close_path(cr);
    cairo_fill(cr);
}

// "morph-dot" and "morph-dot-down": a glowing blue bead; pressed, it glows wider and its core goes white.
void drawDot(cairo_t* cr, double w, double h, bool down) {
    const double cx = w / 2, cy = h / 2;
    const RGB blue = editorColour("buttonBlue");
    cairo_pattern_t* halo = cairo_pattern_create_radial(cx, cy, 2, cx, cy, w / 2);
    addStop(halo, 0, blue, down ? 0.7 : 0.45);
    addStop(halo, 1, blue, 0);
    cairo_arc(cr, cx, cy, w / 2, 0, 2 * pi);
    cairo_set_source(cr, halo);
    cairo_fill(cr);
    cairo_pattern_destroy(halo);
    const double r = down ? 4.2 : 3.6;
    cairo_arc(cr, cx, cy, r, 0, 2 * pi);
    cairo_pattern_t* bead = cairo_pattern_create_radial(cx - 1, cy - 1, 0.5, cx, cy, r);
    addStop(bead, 0, down ? RGB{1, 1, 1} : mix(blue, {1, 1, 1}, 0.6));
    addStop(bead, 1, blue);
    cairo_set_source(cr, bead);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(bead);
    set(cr, edgeDark, 0.6);
    cairo_set_line_width(cr, 0.6);
    cairo_stroke(cr);
}

using Drawer = std::function<void(cairo_t*, double, double)>;

Drawer drawerFor(std::string_view name) {
    if (name == "background") {
        return drawBackground;
    }
    if (name == "kestrova-logo") {
        return drawLogo;
    }
    if (name == "header-preset") {
        return drawPresetBox;
    }
    if (name == "header-preset-next" || name == "header-preset-previous") {
        const bool next = name == "header-preset-next";
        return [next](cairo_t* cr, double w, double h) { drawStepButton(cr, w, h, next); };
    }
    if (name == "header-preset-revert") {
        return drawRevert;
    }
    if (name == "morph-dot" || name == "morph-dot-down") {
        const bool down = name == "morph-dot-down";
        return [down](cairo_t* cr, double w, double h) { drawDot(cr, w, h, down); };
    }
    return {};
}

} // namespace

std::vector<ImageSpec> editorImageSpecs() {
    std::vector<ImageSpec> specs;
    for (const auto& entry : editor::editorImages) {
        Drawer draw = drawerFor(entry.name);
        if (!draw) {
            std::fprintf(stderr, "artwork-gen: no drawing for the editor image \"%.*s\"\n",
                         static_cast<int>(entry.name.size()), entry.name.data());
            return {};
        }
        specs.push_back(
            {std::string(entry.name), entry.width, entry.height, {}, false, false, std::move(draw)});
    }
    return specs;
}

bool writeEditorArtwork(const std::filesystem::path& bundleDirectory) {
    std::vector<ColorSpec> colors;
    for (const auto& entry : editor::editorColors) {
        colors.push_back({std::string(entry.name), std::string(entry.hex)});
    }
    if (!writeCatalogue(bundleDirectory, editorImageSpecs(), colors, "editor's")) {
        return false;
    }
    std::ofstream info(bundleDirectory / "Info.json");
    info << nlohmann::json{{"CFBundleIdentifier", "com.kestrova.Tessaray.editor.resources"}}.dump(2) << '\n';
    if (!info) {
        std::fprintf(stderr, "artwork-gen: cannot write the editor's Info.json\n");
        return false;
    }
    return true;
}

} // namespace artwork
