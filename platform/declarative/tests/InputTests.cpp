#include "Support.hpp"
#include "display/Clipboard.hpp"

#include <gtest/gtest.h>

using namespace decltest;

namespace {

struct Events {
    std::vector<std::string> log;
    std::vector<bool> pressed;
    int actions = 0;
};

std::string point(Point p) {
    return std::to_string(static_cast<int>(p.x)) + "," + std::to_string(static_cast<int>(p.y));
}

DragGesture loggingDrag(const std::shared_ptr<Events>& events, double minimumDistance) {
    return DragGesture{minimumDistance,
                       [events](const DragValue& v) {
                           events->log.push_back("changed " + point(v.location) + " t" +
                                                 point(Point{v.translation.width, v.translation.height}));
                       },
                       [events](const DragValue& v) { events->log.push_back("ended " + point(v.location)); },
                       [events] { events->log.push_back("cancelled"); }};
}

View styledButton(const std::shared_ptr<Events>& events) {
    return Button([events] { ++events->actions; }, ColorView(red()).frame(40, 20))
        .buttonStyle([events](const ButtonConfiguration& configuration) {
            events->pressed.push_back(configuration.isPressed);
            return configuration.label;
        });
}

} // namespace

TEST(Buttons, PressTracksThePointerAndActsOnReleaseInside) {
    auto events = std::make_shared<Events>();
    Harness h(styledButton(events));
    ASSERT_EQ(events->pressed, (std::vector<bool>{false}));
    h.down({100, 50});
    h.settle();
    EXPECT_EQ(events->pressed.back(), true);
    h.drag({150, 50}); // outside: released look
    h.settle();
    EXPECT_EQ(events->pressed.back(), false);
    h.drag({110, 55});
    h.settle();
    EXPECT_EQ(events->pressed.back(), true);
    h.up({110, 55});
    h.settle();
    EXPECT_EQ(events->pressed.back(), false);
    EXPECT_EQ(events->actions, 1);

    // Released outside: no action.
    h.down({100, 50});
    h.drag({190, 90});
    h.up({190, 90});
    h.settle();
    EXPECT_EQ(events->actions, 1);
}

TEST(Buttons, AHostGoingAwayWhileAButtonIsPressedEndsThePressQuietly) {
    auto events = std::make_shared<Events>();
    {
        auto window = ui::Window::make(Rect(0, 0, 200, 100));
        auto backend = display::HeadlessBackend::attach(window, 1.0);
        auto host = HostingView::make(styledButton(events), Rect(0, 0, 200, 100));
        window->contentView()->addSubview(host);
        window->makeKeyAndOrderFront();
        host->layoutIfNeeded();
        backend->mouseDown({100, 50});
        core::MainQueue::shared().drain();
        ASSERT_EQ(events->pressed.back(), true);
        window->close();
    } // the window, its views and the host go with the press still on
    core::MainQueue::shared().drain();
    EXPECT_EQ(events->actions, 0);
}

TEST(Buttons, DisabledButtonsNeitherPressNorAct) {
    auto events = std::make_shared<Events>();
    Harness h(styledButton(events).disabled(true));
    h.click({100, 50});
    h.settle();
    EXPECT_EQ(events->actions, 0);
    EXPECT_EQ(events->pressed, (std::vector<bool>{false}));
}

TEST(Gestures, DragWaitsForItsMinimumDistanceAndReportsLocalCoordinates) {
    auto events = std::make_shared<Events>();
    Harness h(ColorView(red()).frame(40, 40).gesture(loggingDrag(events, 5)));
    h.down({100, 50});
    h.drag({102, 51});
    EXPECT_TRUE(events->log.empty());
    h.drag({110, 50});
    h.drag({300, 70}); // captured: still ours outside the view and the window
    h.up({120, 60});
    EXPECT_EQ(events->log, (std::vector<std::string>{"changed 30,20 t10,0", "changed 220,40 t200,20",
                                                     "changed 40,30 t20,10", "ended 40,30"}));

    // Under a scale, local coordinates are the view's own.
    events->log.clear();
    h.host->setRootView(ColorView(red())
                            .frame(40, 40)
                            .gesture(loggingDrag(events, 0))
                            .scaleEffect(2, UnitPoint::topLeading()));
    h.settle();
    h.down({150, 90}); // outside the unscaled frame, inside the scaled one
    h.up({150, 90});
    EXPECT_EQ(events->log, (std::vector<std::string>{"changed 35,30 t0,0", "ended 35,30"}));
}

