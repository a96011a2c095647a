// The container views drawn at 1x and 2x: the flipped views' top-left origin, the styled view's
// background from the style of the day, and the split view's missing divider.
#include "Vimbra/LibraryStatics.hpp"
#include "Vimbra/StyledControls/ContainerViews.hpp"
#include "Vimbra/tests/TestSupport.hpp"

#include <gtest/gtest.h>

using namespace vimbra;

namespace {

class Swatch : public ui::View {
public:
    Swatch(graphics::Rect frame, graphics::ColorRef colour) : View(frame), colour_(std::move(colour)) {}
    void draw(const graphics::Rect&) override {
        graphics::GraphicsContext::current()->fillRect(bounds(), colour_);
    }

private:
    graphics::ColorRef colour_;
};

} // namespace

TEST(ContainerViews, SubviewsAtTheOriginSitAtTheTopAndTheStyledViewShowsTheStylesBackground) {
    for (int scale : {1, 2}) {
        vimbratest::Scene s({200, 300, 200, 100}, scale);
        auto plain = std::make_shared<FlippedView>(graphics::Rect{0, 0, 100, 100});
        auto styled = std::make_shared<StyledFlippedView>(graphics::Rect{100, 0, 100, 100});
        s.add(plain);
        s.add(styled);
        plain->addSubview(
            std::make_shared<Swatch>(graphics::Rect{0, 0, 100, 10}, graphics::Color::rgba(1, 0, 0)));
        styled->addSubview(
            std::make_shared<Swatch>(graphics::Rect{0, 0, 100, 10}, graphics::Color::rgba(0, 1, 0)));
        s.backend->writePNG(std::string(VIMBRA_TEST_OUTPUT_DIR) + "/container-views@" +
                            std::to_string(scale) + "x.png");
        EXPECT_EQ(s.backend->pixel(50 * scale, 5 * scale).r, 255); // device rows count from the top
        EXPECT_EQ(s.backend->pixel(50 * scale, 50 * scale).r, s.backend->pixel(50 * scale, 95 * scale).r);
        EXPECT_EQ(s.backend->pixel(150 * scale, 5 * scale).g, 255);
        const auto expected = StyledFlippedView::style()->backgroundColor;
        const auto below = s.backend->pixel(150 * scale, 50 * scale);
        EXPECT_NEAR(below.r, expected->red() * 255, 2);
        EXPECT_NEAR(below.b, expected->blue() * 255, 2);
    }
    EXPECT_FALSE(StyledFlippedView().translatesAutoresizingMaskIntoConstraints());
    EXPECT_EQ(StyledFlippedView::style()->appearanceName, LibraryDefaults::appearanceName());
}

TEST(ContainerViews, AReplacedStyleColoursOnlyViewsMadeAfterwards) {
    auto before = std::make_shared<StyledFlippedView>();
    const auto original = StyledFlippedView::style();
    auto replacement = std::make_shared<BaseStyle>();
    replacement->backgroundColor = graphics::Color::rgba(0, 0, 1);
    StyledFlippedView::setStyle(replacement);
    auto after = std::make_shared<StyledFlippedView>();
    StyledFlippedView::setStyle(original);
    EXPECT_EQ(after->layer()->backgroundColor(), replacement->backgroundColor);
    EXPECT_EQ(before->layer()->backgroundColor(), original->backgroundColor);
}

TEST(ContainerViews, TheSplitViewsSubviewsAbutWithNothingDrawnBetween) {
    vimbratest::Scene s({200, 300, 200, 60});
    auto split = std::make_shared<NoDividerSplitView>(graphics::Rect{0, 0, 200, 60});
    split->setVertical(true);
    auto left = std::make_shared<Swatch>(graphics::Rect{}, graphics::Color::rgba(1, 0, 0));
    auto right = std::make_shared<Swatch>(graphics::Rect{}, graphics::Color::rgba(0, 0, 1));
    split->addSubview(left);
    split->addSubview(right);
    s.add(split);
    split->layoutSubtreeIfNeeded();
    EXPECT_DOUBLE_EQ(left->frame().maxX(), right->frame().minX());
    EXPECT_DOUBLE_EQ(right->frame().maxX(), 200.0);
    s.backend->displayIfNeeded();
    const int seam = static_cast<int>(left->frame().maxX());
    EXPECT_EQ(s.backend->pixel(seam - 1, 30).r, 255);
    EXPECT_EQ(s.backend->pixel(seam, 30).b, 255);
}
