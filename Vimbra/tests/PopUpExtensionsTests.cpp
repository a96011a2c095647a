#include "Vimbra/PopUpExtensions.hpp"
#include "Vimbra/tests/MenuValues.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "core/MainQueue.hpp"
#include "ui/MenuTracking.hpp"

#include <gtest/gtest.h>
#include <thread>

using graphics::Rect;
using namespace vimbra;
using vimbratest::centre;
using vimbratest::Rate;
using vimbratest::Shape;

namespace {

struct PopUpScene : vimbratest::Scene {
    std::shared_ptr<vimbratest::Receiver> receiver =
        std::make_shared<vimbratest::Receiver>(std::initializer_list<const char*>{"shapeChanged:"});
    std::shared_ptr<ui::PopUpButton> popUp = std::make_shared<ui::PopUpButton>(Rect(20, 20, 140, 22));

    PopUpScene() {
        add(popUp);
        window->setDelegate(receiver);
    }
    // Opens the pop-up from the keyboard, moves down `steps` items and chooses.
    void chooseByKeyboard(int steps) {
        ASSERT_TRUE(window->makeFirstResponder(popUp));
        backend->typeKey(" ");
        ASSERT_TRUE(popUp->isMenuShown());
        for (int i = 0; i < steps; ++i) {
            backend->typeKey(ui::utf8(ui::SpecialKey::downArrow));
        }
        backend->typeKey("\r");
    }
};

} // namespace

TEST(PopUpValues, FillSelectAndReadBackByRepresentedObject) {
    PopUpScene s;
    s.popUp->addItem("stale");
    fill(*s.popUp, Shape(1));
    EXPECT_EQ(s.popUp->itemTitles(), (std::vector<std::string>{"Sine", "Square", "Saw"}));
    EXPECT_EQ(s.popUp->indexOfSelectedItem(), 1);
    EXPECT_EQ(selectedValue<Shape>(*s.popUp)->rawValue(), 1);
    select(*s.popUp, Shape(2));
    EXPECT_EQ(selectedValue<Shape>(*s.popUp)->rawValue(), 2);

    // Unsigned raw values are found too; a value with no item leaves the selection alone.
    fill(*s.popUp, Rate(2));
    EXPECT_EQ(s.popUp->titleOfSelectedItem(), "2x");
    select(*s.popUp, Rate(3));
    EXPECT_EQ(s.popUp->titleOfSelectedItem(), "2x");
    s.popUp->selectItemAt(-1);
    EXPECT_EQ(selectedValue<Rate>(*s.popUp), std::nullopt);
}

TEST(PopUpValues, BindFollowsThePublishedValueAndReportsChoicesWhileThePopUpLives) {
    PopUpScene s;
    core::CurrentValueSubject<Shape> shape(Shape(2));
    core::CancellableSet store;
    std::vector<std::int64_t> changes;
    vimbra::bind<Shape>(s.popUp, shape.publisher(), store,
                        [&](const Shape& value) { changes.push_back(value.rawValue()); });
    EXPECT_EQ(store.size(), 2u);
    EXPECT_EQ(s.popUp->titleOfSelectedItem(), "Saw"); // the current value, by tag
    shape.send(Shape(0));
    EXPECT_EQ(s.popUp->titleOfSelectedItem(), "Sine");

    s.chooseByKeyboard(1);
    EXPECT_EQ(s.popUp->titleOfSelectedItem(), "Square");
    EXPECT_EQ(changes, std::vector<std::int64_t>{1});

    // A value published from another thread selects on the main thread's turn.
    std::thread([&] { shape.send(Shape(2)); }).join();
    core::MainQueue::shared().drain();
    EXPECT_EQ(s.popUp->titleOfSelectedItem(), "Saw");

    // Once the pop-up is gone, published values are skipped.
    s.popUp->removeFromSuperview();
    std::weak_ptr<ui::PopUpButton> weak = s.popUp;
    s.popUp.reset();
    EXPECT_TRUE(weak.expired());
    shape.send(Shape(1));
}

TEST(PopUpValues, UnsignedRawValuesTravelAsTagsBothWays) {
    PopUpScene s;
    core::CurrentValueSubject<Rate> rate(Rate(4));
    core::CancellableSet store;
    std::vector<int> changes;
    vimbra::bind<Rate>(s.popUp, rate.publisher(), store,
                       [&](const Rate& value) { changes.push_back(value.rawValue()); });
    EXPECT_EQ(s.popUp->titleOfSelectedItem(), "4x");
    // Items: Speeds, 1x, 1x (exact) (shown only with Option), 2x, ---, 4x. Up from 4x skips the separator.
    ASSERT_TRUE(s.window->makeFirstResponder(s.popUp));
    s.backend->typeKey(" ");
    s.backend->typeKey(ui::utf8(ui::SpecialKey::upArrow));
    s.backend->typeKey("\r");
    EXPECT_EQ(changes, std::vector<int>{2});
}

