#include "graphics/BezierPath.hpp"
#include "graphics/DrawRecorder.hpp"
#include "graphics/GraphicsContext.hpp"
#include "graphics/Image.hpp"

#include <cairo.h>
#include <cmath>
#include <gtest/gtest.h>

using namespace graphics;

namespace {
constexpr double pi = 3.141592653589793;

void expectNear(Point p, double x, double y) {
    EXPECT_NEAR(p.x, x, 1e-9);
    EXPECT_NEAR(p.y, y, 1e-9);
}
} // namespace

TEST(BezierPath, ElementListsOfShapes) {
    BezierPath rect = BezierPath::rect({1, 2, 3, 4});
    ASSERT_EQ(rect.elementCount(), 5u);
    const Point corners[] = {{1, 2}, {4, 2}, {4, 6}, {1, 6}};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(rect.elements()[i],
                  (PathElement{i ? PathElementType::lineTo : PathElementType::moveTo, {corners[i]}}));
    EXPECT_EQ(rect.elements()[4].type, PathElementType::closePath);

    // Radii larger than half a side are clamped, so a "pill" is two half circles and two lines.
    BezierPath pill = BezierPath::roundedRect({0, 0, 40, 10}, 50, 50);
    int curves = 0;
    for (const auto& e : pill.elements())
        curves += e.type == PathElementType::curveTo;
    EXPECT_EQ(curves, 4);
    Rect b = pill.bounds();
    EXPECT_NEAR(b.width(), 40, 1e-9);
    EXPECT_NEAR(b.height(), 10, 1e-9);
    // A zero radius gives a plain rectangle.
    EXPECT_EQ(BezierPath::roundedRect({0, 0, 4, 4}, 0, 0).elements(),
              BezierPath::rect({0, 0, 4, 4}).elements());

    // Tight bounds follow the curves; control-point bounds reach further for a circle's quarter arcs only
    // when the control points stick out, which they do not for a full oval.
    BezierPath oval = BezierPath::oval({0, 0, 20, 10});
    EXPECT_NEAR(oval.bounds().maxX(), 20, 1e-9);
    EXPECT_NEAR(oval.bounds().maxY(), 10, 1e-9);
}

TEST(BezierPath, ArcsFollowTheSweepDirection) {
    // A quarter turn counter-clockwise from 3π/2 to 0: one cubic ending at the rightmost point.
    BezierPath quarter;
    quarter.moveTo({5, 0});
    quarter.addArc({5, 5}, 5, 3 * pi / 2, 0, false);
    ASSERT_EQ(quarter.elementCount(), 3u); // move, line to the arc start (same point), curve
    EXPECT_EQ(quarter.elements()[2].type, PathElementType::curveTo);
    expectNear(quarter.elements()[2].points[2], 10, 5);
    EXPECT_NEAR(quarter.bounds().maxX(), 10, 1e-9);
    EXPECT_NEAR(quarter.bounds().minY(), 0, 1e-9);

    // End behind start counter-clockwise: the long way round (three quarters).
    BezierPath longWay;
    longWay.addArc({0, 0}, 1, 0, -pi / 2, false);
    EXPECT_EQ(longWay.elementCount(), 4u); // move + 3 curves
    expectNear(longWay.currentPoint(), 0, -1);
    EXPECT_NEAR(longWay.bounds().minX(), -1, 1e-9);

    // The same angles clockwise: a quarter.
    BezierPath shortWay;
    shortWay.addArc({0, 0}, 1, 0, -pi / 2, true);
    EXPECT_EQ(shortWay.elementCount(), 2u);
    EXPECT_NEAR(shortWay.bounds().minX(), 0, 1e-9);

    // Degrees form; points on the circle stay on it.
    BezierPath deg;
    deg.appendArcDegrees({0, 0}, 2, 0, 90);
    expectNear(deg.currentPoint(), 0, 2);
}

TEST(BezierPath, WindingRulesAndTransforms) {
    BezierPath ring = BezierPath::oval({0, 0, 100, 100});
    ring.appendOval({25, 25, 50, 50});
    EXPECT_TRUE(ring.contains({50, 50}));
    ring.setWindingRule(FillRule::evenOdd);
    EXPECT_FALSE(ring.contains({50, 50}));
    EXPECT_TRUE(ring.contains({10, 50}));

    BezierPath moved = BezierPath::rect({0, 0, 2, 2}).transformed(AffineTransform::makeTranslation(5, 5));
    EXPECT_EQ(moved.bounds(), Rect(5, 5, 2, 2));
    EXPECT_TRUE(BezierPath().bounds() == Rect());
}

TEST(GraphicsContext, CurrentStackAndDrawingWithoutAContext) {
    EXPECT_EQ(GraphicsContext::current(), nullptr);
    // Without a current context, drawing helpers draw nothing and do not crash.
    BezierPath::rect({0, 0, 1, 1}).fill();
    BezierPath::rect({0, 0, 1, 1}).stroke();
    GraphicsContext::popCurrent(); // unbalanced pop is harmless

    auto recorder = std::make_shared<DrawRecorder>();
    {
        GraphicsContext outer(recorder, {10, 10});
        GraphicsContext::CurrentScope a(outer);
        EXPECT_EQ(GraphicsContext::current(), &outer);
        {
            auto inner = std::make_unique<GraphicsContext>(recorder, Size{5, 5});
            GraphicsContext::pushCurrent(inner.get());
            EXPECT_EQ(GraphicsContext::current(), inner.get());
            // Destroying a context that is still current must not leave a dangling current().
            inner.reset();
            EXPECT_EQ(GraphicsContext::current(), &outer);
        }
        BezierPath::rect({0, 0, 1, 1}).fill();
    }
    EXPECT_EQ(GraphicsContext::current(), nullptr);
    EXPECT_EQ(recorder->ops(DrawOpKind::fillPath).size(), 1u);
}