namespace {
struct Removable {
    std::shared_ptr<core::Observed<bool>> shown;
    std::shared_ptr<Events> events;
    View body(Context&) const {
        return If(shown->get(), ColorView(red()).frame(40, 40).gesture(loggingDrag(events, 0)),
                  ColorView(blue()));
    }
};
} // namespace

TEST(Gestures, ADragIsCancelledWhenItsViewGoesAwayOrTheGrabIsLost) {
    auto events = std::make_shared<Events>();
    auto shown = std::make_shared<core::Observed<bool>>(true);
    Harness h(Removable{shown, events});
    h.down({100, 50});
    h.drag({105, 50});
    *shown = false;
    h.settle();
    h.drag({110, 50});
    h.up({110, 50});
    EXPECT_EQ(events->log,
              (std::vector<std::string>{"changed 20,20 t0,0", "changed 25,20 t5,0", "cancelled"}));

    events->log.clear();
    *shown = true;
    h.settle();
    h.down({100, 50});
    h.backend->focusOut();
    h.drag({110, 50});
    h.up({110, 50});
    EXPECT_EQ(events->log, (std::vector<std::string>{"changed 20,20 t0,0", "cancelled"}));

    // Escape cancels too.
    events->log.clear();
    h.window->makeKeyAndOrderFront();
    h.down({100, 50});
    h.backend->keyDown(ui::utf8(ui::SpecialKey::escape));
    h.up({100, 50});
    EXPECT_EQ(events->log, (std::vector<std::string>{"changed 20,20 t0,0", "cancelled"}));
}

TEST(Gestures, DoubleTapTakesPrecedenceAndModifiersFilterTaps) {
    int singles = 0, doubles = 0, shifted = 0;
    Harness h(ColorView(red()).frame(40, 40).gesture(Gesture::exclusively(
        TapGesture{2, std::nullopt, [&] { ++doubles; }}, TapGesture{1, std::nullopt, [&] { ++singles; }})));
    h.click({100, 50}, 0, 1);
    h.click({100, 50}, 0, 2);
    EXPECT_EQ(singles, 1);
    EXPECT_EQ(doubles, 1);
    // Moving beyond the slop is not a tap; nor is a release outside.
    h.down({100, 50});
    h.drag({100, 70});
    h.up({100, 70});
    EXPECT_EQ(singles, 1);

    h.host->setRootView(
        ColorView(red()).frame(40, 40).gesture(TapGesture{1, ui::Modifier::shift, [&] { ++shifted; }}));
    h.settle();
    h.click({100, 50});
    h.click({100, 50}, ui::Modifier::command | ui::Modifier::shift);
    EXPECT_EQ(shifted, 0);
    h.click({100, 50}, ui::Modifier::shift);
    EXPECT_EQ(shifted, 1);
}

TEST(Gestures, InnerWinsUnlessSimultaneousAndHitTestingCanBeSwitchedOff) {
    auto events = std::make_shared<Events>();
    int outerTaps = 0;
    // An inner drag that claims at once beats an outer tap...
    Harness h(ColorView(red())
                  .frame(40, 40)
                  .gesture(loggingDrag(events, 0))
                  .padding(10)
                  .contentShapeRect()
                  .onTapGesture([&] { ++outerTaps; }));
    h.click({100, 50});
    EXPECT_EQ(outerTaps, 0);
    h.click({75, 25}); // in the padding: only the outer tap is there
    EXPECT_EQ(outerTaps, 1);
    // ...unless the tap is simultaneous.
    events->log.clear();
    h.host->setRootView(ColorView(red())
                            .frame(40, 40)
                            .gesture(loggingDrag(events, 0))
                            .simultaneousGesture(TapGesture{1, std::nullopt, [&] { ++outerTaps; }}));
    h.settle();
    h.click({100, 50});
    EXPECT_EQ(outerTaps, 2);
    EXPECT_EQ(events->log, (std::vector<std::string>{"changed 20,20 t0,0", "ended 20,20"}));

    // A view that takes no hits lets the one below have the tap.
    h.host->setRootView(ZStack({ColorView(red()).frame(40, 40).onTapGesture([&] { ++outerTaps; }),
                                ColorView(blue()).frame(60, 60).allowsHitTesting(false)}));
    h.settle();
    h.click({100, 50});
    EXPECT_EQ(outerTaps, 3);
}

