// The back, corner and favourite buttons through real events: hiding by alpha, the corner button's menu
// and its secondary clicks, the favourite star's images and dimming, and their drawing at 1x and 2x.
#include "Vimbra/Assets.hpp"
#include "Vimbra/StyledControls/NavigationButtons.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "ui/MenuTracking.hpp"

#include <gtest/gtest.h>

using namespace vimbra;
using vimbratest::centre;
using vimbratest::Receiver;
using vimbratest::Scene;
using S = StyledControlState;

namespace {

struct ButtonScene : Scene {
    std::shared_ptr<Receiver> receiver =
        std::make_shared<Receiver>(std::initializer_list<const char*>{"pressed:", "chosen:"});

    explicit ButtonScene(double scale = 1.0) : Scene({200, 300, 240, 80}, scale) {}
    template <class B> std::shared_ptr<B> make(const graphics::Rect& frame) {
        auto button = std::make_shared<B>(frame);
        button->setTarget(receiver);
        button->setAction("pressed:");
        add(button);
        return button;
    }
    std::shared_ptr<ui::Menu> menu() {
        auto m = std::make_shared<ui::Menu>("More");
        m->addItem("Rename", "chosen:", "")->setTarget(receiver);
        return m;
    }
};

// The menu session now open, if any.
std::shared_ptr<ui::MenuTracking> shownMenu() {
    return ui::Application::shared()->menuTracking();
}

} // namespace

TEST(BackButton, AlphaZeroHidesAndAnyPositiveAlphaShows) {
    auto button = std::make_shared<BackButton>(graphics::Rect{0, 0, 30, 24});
    button->setAlphaValue(0);
    EXPECT_TRUE(button->isHidden());
    button->setAlphaValue(-1);
    EXPECT_TRUE(button->isHidden());
    button->setAlphaValue(0.3);
    EXPECT_FALSE(button->isHidden());
    EXPECT_DOUBLE_EQ(button->alphaValue(), 0.3);
    button->setAlphaValue(-1);
    EXPECT_FALSE(button->isHidden());
    const auto insets = button->alignmentRectInsets();
    EXPECT_EQ((std::array<double, 4>{insets.top, insets.left, insets.bottom, insets.right}),
              (std::array<double, 4>{6, 5, 4, 4}));
}

TEST(CornerButton, ASingleClickOpensTheMenuBelowInsteadOfActingTheSecondClickActs) {
    ButtonScene s;
    auto button = s.make<CornerButton>({20, 20, 60, 24});
    button->setAlternateMenu(s.menu());
    s.backend->click(centre(*button));
    auto tracking = shownMenu();
    ASSERT_TRUE(tracking && tracking->isActive());
    const auto expected = s.window->convertPointToScreen(button->convertPointToView({0, 24 + 4}, nullptr));
    EXPECT_DOUBLE_EQ(tracking->levels().front().frame.minX(), expected.x);
    EXPECT_DOUBLE_EQ(tracking->levels().front().frame.maxY(), expected.y);
    EXPECT_FALSE(button->isHighlighted());
    tracking->cancel();
    EXPECT_TRUE(s.receiver->log.empty());

    s.backend->mouseDown(centre(*button), 0, 2);
    EXPECT_TRUE(button->isHighlighted());
    s.backend->mouseUp(centre(*button), 0, 2);
    EXPECT_FALSE(button->isHighlighted());
    EXPECT_EQ(s.receiver->log, (std::vector<std::string>{"pressed:"}));
    EXPECT_FALSE(shownMenu() && shownMenu()->isActive());

    // A right click opens the menu too.
    s.backend->rightMouseDown(centre(*button));
    ASSERT_TRUE(shownMenu() && shownMenu()->isActive());
    shownMenu()->cancel();
}

TEST(CornerButton, WithoutAMenuALeftClickActsAndSecondaryClicksDoNothing) {
    ButtonScene s;
    auto button = s.make<CornerButton>({20, 20, 60, 24});
    button->setMenu(s.menu()); // even a context menu is not shown
    s.backend->rightMouseDown(centre(*button));
    s.backend->rightMouseUp(centre(*button));
    s.backend->click(centre(*button), ui::Modifier::control);
    EXPECT_TRUE(s.receiver->log.empty());
    EXPECT_FALSE(shownMenu() && shownMenu()->isActive());
    s.backend->click(centre(*button));
    EXPECT_EQ(s.receiver->log, (std::vector<std::string>{"pressed:"}));
}