TEST(GraphicsContext, StateSaveRestoreAndRecordedCoordinates) {
    auto recorder = std::make_shared<DrawRecorder>();
    GraphicsContext ctx(recorder, {100, 50}, 2.0);
    EXPECT_FALSE(ctx.isFlipped());

    ctx.saveGState();
    ctx.translate(10, 5);
    ctx.setFlipped(true);
    ctx.setFillColor(Color::controlAccentColor());
    ctx.setCompositingOperation(CompositingOperation::copy);
    ctx.fillRect({0, 0, 4, 4});
    ctx.restoreGState();
    ctx.restoreGState(); // unbalanced: ignored
    EXPECT_FALSE(ctx.isFlipped());
    EXPECT_EQ(ctx.ctm(), ctx.baseTransform());
    EXPECT_EQ(ctx.fillColor(), Color::black());
    ctx.fillRect({0, 0, 4, 4});

    auto fills = recorder->ops(DrawOpKind::fillPath);
    ASSERT_EQ(fills.size(), 2u);
    // Unflipped user space at scale 2: (10, 5)-(14, 9) lands 2x larger, measured from the top.
    EXPECT_EQ(fills[0].rect, Rect(0, 0, 4, 4));
    EXPECT_EQ(fills[0].deviceRect, Rect(20, 100 - 18, 8, 8));
    EXPECT_TRUE(fills[0].flipped);
    EXPECT_EQ(fills[0].operation, CompositingOperation::copy);
    EXPECT_TRUE(fills[0].color->sameComponents(*Color::controlAccentColor()));
    EXPECT_EQ(fills[1].deviceRect, Rect(0, 92, 8, 8));
    EXPECT_EQ(fills[1].operation, CompositingOperation::sourceOver);

    BezierPath line;
    line.moveTo({0, 0});
    line.lineTo({10, 0});
    line.setLineWidth(3);
    line.setLineCapStyle(LineCap::round);
    ctx.strokePath(line, Color::whiteColor());
    auto strokes = recorder->ops(DrawOpKind::strokePath);
    ASSERT_EQ(strokes.size(), 1u);
    EXPECT_EQ(strokes[0].lineWidth, 3);
    EXPECT_EQ(strokes[0].lineCap, LineCap::round);
    EXPECT_EQ(strokes[0].elements.size(), 2u);
}

TEST(GraphicsContext, PixelsClipsAndGroupOpacity) {
    BitmapCanvas canvas({20, 20});
    GraphicsContext& ctx = canvas.context();
    // y-up: a fill at the bottom-left lands in the bottom rows of the bitmap.
    ctx.fillRect({0, 0, 5, 5}, Color::rgba(1, 0, 0));
    EXPECT_EQ(canvas.pixel(1, 18), (ImageRep::RGBA{255, 0, 0, 255}));
    EXPECT_EQ(canvas.pixel(1, 1).a, 0);

    {
        GraphicsContext::StateGuard guard(ctx);
        ctx.clipToRect({10, 10, 5, 5});
        ctx.fillRect({0, 0, 20, 20}, Color::rgba(0, 0, 1));
    }
    EXPECT_EQ(canvas.pixel(12, 7), (ImageRep::RGBA{0, 0, 255, 255})); // inside the clip
    EXPECT_EQ(canvas.pixel(17, 2).a, 0);                              // outside
    ctx.fillRect({15, 15, 5, 5}, Color::rgba(0, 1, 0));               // clip released by the guard
    EXPECT_EQ(canvas.pixel(17, 2).g, 255);

    // Overlapping shapes in a half-transparent layer composite once at 0.5, not twice.
    BitmapCanvas layered({10, 10});
    layered.context().beginTransparencyLayer(0.5);
    layered.context().fillRect({0, 0, 10, 10}, Color::rgba(1, 1, 1));
    layered.context().fillRect({0, 0, 10, 10}, Color::rgba(1, 1, 1));
    layered.context().endTransparencyLayer();
    EXPECT_NEAR(layered.pixel(5, 5).a, 128, 1);
}

TEST(GraphicsContext, DrawsRelativeToTheHandedOverCairoContextAndHandsItBackAsItCame) {
    BitmapCanvas canvas({20, 20}, 1, true);
    cairo_t* cr = cairo_create(canvas.surface());
    cairo_translate(cr, 10, 5); // a back end may hand over a context placed inside a larger surface
    cairo_matrix_t before;
    cairo_get_matrix(cr, &before);
    {
        GraphicsContext ctx(cr, {10, 10}, 1.0, true);
        ctx.fillRect({0, 0, 2, 2}, Color::rgba(1, 0, 0));
        // Unbalanced calls left behind by a drawing routine.
        ctx.saveGState();
        ctx.translate(3, 3);
        ctx.beginTransparencyLayer(0.5);
        ctx.saveGState();
        ctx.clipToRect({0, 0, 1, 1});
    }
    cairo_matrix_t after;
    cairo_get_matrix(cr, &after);
    EXPECT_EQ(after.x0, before.x0);
    EXPECT_EQ(after.y0, before.y0);
    EXPECT_EQ(after.xx, before.xx);
    EXPECT_EQ(cairo_get_group_target(cr), cairo_get_target(cr)); // no layer left open
    EXPECT_EQ(canvas.pixel(10, 5).r, 255);
    EXPECT_EQ(canvas.pixel(0, 0).a, 0);
    cairo_set_source_rgb(cr, 0, 0, 1);
    cairo_paint(cr); // not clipped any more: paints everything
    cairo_destroy(cr);
    EXPECT_EQ(canvas.pixel(0, 0).b, 255);
}
