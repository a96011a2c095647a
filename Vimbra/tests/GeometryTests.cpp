#include "Vimbra/Geometry.hpp"
#include "Vimbra/ImageOps.hpp"
#include "Vimbra/Units.hpp"
#include "graphics/DrawRecorder.hpp"

#include <gtest/gtest.h>

using namespace vimbra;

using graphics::EdgeInsets;
using graphics::PathElementType;
using graphics::Point;
using graphics::Rect;

TEST(Geometry, ArithmeticOnPointsSizesAndInsets) {
    EXPECT_EQ((Rect(1, 2, 3, 4) * 2), Rect(2, 4, 6, 8));
    EXPECT_EQ((2 * graphics::Size{3, 4}), (graphics::Size{6, 8}));
    EXPECT_EQ(min(Point{1, 5}, Point{3, 2}), Point(1, 2)); // per component

    const EdgeInsets insets{1, 2, 3, 4};
    EXPECT_EQ(size(insets), (graphics::Size{6, 4}));
    EXPECT_EQ(inset(graphics::Size{20, 10}, insets), (graphics::Size{14, 6}));
    EXPECT_FALSE(hasArea(Rect(0, 0, 0, 5)));
    EXPECT_EQ(maxPoint(Rect(1, 2, 3, 4)), Point(4, 6));
}

TEST(Geometry, InsetAndOutsetAreIntegralAndHonourFlipping) {
    const EdgeInsets insets{1, 2, 3, 4};
    EXPECT_EQ(inset(Rect(0, 0, 20, 10), insets, false), Rect(2, 3, 14, 6));
    EXPECT_EQ(inset(Rect(0, 0, 20, 10), insets, true), Rect(2, 1, 14, 6));
    // Fractional results are widened to cover: origin down, far edge up.
    EXPECT_EQ(inset(Rect(0, 0, 20, 10), EdgeInsets{0, 0.5, 0, 0}, false), Rect(0, 0, 20, 10));
    EXPECT_EQ(outset(Rect(10, 10, 20, 10), insets, false), Rect(8, 7, 26, 14));
}

TEST(Geometry, PixelAlignmentCentringAndClamping) {
    EXPECT_EQ(pixelAligned(Rect(0.3, 0.3, 10.2, 10.2), 2), Rect(0, 0, 10.5, 10.5));
    EXPECT_EQ(pixelAligned(Rect(0.3, 0.3, 10.2, 10.2), 0), Rect(0.3, 0.3, 10.2, 10.2));
    EXPECT_EQ(pixelAligned(Rect(0.3, 0.3, 10.2, 10.2), 1), Rect(0, 0, 11, 11));

    // The offset 100.5 rounds away from zero to 101.
    EXPECT_EQ(centered(Rect(0, 0, 100, 50), Rect(10, 20, 301, 200), 1), Rect(111, 95, 100, 50));
    // At scale 2 the half point stays: no rounding to whole points.
    EXPECT_EQ(centered(Rect(0, 0, 100, 50), Rect(10, 20, 301, 200), 2), Rect(110.5, 95, 100, 50));

    // One-axis centring keeps the size at every scale (a half-point x is not widened).
    EXPECT_EQ(centeredHorizontally(Rect(0, 7, 10, 4), Rect(0, 0, 21, 20), 2), Rect(5.5, 7, 10, 4));
    EXPECT_EQ(centeredHorizontally(Rect(0, 7, 10, 4), Rect(0, 0, 21, 20), 1), Rect(6, 7, 10, 4));
    EXPECT_EQ(centeredHorizontally(Rect(0, 7, 10, 4), Rect(0, 0, 21, 20), 1, ClosedRange{0, 3}),
              Rect(3, 7, 10, 4));
    EXPECT_EQ(centeredVertically(Rect(3, 0, 10, 5), Rect(0, 0, 20, 20), 2), Rect(3, 7.5, 10, 5));
    EXPECT_EQ(centeredVertically(Rect(3, 0, 10, 5), Rect(0, 0, 20, 20), 1), Rect(3, 8, 10, 5));

    EXPECT_EQ(clamped(Rect(90, 5, 20, 10), Rect(0, 0, 100, 100)), Rect(80, 5, 20, 10));
    EXPECT_EQ(clamped(Rect(-5, -5, 20, 10), Rect(0, 0, 100, 100)), Rect(0, 0, 20, 10));
    // Larger than the container: aligned to its origin.
    EXPECT_EQ(clamped(Rect(30, 40, 200, 300), Rect(10, 20, 100, 100)), Rect(10, 20, 200, 300));
}

