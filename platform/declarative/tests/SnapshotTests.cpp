#include "Support.hpp"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>

using namespace decltest;

namespace {

// A small panel in the shape the kit's controls will take: a dial drawn on a canvas with a masked
// value arc, a label and a value, a button and a text field on a rounded, shadowed card.
struct Knob {
    double value = 0.6;
    View body(Context&) const {
        const double v = value;
        return VStack({.spacing = 4},
                      {Text("Gain").font(graphics::Font::systemFont(11, graphics::FontWeight::semibold)),
                       ZStack({Circle().fill(graphics::Color::white(0.22)), Canvas([v](CanvasContext& c) {
                                   const Point centre{c.size().width / 2, c.size().height / 2};
                                   graphics::BezierPath ring;
                                   ring.addArc(centre, 26, graphics::radians(135),
                                               graphics::radians(135 + 270 * v), false);
                                   c.stroke(ring, graphics::Color::rgba(0.2, 0.7, 1.0), 5);
                                   c.drawLayer(
                                       graphics::BezierPath::oval({centre.x - 18, centre.y - 18, 36, 36}),
                                       0.8, [](CanvasContext& inner) {
                                           inner.fill(graphics::BezierPath::rect({0, 0, 64, 32}),
                                                      graphics::Color::white(0.45));
                                       });
                               }),
                               Circle().fill(graphics::Color::rgba(1, 0.8, 0.2)).frame(6, 6).offset(0, -14)})
                           .frame(64, 64),
                       Text(std::to_string(static_cast<int>(v * 100)) + " %")
                           .font(graphics::Font::monospacedDigitSystemFont(10))
                           .foregroundColor(graphics::Color::secondaryLabelColor())});
    }
};

View panel(const Binding<std::string>& name) {
    return HStack({.spacing = 16},
                  {Knob{0.6}, Knob{0.25},
                   VStack({.alignment = HorizontalAlignment::leading, .spacing = 8},
                          {Button("Reset", [] {})
                               .padding(EdgeInsets{3, 10, 3, 10})
                               .background(RoundedRectangle(5).fill(graphics::Color::controlAccentColor())),
                           TextField(name, "Preset").frame(110, std::nullopt)})})
        .padding(14)
        .background(
            RoundedRectangle(10).fill(graphics::Color::white(0.12)).shadow(graphics::Color::black(), 4, 0, 2))
        .padding(10)
        .foregroundColor(graphics::Color::white(0.9));
}

std::filesystem::path outputDirectory() {
    auto dir = std::filesystem::path(DECLARATIVE_TEST_OUTPUT_DIR);
    std::filesystem::create_directories(dir);
    return dir;
}

} // namespace

TEST(Snapshot, APanelDrawsTheSameAtOneAndTwoTimes) {
    core::Observed<std::string> name{std::string("Warm pad")};
    for (double scale : {1.0, 2.0}) {
        Harness h(panel(Binding<std::string>::to(name)), {360, 140}, scale);
        h.window->setBackgroundColor(graphics::Color::white(0.06));
        h.host->setTextMeasurer(nullptr); // Pango, as on screen
        h.settle();
        const auto file = outputDirectory() / (scale == 1.0 ? "panel@1x.png" : "panel@2x.png");
        ASSERT_TRUE(h.backend->writePNG(file));
        // The accent button and the card are where layout put them, at either scale.
        const auto buttons = h.record(graphics::DrawOpKind::fillPath);
        ASSERT_FALSE(buttons.empty());
        const auto card = buttons.front().rect; // the card's background draws first
        const auto inside = h.backend->pixel(static_cast<int>((card.x() + 4) * scale),
                                             static_cast<int>((card.midY()) * scale));
        EXPECT_NEAR(inside.r, 0.12 * 255, 3) << file;
        const auto outside = h.backend->pixel(2, 2);
        EXPECT_NEAR(outside.r, 0.06 * 255, 3) << file;
        // The shadow darkens just below the card.
        const auto shadow = h.backend->pixel(static_cast<int>(card.midX() * scale),
                                             static_cast<int>((card.maxY() + 2) * scale));
        EXPECT_LT(shadow.r, outside.r) << file;
    }
}

TEST(Snapshot, ShadowsFallBelowAndBesideTheirView) {
    Harness h(ColorView(red()).frame(20, 20).shadow(graphics::Color::black(), 0, 5, 5), {60, 60});
    h.window->setBackgroundColor(graphics::Color::whiteColor());
    h.settle();
    const auto onShadow = h.backend->pixel(42, 42);
    EXPECT_LT(onShadow.r, 40);
    const auto onView = h.backend->pixel(30, 30);
    EXPECT_GT(onView.r, 200);
    EXPECT_LT(onView.g, 40);
}
