// The container views: the flipped views' top-left origin, the split view's missing divider, and the
// styled view's background taken from the style of the day.
#include "Vimbra/LibraryStatics.hpp"
#include "Vimbra/StyledControls/ContainerViews.hpp"
#include "Vimbra/tests/TestSupport.hpp"

#include <gtest/gtest.h>

using namespace vimbra;
using vimbratest::Scene;

namespace {

// A view filled with one colour.
class Swatch : public ui::View {
public:
    explicit Swatch(graphics::ColorRef colour) : View(graphics::Rect{}), colour_(std::move(colour)) {}
    void draw(const graphics::Rect&) override {
        graphics::GraphicsContext::current()->fillRect(bounds(), colour_);
    }

private:
    graphics::ColorRef colour_;
};

} // namespace

TEST(ContainerViews, SubviewsAtTheOriginSitAtTheTopOfEitherFlippedView) {
    for (int scale : {1, 2}) {
        Scene s({200, 300, 200, 100}, scale);
        auto plain = std::make_shared<FlippedView>(graphics::Rect{0, 0, 100, 100});
        auto styled = std::make_shared<StyledFlippedView>(graphics::Rect{100, 0, 100, 100});
        s.add(plain);
        s.add(styled);
        auto red = std::make_shared<Swatch>(graphics::Color::rgba(1, 0, 0));
        red->setFrame({0, 0, 100, 10});
        plain->addSubview(red);
        auto green = std::make_shared<Swatch>(graphics::Color::rgba(0, 1, 0));
        green->setFrame({0, 0, 100, 10});
        styled->addSubview(green);
        s.backend->writePNG(std::string(VIMBRA_TEST_OUTPUT_DIR) + "/container-views@" +
                            std::to_string(scale) + "x.png");
        // Device rows count from the top.
        EXPECT_EQ(s.backend->pixel(50 * scale, 5 * scale).r, 255);
        EXPECT_EQ(s.backend->pixel(50 * scale, 50 * scale).r, s.backend->pixel(50 * scale, 95 * scale).r);
        EXPECT_EQ(s.backend->pixel(150 * scale, 5 * scale).g, 255);
        // Below the green strip, the styled view's background colour.
        const auto expected = StyledFlippedView::style()->backgroundColor;
        const auto below = s.backend->pixel(150 * scale, 50 * scale);
        EXPECT_NEAR(below.r, expected->red() * 255, 2);
        EXPECT_NEAR(below.g, expected->green() * 255, 2);
        EXPECT_NEAR(below.b, expected->blue() * 255, 2);
    }
}

TEST(ContainerViews, TheStyledViewIsLayeredForConstraintsAndKeepsTheColourItWasMadeWith) {
    auto before = std::make_shared<StyledFlippedView>();
    EXPECT_FALSE(before->translatesAutoresizingMaskIntoConstraints());
    ASSERT_NE(before->layer(), nullptr);
    const auto original = StyledFlippedView::style();
    EXPECT_EQ(before->layer()->backgroundColor(), original->backgroundColor);
    EXPECT_EQ(original->appearanceName, LibraryDefaults::appearanceName());

    auto replacement = std::make_shared<BaseStyle>();
    replacement->backgroundColor = graphics::Color::rgba(0, 0, 1);
    StyledFlippedView::setStyle(replacement);
    auto after = std::make_shared<StyledFlippedView>();
    StyledFlippedView::setStyle(original);
    EXPECT_EQ(after->layer()->backgroundColor(), replacement->backgroundColor);
    EXPECT_EQ(before->layer()->backgroundColor(), original->backgroundColor);
}

TEST(ContainerViews, TheSplitViewsSubviewsAbutWithNothingDrawnBetween) {
    Scene s({200, 300, 200, 60});
    auto split = std::make_shared<NoDividerSplitView>(graphics::Rect{0, 0, 200, 60});
    split->setVertical(true);
    auto left = std::make_shared<Swatch>(graphics::Color::rgba(1, 0, 0));
    auto right = std::make_shared<Swatch>(graphics::Color::rgba(0, 0, 1));
    split->addSubview(left);
    split->addSubview(right);
    s.add(split);
    split->layoutSubtreeIfNeeded();
    EXPECT_DOUBLE_EQ(left->frame().maxX(), right->frame().minX());
    EXPECT_DOUBLE_EQ(left->frame().width() + right->frame().width(), 200.0);
    s.backend->displayIfNeeded();
    const int seam = static_cast<int>(left->frame().maxX());
    EXPECT_EQ(s.backend->pixel(seam - 1, 30).r, 255);
    EXPECT_EQ(s.backend->pixel(seam, 30).b, 255);
}
