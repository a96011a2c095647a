// The back, corner and favourite buttons through real events: hiding by alpha, the corner button's menu
// and secondary clicks, the favourite star's images and dimming, and their drawing at 1x and 2x.
#include "Vimbra/Assets.hpp"
#include "Vimbra/StyledControls/NavigationButtons.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "display/HeadlessMenuPresenter.hpp"
#include "ui/MenuTracking.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace vimbra;
using vimbratest::centre;
using S = StyledControlState;

namespace {

struct ButtonScene : vimbratest::Scene {
    std::shared_ptr<vimbratest::Receiver> receiver =
        std::make_shared<vimbratest::Receiver>(std::initializer_list<const char*>{"pressed:", "chosen:"});

    explicit ButtonScene(double scale = 1.0) : Scene({200, 300, 240, 80}, scale) {}
    template <class B> std::shared_ptr<B> make(const graphics::Rect& frame) {
        auto button = std::make_shared<B>(frame);
        button->setTarget(receiver);
        button->setAction("pressed:");
        add(button);
        return button;
    }
    std::shared_ptr<ui::Menu> menu() const {
        auto m = std::make_shared<ui::Menu>("More");
        m->addItem("Rename", "chosen:")->setTarget(receiver);
        return m;
    }
    static std::shared_ptr<ui::MenuTracking> shownMenu() {
        auto tracking = ui::Application::shared()->menuTracking();
        return tracking && tracking->isActive() ? tracking : nullptr;
    }
};

} // namespace

TEST(BackButton, AlphaZeroHidesAndAnyPositiveAlphaShows) {
    BackButton button({0, 0, 30, 24});
    std::vector<bool> hidden;
    for (double alpha : {0.0, -1.0, 0.3, -1.0}) {
        button.setAlphaValue(alpha);
        hidden.push_back(button.isHidden());
    }
    EXPECT_EQ(hidden, (std::vector<bool>{true, true, false, false}));
    const auto insets = button.alignmentRectInsets();
    EXPECT_EQ((std::vector<double>{insets.top, insets.left, insets.bottom, insets.right}),
              (std::vector<double>{6, 5, 4, 4}));
}

TEST(CornerButton, ASingleClickOpensTheMenuBelowTheSecondClickOfADoubleClickActs) {
    ButtonScene s;
    auto button = s.make<CornerButton>({20, 20, 60, 24});
    button->setAlternateMenu(s.menu());
    s.backend->click(centre(*button));
    auto tracking = s.shownMenu();
    ASSERT_TRUE(tracking);
    const auto expected = s.window->convertPointToScreen(button->convertPointToView({0, 24 + 4}, nullptr));
    EXPECT_DOUBLE_EQ(tracking->levels().front().frame.minX(), expected.x);
    EXPECT_DOUBLE_EQ(tracking->levels().front().frame.maxY(), expected.y);
    EXPECT_TRUE(button->isHighlighted()); // until the menu closes
    tracking->cancel();
    EXPECT_FALSE(button->isHighlighted());
    EXPECT_TRUE(s.receiver->log.empty());

    s.backend->mouseDown(centre(*button), 0, 2);
    EXPECT_TRUE(button->isHighlighted());
    s.backend->mouseUp(centre(*button), 0, 2);
    EXPECT_FALSE(button->isHighlighted());
    EXPECT_EQ(s.receiver->log, (std::vector<std::string>{"pressed:"}));
    EXPECT_FALSE(s.shownMenu());

    s.backend->rightMouseDown(centre(*button));
    ASSERT_TRUE(s.shownMenu());
    s.shownMenu()->cancel();
}

