#include "Support.hpp"
#include "core/Bundle.hpp"

#include <filesystem>
#include <gtest/gtest.h>

using namespace decltest;
using graphics::DrawOpKind;

namespace {

View box(graphics::ColorRef color, double w, double h) {
    return ColorView(std::move(color)).frame(w, h);
}

} // namespace

TEST(Layout, StacksPlaceChildrenWithSpacingIncludingNegative) {
    Harness h(HStack({.spacing = -10}, {box(red(), 50, 20), box(blue(), 30, 20)}));
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{65, 40, 50, 20}, {105, 40, 30, 20}}));

    h.host->setRootView(VStack({.alignment = HorizontalAlignment::leading, .spacing = 4},
                               {box(red(), 50, 10), box(blue(), 30, 10)}));
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{75, 38, 50, 10}, {75, 52, 30, 10}}));

    // Bottom-aligned children of different heights.
    h.host->setRootView(HStack({.alignment = VerticalAlignment::bottom, .spacing = 0},
                               {box(red(), 10, 40), box(blue(), 10, 10)}));
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{90, 30, 10, 40}, {100, 60, 10, 10}}));
}

TEST(Layout, FixedChildrenFirstFlexibleShareTheRestAndStacksMayOverflow) {
    Harness h(HStack({.spacing = 0},
                     {ColorView(red()), ColorView(blue()).frame(50, std::nullopt), ColorView(red())}),
              {250, 100});
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{0, 0, 100, 100}, {100, 0, 50, 100}, {150, 0, 100, 100}}));

    // The spacer takes what the text and the box leave (text is one em = 13 pt per character here).
    h.host->setRootView(HStack({.spacing = 0}, {Text("ab"), Spacer(), box(red(), 20, 10)}));
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{230, 45, 20, 10}}));

    // Two fixed children wider than the proposal: the stack overflows, centred.
    h.host->setRootView(HStack({.spacing = 0}, {box(red(), 150, 10), box(blue(), 150, 10)}));
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{-25, 45, 150, 10}, {125, 45, 150, 10}}));
}

TEST(Layout, LayoutPriorityGoesFirstAndTextTruncatesToItsShare) {
    Harness h(HStack({.spacing = 0}, {Text("aaaa").layoutPriority(1), Text("bbbb")}), {60, 20});
    const auto texts = h.record(DrawOpKind::text);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].rect.width(), 52);
    EXPECT_EQ(texts[1].rect.width(), 8);
    EXPECT_EQ(texts[1].rect.x(), 52);
}

TEST(Layout, FramesClampAndAlign) {
    Harness h(Text("abc").frame({.maxWidth = infinity, .alignment = Alignment::leading()}).background(red()));
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{0, 43.5, 200, 13}}));

    h.host->setRootView(box(red(), 20, 10).frame(100, 50, Alignment::bottom()));
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{90, 65, 20, 10}}));

    // A minimum wider than the child; a maximum narrower than the proposal.
    h.host->setRootView(VStack({.spacing = 0}, {box(red(), 20, 10).frame({.minWidth = 60}).background(blue()),
                                                ColorView(red()).frame({.maxWidth = 80, .maxHeight = 10})}));
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{70, 40, 60, 10}, {90, 40, 20, 10}, {60, 50, 80, 10}}));
}

TEST(Layout, PaddingAddsOrRemovesAndBackgroundsOverhang) {
    Harness h(box(red(), 40, 40).padding(10).background(blue()));
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{70, 20, 60, 60}, {80, 30, 40, 40}}));

    h.host->setRootView(box(red(), 40, 40).padding(-5).background(blue()));
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{85, 35, 30, 30}, {80, 30, 40, 40}}));

    // A background larger than its view is centred on it and drawn first.
    h.host->setRootView(box(red(), 20, 20).background(box(blue(), 40, 40)));
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{80, 30, 40, 40}, {90, 40, 20, 20}}));
}

TEST(Layout, OffsetPositionAndScaleMoveDrawingNotLayout) {
    Harness h(HStack({.spacing = 0}, {box(red(), 20, 20).offset(30, -10), box(blue(), 20, 20)}));
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{110, 30, 20, 20}, {100, 40, 20, 20}}));

    h.host->setRootView(box(red(), 20, 20).position(30, 40));
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{20, 30, 20, 20}}));

    h.host->setRootView(box(red(), 40, 20).scaleEffect(2, UnitPoint::topLeading()));
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{80, 40, 80, 40}}));
    h.host->setRootView(box(red(), 40, 20).scaleEffect(2));
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{60, 30, 80, 40}}));
}

TEST(Layout, GeometryReaderSeesItsSizeAndOpacityMakesALayer) {
    Harness h(GeometryReader([](const GeometryProxy& g) {
                  return Text(std::to_string(static_cast<int>(g.size.width)) + "x" +
                              std::to_string(static_cast<int>(g.size.height)));
              }).frame(120, 50));
    const auto texts = h.record(DrawOpKind::text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "120x50");
    EXPECT_EQ(texts[0].rect.origin, (Point{40, 25}));

    h.host->setRootView(box(red(), 10, 10).opacity(0.5));
    const auto layers = h.record(DrawOpKind::beginLayer);
    ASSERT_EQ(layers.size(), 1u);
    EXPECT_DOUBLE_EQ(layers[0].alpha, 0.5);
    h.host->setRootView(box(red(), 10, 10).opacity(0));
    EXPECT_TRUE(h.fills().empty());
}

