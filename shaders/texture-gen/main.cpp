// Draws the about panel's two images into a resource directory: the logo ("about-logo.png" and its
// "@2x" variant) and a tileable noise image ("about-noise.png").

#include <array>
#include <cairo.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr double logoSide = 160;
constexpr int noiseSide = 128;
constexpr int noiseCells = 8; // coarse lattice points per side; the image tiles because the lattices wrap

bool writeSurface(cairo_surface_t* surface, const fs::path& file) {
    const bool ok = cairo_surface_write_to_png(surface, file.c_str()) == CAIRO_STATUS_SUCCESS;
    if (!ok) {
        std::fprintf(stderr, "pelko-texture-gen: cannot write %s\n", file.c_str());
    }
    return ok;
}

// A ring around five level bars, white on transparent.
bool drawLogo(const fs::path& file, double scale) {
    const int pixels = static_cast<int>(logoSide * scale);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels, pixels);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, scale, scale);
    const double centre = logoSide / 2;

    cairo_set_source_rgba(cr, 1, 1, 1, 0.95);
    cairo_set_line_width(cr, 9);
    cairo_arc(cr, centre, centre, centre - 8, 0, 2 * M_PI);
    cairo_stroke(cr);

    constexpr std::array<double, 5> levels{0.35, 0.7, 1.0, 0.55, 0.3};
    const double barWidth = 12;
    const double gap = 8;
    const double rowWidth = levels.size() * barWidth + (levels.size() - 1) * gap;
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, barWidth);
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const double x = centre - rowWidth / 2 + barWidth / 2 + static_cast<double>(i) * (barWidth + gap);
        const double half = levels[i] * 38;
        cairo_move_to(cr, x, centre - half);
        cairo_line_to(cr, x, centre + half);
    }
    cairo_pattern_t* fade = cairo_pattern_create_linear(0, centre - 40, 0, centre + 40);
    cairo_pattern_add_color_stop_rgba(fade, 0, 1, 1, 1, 1);
    cairo_pattern_add_color_stop_rgba(fade, 1, 0.75, 0.8, 1, 1);
    cairo_set_source(cr, fade);
    cairo_stroke(cr);
    cairo_pattern_destroy(fade);

    cairo_destroy(cr);
    const bool ok = writeSurface(surface, file);
    cairo_surface_destroy(surface);
    return ok;
}

// Smooth value noise on a wrapping lattice from a fixed linear congruential sequence.
bool drawNoise(const fs::path& file) {
    // Two octaves: the coarse lattice and one twice as fine at half the weight.
    constexpr int fineCells = 2 * noiseCells;
    std::array<double, fineCells * fineCells> lattice{};
    std::uint32_t state = 0x2545F491u;
    for (auto& value : lattice) {
        state = state * 1664525u + 1013904223u;
        value = static_cast<double>(state >> 8) / static_cast<double>(1u << 24);
    }
    auto smooth = [](double t) { return t * t * (3 - 2 * t); };
    auto octave = [&](int cells, double px, double py) {
        auto at = [&](int x, int y) {
            return lattice[static_cast<std::size_t>((y % cells) * fineCells + (x % cells))];
        };
        const double cell = static_cast<double>(noiseSide) / cells;
        const int cx = static_cast<int>(px / cell);
        const int cy = static_cast<int>(py / cell);
        const double fx = smooth(px / cell - cx);
        const double fy = smooth(py / cell - cy);
        const double top = at(cx, cy) + (at(cx + 1, cy) - at(cx, cy)) * fx;
        const double bottom = at(cx, cy + 1) + (at(cx + 1, cy + 1) - at(cx, cy + 1)) * fx;
        return top + (bottom - top) * fy;
    };

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, noiseSide, noiseSide);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < noiseSide; ++y) {
        for (int x = 0; x < noiseSide; ++x) {
            const double value = (octave(noiseCells, x, y) + 0.5 * octave(fineCells, x, y)) / 1.5;
            const auto grey = static_cast<std::uint32_t>(std::lround(value * 255));
            const std::uint32_t word = 0xff000000u | grey << 16 | grey << 8 | grey;
            std::memcpy(data + y * stride + x * 4, &word, 4);
        }
    }
    cairo_surface_mark_dirty(surface);
    const bool ok = writeSurface(surface, file);
    cairo_surface_destroy(surface);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pelko-texture-gen <resource directory>\n");
        return 2;
    }
    const fs::path directory = argv[1];
    std::error_code error;
    fs::create_directories(directory, error);
    const bool ok = drawLogo(directory / "about-logo.png", 1) &&
                    drawLogo(directory / "about-logo@2x.png", 2) && drawNoise(directory / "about-noise.png");
    return ok ? 0 : 1;
}