TEST(CornerButton, StaysHighlightedUntilItsMenuClosesHoweverItOpenedAndClosed) {
    enum class Open { click, rightClick, controlClick };
    enum class Close { choice, throwingChoice, escape, clickOutside, windowClosing, windowOrderedOut };
    for (const auto open : {Open::click, Open::rightClick, Open::controlClick}) {
        for (const auto close : {Close::choice, Close::throwingChoice, Close::escape, Close::clickOutside,
                                 Close::windowClosing, Close::windowOrderedOut}) {
            SCOPED_TRACE(testing::Message() << "open " << int(open) << ", close " << int(close));
            ButtonScene s;
            auto button = s.make<CornerButton>({20, 20, 60, 24});
            button->setAlternateMenu(s.menu());
            const auto inside = centre(*button);
            if (open == Open::rightClick) {
                s.backend->rightMouseDown(inside);
                s.backend->rightMouseUp(inside);
            } else {
                s.backend->click(inside, open == Open::controlClick ? ui::Modifier::control : 0);
            }
            auto tracking = s.shownMenu();
            ASSERT_TRUE(tracking);
            EXPECT_TRUE(button->isHighlighted());
            const auto chooseFirstRow = [&] {
                const auto& level = tracking->levels().front();
                const auto row = level.layout.rows.front().frame;
                std::static_pointer_cast<display::HeadlessMenuPresenter>(s.backend->menuPresenter())
                    ->levelBackend(0)
                    ->click({row.midX(), level.frame.height() - row.midY()});
            };
            switch (close) {
            case Close::choice:
                chooseFirstRow();
                break;
            case Close::throwingChoice:
                // The action throws to a caller that goes on (as a plug-in's C boundary does).
                s.receiver->setActionHandler("chosen:",
                                             [](const auto&) { throw std::runtime_error("failed"); });
                EXPECT_THROW(chooseFirstRow(), std::runtime_error);
                break;
            case Close::escape:
                s.backend->typeKey(ui::utf8(ui::SpecialKey::escape));
                break;
            case Close::clickOutside:
                s.backend->click({230, 70});
                break;
            case Close::windowClosing:
                s.window->close();
                break;
            case Close::windowOrderedOut:
                s.window->orderOut();
                break;
            }
            EXPECT_FALSE(s.shownMenu());
            EXPECT_FALSE(button->isHighlighted());
            EXPECT_EQ(s.receiver->log, close == Close::choice ? std::vector<std::string>{"chosen:"}
                                                              : std::vector<std::string>{});
        }
    }
}

TEST(CornerButton, WithoutAMenuALeftClickActsAndSecondaryClicksDoNothing) {
    ButtonScene s;
    auto button = s.make<CornerButton>({20, 20, 60, 24});
    button->setMenu(s.menu()); // not even a context menu opens
    s.backend->rightMouseDown(centre(*button));
    s.backend->rightMouseUp(centre(*button));
    s.backend->click(centre(*button), ui::Modifier::control);
    EXPECT_TRUE(s.receiver->log.empty());
    EXPECT_FALSE(s.shownMenu());
    s.backend->click(centre(*button));
    EXPECT_EQ(s.receiver->log, (std::vector<std::string>{"pressed:"}));
}

TEST(FavouriteCheckBox, APressDimsUntilReleaseAndTogglesTheStar) {
    ButtonScene s;
    auto box = s.make<FavouriteCheckBox>({20, 20, 100, 24});
    s.backend->mouseDown(centre(*box));
    EXPECT_DOUBLE_EQ(box->alphaValue(), 0.5);
    s.backend->mouseUp(centre(*box));
    EXPECT_DOUBLE_EQ(box->alphaValue(), 1.0);
    EXPECT_EQ(box->state(), ui::StateValue::on);
    EXPECT_EQ(s.receiver->log, (std::vector<std::string>{"pressed:"}));

    s.backend->mouseDown(centre(*box)); // dragged off: full alpha again, no toggle
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
    cell.setImage(vimbraImage("qel-button"));
    cell.setAlternateImage(vimbraImage("qel-button"));
    EXPECT_EQ(cell.image()->name(), "organiser-icon-star-empty");
    EXPECT_EQ(cell.alternateImage()->name(), "organiser-icon-star");
    EXPECT_EQ(cell.imageSize(), vimbraImage("organiser-icon-star-empty")->size());
    cell.setState(ui::StateValue::on);
    EXPECT_EQ(cell.imageSize(), vimbraImage("organiser-icon-star")->size());

    auto style = FavouriteCheckBoxCell::sharedStyle();
    const auto saved = style->buttonImages();
    style->setButtonImages(makeImageTable({{S::on, "qel-button"}}));
    EXPECT_EQ(cell.image(), nullptr); // no entry under exactly default, though on has one
    EXPECT_EQ(cell.imageSize(), vimbraImage("qel-button")->size());
    cell.setState(ui::StateValue::off);
    EXPECT_EQ(cell.imageSize(), (graphics::Size{16, 16}));
    style->setButtonImages(saved);
}

