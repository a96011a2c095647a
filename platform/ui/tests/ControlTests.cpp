#include "Helpers.hpp"
#include "ui/Control.hpp"

#include <cstdint>
#include <gtest/gtest.h>

using graphics::Rect;
using ui::EventType;
using uitest::mouse;

namespace {

struct ControlScene {
    uitest::WindowScope scope;
    std::shared_ptr<ui::Window> window = ui::Window::make(Rect(0, 0, 200, 100));
    std::shared_ptr<ui::Control> control = std::make_shared<ui::Control>(Rect(20, 20, 60, 30));
    std::shared_ptr<ui::Object> target = std::make_shared<ui::Object>();
    int fired = 0;
    std::shared_ptr<ui::Object> lastSender;

    ControlScene() {
        window->contentView()->addSubview(control);
        window->makeKeyWindow();
        target->setActionHandler("clicked:", [this](const std::shared_ptr<ui::Object>& sender) {
            ++fired;
            lastSender = sender;
        });
        control->setTarget(target);
        control->setAction("clicked:");
    }
    void send(EventType type, double x, double y) { window->sendEvent(mouse(type, x, y, window)); }
};

} // namespace

TEST(ControlTracking, HighlightsWhilePressedAndFiresOnlyOnReleaseInside) {
    ControlScene s;
    s.send(EventType::leftMouseDown, 30, 30);
    EXPECT_TRUE(s.control->isHighlighted());
    EXPECT_TRUE(s.control->isTracking());
    EXPECT_EQ(s.fired, 0);
    s.send(EventType::leftMouseDragged, 150, 30); // out: the highlight follows
    EXPECT_FALSE(s.control->isHighlighted());
    s.send(EventType::leftMouseDragged, 40, 40); // back in
    EXPECT_TRUE(s.control->isHighlighted());
    s.send(EventType::leftMouseUp, 40, 40);
    EXPECT_FALSE(s.control->isHighlighted());
    EXPECT_EQ(s.fired, 1);
    EXPECT_EQ(s.lastSender, s.control);

    // Released outside: no action.
    s.send(EventType::leftMouseDown, 30, 30);
    s.send(EventType::leftMouseUp, 150, 30);
    EXPECT_EQ(s.fired, 1);
    EXPECT_FALSE(s.control->isHighlighted());

    // Disabled: no highlight, no action.
    s.control->setEnabled(false);
    s.send(EventType::leftMouseDown, 30, 30);
    EXPECT_FALSE(s.control->isHighlighted());
    s.send(EventType::leftMouseUp, 30, 30);
    EXPECT_EQ(s.fired, 1);
    s.control->performClick();
    EXPECT_EQ(s.fired, 1);

    // Disabling in the middle of a press ends it without an action.
    s.control->setEnabled(true);
    s.send(EventType::leftMouseDown, 30, 30);
    s.control->setEnabled(false);
    s.send(EventType::leftMouseUp, 30, 30);
    EXPECT_EQ(s.fired, 1);
    EXPECT_FALSE(s.control->isHighlighted());

    s.control->setEnabled(true);
    s.control->performClick();
    EXPECT_EQ(s.fired, 2);
}

TEST(ControlTracking, ContinuousControlsSendWhileDraggingInside) {
    ControlScene s;
    s.control->setContinuous(true);
    s.send(EventType::leftMouseDown, 30, 30);
    s.send(EventType::leftMouseDragged, 35, 30);
    s.send(EventType::leftMouseDragged, 150, 30); // outside: nothing
    s.send(EventType::leftMouseUp, 36, 30);
    EXPECT_EQ(s.fired, 3); // down, one drag inside, up inside
}

TEST(ControlActions, UntargetedActionsTravelTheResponderChain) {
    ControlScene s;
    s.control->setTarget(nullptr);
    int viewGot = 0;
    s.window->contentView()->setActionHandler("clicked:", [&](const auto&) { ++viewGot; });
    auto field = std::make_shared<uitest::ProbeView>(Rect(100, 0, 50, 50));
    field->accepts = true;
    s.window->contentView()->addSubview(field);
    s.window->makeFirstResponder(field);
    s.control->performClick();
    EXPECT_EQ(viewGot, 1);
    EXPECT_EQ(s.fired, 0);
    // No action set: nothing is sent.
    s.control->setAction("");
    EXPECT_FALSE(s.control->sendAction());
}

TEST(CellState, ValuesStatesAndSizes) {
    ui::Cell cell;
    // Two states cycle off/on; with mixed allowed: on -> off -> mixed -> on.
    EXPECT_EQ(cell.nextState(), ui::StateValue::on);
    cell.setNextState();
    EXPECT_EQ(cell.nextState(), ui::StateValue::off);
    cell.setAllowsMixedState(true);
    cell.setState(ui::StateValue::off);
    EXPECT_EQ(cell.nextState(), ui::StateValue::mixed);
    cell.setState(ui::StateValue::mixed);
    EXPECT_EQ(cell.nextState(), ui::StateValue::on);
    cell.setState(2); // not a named state: counts as off
    EXPECT_EQ(cell.nextState(), ui::StateValue::mixed);

    // Values convert between numbers and text without the C locale.
    cell.setDoubleValue(0.25);
    EXPECT_EQ(cell.stringValue(), "0.25");
    cell.setIntegerValue(-42);
    EXPECT_EQ(cell.stringValue(), "-42");
    cell.setStringValue(" 12.5kHz");
    EXPECT_DOUBLE_EQ(cell.doubleValue(), 12.5);
    EXPECT_EQ(cell.integerValue(), 12);
    cell.setStringValue("abc");
    EXPECT_EQ(cell.doubleValue(), 0.0);
    cell.setObjectValue(std::vector<int>{1});
    EXPECT_EQ(cell.stringValue(), "");
    // Every integer and floating type is a number; the character types are not.
    cell.setObjectValue(short{42});
    EXPECT_EQ(cell.stringValue(), "42");
    cell.setObjectValue(std::uint8_t{200});
    EXPECT_EQ(cell.integerValue(), 200);
    cell.setObjectValue(std::size_t{7});
    EXPECT_EQ(cell.stringValue(), "7");
    cell.setObjectValue('4');
    EXPECT_EQ(cell.stringValue(), "");
    cell.setDoubleValue(1e300);
    EXPECT_GT(cell.integerValue(), 0); // saturates instead of overflowing

    // A text cell's size fits its text; a bordered one adds its margins on both sides.
    ui::Cell text("Hello");
    auto plain = text.cellSize();
    EXPECT_GT(plain.width, 0);
    EXPECT_GT(plain.height, 0);
    text.setBordered(true);
    EXPECT_EQ(text.cellSize().width, plain.width + 4);
    EXPECT_EQ(text.drawingRectForBounds(Rect(0, 0, 50, 20)), Rect(2, 2, 46, 16));

    auto control = std::make_shared<ui::Control>(Rect(0, 0, 10, 10), std::make_shared<ui::Cell>("Hello"));
    EXPECT_EQ(control->intrinsicContentSize(), plain);
    EXPECT_EQ(control->cell()->controlView(), control);
}
