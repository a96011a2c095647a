#include "Vimbra/ControlActions.hpp"
#include "Vimbra/LibraryStatics.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "core/MainQueue.hpp"
#include "ui/MenuTracking.hpp"

#include <gtest/gtest.h>
#include <thread>

using graphics::Rect;
using namespace vimbra;
using vimbratest::centre;

namespace {

std::shared_ptr<ui::Button> pushButton(const vimbratest::Scene& scene) {
    auto button = ui::Button::make("Go", nullptr, {});
    button->setFrame(Rect(20, 20, 80, 24));
    scene.add(button);
    return button;
}

} // namespace

TEST(ClosureActions, AClickCallsTheLatestClosureUntilAPlainTargetTakesOver) {
    vimbratest::Scene scene;
    auto button = pushButton(scene);
    std::vector<std::string> calls;
    setAction(button, [&](const std::shared_ptr<ui::Button>& sender) {
        calls.push_back(sender == button ? "first" : "first:wrong sender");
    });
    scene.backend->click(centre(*button));
    EXPECT_EQ(calls, std::vector<std::string>{"first"});

    // A second closure replaces the first, whose holder the control lets go.
    std::weak_ptr<ui::Object> firstHolder = button->target();
    ASSERT_FALSE(firstHolder.expired());
    setAction(button, [&](const std::shared_ptr<ui::Button>&) { calls.push_back("second"); });
    EXPECT_TRUE(firstHolder.expired());
    scene.backend->click(centre(*button));
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "second"}));

    // A plain target and action disconnect the closure.
    auto receiver = std::make_shared<vimbratest::Receiver>(std::initializer_list<const char*>{"go:"});
    setTarget(button, receiver, "go:");
    scene.backend->click(centre(*button));
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_EQ(receiver->log, std::vector<std::string>{"go:"});
}

TEST(ActionPublishers, OnePerControlHeardByLateSubscribersAndSilencedByAClosure) {
    vimbratest::Scene scene;
    auto button = pushButton(scene);
    auto publisher = actionPublisher(button);
    EXPECT_EQ(actionPublisher(button), publisher);

    int early = 0;
    int late = 0;
    auto earlyToken = publisher->sink([&](const std::shared_ptr<ui::Control>& control) {
        EXPECT_EQ(control, button);
        ++early;
    });
    scene.backend->click(centre(*button));
    auto lateToken = actionPublisher(button)->sink([&](const auto&) { ++late; });
    scene.backend->click(centre(*button));
    EXPECT_EQ(early, 2);
    EXPECT_EQ(late, 1);

    // A closure set afterwards receives the actions; the publisher hears nothing more.
    int closure = 0;
    setAction(button, [&](const std::shared_ptr<ui::Button>&) { ++closure; });
    scene.backend->click(centre(*button));
    EXPECT_EQ(closure, 1);
    EXPECT_EQ(early, 2);
    EXPECT_EQ(late, 1);
}

TEST(ActionPublishers, ReleasingTheControlFinishesEverySubscriber) {
    auto button = ui::Button::make("Go", nullptr, {});
    std::weak_ptr<ControlPublisher> publisher = actionPublisher(button);
    int finished = 0;
    auto first = publisher.lock()->sink([](const auto&) {}, [&] { ++finished; });
    auto second = publisher.lock()->sink([](const auto&) {}, [&] { ++finished; });
    EXPECT_EQ(publisher.lock()->control(), button);
    button.reset();
    EXPECT_TRUE(publisher.expired());
    EXPECT_EQ(finished, 2);
}

TEST(ActionPublishers, StateAndSelectedItemAreReadAfterTheControlUpdatedThem) {
    vimbratest::Scene scene;
    auto box = ui::Button::make("Loop", nullptr, {});
    box->setButtonType(ui::ButtonType::switchButton);
    box->setFrame(Rect(20, 20, 80, 20));
    scene.add(box);
    std::vector<int> states;
    auto stateToken = statePublisher(box).sink([&](int state) { states.push_back(state); });
    scene.backend->click(centre(*box));
    scene.backend->click(centre(*box));
    EXPECT_EQ(states, (std::vector<int>{ui::StateValue::on, ui::StateValue::off}));

    auto popUp = std::make_shared<ui::PopUpButton>(Rect(20, 60, 140, 22));
    popUp->addItems({"Sine", "Square", "Saw"});
    scene.add(popUp);
    std::vector<std::string> chosen;
    auto itemToken = selectedItemPublisher(popUp).sink(
        [&](const std::shared_ptr<ui::MenuItem>& item) { chosen.push_back(item ? item->title() : "none"); });
    ASSERT_TRUE(scene.window->makeFirstResponder(popUp));
    scene.backend->typeKey(" ");
    ASSERT_TRUE(popUp->isMenuShown());
    scene.backend->typeKey(ui::utf8(ui::SpecialKey::downArrow));
    scene.backend->typeKey(ui::utf8(ui::SpecialKey::downArrow));
    scene.backend->typeKey("\r");
    EXPECT_EQ(chosen, std::vector<std::string>{"Saw"});
}

TEST(MakeFirstResponder, FocusesTheControlKeyingItsWindowAndIgnoresGoneOrWindowlessOnes) {
    vimbratest::Scene scene;
    auto button = pushButton(scene);
    auto other = ui::Window::make(Rect(600, 300, 100, 100));
    other->makeKeyWindow();
    ASSERT_FALSE(scene.window->isKeyWindow());

    core::PassthroughSubject<Void> clicked;
    auto token = makeFirstResponder(clicked.publisher(), button);
    clicked.send({});
    EXPECT_TRUE(scene.window->isKeyWindow());
    EXPECT_EQ(scene.window->firstResponder(), button);

    // Sent from another thread, the focusing waits for the main thread's turn.
    scene.window->makeFirstResponder(nullptr);
    other->makeKeyWindow();
    std::thread([&] { clicked.send({}); }).join();
    EXPECT_FALSE(scene.window->isKeyWindow());
    core::MainQueue::shared().drain();
    EXPECT_TRUE(scene.window->isKeyWindow());
    EXPECT_EQ(scene.window->firstResponder(), button);

    // Outside any window, and once released, the control is left alone.
    other->makeKeyWindow();
    button->removeFromSuperview();
    clicked.send({});
    EXPECT_TRUE(other->isKeyWindow());
    button.reset();
    clicked.send({});
    EXPECT_TRUE(other->isKeyWindow());
}
