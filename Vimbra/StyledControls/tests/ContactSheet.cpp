#include "Vimbra/StyledControls/tests/ContactSheet.hpp"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace contactsheet {

using graphics::Rect;

RGBA Shot::at(double x, double yUp) const {
    return pixels->representations().at(0)->pixel(static_cast<int>(std::floor(x * scale)),
                                                  static_cast<int>(std::floor((height - yUp) * scale)));
}

RGBA Shot::atControl(double x, double y, bool flipped) const {
    return at(controlFrame.minX() + x, flipped ? controlFrame.maxY() - y : controlFrame.minY() + y);
}

cairo_surface_t* Shot::surface() const {
    return pixels ? pixels->representations().at(0)->surface() : nullptr;
}

Shot shoot(const vimbratest::Scene& scene, const Rect& controlFrame, double scale) {
    scene.window->contentView()->setNeedsDisplay();
    scene.backend->displayIfNeeded();
    return {graphics::Image::fromSurface(scene.backend->surface(), scale), controlFrame, scale,
            scene.window->contentView()->bounds().height()};
}

Shot shotOf(cairo_surface_t* surface, const Rect& controlFrame, double scale, double height) {
    return {graphics::Image::fromSurface(surface, scale), controlFrame, scale, height};
}

int contrast(const RGBA& a, const RGBA& b) {
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

int differing(const Shot& a, const Shot& b, const Rect& area) {
    int count = 0;
    for (double y = area.minY() + 0.25; y < area.maxY(); y += 0.5) {
        for (double x = area.minX() + 0.25; x < area.maxX(); x += 0.5) {
            count += a.at(x, y) == b.at(x, y) ? 0 : 1;
        }
    }
    return count;
}

int expectHalfStrength(const Shot& normal, const Shot& dimmed, const Rect& area, const RGBA& background,
                       int minContrast, int tolerance) {
    const auto half = [&](int n, int b) { return b + (n - b) * 0.5; };
    int compared = 0;
    for (double y = area.minY() + 0.25; y < area.maxY(); y += 0.5) {
        for (double x = area.minX() + 0.25; x < area.maxX(); x += 0.5) {
            const auto n = normal.at(x, y);
            const auto d = dimmed.at(x, y);
            if (contrast(n, background) < minContrast) {
                continue;
            }
            ++compared;
            EXPECT_NEAR(d.r, half(n.r, background.r), tolerance) << x << "," << y;
            EXPECT_NEAR(d.g, half(n.g, background.g), tolerance) << x << "," << y;
            EXPECT_NEAR(d.b, half(n.b, background.b), tolerance) << x << "," << y;
        }
    }
    return compared;
}

Sheet::Sheet(graphics::Size size, double scale)
    : scale_(scale),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(size.width * scale),
                                          static_cast<int>(size.height * scale))),
      cr_(cairo_create(surface_)) {}

Sheet::~Sheet() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

void Sheet::place(const Shot& shot, graphics::Point topLeft) {
    if (auto* pixels = shot.surface()) {
        cairo_set_source_surface(cr_, pixels, topLeft.x * scale_, topLeft.y * scale_);
        cairo_paint(cr_);
    }
}

bool Sheet::write(const std::string& name) const {
    cairo_surface_flush(surface_);
    const auto file =
        std::filesystem::path(VIMBRA_TEST_OUTPUT_DIR) / (name + (scale_ == 1 ? "@1x.png" : "@2x.png"));
    return cairo_surface_write_to_png(surface_, file.c_str()) == CAIRO_STATUS_SUCCESS;
}

} // namespace contactsheet
