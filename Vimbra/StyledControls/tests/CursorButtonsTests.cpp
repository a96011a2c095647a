// The cursor and image-dimming buttons through real events: hover cursors, the fade while pressed, the
// cycling of a pop-up button, and the image strength of the two dimming cells, drawn at 1x and 2x.
#include "Vimbra/LibraryStatics.hpp"
#include "Vimbra/StyledControls/CursorButtons.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "ui/Menu.hpp"
#include "ui/PopUpButton.hpp"

#include <gtest/gtest.h>

using namespace vimbra;
using vimbratest::centre;
using vimbratest::Receiver;
using vimbratest::Scene;

namespace {

graphics::ImageRef solidImage(graphics::Size size) {
    return graphics::Image::draw(size, 2.0, [size](graphics::GraphicsContext& context) {
        context.fillRect({0, 0, size.width, size.height}, graphics::Color::rgba(1, 1, 1));
    });
}

template <class B> std::shared_ptr<B> imageButton(const graphics::Rect& frame) {
    auto button = std::make_shared<B>(frame);
    button->setBordered(false);
    button->setImage(solidImage(frame.size));
    button->setImagePosition(ui::ImagePosition::imageOnly);
    return button;
}

// The red byte at the middle of a view, in device pixels.
int redAtCentre(Scene& s, const ui::View& view, double scale) {
    const auto p = centre(view);
    const auto height = s.window->contentView()->bounds().height();
    return s.backend->pixel(static_cast<int>(p.x * scale), static_cast<int>((height - p.y) * scale)).r;
}

struct CyclingScene : Scene {
    std::shared_ptr<Receiver> receiver = std::make_shared<Receiver>(std::initializer_list<const char*>{
        "popUpChanged:", "selectNextItem:", "selectPreviousItem:", "own:"});
    std::shared_ptr<ui::PopUpButton> popUp =
        std::make_shared<ui::PopUpButton>(graphics::Rect{20, 20, 120, 22});
    std::shared_ptr<PopUpCyclingButton> button =
        std::make_shared<PopUpCyclingButton>(graphics::Rect{160, 20, 40, 22});

    CyclingScene() {
        popUp->setAutoenablesItems(false);
        popUp->addItems({"One", "Two", "Three", "Four"});
        popUp->itemAt(1)->setEnabled(false);
        popUp->selectItemAt(0);
        popUp->setTarget(receiver);
        popUp->setAction("popUpChanged:");
        button->setTarget(popUp);
        button->setAction("own:");
        add(popUp);
        add(button);
    }
};

} // namespace

TEST(CursorButton, HoverShowsItsCursorAndAHotSpotChangeWaitsForTheNextImage) {
    Scene s;
    auto button = imageButton<CursorButton>({20, 20, 40, 30});
    s.add(button);
    EXPECT_EQ(button->cursor()->hotSpot(), (graphics::Point{3, 4}));
    EXPECT_EQ(button->cursorImage()->name(), "cursor-cycle");

    s.backend->mouseMoved(centre(*button));
    EXPECT_EQ(s.backend->cursor(), button->cursor());
    s.backend->mouseMoved({5, 5});
    EXPECT_NE(s.backend->cursor(), button->cursor());

    button->setCursorHotSpot({9, 2});
    s.backend->mouseMoved(centre(*button));
    EXPECT_EQ(s.backend->cursor()->hotSpot(), (graphics::Point{3, 4}));
    s.backend->mouseMoved({5, 5});

    const auto other = solidImage({16, 16});
    button->setCursorImage(other);
    s.backend->mouseMoved(centre(*button));
    EXPECT_EQ(s.backend->cursor()->image(), other);
    EXPECT_EQ(s.backend->cursor()->hotSpot(), (graphics::Point{9, 2}));

    // Hiding the button while the pointer is over it takes its cursor away.
    button->setHidden(true);
    EXPECT_NE(s.backend->cursor(), button->cursor());
}

TEST(CursorButton, APressFadesTheWholeButtonUntilReleaseInsideOrOutside) {
    for (double scale : {1.0, 2.0}) {
        Scene s({200, 300, 100, 70}, scale);
        auto receiver = std::make_shared<Receiver>(std::initializer_list<const char*>{"pressed:"});
        auto button = imageButton<CursorButton>({20, 20, 40, 30});
        button->setTarget(receiver);
        button->setAction("pressed:");
        s.add(button);
        s.backend->displayIfNeeded();
        const auto background = s.backend->pixel(2, 2).r;
        EXPECT_EQ(redAtCentre(s, *button, scale), 255);

        s.backend->mouseDown(centre(*button));
        EXPECT_DOUBLE_EQ(button->layer()->opacity(), 0.5);
        s.backend->displayIfNeeded();
        EXPECT_NEAR(redAtCentre(s, *button, scale), (255 + background) / 2, 2) << scale;
        s.backend->writePNG(std::string(VIMBRA_TEST_OUTPUT_DIR) + "/cursor-button-pressed@" +
                            std::to_string(static_cast<int>(scale)) + "x.png");
        s.backend->mouseUp(centre(*button));
        EXPECT_DOUBLE_EQ(button->layer()->opacity(), 1.0);
        s.backend->displayIfNeeded();
        EXPECT_EQ(redAtCentre(s, *button, scale), 255);
        EXPECT_EQ(receiver->log.size(), 1u);

        // Released outside: no action, full strength again.
        s.backend->mouseDown(centre(*button));
        s.backend->mouseDragged({90, 65});
        s.backend->mouseUp({90, 65});
        EXPECT_DOUBLE_EQ(button->layer()->opacity(), 1.0);
        EXPECT_EQ(receiver->log.size(), 1u);
    }
}