TEST(PopUpStepping, NextAndPreviousSkipDisabledAndSeparatorsAndWrapUnconditionally) {
    PopUpScene s;
    s.popUp->addItems({"A", "B", "C", "D"});
    s.popUp->menu()->insertItem(ui::MenuItem::separatorItem(), 2); // A B --- C D
    s.popUp->setAutoenablesItems(false);
    s.popUp->itemAt(0)->setEnabled(false);
    s.popUp->selectItemAt(-1);

    // Nothing selected: the first enabled, non-separator item.
    selectNextItem(s.popUp);
    EXPECT_EQ(s.popUp->titleOfSelectedItem(), "B");
    selectNextItem(s.popUp); // past the separator
    EXPECT_EQ(s.popUp->titleOfSelectedItem(), "C");
    s.popUp->itemAt(4)->setEnabled(false);
    selectNextItem(s.popUp); // only a disabled item after: wraps to the first item, disabled or not
    EXPECT_EQ(s.popUp->titleOfSelectedItem(), "A");

    s.popUp->selectItemAt(1);
    selectPreviousItem(s.popUp); // before B only the disabled A: wraps to the disabled last item
    EXPECT_EQ(s.popUp->titleOfSelectedItem(), "D");
    selectPreviousItem(s.popUp);
    EXPECT_EQ(s.popUp->titleOfSelectedItem(), "C");

    // Nothing selected: previous mirrors next, searching from the end.
    s.popUp->selectItemAt(-1);
    selectPreviousItem(s.popUp);
    EXPECT_EQ(s.popUp->titleOfSelectedItem(), "C");

    // No action set: nothing was sent. An empty menu clears the selection.
    EXPECT_TRUE(s.receiver->log.empty());
    s.popUp->removeAllItems();
    selectNextItem(s.popUp);
    EXPECT_EQ(s.popUp->indexOfSelectedItem(), -1);
}

TEST(PopUpStepping, AButtonSteppingTheFocusedPopUpSendsItsActionThroughTheResponderChain) {
    PopUpScene s;
    fill(*s.popUp, Shape(0));
    s.popUp->setAction("shapeChanged:");
    auto next = ui::Button::make("Next", nullptr, "selectNextItem:");
    auto previous = ui::Button::make("Previous", nullptr, "selectPreviousItem:");
    next->setFrame(Rect(180, 20, 60, 24));
    previous->setFrame(Rect(180, 60, 60, 24));
    for (const auto& button : {next, previous}) {
        button->cell()->setRefusesFirstResponder(true);
        s.add(button);
    }
    ASSERT_TRUE(s.window->makeFirstResponder(s.popUp));

    s.backend->click(centre(*next));
    s.backend->click(centre(*next));
    EXPECT_EQ(s.popUp->titleOfSelectedItem(), "Saw");
    s.backend->click(centre(*next)); // wraps
    EXPECT_EQ(s.popUp->titleOfSelectedItem(), "Sine");
    s.backend->click(centre(*previous));
    EXPECT_EQ(s.popUp->titleOfSelectedItem(), "Saw");
    EXPECT_EQ(s.receiver->log.size(), 4u);
    EXPECT_EQ(s.receiver->senders.back(), s.popUp);
}

TEST(ContextMenus, AViewsMenuOpensAtItsTopLeftAndAButtonCanOpenItsOwn) {
    PopUpScene s;
    auto menu = ui::Menu::make();
    menu->addItem("Copy", "copy:");
    popUpMenu(s.popUp); // no menu: nothing
    EXPECT_FALSE(ui::Application::shared()->menuTracking());

    auto button = ui::Button::make("More", nullptr, "popUpContextMenuForButton:");
    button->setFrame(Rect(180, 20, 60, 24));
    button->setMenu(menu);
    auto target = std::make_shared<ui::Object>(); // any object answers the action
    button->setTarget(target);
    s.add(button);
    s.backend->click(centre(*button));
    auto tracking = ui::Application::shared()->menuTracking();
    ASSERT_TRUE(tracking && tracking->isActive());
    const auto top = button->convertPointToView({0, button->bounds().maxY()}, nullptr);
    EXPECT_NEAR(tracking->levels()[0].frame.minX(), s.window->frame().minX() + top.x, 1.0);
    tracking->cancel();
}

TEST(MouseEvents, SecondaryClicksAndHeldButtons) {
    vimbratest::Scene scene;
    using ui::EventType;
    auto event = [](EventType type, ui::ModifierFlags flags) {
        return ui::Event::mouseEvent(type, {0, 0}, flags);
    };
    EXPECT_TRUE(isSecondaryClick(event(EventType::rightMouseDown, 0)));
    EXPECT_TRUE(isSecondaryClick(event(EventType::leftMouseDown, ui::Modifier::control)));
    EXPECT_FALSE(isSecondaryClick(event(EventType::leftMouseDown, ui::Modifier::command)));
    EXPECT_FALSE(isSecondaryClick(event(EventType::leftMouseUp, ui::Modifier::control)));

    scene.backend->mouseDown({5, 5});
    EXPECT_TRUE(isLeftMouseButtonDown());
    EXPECT_FALSE(isRightMouseButtonDown());
    scene.backend->mouseUp({5, 5});
    scene.backend->rightMouseDown({5, 5});
    EXPECT_FALSE(isLeftMouseButtonDown());
    EXPECT_TRUE(isRightMouseButtonDown());
    scene.backend->rightMouseUp({5, 5});
    EXPECT_FALSE(isRightMouseButtonDown());
}
