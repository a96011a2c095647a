#include "graphics/Geometry.hpp"

#include <gtest/gtest.h>

using namespace graphics;

namespace {
void expectRect(const Rect& r, double x, double y, double w, double h) {
    EXPECT_DOUBLE_EQ(r.x(), x);
    EXPECT_DOUBLE_EQ(r.y(), y);
    EXPECT_DOUBLE_EQ(r.width(), w);
    EXPECT_DOUBLE_EQ(r.height(), h);
}
} // namespace

TEST(Geometry, IntegralCoversTheInput) {
    expectRect(Rect(0.3, 0.3, 10.2, 10.2).integral(), 0, 0, 11, 11);
    // Negative origins round towards negative infinity, far edges up.
    expectRect(Rect(-1.5, -0.25, 2.0, 1.0).integral(), -2, -1, 3, 2);
    // Negative sizes are standardised first.
    expectRect(Rect(5, 5, -2.5, -1.5).integral(), 2, 3, 3, 2);
    // A zero-width rect stays zero-wide at an integral x, and covers its point at a fractional one.
    expectRect(Rect(3, 1, 0, 4).integral(), 3, 1, 0, 4);
    expectRect(Rect(3.5, 1, 0, 4).integral(), 3, 1, 1, 4);
    EXPECT_TRUE(Rect::null().integral().isNull());
}

TEST(Geometry, RectOperations) {
    Rect r(10, 20, 30, 40);
    EXPECT_DOUBLE_EQ(Rect(10, 10, -4, 2).minX(), 6);

    expectRect(r.insetBy(5, 5), 15, 25, 20, 30);
    EXPECT_TRUE(r.insetBy(20, 0).isNull()); // inverted
    // Edge insets: top is the maxY side in y-up space, the minY side when flipped.
    EdgeInsets in{1, 2, 3, 4};
    expectRect(r.insetBy(in), 12, 23, 24, 36);
    expectRect(r.insetBy(in, true), 12, 21, 24, 36);

    expectRect(r.unionWith(Rect(0, 0, 5, 5)), 0, 0, 40, 60);
    expectRect(r.unionWith(Rect::null()), 10, 20, 30, 40);
    expectRect(r.intersection(Rect(30, 50, 100, 100)), 30, 50, 10, 10);
    EXPECT_TRUE(r.intersection(Rect(100, 100, 1, 1)).isNull());
    EXPECT_FALSE(r.intersects(Rect(40, 20, 5, 5))); // touching edge only

    EXPECT_TRUE(r.contains(Point{10, 20}));
    EXPECT_FALSE(r.contains(Point{40, 30})); // max edge is outside
    EXPECT_TRUE(r.contains(Rect(10, 20, 30, 40)));
    EXPECT_FALSE(Rect(0, 0, 0, 10).contains(Point{0, 5}));
}

TEST(Geometry, AffineTransforms) {
    // Translate then scale, applied to points in that order.
    AffineTransform t =
        AffineTransform::makeTranslation(10, 0).concatenating(AffineTransform::makeScale(2, 3));
    EXPECT_EQ(t.apply(Point{1, 1}), (Point{22, 3}));
    // translatedBy prepends: the translation happens in the scaled space's input.
    AffineTransform u = AffineTransform::makeScale(2, 2).translatedBy(5, 0);
    EXPECT_EQ(u.apply(Point{0, 0}), (Point{10, 0}));

    AffineTransform r = AffineTransform::makeRotation(radians(90));
    Point p = r.apply(Point{1, 0});
    EXPECT_NEAR(p.x, 0, 1e-12);
    EXPECT_NEAR(p.y, 1, 1e-12);

    AffineTransform complex = AffineTransform::makeRotation(0.3).translatedBy(4, -2).scaledBy(2, 0.5);
    Point q = complex.inverted().apply(complex.apply(Point{3, 7}));
    EXPECT_NEAR(q.x, 3, 1e-9);
    EXPECT_NEAR(q.y, 7, 1e-9);
    EXPECT_TRUE(AffineTransform::makeScale(0, 1).inverted().isIdentity());

    // The bounding box of a flipped rect.
    AffineTransform flip{1, 0, 0, -1, 0, 100};
    expectRect(flip.apply(Rect(10, 10, 20, 30)), 10, 60, 20, 30);
    EXPECT_TRUE(flip.flipsY());
}
