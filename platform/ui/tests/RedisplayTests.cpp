// Partial display passes: marked rects on whole device pixels, overhanging views, and pixels that match
// a full redraw.

#include "Helpers.hpp"
#include "graphics/Color.hpp"
#include "graphics/GraphicsContext.hpp"

#include <gtest/gtest.h>

using graphics::Rect;

namespace {

// Fills its bounds, grown by its overhang, with an antialiased fractional-edged rect whose colour
// follows `shade`.
class Swatch : public ui::View {
public:
    Swatch(const Rect& frame, double overhang) : View(frame), overhang_(overhang) {}
    graphics::EdgeInsets paintOverhang() const override {
        return {overhang_, overhang_, overhang_, overhang_};
    }
    void draw(const Rect&) override {
        auto* context = graphics::GraphicsContext::current();
        const Rect area = bounds().insetBy(-overhang_ + 0.3, -overhang_ + 0.3);
        context->fillRect(area, graphics::Color::rgba(shade, 0.4, 1 - shade, 0.8));
    }
    double shade = 0.1;

private:
    double overhang_;
};

struct Scene {
    Scene(double scale) {
        window = ui::Window::make(Rect(0, 0, 120, 90));
        window->setBackgroundColor(graphics::Color::rgba(0.9, 0.9, 0.85));
        backend = std::make_shared<uitest::FakeBackend>(graphics::Size(120, 90), scale);
        window->setBackend(backend);
        // A bezel that paints 2 points beyond its fractional frame, and a plain swatch apart from it.
        bezel = std::make_shared<Swatch>(Rect(20.25, 30.5, 40.5, 20.25), 2);
        plain = std::make_shared<Swatch>(Rect(85.5, 10.75, 20, 15.5), 0);
        // A neighbour under the bezel's overhang, drawn before it.
        auto under = std::make_shared<Swatch>(Rect(10, 28, 15, 30), 0);
        under->shade = 0.7;
        window->contentView()->addSubview(under);
        window->contentView()->addSubview(bezel);
        window->contentView()->addSubview(plain);
        window->displayIfNeeded();
    }
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<uitest::FakeBackend> backend;
    std::shared_ptr<Swatch> bezel;
    std::shared_ptr<Swatch> plain;
};

std::vector<std::uint32_t> pixels(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    const int w = cairo_image_surface_get_width(surface);
    const int h = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const auto* data = cairo_image_surface_get_data(surface);
    std::vector<std::uint32_t> out;
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
        out.insert(out.end(), row, row + w);
    }
    return out;
}

class PartialRedisplay : public ::testing::TestWithParam<double> {};

TEST_P(PartialRedisplay, TwoMarkedViewsRedrawOnlyTheirAreasAndMatchAFullRedraw) {
    uitest::WindowScope windows;
    const double scale = GetParam();
    Scene partial(scale);
    partial.bezel->shade = 0.9;
    partial.plain->shade = 0.6;
    partial.bezel->setNeedsDisplay();
    partial.plain->setNeedsDisplay();

    // Two separate rects, each on whole device pixels and covering what its view paints.
    const auto rects = partial.window->dirtyRects();
    ASSERT_EQ(rects.size(), 2u);
    for (const Rect& r : rects) {
        for (double edge : {r.minX(), r.minY(), r.maxX(), r.maxY()}) {
            EXPECT_DOUBLE_EQ(edge * scale, std::round(edge * scale)) << edge;
        }
    }
    EXPECT_TRUE(rects[0].contains(Rect(18.25, 28.5, 44.5, 24.25))) << rects[0].x() << " " << rects[0].width();
    EXPECT_TRUE(rects[1].contains(Rect(85.5, 10.75, 20, 15.5)));
    partial.window->displayIfNeeded();
    EXPECT_EQ(partial.backend->drawn, rects);

    Scene full(scale);
    full.bezel->shade = 0.9;
    full.plain->shade = 0.6;
    full.window->setViewsNeedDisplay(true);
    full.window->displayIfNeeded();
    ASSERT_EQ(full.backend->drawn, std::vector<Rect>{Rect(0, 0, 120, 90)});

    const auto expected = pixels(full.backend->surface());
    const auto actual = pixels(partial.backend->surface());
    ASSERT_EQ(actual.size(), expected.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        differing += actual[i] != expected[i];
    }
    EXPECT_EQ(differing, 0u);
}

INSTANTIATE_TEST_SUITE_P(Scales, PartialRedisplay, ::testing::Values(1.0, 2.0));

TEST(DirtyRects, OverlappingRectsMergeAndManyCollapseIntoTheirUnion) {
    uitest::WindowScope windows;
    auto window = ui::Window::make(Rect(0, 0, 200, 100));
    auto backend = std::make_shared<uitest::FakeBackend>(graphics::Size(200, 100), 1.5);
    window->setBackend(backend);
    window->displayIfNeeded();

    // Rounded outward to whole device pixels at 1.5: 1/1.5 points per pixel.
    window->setNeedsDisplayInRect(Rect(10.1, 10.1, 5, 5));
    ASSERT_EQ(window->dirtyRects().size(), 1u);
    const Rect r = window->dirtyRects()[0];
    EXPECT_NEAR(r.minX() * 1.5, 15, 1e-9);
    EXPECT_NEAR(r.maxX() * 1.5, 23, 1e-9);

    // Overlapping marks become one; separate ones stay apart; marks outside the window are dropped.
    window->setNeedsDisplayInRect(Rect(12, 12, 10, 10));
    window->setNeedsDisplayInRect(Rect(100, 50, 10, 10));
    window->setNeedsDisplayInRect(Rect(300, 50, 10, 10));
    ASSERT_EQ(window->dirtyRects().size(), 2u);
    EXPECT_TRUE(window->dirtyRects()[0].contains(Rect(10.1, 10.1, 11.9, 11.9)));

    // Past the limit the marks collapse into their union, which later marks join when they touch it.
    for (int i = 0; i < static_cast<int>(ui::Window::maxDirtyRects); ++i) {
        window->setNeedsDisplayInRect(Rect(2 + 20 * i, 90, 2, 2));
        EXPECT_LE(window->dirtyRects().size(), ui::Window::maxDirtyRects);
    }
    EXPECT_EQ(window->dirtyRects().size(), 2u);
    const Rect all = window->dirtyRect();
    EXPECT_TRUE(all.contains(Rect(100, 50, 10, 10)));
    EXPECT_TRUE(all.contains(Rect(142, 90, 2, 2)));
    window->setNeedsDisplayInRect(Rect(50, 40, 100, 20));
    ASSERT_EQ(window->dirtyRects().size(), 1u);
    EXPECT_EQ(window->dirtyRects()[0], window->dirtyRect());
}

} // namespace