namespace {
struct FormModel {
    core::Observed<std::string> name{std::string("")};
    FocusState<int> focus;
    int submits = 0;
    std::vector<std::string> keys;
};
struct NameForm {
    std::shared_ptr<FormModel> model;
    View body(Context& context) const {
        auto focus = focusState<int>(context);
        model->focus = focus;
        auto m = model;
        return VStack(
            {focused(TextField(Binding<std::string>::to(model->name), "Name"), focus.binding(), 1)
                 .frame(120, std::nullopt)
                 .onSubmit([m] { ++m->submits; }),
             focused(ColorView(red()).frame(20, 20), focus.binding(), 2)
                 .onKeyPress(
                     [m](const KeyPressEvent& k) {
                         m->keys.push_back((k.phase == KeyPhase::repeat ? "repeat " : "down ") +
                                           k.characters);
                         return KeyResult::handled;
                     },
                     static_cast<unsigned>(KeyPhase::down) | static_cast<unsigned>(KeyPhase::repeat))});
    }
};
std::string key(char32_t special) {
    return ui::utf8(special);
}
} // namespace

TEST(TextField, EditsThroughRealKeyEventsAndTheClipboard) {
    auto model = std::make_shared<FormModel>();
    Harness h(NameForm{model});
    auto clipboard = std::make_shared<display::MemoryClipboard>();
    h.host->setClipboard(clipboard);
    h.click({100, 40}); // the field: focus arrives with everything selected
    h.settle();
    EXPECT_EQ(model->focus.get(), 1);
    for (const char* c : {"a", "b", "c"}) {
        h.backend->typeKey(c);
    }
    EXPECT_EQ(model->name.peek(), "abc");
    h.backend->typeKey(key(ui::SpecialKey::leftArrow));
    h.backend->typeKey(key(ui::SpecialKey::deleteCharacter)); // Backspace
    EXPECT_EQ(model->name.peek(), "ac");
    h.backend->typeKey(key(ui::SpecialKey::home));
    h.backend->typeKey(key(ui::SpecialKey::rightArrow), ui::Modifier::shift);
    h.backend->typeKey("c", ui::Modifier::control);
    EXPECT_EQ(clipboard->text(), "a");
    h.backend->typeKey(key(ui::SpecialKey::end));
    h.backend->typeKey("v", ui::Modifier::control);
    EXPECT_EQ(model->name.peek(), "aca");
    h.backend->typeKey(key(ui::SpecialKey::home));
    h.backend->typeKey(key(ui::SpecialKey::deleteForward));
    EXPECT_EQ(model->name.peek(), "ca");
    clipboard->setText("x\ny");
    h.backend->typeKey("a", ui::Modifier::control);
    h.backend->typeKey("v", ui::Modifier::control);
    EXPECT_EQ(model->name.peek(), "x y");
    h.backend->typeKey(key(ui::SpecialKey::carriageReturn));
    EXPECT_EQ(model->submits, 1);
    // Hostile input: deleting at the edges and multi-byte characters stay well formed.
    h.backend->typeKey("a", ui::Modifier::control);
    h.backend->typeKey("é");
    h.backend->typeKey(key(ui::SpecialKey::deleteForward));
    h.backend->typeKey(key(ui::SpecialKey::deleteCharacter));
    h.backend->typeKey(key(ui::SpecialKey::deleteCharacter));
    EXPECT_EQ(model->name.peek(), "");
    h.settle();
    // The field draws its caret when focused.
    EXPECT_FALSE(h.record().empty());
    // The model shortens the text under the caret while the field has focus: the field still draws.
    for (const char* c : {"a", "b", "c"}) {
        h.backend->typeKey(c);
    }
    model->name = std::string("a");
    EXPECT_FALSE(h.record().empty());
}

TEST(Focus, FocusStateMovesFocusAndKeysBubbleByPhase) {
    auto model = std::make_shared<FormModel>();
    Harness h(NameForm{model});
    model->focus.set(2);
    h.settle();
    h.settle();
    ASSERT_NE(h.host->focusManager().focusedNode(), nullptr);
    ASSERT_EQ(h.window->firstResponder().get(), h.host.get());
    h.backend->keyDown("q");
    h.window->sendEvent(ui::Event::keyEvent(ui::EventType::keyDown, "q", "q", 0, 0, 0, h.window, true));
    h.backend->keyUp("q");
    EXPECT_EQ(model->keys, (std::vector<std::string>{"down q", "repeat q"}));
    EXPECT_EQ(model->name.peek(), "") << "keys go to the focused view only";

    // Clicking the field moves focus and the state follows.
    h.click({100, 40});
    h.settle();
    EXPECT_EQ(model->focus.get(), 1);
    // Clearing the state removes focus: typing goes nowhere.
    model->focus.set(std::nullopt);
    h.settle();
    h.settle();
    h.backend->typeKey("z");
    EXPECT_EQ(model->name.peek(), "");
    EXPECT_EQ(h.host->focusManager().focusedNode(), nullptr);
}