TEST(FavouriteCheckBox, APressDimsUntilReleaseAndTogglesTheStar) {
    ButtonScene s;
    auto box = s.make<FavouriteCheckBox>({20, 20, 100, 24});
    box->setTitle("Favourite");
    s.backend->mouseDown(centre(*box));
    EXPECT_DOUBLE_EQ(box->alphaValue(), 0.5);
    s.backend->mouseUp(centre(*box));
    EXPECT_DOUBLE_EQ(box->alphaValue(), 1.0);
    EXPECT_EQ(box->state(), ui::StateValue::on);
    EXPECT_EQ(s.receiver->log, (std::vector<std::string>{"pressed:"}));

    // Dragged off: back to full alpha, no toggle.
    s.backend->mouseDown(centre(*box));
    s.backend->mouseDragged({230, 75});
    s.backend->mouseUp({230, 75});
    EXPECT_DOUBLE_EQ(box->alphaValue(), 1.0);
    EXPECT_EQ(box->state(), ui::StateValue::on);

    box->setEnabled(false);
    s.backend->mouseDown(centre(*box));
    EXPECT_DOUBLE_EQ(box->alphaValue(), 1.0);
    s.backend->mouseUp(centre(*box));
}

TEST(FavouriteCheckBoxCell, ImagesComeOnlyFromExactStyleEntriesAndTheSizeFollowsTheState) {
    FavouriteCheckBoxCell cell("Favourite");
    auto style = FavouriteCheckBoxCell::sharedStyle();
    EXPECT_EQ(cell.image()->name(), "organiser-icon-star-empty");
    EXPECT_EQ(cell.alternateImage()->name(), "organiser-icon-star");
    cell.setImage(vimbraImage("qel-button"));
    cell.setAlternateImage(vimbraImage("qel-button"));
    EXPECT_EQ(cell.image()->name(), "organiser-icon-star-empty");

    EXPECT_EQ(cell.imageSize(), vimbraImage("organiser-icon-star-empty")->size());
    cell.setState(ui::StateValue::on);
    EXPECT_EQ(cell.imageSize(), vimbraImage("organiser-icon-star")->size());

    const auto saved = style->buttonImages();
    style->setButtonImages(makeImageTable({{S::on, "qel-button"}}));
    EXPECT_EQ(cell.image(), nullptr); // no exact default entry, though on has one
    EXPECT_EQ(cell.imageSize(), vimbraImage("qel-button")->size());
    cell.setState(ui::StateValue::off);
    EXPECT_EQ(cell.imageSize(), (graphics::Size{16, 16}));
    style->setButtonImages(saved);
}

TEST(NavigationButtons, TheStatesDrawTheirOwnImages) {
    for (int scale : {1, 2}) {
        ButtonScene s(scale);
        auto back = s.make<BackButton>({10, 28, 30, 24});
        auto backOn = s.make<BackButton>({50, 28, 30, 24});
        auto corner = s.make<CornerButton>({90, 28, 40, 24});
        auto star = s.make<FavouriteCheckBox>({140, 28, 90, 24});
        backOn->setState(ui::StateValue::on);
        star->setState(ui::StateValue::on);
        s.backend->writePNG(std::string(VIMBRA_TEST_OUTPUT_DIR) + "/navigation-buttons@" +
                            std::to_string(scale) + "x.png");
        const auto backCell = std::static_pointer_cast<BackButtonCell>(backOn->cell());
        EXPECT_EQ(BackButtonCell::sharedStyle()->bezelImageForState(backCell->controlState())->name(),
                  "organiser-navbar-back-down");

        // Compares two buttons' pixels column by column at their middle row.
        auto differing = [&](const ui::View& a, const ui::View& b) {
            int count = 0;
            const auto ra = a.frame(), rb = b.frame();
            const int y = static_cast<int>((80 - ra.midY()) * scale);
            for (int x = 0; x < static_cast<int>(ra.width() * scale); ++x) {
                const auto pa = s.backend->pixelRGBA(static_cast<int>(ra.minX() * scale) + x, y);
                const auto pb = s.backend->pixelRGBA(static_cast<int>(rb.minX() * scale) + x, y);
                count += pa != pb ? 1 : 0;
            }
            return count;
        };
        EXPECT_GT(differing(*back, *backOn), 0) << scale;
        const auto background = s.backend->pixelRGBA(1, 1);
        int drawn = 0;
        for (int x = static_cast<int>(90 * scale); x < static_cast<int>(130 * scale); ++x) {
            drawn += s.backend->pixelRGBA(x, static_cast<int>(40 * scale)) != background ? 1 : 0;
        }
        EXPECT_GT(drawn, 30 * scale) << "the corner bezel fills its button";
        int starPixels = 0;
        for (int x = static_cast<int>(140 * scale); x < static_cast<int>(160 * scale); ++x) {
            starPixels += s.backend->pixelRGBA(x, static_cast<int>(40 * scale)) != background ? 1 : 0;
        }
        EXPECT_GT(starPixels, 0);
    }
}
