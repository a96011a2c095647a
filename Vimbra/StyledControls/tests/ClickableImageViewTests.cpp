// Clicks on a clickable image view through real events: the subject, the dimming while pressed (drawn at
// 1x and 2x), and the focus hand-over to a paired control.
#include "Vimbra/StyledControls/ClickableImageView.hpp"
#include "Vimbra/ViewExtensions.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "ui/TextField.hpp"

#include <gtest/gtest.h>

using namespace vimbra;
using vimbratest::centre;

namespace {

struct ClickScene : vimbratest::Scene {
    std::shared_ptr<ClickableImageView> view = ClickableImageView::make({20, 20, 40, 40});
    int clicks = 0;
    core::AnyCancellable subscription = view->clicked()->sink([this](const Void&) { ++clicks; });

    explicit ClickScene(double scale = 1.0) : Scene({200, 300, 120, 80}, scale) {
        view->setImage(graphics::Image::draw({40, 40}, 2.0, [](graphics::GraphicsContext& context) {
            context.fillRect({0, 0, 40, 40}, graphics::Color::rgba(1, 1, 1));
        }));
        add(view);
    }
};

} // namespace

TEST(ClickableImageView, AClickEmitsOnceEnabledOrNotAndOnlyAnEnabledPressDims) {
    for (double scale : {1.0, 2.0}) {
        ClickScene s(scale);
        const int x = static_cast<int>(40 * scale), y = static_cast<int>(40 * scale);
        s.backend->displayIfNeeded();
        const int background = s.backend->pixel(2, 2).r;
        EXPECT_EQ(s.backend->pixel(x, y).r, 255);
        s.backend->mouseDown(centre(*s.view));
        s.backend->displayIfNeeded();
        EXPECT_NEAR(s.backend->pixel(x, y).r, (255 + background) / 2, 2) << scale;
        EXPECT_EQ(s.clicks, 0);
        s.backend->writePNG(std::string(VIMBRA_TEST_OUTPUT_DIR) + "/clickable-image-view-pressed@" +
                            std::to_string(static_cast<int>(scale)) + "x.png");
        s.backend->mouseUp(centre(*s.view));
        EXPECT_DOUBLE_EQ(s.view->alphaValue(), 1.0);
        EXPECT_EQ(s.clicks, 1);

        s.view->setEnabled(false);
        s.backend->mouseDown(centre(*s.view));
        EXPECT_DOUBLE_EQ(s.view->alphaValue(), 1.0);
        s.backend->mouseUp(centre(*s.view));
        EXPECT_EQ(s.clicks, 2);
    }
}

TEST(ClickableImageView, ADragIsNotAClickAndAReplacedSubjectLeavesOldSubscribersBehind) {
    ClickScene s;
    const auto start = centre(*s.view);
    s.backend->mouseDown(start);
    s.backend->mouseDragged({start.x + 10, start.y});
    s.backend->mouseUp({start.x + 10, start.y});
    EXPECT_EQ(s.clicks, 0);
    EXPECT_DOUBLE_EQ(s.view->alphaValue(), 1.0);

    int later = 0;
    s.view->setClicked(LibraryDefaults::clickedSubject());
    auto laterSubscription = s.view->clicked()->sink([&](const Void&) { ++later; });
    s.backend->click(start);
    EXPECT_EQ(s.clicks, 0);
    EXPECT_EQ(later, 1);
}

TEST(ClickableImageView, AFirstClickIntoAnotherWindowKeysItAndFocusesOnlyALivePairedControl) {
    ClickScene s;
    auto other = ui::Window::make({500, 300, 200, 80});
    auto otherBackend = display::HeadlessBackend::attach(other, 1.0, false);
    other->orderFront();
    auto icon = ClickableImageView::make({4, 20, 30, 30});
    auto field = std::make_shared<ui::TextField>(graphics::Rect{40, 20, 120, 22});
    other->contentView()->addSubview(icon);
    other->contentView()->addSubview(field);
    auto loose = std::make_shared<ui::TextField>(graphics::Rect{0, 0, 100, 22});
    auto gone = std::make_shared<ui::TextField>(graphics::Rect{0, 0, 100, 22});
    auto second = ClickableImageView::make({70, 20, 30, 30});
    s.add(second);

    core::CancellableSet cancellables;
    ClickableImageView::makeFirstResponderOnClick({}, cancellables);
    EXPECT_TRUE(cancellables.empty());
    ClickableImageView::makeFirstResponderOnClick({{icon, field}, {s.view, loose}, {second, gone}},
                                                  cancellables);
    EXPECT_EQ(cancellables.size(), 3u);
    gone.reset();

    const auto before = s.window->firstResponder();
    s.backend->click(centre(*s.view));
    s.backend->click(centre(*second));
    EXPECT_EQ(s.clicks, 1);
    EXPECT_EQ(s.window->firstResponder(), before);

    ASSERT_TRUE(s.window->isKeyWindow());
    otherBackend->click(centre(*icon));
    EXPECT_TRUE(other->isKeyWindow());
    EXPECT_TRUE(isFirstResponder(*field));
}