TEST(Content, ShapesTextAndEnvironment) {
    Harness h(VStack({.spacing = 0},
                     {Circle().fill(red()).frame(20, 10), RoundedRectangle(4).stroke(blue(), 2).frame(30, 10),
                      Text("hi").font(graphics::Font::systemFont(20)).foregroundColor(blue())}));
    const auto fills = h.record(DrawOpKind::fillPath);
    ASSERT_EQ(fills.size(), 1u);
    // A circle in the middle of its 20 x 10 frame.
    EXPECT_NEAR(fills[0].rect.x(), 95, 1e-9);
    EXPECT_NEAR(fills[0].rect.y(), 30, 1e-9);
    EXPECT_NEAR(fills[0].rect.width(), 10, 1e-9);
    const auto strokes = h.record(DrawOpKind::strokePath);
    ASSERT_EQ(strokes.size(), 1u);
    EXPECT_EQ(strokes[0].lineWidth, 2);
    const auto texts = h.record(DrawOpKind::text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].fontSize, 20);
    EXPECT_EQ(texts[0].rect, (Rect{80, 50, 40, 20}));
    ASSERT_TRUE(texts[0].textColor);
    EXPECT_TRUE(texts[0].textColor->sameComponents(*blue()));
}

TEST(Content, NamedImagesTakeTheirSizeFromPixelsAndScaleAndStretchWithInsets) {
    const auto dir = std::filesystem::temp_directory_path() / "declarative-image-bundle";
    std::filesystem::create_directories(dir / "Resources");
    auto image = graphics::Image::draw({20, 10}, 2.0, [](graphics::GraphicsContext& c) {
        c.fillRect(Rect(0, 0, 20, 10), graphics::Color::rgba(0, 1, 0));
    });
    ASSERT_TRUE(image->writePNG(dir / "Resources" / "strip@2x.png"));
    graphics::Image::clearNamedCache();
    auto bundle = core::Bundle::atPath(dir);
    ASSERT_TRUE(bundle);

    Harness h(Image("strip", *bundle));
    auto images = h.record(DrawOpKind::image);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].rect, (Rect{90, 45, 20, 10}));

    h.host->setRootView(Image("strip", *bundle).resizable({2, 3, 2, 3}).frame(100, 30));
    images = h.record(DrawOpKind::image);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].rect, (Rect{50, 35, 100, 30}));
    EXPECT_EQ(images[0].capInsets, (EdgeInsets{2, 3, 2, 3}));
    // The shared named image keeps no insets of its own.
    EXPECT_TRUE(graphics::Image::named("strip", bundle->resourcePath())->capInsets().isZero());

    // A missing image has no size and draws nothing.
    h.host->setRootView(Image("missing", *bundle));
    EXPECT_TRUE(h.record(DrawOpKind::image).empty());
    std::filesystem::remove_all(dir);
}

TEST(Content, CanvasDrawsInItsOwnCoordinatesWithAMaskedLayer) {
    Harness h(Canvas([](CanvasContext& c) {
                  c.fill(graphics::BezierPath::rect({0, 0, c.size().width, 5}), red());
                  c.drawLayer(graphics::BezierPath::oval({0, 0, 10, 10}), 0.5, [](CanvasContext& inner) {
                      inner.fill(graphics::BezierPath::rect({0, 0, 10, 10}), blue());
                  });
              }).frame(40, 20));
    const auto fills = h.record(DrawOpKind::fillPath);
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0].deviceRect, (Rect{80, 40, 40, 5}));
    EXPECT_EQ(fills[1].deviceRect, (Rect{80, 40, 10, 10}));
    const auto layers = h.record(DrawOpKind::beginLayer);
    ASSERT_EQ(layers.size(), 1u);
    EXPECT_DOUBLE_EQ(layers[0].alpha, 0.5);
}

TEST(Layout, SpacersGiveWayToLessFlexibleSiblings) {
    // A text beside a spacer keeps its ideal width while the room exists (not half of it).
    Harness h(HStack({Text("aaaaaaaaaa"), Spacer()}), {200, 20});
    auto texts = h.record(DrawOpKind::text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rect.x(), 0);
    EXPECT_EQ(texts[0].rect.width(), 130);

    // Short of room the text truncates, leaving the spacer its minimum length.
    h.host->setRootView(HStack({.spacing = 0}, {Text("aaaaaaaaaaaaaaaaaaaa"), Spacer(30)}));
    texts = h.record(DrawOpKind::text);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rect.width(), 170);

    // A row of padded buttons with no spacing, then a spacer: every label at its full width.
    const auto segment = [](const char* title) {
        return Button([] {}, Text(title)).padding(EdgeInsets{0, 16, 0, 16});
    };
    h.host->setRootView(
        HStack({HStack({.spacing = 0}, {segment("aaa"), segment("b"), segment("ccc")}), Spacer()}));
    texts = h.record(DrawOpKind::text);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].rect, (Rect{16, 3.5, 39, 13}));
    EXPECT_EQ(texts[1].rect, (Rect{87, 3.5, 13, 13}));
    EXPECT_EQ(texts[2].rect, (Rect{132, 3.5, 39, 13}));
}

TEST(Layout, SpacersShareEvenlyWithEquallyFlexibleSiblings) {
    Harness h(HStack({.spacing = 0}, {Spacer(), ColorView(red()), Spacer()}), {300, 20});
    EXPECT_EQ(h.fills(), (std::vector<Rect>{{100, 0, 100, 20}}));
}
