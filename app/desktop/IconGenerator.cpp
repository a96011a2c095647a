// Draws the application's icon: the hicolor PNG sizes and a scalable SVG, at build time.
#include <cairo-svg.h>
#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr double kPi = 3.14159265358979323846;

void roundedSquare(cairo_t* cr, double x, double y, double size, double radius) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + size - radius, y + radius, radius, -kPi / 2, 0);
    cairo_arc(cr, x + size - radius, y + size - radius, radius, 0, kPi / 2);
    cairo_arc(cr, x + radius, y + size - radius, radius, kPi / 2, kPi);
    cairo_arc(cr, x + radius, y + radius, radius, kPi, 3 * kPi / 2);
    cairo_close_path(cr);
}

// One strand of the waveform across the tile, fading out at both ends like the window's strip.
void strand(cairo_t* cr, double size, double frequency, double phase, double amplitude) {
    const double left = size * 0.14;
    const double width = size * 0.72;
    const int steps = 96;
    for (int i = 0; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        const double envelope = std::pow(std::sin(kPi * t), 1.2);
        const double wave = (std::sin(2 * kPi * frequency * t + phase) +
                             0.35 * std::sin(4.6 * kPi * frequency * t - 1.7 * phase)) /
                            1.35;
        const double x = left + width * t;
        const double y = size * 0.5 - amplitude * size * 0.3 * envelope * wave;
        if (i == 0) {
            cairo_move_to(cr, x, y);
        } else {
            cairo_line_to(cr, x, y);
        }
    }
}

// The icon in a size × size square: a dark tile with three glowing strands, blue to magenta.
void drawIcon(cairo_t* cr, double size) {
    const double inset = size * 0.06;
    const double tile = size - 2 * inset;
    roundedSquare(cr, inset, inset, tile, tile * 0.22);
    cairo_pattern_t* background = cairo_pattern_create_linear(0, inset, 0, inset + tile);
    cairo_pattern_add_color_stop_rgb(background, 0, 0.13, 0.06, 0.26);
    cairo_pattern_add_color_stop_rgb(background, 1, 0.03, 0.015, 0.08);
    cairo_set_source(cr, background);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(background);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
    cairo_set_line_width(cr, std::max(1.0, size / 128));
    cairo_stroke(cr);

    struct Strand {
        double frequency, phase, amplitude, red, green, blue;
    };
    const Strand strands[] = {
        {1.6, 0.4, 0.9, 0.25, 0.55, 1.0}, {2.3, 2.1, 0.7, 0.62, 0.45, 0.95}, {3.1, 4.0, 0.5, 1.0, 0.35, 0.9}};
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (const Strand& s : strands) {
        // A wide faint pass for the glow, then the bright core.
        for (const auto& [width, alpha] :
             {std::pair{0.075, 0.18}, std::pair{0.035, 0.35}, std::pair{0.016, 1.0}}) {
            strand(cr, size, s.frequency, s.phase, s.amplitude);
            cairo_set_source_rgba(cr, s.red, s.green, s.blue, alpha);
            cairo_set_line_width(cr, std::max(width * size, 0.8));
            cairo_stroke(cr);
        }
    }
}

bool writePNG(const fs::path& file, int size) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(surface);
    drawIcon(cr, size);
    cairo_destroy(cr);
    const bool ok = cairo_surface_write_to_png(surface, file.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

bool writeSVG(const fs::path& file) {
    cairo_surface_t* surface = cairo_svg_surface_create(file.c_str(), 256, 256);
    cairo_t* cr = cairo_create(surface);
    drawIcon(cr, 256);
    cairo_destroy(cr);
    cairo_surface_finish(surface);
    const bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

} // namespace

// tessaray-icon-gen <hicolor directory>: writes <size>x<size>/apps/tessaray.png and
// scalable/apps/tessaray.svg.
int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tessaray-icon-gen <hicolor directory>\n");
        return 64;
    }
    const fs::path root = argv[1];
    std::error_code error;
    for (int size : {48, 128, 256}) {
        const std::string name = std::to_string(size) + "x" + std::to_string(size);
        fs::create_directories(root / name / "apps", error);
        if (!writePNG(root / name / "apps" / "tessaray.png", size)) {
            std::fprintf(stderr, "tessaray-icon-gen: cannot write the %s icon\n", name.c_str());
            return 1;
        }
    }
    fs::create_directories(root / "scalable" / "apps", error);
    if (!writeSVG(root / "scalable" / "apps" / "tessaray.svg")) {
        std::fprintf(stderr, "tessaray-icon-gen: cannot write the scalable icon\n");
        return 1;
    }
    return 0;
}