TEST(NavigationButtons, EachStateDrawsItsOwnImage) {
    for (int scale : {1, 2}) {
        ButtonScene s(scale);
        auto back = s.make<BackButton>({10, 28, 30, 24});
        auto backOn = s.make<BackButton>({50, 28, 30, 24});
        s.make<CornerButton>({90, 28, 40, 24});
        auto star = s.make<FavouriteCheckBox>({140, 28, 90, 24});
        star->setTitle("Favourite");
        backOn->setState(ui::StateValue::on);
        star->setState(ui::StateValue::on);
        s.backend->writePNG(std::string(VIMBRA_TEST_OUTPUT_DIR) + "/navigation-buttons@" +
                            std::to_string(scale) + "x.png");
        // Pixels along the middle row (y 40) that differ from another run or from the background.
        const auto background = s.backend->pixelRGBA(1, 1);
        auto count = [&](int x0, int x1, auto differs) {
            int n = 0;
            for (int x = x0 * scale; x < x1 * scale; ++x) {
                n += differs(x) ? 1 : 0;
            }
            return n;
        };
        EXPECT_GT(count(10, 40,
                        [&](int x) {
                            return s.backend->pixelRGBA(x, 40 * scale) !=
                                   s.backend->pixelRGBA(x + 40 * scale, 40 * scale);
                        }),
                  0);
        EXPECT_GT(count(90, 130, [&](int x) { return s.backend->pixelRGBA(x, 40 * scale) != background; }),
                  30 * scale);
        EXPECT_GT(count(140, 160, [&](int x) { return s.backend->pixelRGBA(x, 40 * scale) != background; }),
                  0);
        EXPECT_EQ(
            BackButtonCell::sharedStyle()
                ->bezelImageForState(std::static_pointer_cast<BackButtonCell>(backOn->cell())->controlState())
                ->name(),
            "organiser-navbar-back-down");
        (void)back;
    }
}

TEST(NavigationButtons, DrawOnTheStyledBasesOneBezelEachAndTheStarWhereTheCheckBoxPutsIt) {
    ButtonScene s;
    auto back = s.make<BackButton>({10, 28, 30, 24});
    auto backOn = s.make<BackButton>({50, 28, 30, 24});
    auto corner = s.make<CornerButton>({90, 28, 40, 24});
    auto star = s.make<FavouriteCheckBox>({140, 28, 90, 24});
    star->setTitle("Favourite");
    backOn->setState(ui::StateValue::on);
    star->setState(ui::StateValue::on);

    s.backend->recorder()->clear();
    s.window->contentView()->setNeedsDisplay();
    s.backend->displayIfNeeded();
    const auto ops = s.backend->recorder()->ops();
    auto drawn = [&](const std::string& name) {
        std::vector<graphics::Rect> rects;
        for (const auto& op : ops) {
            if (op.kind == graphics::DrawOpKind::image && op.imageName == name) {
                rects.push_back(op.deviceRect);
            }
        }
        return rects;
    };
    // Device pixels at scale 1, y down.
    auto device = [&](const ui::View& view, const graphics::Rect& r) {
        const auto w = view.convertRectToView(r, nullptr);
        return graphics::Rect(w.minX(), s.window->contentView()->bounds().height() - w.maxY(), w.width(),
                              w.height());
    };
    EXPECT_EQ(drawn("organiser-navbar-back"), std::vector<graphics::Rect>{device(*back, back->bounds())});
    EXPECT_EQ(drawn("organiser-navbar-back-down"),
              std::vector<graphics::Rect>{device(*backOn, backOn->bounds())});
    EXPECT_EQ(drawn("qel-button"), std::vector<graphics::Rect>{device(*corner, corner->bounds())});
    // The check box's geometry: the star at x -2, centred vertically, at its own size.
    const auto size = vimbraImage("organiser-icon-star")->size();
    const graphics::Rect starRect(-2, std::round(12 - size.height / 2), size.width, size.height);
    EXPECT_EQ(drawn("organiser-icon-star"), std::vector<graphics::Rect>{device(*star, starRect)});
    EXPECT_TRUE(drawn("organiser-icon-star-empty").empty());

    // Selection reaches the styled cell, as on every styled button.
    back->setSelected(true);
    EXPECT_TRUE(back->isSelected());
    EXPECT_TRUE(std::static_pointer_cast<BackButtonCell>(back->cell())->controlState().contains(S::selected));
}
