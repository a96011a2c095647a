// Clicks on a clickable image view, through real events: what reaches the subject, the dimming while
// pressed, and the focus hand-over to a paired control.
#include "Vimbra/StyledControls/ClickableImageView.hpp"
#include "Vimbra/ViewExtensions.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "ui/TextField.hpp"

#include <gtest/gtest.h>

using namespace vimbra;
using vimbratest::centre;
using vimbratest::Scene;

namespace {

graphics::ImageRef solidImage(graphics::Size size) {
    return graphics::Image::draw(size, 2.0, [size](graphics::GraphicsContext& context) {
        context.fillRect({0, 0, size.width, size.height}, graphics::Color::rgba(1, 1, 1));
    });
}

struct ClickScene : Scene {
    std::shared_ptr<ClickableImageView> view = ClickableImageView::make({20, 20, 40, 40});
    int clicks = 0;
    core::AnyCancellable subscription;

    explicit ClickScene(double scale = 1.0) : Scene({200, 300, 120, 80}, scale) {
        view->setImage(solidImage({40, 40}));
        add(view);
        subscription = view->clicked()->sink([this](const Void&) { ++clicks; });
    }
};

} // namespace

TEST(ClickableImageView, AClickEmitsOnceAndTheViewDimsOnlyWhilePressed) {
    ClickScene s;
    s.backend->mouseDown(centre(*s.view));
    EXPECT_DOUBLE_EQ(s.view->alphaValue(), 0.5);
    EXPECT_EQ(s.clicks, 0);
    s.backend->mouseUp(centre(*s.view));
    EXPECT_DOUBLE_EQ(s.view->alphaValue(), 1.0);
    EXPECT_EQ(s.clicks, 1);
}

TEST(ClickableImageView, ADisabledViewStillReportsTheClickButDoesNotDim) {
    ClickScene s;
    s.view->setEnabled(false);
    s.backend->mouseDown(centre(*s.view));
    EXPECT_DOUBLE_EQ(s.view->alphaValue(), 1.0);
    s.backend->mouseUp(centre(*s.view));
    EXPECT_EQ(s.clicks, 1);
}

TEST(ClickableImageView, ADragIsNotAClick) {
    ClickScene s;
    const auto start = centre(*s.view);
    s.backend->mouseDown(start);
    s.backend->mouseDragged({start.x + 10, start.y});
    s.backend->mouseUp({start.x + 10, start.y});
    EXPECT_EQ(s.clicks, 0);
    EXPECT_DOUBLE_EQ(s.view->alphaValue(), 1.0);
}

TEST(ClickableImageView, ReplacingTheSubjectLeavesOldSubscribersBehind) {
    ClickScene s;
    int later = 0;
    s.view->setClicked(LibraryDefaults::clickedSubject());
    auto laterSubscription = s.view->clicked()->sink([&](const Void&) { ++later; });
    s.backend->click(centre(*s.view));
    EXPECT_EQ(s.clicks, 0);
    EXPECT_EQ(later, 1);
}

TEST(ClickableImageView, AFirstClickIntoAnotherWindowKeysItAndFocusesThePairedField) {
    ClickScene s;
    auto other = ui::Window::make({500, 300, 200, 80});
    auto otherBackend = display::HeadlessBackend::attach(other, 1.0, false);
    other->orderFront();
    auto icon = ClickableImageView::make({4, 20, 30, 30});
    auto field = std::make_shared<ui::TextField>(graphics::Rect{40, 20, 120, 22});
    other->contentView()->addSubview(icon);
    other->contentView()->addSubview(field);
    ASSERT_TRUE(s.window->isKeyWindow());

    core::CancellableSet cancellables;
    ClickableImageView::makeFirstResponderOnClick({}, cancellables);
    EXPECT_TRUE(cancellables.empty());
    ClickableImageView::makeFirstResponderOnClick({{icon, field}}, cancellables);
    EXPECT_EQ(cancellables.size(), 1u);

    otherBackend->click(centre(*icon));
    EXPECT_TRUE(other->isKeyWindow());
    EXPECT_TRUE(isFirstResponder(*field));
}

TEST(ClickableImageView, AClickPairedWithAWindowlessOrReleasedControlDoesNothing) {
    ClickScene s;
    auto loose = std::make_shared<ui::TextField>(graphics::Rect{0, 0, 100, 22});
    auto gone = std::make_shared<ui::TextField>(graphics::Rect{0, 0, 100, 22});
    auto second = ClickableImageView::make({70, 20, 30, 30});
    s.add(second);
    const auto before = s.window->firstResponder();
    core::CancellableSet cancellables;
    ClickableImageView::makeFirstResponderOnClick({{s.view, loose}, {second, gone}}, cancellables);
    gone.reset();
    s.backend->click(centre(*s.view));
    s.backend->click(centre(*second));
    EXPECT_EQ(s.clicks, 1);
    EXPECT_EQ(s.window->firstResponder(), before);
    EXPECT_FALSE(isFirstResponder(*loose));
}

TEST(ClickableImageView, ThePressedViewDrawsAtHalfStrength) {
    for (double scale : {1.0, 2.0}) {
        ClickScene s(scale);
        const int x = static_cast<int>(40 * scale);
        const int y = static_cast<int>((80 - 40) * scale); // view centre, device rows from the top
        s.backend->displayIfNeeded();
        const auto background = s.backend->pixel(2, 2);
        const auto rest = s.backend->pixel(x, y);
        EXPECT_EQ(rest.r, 255);
        s.backend->mouseDown(centre(*s.view));
        s.backend->displayIfNeeded();
        const auto pressed = s.backend->pixel(x, y);
        EXPECT_NEAR(pressed.r, (255 + background.r) / 2, 2) << scale;
        s.backend->writePNG(std::string(VIMBRA_TEST_OUTPUT_DIR) + "/clickable-image-view-pressed@" +
                            std::to_string(static_cast<int>(scale)) + "x.png");
        s.backend->mouseUp(centre(*s.view));
        s.backend->displayIfNeeded();
        EXPECT_EQ(s.backend->pixel(x, y).r, 255);
    }
}