namespace {
struct Removing {
    std::shared_ptr<core::Observed<bool>> shown;
    std::shared_ptr<FormModel> model;
    View body(Context& context) const {
        auto focus = focusState<int>(context);
        model->focus = focus;
        return If(shown->get(),
                  focused(TextField(Binding<std::string>::to(model->name)), focus.binding(), 1));
    }
};
} // namespace

TEST(Focus, RemovingTheFocusedFieldClearsFocusAndItsState) {
    auto model = std::make_shared<FormModel>();
    auto shown = std::make_shared<core::Observed<bool>>(true);
    Harness h(Removing{shown, model});
    h.click({100, 50});
    h.settle();
    ASSERT_EQ(model->focus.get(), 1);
    *shown = false;
    h.settle();
    EXPECT_EQ(h.host->focusManager().focusedNode(), nullptr);
    EXPECT_EQ(model->focus.get(), std::nullopt);
    h.backend->typeKey("x");
    EXPECT_EQ(model->name.peek(), "");
}

TEST(Gestures, DragValuesAndTheHostCarryTheCurrentModifierFlags) {
    std::vector<ui::ModifierFlags> seen;
    Harness h(ColorView(red()).frame(40, 40).gesture(
        DragGesture{0, [&](const DragValue& v) { seen.push_back(v.modifiers); }, {}, {}}));
    h.down({100, 50});
    h.drag({110, 50}, ui::Modifier::shift);
    h.up({110, 50}, ui::Modifier::shift);
    EXPECT_EQ(seen, (std::vector<ui::ModifierFlags>{0, ui::Modifier::shift}));
    EXPECT_EQ(h.host->currentModifierFlags(), ui::Modifier::shift);
    h.backend->flagsChanged(ui::Modifier::option);
    EXPECT_EQ(h.host->currentModifierFlags() & ui::Modifier::option, ui::Modifier::option);

    // The end reports the keys held at the release, even without a move before it.
    std::vector<ui::ModifierFlags> ended;
    Harness still(ColorView(red()).frame(40, 40).gesture(
        DragGesture{0, {}, [&](const DragValue& v) { ended.push_back(v.modifiers); }, {}}));
    still.down({100, 50});
    still.up({100, 50}, ui::Modifier::option);
    EXPECT_EQ(ended, (std::vector<ui::ModifierFlags>{ui::Modifier::option}));
}

TEST(Gestures, AnExclusiveDragWaitsForTheTapBeforeIt) {
    auto events = std::make_shared<Events>();
    int taps = 0;
    Harness h(ColorView(red()).frame(40, 40).gesture(
        Gesture::exclusively(TapGesture{1, ui::Modifier::option, [&] { ++taps; }}, loggingDrag(events, 0))));
    // Without the tap's key the tap fails at the press and the drag starts there.
    h.click({100, 50});
    EXPECT_EQ(taps, 0);
    EXPECT_EQ(events->log, (std::vector<std::string>{"changed 20,20 t0,0", "ended 20,20"}));

    // With it, a click is the tap's alone.
    events->log.clear();
    h.click({100, 50}, ui::Modifier::option);
    EXPECT_EQ(taps, 1);
    EXPECT_TRUE(events->log.empty());

    // Moving out of the tap's slop fails the tap; the drag starts where the pointer is then.
    h.down({100, 50}, ui::Modifier::option);
    h.drag({104, 50}, ui::Modifier::option);
    EXPECT_TRUE(events->log.empty());
    h.drag({115, 50}, ui::Modifier::option);
    h.up({115, 50}, ui::Modifier::option);
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(events->log, (std::vector<std::string>{"changed 35,20 t15,0", "ended 35,20"}));

    // A drag before a tap that is released without moving far enough leaves the click to the tap.
    events->log.clear();
    h.host->setRootView(ColorView(red()).frame(40, 40).gesture(
        Gesture::exclusively(loggingDrag(events, 5), TapGesture{1, std::nullopt, [&] { ++taps; }})));
    h.settle();
    h.click({100, 50});
    EXPECT_EQ(taps, 2);
    EXPECT_TRUE(events->log.empty());
}