TEST(PopUpCyclingButton, AClickStepsThePopUpForwardAndShiftClickBackNeverSendingItsOwnAction) {
    CyclingScene s;
    EXPECT_EQ(s.button->imagePosition(), ui::ImagePosition::imageTrailing);
    s.backend->click(centre(*s.button));
    EXPECT_EQ(s.popUp->indexOfSelectedItem(), 2); // the disabled item is skipped
    s.backend->click(centre(*s.button));
    EXPECT_EQ(s.popUp->indexOfSelectedItem(), 3);
    s.backend->click(centre(*s.button));
    EXPECT_EQ(s.popUp->indexOfSelectedItem(), 0); // wraps round
    s.backend->click(centre(*s.button), ui::Modifier::shift);
    EXPECT_EQ(s.popUp->indexOfSelectedItem(), 3);
    EXPECT_EQ(s.receiver->log, (std::vector<std::string>(4, "popUpChanged:")));
}

TEST(PopUpCyclingButton, ATargetThatIsNotAPopUpGetsNothing) {
    CyclingScene s;
    s.button->setTarget(s.receiver);
    s.backend->click(centre(*s.button));
    s.button->setTarget(nullptr);
    s.backend->click(centre(*s.button));
    EXPECT_TRUE(s.receiver->log.empty());
    EXPECT_EQ(s.popUp->indexOfSelectedItem(), 0);
}

TEST(PopUpCyclingButton, TheFirstClickIntoAWindowThatIsNotKeyAlreadyCycles) {
    CyclingScene s;
    auto other = ui::Window::make({600, 300, 100, 60});
    auto otherBackend = display::HeadlessBackend::attach(other, 1.0, false);
    other->makeKeyAndOrderFront();
    ASSERT_FALSE(s.window->isKeyWindow());
    s.backend->click(centre(*s.button));
    EXPECT_EQ(s.popUp->indexOfSelectedItem(), 2);
}

TEST(ImageDimmingCells, DarkHighlightDimsWhenDisabledOrPressedTheCyclingCellOnlyWhenPressed) {
    for (double scale : {1.0, 2.0}) {
        Scene s({200, 300, 200, 70}, scale);
        auto dark = imageButton<DarkHighlightButton>({10, 20, 40, 30});
        auto darkOff = imageButton<DarkHighlightButton>({60, 20, 40, 30});
        auto cycling = std::make_shared<ui::Button>(graphics::Rect{110, 20, 40, 30},
                                                    std::make_shared<PopUpCyclingButtonCell>());
        cycling->setBordered(false);
        cycling->setImage(solidImage({40, 30}));
        cycling->setImagePosition(ui::ImagePosition::imageOnly);
        for (const auto& b : std::initializer_list<std::shared_ptr<ui::Button>>{dark, darkOff, cycling}) {
            s.add(b);
        }
        darkOff->setEnabled(false);
        cycling->setEnabled(false);
        s.backend->displayIfNeeded();
        s.backend->writePNG(std::string(VIMBRA_TEST_OUTPUT_DIR) + "/image-dimming-buttons@" +
                            std::to_string(static_cast<int>(scale)) + "x.png");
        const auto background = s.backend->pixel(2, 2).r;
        EXPECT_EQ(redAtCentre(s, *dark, scale), 255);
        EXPECT_NEAR(redAtCentre(s, *darkOff, scale), (255 + background) / 2, 2);
        EXPECT_EQ(redAtCentre(s, *cycling, scale), 255);

        cycling->setEnabled(true);
        s.backend->mouseDown(centre(*cycling));
        s.backend->mouseDown(centre(*dark));
        s.backend->mouseUp(centre(*dark));
        s.backend->mouseDown(centre(*cycling));
        s.backend->displayIfNeeded();
        EXPECT_NEAR(redAtCentre(s, *cycling, scale), (255 + background) / 2, 2);
        s.backend->mouseUp(centre(*cycling));
        s.backend->mouseDown(centre(*dark));
        s.backend->displayIfNeeded();
        EXPECT_NEAR(redAtCentre(s, *dark, scale), (255 + background) / 2, 2);
        s.backend->mouseUp(centre(*dark));
    }
}

TEST(DarkHighlightButton, ItsAreaShowsItsCustomCursor) {
    Scene s;
    auto button = imageButton<DarkHighlightButton>({20, 20, 40, 30});
    EXPECT_EQ(button->customCursor(), ui::Cursor::arrowCursor());
    const auto custom = ui::Cursor::make(solidImage({8, 8}), {1, 1});
    button->setCustomCursor(custom);
    s.add(button);
    s.backend->mouseMoved(centre(*button));
    EXPECT_EQ(s.backend->cursor(), custom);
}