TEST(Geometry, CornerRadiiPathElements) {
    const Rect r(0, 0, 40, 20);
    const auto square = CornerRadii{}.path(r);
    ASSERT_EQ(square.elementCount(), 6u);
    const Point corners[] = {{0, 0}, {40, 0}, {40, 20}, {0, 20}, {0, 0}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(square.elements()[i].type, i == 0 ? PathElementType::moveTo : PathElementType::lineTo);
        EXPECT_EQ(square.elements()[i].points[0], corners[i]);
    }
    EXPECT_EQ(square.elements()[5].type, PathElementType::closePath);

    // Only the top-right corner (max x, min y) is rounded: line to the arc's start, one quarter arc.
    const auto one = roundedPath(r, CornerRadii{0, 5, 0, 0});
    ASSERT_EQ(one.elementCount(), 7u);
    EXPECT_EQ(one.elements()[1].type, PathElementType::lineTo);
    EXPECT_NEAR(one.elements()[1].points[0].x, 35, 1e-9);
    EXPECT_NEAR(one.elements()[1].points[0].y, 0, 1e-9);
    ASSERT_EQ(one.elements()[2].type, PathElementType::curveTo);
    EXPECT_NEAR(one.elements()[2].points[2].x, 40, 1e-9);
    EXPECT_NEAR(one.elements()[2].points[2].y, 5, 1e-9);
    EXPECT_EQ(one.elements()[3].points[0], Point(40, 20));

    const auto all = CornerRadii{4, 4, 4, 4}.path(r);
    int curves = 0;
    for (const auto& e : all.elements()) {
        curves += e.type == PathElementType::curveTo ? 1 : 0;
    }
    EXPECT_EQ(curves, 4);
    EXPECT_NEAR(all.bounds().width(), 40, 1e-9);
}

TEST(Geometry, FlipVerticallyMapsTheRectOntoItself) {
    graphics::BitmapCanvas canvas({10, 30}, 1.0, false, true);
    graphics::GraphicsContext::CurrentScope scope(canvas.context());
    const auto before = canvas.context().ctm();
    flipVertically(Rect(0, 0, 10, 30));
    const auto after = canvas.context().ctm();
    EXPECT_EQ(after.apply(Point{2, 0}), before.apply(Point{2, 30}));
    EXPECT_EQ(after.apply(Point{2, 30}), before.apply(Point{2, 0}));
}

TEST(Units, DegreesAndDates) {
    EXPECT_EQ(DegreeUtil::normalized(540), 180);
    EXPECT_EQ(DegreeUtil::normalized(-180), 180);
    EXPECT_EQ(DegreeUtil::normalized(181), -179);

    const auto now = std::chrono::system_clock::now();
    const auto tenAgo = now - std::chrono::seconds(10);
    const auto tenAhead = now + std::chrono::seconds(10);
    EXPECT_FALSE(DateUtil::isWithin(10, tenAgo, true, now)); // strict
    EXPECT_TRUE(DateUtil::isWithin(11, tenAhead, false, now));
    EXPECT_TRUE(DateUtil::isOlder(9, tenAhead, false, now)); // the future counts like the past
    EXPECT_FALSE(DateUtil::isOlder(10, tenAgo, true, now));
    EXPECT_TRUE(DateUtil::isOlder(1, std::nullopt, true, now));
    EXPECT_FALSE(DateUtil::isWithin(1, std::nullopt, false, now));
}

TEST(ColorDescription, ListsTheSpaceAndFourComponents) {
    EXPECT_EQ(debugDescription(*graphics::Color::rgba(1, 0, 0)), "kCGColorSpaceSRGB: [ 1.0, 0.0, 0.0, 1.0 ]");
    EXPECT_EQ(debugDescription(*graphics::Color::rgba(0.5, 0.25, 0.2, 0.75)),
              "kCGColorSpaceSRGB: [ 0.5, 0.25, 0.2, 0.75 ]");
}
