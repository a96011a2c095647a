// The cursor and image-dimming buttons through real events: hover cursors, the fade while pressed, the
// cycling of a pop-up button, and the image strength of the dimming cells, drawn at 1x and 2x.
#include "Vimbra/StyledControls/CursorButtons.hpp"
#include "Vimbra/tests/TestSupport.hpp"
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

template <class B>
std::shared_ptr<B> imageButton(const graphics::Rect& frame, std::shared_ptr<ui::ButtonCell> cell = {}) {
    auto button = std::make_shared<B>(frame, std::move(cell));
    button->setBordered(false);
    button->setImage(solidImage(frame.size));
    button->setImagePosition(ui::ImagePosition::imageOnly);
    return button;
}

// The red byte at the middle of a view, in device pixels, after a display pass.
int redAtCentre(Scene& s, const ui::View& view, double scale) {
    s.backend->displayIfNeeded();
    const auto p = centre(view);
    const auto height = s.window->contentView()->bounds().height();
    return s.backend->pixel(static_cast<int>(p.x * scale), static_cast<int>((height - p.y) * scale)).r;
}

void writeSheet(Scene& s, const std::string& name, double scale) {
    s.backend->writePNG(std::string(VIMBRA_TEST_OUTPUT_DIR) + "/" + name + "@" +
                        std::to_string(static_cast<int>(scale)) + "x.png");
}

} // namespace

TEST(CursorButton, HoverShowsItsCursorAndAHotSpotChangeWaitsForTheNextImage) {
    Scene s;
    auto button = imageButton<CursorButton>({20, 20, 40, 30});
    s.add(button);
    EXPECT_EQ(button->cursorImage()->name(), "cursor-cycle");
    s.backend->mouseMoved(centre(*button));
    EXPECT_EQ(s.backend->cursor(), button->cursor());
    EXPECT_EQ(s.backend->cursor()->hotSpot(), (graphics::Point{3, 4}));
    s.backend->mouseMoved({5, 5});
    EXPECT_NE(s.backend->cursor(), button->cursor());

    button->setCursorHotSpot({9, 2});
    s.backend->mouseMoved(centre(*button));
    EXPECT_EQ(s.backend->cursor()->hotSpot(), (graphics::Point{3, 4}));
    s.backend->mouseMoved({5, 5});
    button->setCursorImage(solidImage({16, 16}));
    s.backend->mouseMoved(centre(*button));
    EXPECT_EQ(s.backend->cursor()->image(), button->cursorImage());
    EXPECT_EQ(s.backend->cursor()->hotSpot(), (graphics::Point{9, 2}));
    button->setHidden(true); // hidden under the pointer: its cursor goes
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
        EXPECT_EQ(redAtCentre(s, *button, scale), 255);
        const int background = s.backend->pixel(2, 2).r;
        s.backend->mouseDown(centre(*button));
        EXPECT_NEAR(redAtCentre(s, *button, scale), (255 + background) / 2, 2) << scale;
        writeSheet(s, "cursor-button-pressed", scale);
        s.backend->mouseUp(centre(*button));
        EXPECT_EQ(redAtCentre(s, *button, scale), 255);
        EXPECT_EQ(receiver->log.size(), 1u);

        s.backend->mouseDown(centre(*button));
        s.backend->mouseDragged({90, 65});
        s.backend->mouseUp({90, 65});
        EXPECT_DOUBLE_EQ(button->layer()->opacity(), 1.0);
        EXPECT_EQ(receiver->log.size(), 1u);
    }
}

TEST(PopUpCyclingButton, ClicksStepThePopUpForwardOrBackWithShiftAndNothingElseIsSent) {
    Scene s;
    auto receiver = std::make_shared<Receiver>(std::initializer_list<const char*>{
        "popUpChanged:", "selectNextItem:", "selectPreviousItem:", "own:"});
    auto popUp = std::make_shared<ui::PopUpButton>(graphics::Rect{20, 20, 120, 22});
    auto button = std::make_shared<PopUpCyclingButton>(graphics::Rect{160, 20, 40, 22});
    popUp->setAutoenablesItems(false);
    popUp->addItems({"One", "Two", "Three", "Four"});
    popUp->itemAt(1)->setEnabled(false);
    popUp->setTarget(receiver);
    popUp->setAction("popUpChanged:");
    button->setTarget(popUp);
    button->setAction("own:");
    s.add(popUp);
    s.add(button);
    EXPECT_EQ(button->imagePosition(), ui::ImagePosition::imageTrailing);

    // The first click lands in a window that is not key.
    auto other = ui::Window::make({600, 300, 100, 60});
    auto otherBackend = display::HeadlessBackend::attach(other, 1.0, false);
    other->makeKeyAndOrderFront();
    ASSERT_FALSE(s.window->isKeyWindow());
    std::vector<std::int64_t> selected;
    for (ui::ModifierFlags flags : {0ul, 0ul, 0ul, ui::Modifier::shift}) {
        s.backend->click(centre(*button), flags);
        selected.push_back(popUp->indexOfSelectedItem());
    }
    EXPECT_EQ(selected, (std::vector<std::int64_t>{2, 3, 0, 3})); // skips the disabled item, wraps round
    EXPECT_EQ(receiver->log, (std::vector<std::string>(4, "popUpChanged:")));

    receiver->log.clear();
    button->setTarget(receiver);
    s.backend->click(centre(*button));
    button->setTarget(nullptr);
    s.backend->click(centre(*button));
    EXPECT_TRUE(receiver->log.empty());
    EXPECT_EQ(popUp->indexOfSelectedItem(), 3);
}

TEST(ImageDimmingCells, DarkHighlightDimsWhenDisabledOrPressedTheCyclingCellOnlyWhenPressed) {
    for (double scale : {1.0, 2.0}) {
        Scene s({200, 300, 160, 70}, scale);
        auto dark = imageButton<DarkHighlightButton>({10, 20, 40, 30});
        auto darkOff = imageButton<DarkHighlightButton>({60, 20, 40, 30});
        auto cycling = imageButton<ui::Button>({110, 20, 40, 30}, std::make_shared<PopUpCyclingButtonCell>());
        for (const auto& b : std::initializer_list<std::shared_ptr<ui::Button>>{dark, darkOff, cycling}) {
            s.add(b);
        }
        darkOff->setEnabled(false);
        cycling->setEnabled(false);
        writeSheet(s, "image-dimming-buttons", scale);
        const int half = (255 + s.backend->pixel(2, 2).r) / 2;
        EXPECT_EQ(redAtCentre(s, *dark, scale), 255);
        EXPECT_NEAR(redAtCentre(s, *darkOff, scale), half, 2);
        EXPECT_EQ(redAtCentre(s, *cycling, scale), 255);

        cycling->setEnabled(true);
        for (const auto& b : std::initializer_list<std::shared_ptr<ui::Button>>{dark, cycling}) {
            s.backend->mouseDown(centre(*b));
            EXPECT_NEAR(redAtCentre(s, *b, scale), half, 2);
            s.backend->mouseUp(centre(*b));
        }
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
