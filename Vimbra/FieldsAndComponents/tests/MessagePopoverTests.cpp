// The message popover: its size from the text and the style's padding, where the text sits in it, and
// its controller's show and close.
#include "FieldsTestSupport.hpp"
#include "Vimbra/FieldsAndComponents/MessagePopover.hpp"
#include "Vimbra/LibraryStatics.hpp"
#include "ui/ViewController.hpp"

#include <gtest/gtest.h>

using namespace vimbra;
using graphics::Rect;
using graphics::Size;

TEST(MessagePopover, ShowsTheMessageInsideThePaddingBesideTheViewWithoutTakingFocus) {
    vimbratest::Scene scene(Rect(200, 300, 320, 200));
    auto anchor = std::make_shared<ui::TextField>(Rect(20, 120, 200, 22));
    scene.add(anchor);
    ASSERT_TRUE(scene.window->makeFirstResponder(anchor));
    const auto editor = scene.window->firstResponder();

    SimpleTextViewPopoverController controller;
    const auto& popover = controller.popover();
    EXPECT_EQ(popover->behavior(), ui::PopoverBehavior::applicationDefined);
    EXPECT_EQ(popover->appearanceName(), appearanceNameDarkAqua);
    EXPECT_EQ(popover->controlState(), StyledControlState::default_);
    controller.show("Needs a number", anchor, ui::RectEdge::maxY);
    ASSERT_TRUE(popover->isShown());
    EXPECT_EQ(popover->currentPositioningView(), anchor);
    EXPECT_EQ(popover->positioningRect(), anchor->bounds());
    EXPECT_EQ(popover->preferredEdge(), ui::RectEdge::maxY);
    const auto& text = popover->contentTextField();
    EXPECT_EQ(text->stringValue(), "Needs a number");
    const Size intrinsic = text->intrinsicContentSize();
    EXPECT_EQ(popover->contentSize(), Size(intrinsic.width + 20, intrinsic.height + 12));
    EXPECT_EQ(scene.window->firstResponder(), editor);
    EXPECT_TRUE(scene.window->isKeyWindow());

    // The text fills the padding's inside, its whole line high, and is drawn there.
    auto window = popover->window();
    ASSERT_NE(window, nullptr);
    ASSERT_NE(window->backend(), nullptr);
    EXPECT_TRUE(window->isPopUp());
    window->contentView()->layoutSubtreeIfNeeded();
    const Rect inside = text->convertRectToView(text->bounds(), nullptr);
    EXPECT_EQ(inside, Rect(10, 6, intrinsic.width, intrinsic.height));
    auto backend = std::dynamic_pointer_cast<display::HeadlessBackend>(window->backend());
    ASSERT_NE(backend, nullptr);
    backend->displayIfNeeded();
    bool drawn = false;
    for (const auto& op : backend->recorder()->ops(graphics::DrawOpKind::text)) {
        drawn = drawn || (op.text == "Needs a number" && op.rect.height() >= intrinsic.height - 1);
    }
    EXPECT_TRUE(drawn) << backend->recorder()->dump();

    // Closing clears the positioning view; showing nothing gives the padding round an empty line.
    popover->close();
    EXPECT_FALSE(popover->isShown());
    EXPECT_EQ(popover->currentPositioningView(), nullptr);
    controller.show(std::nullopt, anchor, ui::RectEdge::minY);
    EXPECT_EQ(text->stringValue(), "");
    EXPECT_EQ(popover->contentSize(),
              Size(text->intrinsicContentSize().width + 20, text->intrinsicContentSize().height + 12));
    controller.close(nullptr);
    EXPECT_FALSE(popover->isShown());
}

TEST(MessagePopover, ControllersOwnTheirPopoversAndTakeThemAwayWhenTheyGo) {
    vimbratest::Scene scene;
    auto anchor = std::make_shared<ui::View>(Rect(20, 20, 100, 20));
    scene.add(anchor);
    auto first = LibraryDefaults::textFieldPopoverController();
    auto second = LibraryDefaults::propertiesFieldPopoverController();
    EXPECT_NE(first->popover(), second->popover());

    first->show("one", anchor, ui::RectEdge::maxY);
    std::weak_ptr<ui::Window> shown = first->popover()->window();
    ASSERT_FALSE(shown.expired());
    first.reset();
    EXPECT_TRUE(shown.expired() || !shown.lock()->isVisible());
}
