// Focus rings, layers, tracking areas, gesture recognisers and press-and-hold, driven through the
// headless back end's synthetic input and read back from its pixels.

#include "InputTree.hpp"
#include "core/RunLoop.hpp"
#include "display/HeadlessBackend.hpp"
#include "ui/Cursor.hpp"
#include "ui/GestureRecognizer.hpp"
#include "ui/TextField.hpp"

#include <chrono>
#include <gtest/gtest.h>

using graphics::Rect;

namespace {

// A control that takes keyboard focus and paints its bounds in a colour.
class FocusControl : public ui::Control {
public:
    using Control::Control;
    bool drawsMask = true;
    void drawFocusRingMask() override {
        if (drawsMask) {
            Control::drawFocusRingMask();
        }
    }
    void draw(const Rect&) override {
        graphics::GraphicsContext::current()->fillRect(bounds(), graphics::Color::rgba(0, 1, 0));
    }
};

struct FocusScene {
    displaytest::Cleanup cleanup;
    std::shared_ptr<ui::Window> window = ui::Window::make(Rect(0, 0, 100, 60));
    std::shared_ptr<FocusControl> control = std::make_shared<FocusControl>(Rect(30, 20, 40, 20));
    std::shared_ptr<display::HeadlessBackend> backend;
    FocusScene() {
        window->setBackgroundColor(graphics::Color::rgba(0, 0, 0));
        window->contentView()->addSubview(control);
        backend = display::HeadlessBackend::attach(window);
        window->makeKeyAndOrderFront();
        window->makeFirstResponder(control);
        backend->displayIfNeeded();
    }
    // Whether the pixel two points left of the control, halfway up, shows the focus colour.
    bool ringShows() {
        window->setViewsNeedDisplay(true);
        backend->displayIfNeeded();
        const auto p = backend->pixel(28, 30);
        return p.b > 80 && p.r < 40;
    }
};

TEST(FocusRing, SurroundsTheFocusedControlOfTheKeyWindowOnly) {
    FocusScene scene;
    EXPECT_EQ(scene.window->keyboardFocusView(), scene.control);
    EXPECT_TRUE(scene.ringShows());
    // The ring lies outside the mask: the control's own pixels stay as drawn.
    const auto inside = scene.backend->pixel(32, 30);
    EXPECT_EQ(inside.g, 255);
    EXPECT_EQ(inside.b, 0);
    // Nothing beyond the ring's width.
    const auto far = scene.backend->pixel(24, 30);
    EXPECT_EQ(far.b, 0);

    scene.backend->focusOut();
    EXPECT_FALSE(scene.ringShows());
    scene.backend->focusIn();
    EXPECT_TRUE(scene.ringShows());
    scene.window->makeFirstResponder(nullptr);
    EXPECT_FALSE(scene.ringShows());
}

TEST(FocusRing, APartialRedisplayAfterAFocusChangeLeavesNoRingBehind) {
    FocusScene scene;
    ASSERT_TRUE(scene.ringShows());
    auto other = std::make_shared<FocusControl>(Rect(80, 20, 10, 20));
    scene.window->contentView()->addSubview(other);
    scene.backend->displayIfNeeded();
    // Only what the focus change marks is drawn again: the ring outside the first control's frame too.
    ASSERT_TRUE(scene.window->makeFirstResponder(other));
    scene.backend->displayIfNeeded();
    const auto left = scene.backend->pixel(28, 30);
    EXPECT_EQ(left.b, 0) << "the old ring is gone";
    const auto right = scene.backend->pixel(91, 30);
    EXPECT_GT(right.b, 80) << "the new ring is drawn";
}

TEST(FocusRing, NoneTypeOrAnEmptyMaskDrawsNoRing) {
    FocusScene scene;
    scene.control->setFocusRingType(ui::FocusRingType::none);
    EXPECT_EQ(scene.control->cell()->focusRingType(), ui::FocusRingType::none);
    EXPECT_FALSE(scene.ringShows());
    scene.control->setFocusRingType(ui::FocusRingType::defaultType);
    scene.control->drawsMask = false;
    EXPECT_FALSE(scene.ringShows());
}

TEST(FocusRing, ATextFieldBeingEditedIsTheFocusViewNotItsFieldEditor) {
    displaytest::Cleanup cleanup;
    auto window = ui::Window::make(Rect(0, 0, 200, 60));
    auto field = std::make_shared<ui::TextField>(Rect(10, 10, 120, 22));
    field->setEditable(true);
    window->contentView()->addSubview(field);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(window->makeFirstResponder(field));
    ASSERT_NE(field->currentEditor(), nullptr);
    EXPECT_EQ(window->firstResponder(), field->currentEditor());
    EXPECT_EQ(window->keyboardFocusView(), field);
}

// A control whose cell fades the control through its layer while pressed.
class FadingCell : public ui::Cell {
public:
    void highlight(bool flag, const Rect& frame, ui::View& view) override {
        Cell::highlight(flag, frame, view);
        if (auto* layer = view.layer()) {
            layer->setOpacity(flag ? 0.5 : 1.0);
        }
    }
};

class WhiteControl : public ui::Control {
public:
    explicit WhiteControl(const Rect& frame) : Control(frame, std::make_shared<FadingCell>()) {}
    void draw(const Rect&) override {
        graphics::GraphicsContext::current()->fillRect(Rect(10, 0, 30, 20), graphics::Color::rgba(1, 1, 1));
    }
};

TEST(Layer, OpacityFadesAPressedControlAndItsAlphaMultipliesIn) {
    displaytest::Cleanup cleanup;
    auto window = ui::Window::make(Rect(0, 0, 60, 20));
    window->setBackgroundColor(graphics::Color::rgba(0, 0, 0));
    auto control = std::make_shared<WhiteControl>(Rect(0, 0, 60, 20));
    window->contentView()->addSubview(control);
    auto backend = display::HeadlessBackend::attach(window);
    window->makeKeyAndOrderFront();
    backend->displayIfNeeded();
    EXPECT_EQ(backend->pixel(20, 10).r, 255);

    // Without a layer the cell has nothing to fade.
    backend->mouseDown({20, 10});
    backend->displayIfNeeded();
    EXPECT_EQ(backend->pixel(20, 10).r, 255);
    backend->mouseUp({20, 10});

    control->setWantsLayer(true);
    control->layer()->setBackgroundColor(graphics::Color::rgba(1, 0, 0));
    backend->displayIfNeeded();
    EXPECT_EQ(backend->pixel(20, 10).r, 255); // the content over the background
    EXPECT_EQ(backend->pixel(5, 10).r, 255);  // the background where the content leaves it
    EXPECT_EQ(backend->pixel(5, 10).g, 0);

    backend->mouseDown({20, 10});
    backend->displayIfNeeded();
    EXPECT_NEAR(backend->pixel(20, 10).g, 128, 2);
    EXPECT_NEAR(backend->pixel(5, 10).r, 128, 2); // background and content fade as one
    control->setAlphaValue(0.5);
    backend->displayIfNeeded();
    EXPECT_NEAR(backend->pixel(20, 10).g, 64, 2);
    control->setAlphaValue(1.0);
    // Released outside, the control still comes back to full strength.
    backend->mouseDragged({80, 10});
    backend->mouseUp({80, 10});
    backend->displayIfNeeded();
    EXPECT_EQ(backend->pixel(20, 10).g, 255);

    control->setWantsLayer(false);
    backend->displayIfNeeded();
    EXPECT_EQ(backend->pixel(5, 10).r, 0);
}

// A view that keeps one tracking area over its bounds, replaced whenever asked.
class HoverView : public ui::View {
public:
    using View::View;
    void updateTrackingAreas() override {
        if (area_) {
            removeTrackingArea(area_);
        }
        area_ = ui::TrackingArea::make(
            bounds(), ui::TrackingAreaOptions::mouseEnteredAndExited | ui::TrackingAreaOptions::activeAlways,
            sharedAs<ui::Responder>());
        addTrackingArea(area_);
    }
    void mouseEntered(const ui::Event&) override { ++entered; }
    void mouseExited(const ui::Event& e) override {
        ++exited;
        EXPECT_EQ(e.type, ui::EventType::mouseExited);
    }
    int entered = 0;
    int exited = 0;

private:
    std::shared_ptr<ui::TrackingArea> area_;
};

TEST(TrackingAreas, FollowTheViewsSizeAndVisibility) {
    displaytest::Cleanup cleanup;
    auto window = ui::Window::make(Rect(0, 0, 100, 60));
    auto backend = display::HeadlessBackend::attach(window);
    auto group = std::make_shared<ui::View>(Rect(0, 0, 100, 60));
    window->contentView()->addSubview(group);
    // Laid out after joining the window: the area made at 0 × 0 is replaced when the size comes.
    auto hover = std::make_shared<HoverView>();
    group->addSubview(hover);
    hover->setFrame(Rect(20, 20, 40, 20));
    backend->mouseMoved({30, 30});
    EXPECT_EQ(hover->entered, 1);

    // Hidden under the pointer: it hears the pointer leave, and again come back once shown.
    hover->setHidden(true);
    EXPECT_EQ(hover->exited, 1);
    backend->mouseMoved({31, 30});
    EXPECT_EQ(hover->exited, 1);
    hover->setHidden(false);
    backend->mouseMoved({32, 30});
    EXPECT_EQ(hover->entered, 2);

    // An ancestor hidden or the view removed while hovered: the same.
    group->setHidden(true);
    EXPECT_EQ(hover->exited, 2);
    group->setHidden(false);
    backend->mouseMoved({33, 30});
    EXPECT_EQ(hover->entered, 3);
    hover->removeFromSuperview();
    EXPECT_EQ(hover->exited, 3);
    backend->mouseMoved({34, 30});
    EXPECT_EQ(hover->entered, 3);
}

// A view that logs its mouse events.
class LogView : public ui::View {
public:
    using View::View;
    void mouseDown(const ui::Event&) override { log.push_back("down"); }
    void mouseDragged(const ui::Event&) override { log.push_back("drag"); }
    void mouseUp(const ui::Event&) override { log.push_back("up"); }
    void mouseTrackingCancelled() override { log.push_back("cancelled"); }
    std::vector<std::string> log;
};

// A drag gesture: began on the first drag, changed on later ones, ended on the up.
class DragRecognizer : public ui::GestureRecognizer {
public:
    using GestureRecognizer::GestureRecognizer;
    void mouseDragged(const ui::Event&) override {
        setState(state() == ui::GestureRecognizerState::possible ? ui::GestureRecognizerState::began
                                                                 : ui::GestureRecognizerState::changed);
    }
    void mouseUp(const ui::Event&) override {
        if (state() != ui::GestureRecognizerState::possible) {
            setState(ui::GestureRecognizerState::ended);
        }
    }
};

struct GestureScene {
    displaytest::Cleanup cleanup;
    std::shared_ptr<ui::Window> window = ui::Window::make(Rect(0, 0, 100, 60));
    std::shared_ptr<ui::View> container = std::make_shared<ui::View>(Rect(0, 0, 100, 60));
    std::shared_ptr<LogView> view = std::make_shared<LogView>(Rect(10, 10, 50, 30));
    std::shared_ptr<ui::Object> target = std::make_shared<ui::Object>();
    std::shared_ptr<display::HeadlessBackend> backend;
    std::vector<std::string> actions;
    GestureScene() {
        window->contentView()->addSubview(container);
        container->addSubview(view);
        backend = display::HeadlessBackend::attach(window);
        window->makeKeyAndOrderFront();
    }
    std::shared_ptr<ui::GestureRecognizer> add(std::shared_ptr<ui::GestureRecognizer> r, ui::View& on,
                                               const std::string& name) {
        r->setTarget(target);
        r->setAction(name + ":");
        target->setActionHandler(name + ":", [this, name](const std::shared_ptr<ui::Object>& sender) {
            auto g = std::static_pointer_cast<ui::GestureRecognizer>(sender);
            actions.push_back(name + " " + std::to_string(static_cast<int>(g->state())));
        });
        on.addGestureRecognizer(r);
        return r;
    }
};

TEST(GestureRecognizers, AClickIsRecognisedWhileTheViewStillGetsItsEvents) {
    GestureScene s;
    auto click = s.add(std::make_shared<ui::ClickGestureRecognizer>(), *s.view, "click");
    auto outer = s.add(std::make_shared<ui::ClickGestureRecognizer>(), *s.container, "outer");
    s.backend->mouseDown({20, 20});
    s.backend->mouseDragged({23, 20});
    s.backend->mouseUp({23, 20});
    // The view's own recogniser first, then its ancestor's; both in the ended state when they act.
    EXPECT_EQ(s.actions, (std::vector<std::string>{"click 3", "outer 3"}));
    EXPECT_EQ(s.view->log, (std::vector<std::string>{"down", "drag", "up"}));
    EXPECT_EQ(click->state(), ui::GestureRecognizerState::possible);
    EXPECT_NEAR(click->locationInView(s.view.get()).x, 13, 1e-9);

    // A press outside the view reaches only the container's recogniser.
    s.actions.clear();
    s.backend->click({80, 50});
    EXPECT_EQ(s.actions, (std::vector<std::string>{"outer 3"}));
}

TEST(GestureRecognizers, ADragNeverAlsoClicks) {
    GestureScene s;
    auto click = s.add(std::make_shared<ui::ClickGestureRecognizer>(), *s.view, "click");
    s.backend->mouseDown({20, 20});
    s.backend->mouseDragged({30, 20});
    EXPECT_EQ(click->state(), ui::GestureRecognizerState::failed);
    s.backend->mouseDragged({20, 20}); // coming back does not revive it
    s.backend->mouseUp({20, 20});
    EXPECT_TRUE(s.actions.empty());
    EXPECT_EQ(s.view->log, (std::vector<std::string>{"down", "drag", "drag", "up"}));
    // A release far away without any drag between fails too.
    s.backend->mouseDown({20, 20});
    s.backend->mouseUp({40, 20});
    EXPECT_TRUE(s.actions.empty());
    // A disabled recogniser sees nothing.
    click->setEnabled(false);
    s.backend->click({20, 20});
    EXPECT_TRUE(s.actions.empty());
}

TEST(GestureRecognizers, AContinuousGestureEndsOrIsCancelledWithThePress) {
    GestureScene s;
    auto drag = s.add(std::make_shared<DragRecognizer>(), *s.view, "drag");
    s.backend->mouseDown({20, 20});
    s.backend->mouseDragged({25, 20});
    s.backend->mouseDragged({30, 20});
    s.backend->mouseUp({30, 20});
    EXPECT_EQ(s.actions, (std::vector<std::string>{"drag 1", "drag 2", "drag 3"}));

    // Losing key status in the middle of a drag cancels it.
    s.actions.clear();
    s.backend->mouseDown({20, 20});
    s.backend->mouseDragged({25, 20});
    s.backend->focusOut();
    EXPECT_EQ(s.actions, (std::vector<std::string>{"drag 1", "drag 4"}));
    EXPECT_EQ(drag->state(), ui::GestureRecognizerState::possible);
    // So does disabling it.
    s.backend->focusIn();
    s.actions.clear();
    s.backend->mouseDown({20, 20});
    s.backend->mouseDragged({25, 20});
    drag->setEnabled(false);
    s.backend->mouseUp({25, 20});
    EXPECT_EQ(s.actions, (std::vector<std::string>{"drag 1", "drag 4"}));
}

// A view whose press waits for its mouse-up.
class HoldView : public LogView {
public:
    using LogView::LogView;
    void mouseDown(const ui::Event&) override {
        log.push_back("down");
        std::weak_ptr<HoldView> weak = sharedAs<HoldView>();
        window()->waitForMouseUp(
            sharedAs<ui::View>(), [weak] { weak.lock()->log.push_back("release"); },
            [weak] { weak.lock()->log.push_back("hold"); });
    }
};

struct HoldScene {
    displaytest::Cleanup cleanup;
    std::shared_ptr<core::ManualClock> clock = std::make_shared<core::ManualClock>();
    core::RunLoop loop{core::MainQueue::shared(), clock};
    std::shared_ptr<ui::Window> window = ui::Window::make(Rect(0, 0, 100, 60));
    std::shared_ptr<HoldView> view = std::make_shared<HoldView>(Rect(0, 0, 100, 60));
    std::shared_ptr<display::HeadlessBackend> backend;
    HoldScene() {
        window->setAnimationRunLoop(&loop);
        window->contentView()->addSubview(view);
        backend = display::HeadlessBackend::attach(window);
        window->makeKeyAndOrderFront();
    }
    ~HoldScene() {
        ui::Event::setDoubleClickInterval(0.5);
        window->setAnimationRunLoop(nullptr);
    }
    void wait(int milliseconds) {
        clock->advance(std::chrono::milliseconds(milliseconds));
        loop.fireDueTimers();
    }
};

TEST(PressAndHold, AReleaseWithinTheIntervalReplaysThePressAsUsual) {
    HoldScene s;
    s.backend->mouseDown({10, 10});
    s.backend->mouseDragged({12, 10});
    s.wait(400);
    EXPECT_EQ(s.view->log, (std::vector<std::string>{"down"})); // the drag is held back
    s.backend->mouseUp({12, 10});
    EXPECT_EQ(s.view->log, (std::vector<std::string>{"down", "release", "drag", "up"}));
    EXPECT_FALSE(s.window->isWaitingForMouseUp());
    s.wait(1000);
    EXPECT_EQ(s.view->log.size(), 4u);
}

TEST(PressAndHold, HoldingPastTheIntervalFiresOnceAndLeavesTheRestToTheView) {
    HoldScene s;
    s.backend->mouseDown({10, 10});
    s.backend->mouseDragged({12, 10});
    s.wait(499);
    EXPECT_EQ(s.view->log, (std::vector<std::string>{"down"}));
    s.wait(1);
    EXPECT_EQ(s.view->log, (std::vector<std::string>{"down", "hold"}));
    s.backend->mouseDragged({14, 10});
    s.backend->mouseUp({14, 10});
    s.wait(1000);
    EXPECT_EQ(s.view->log, (std::vector<std::string>{"down", "hold", "drag", "up"}));
}

TEST(PressAndHold, WaitsTheDoubleClickIntervalSettingAndEndsWithKeyStatus) {
    HoldScene s;
    ui::Event::setDoubleClickInterval(1.0);
    ui::Event::setDoubleClickInterval(0); // ignored
    EXPECT_EQ(ui::Event::doubleClickInterval(), 1.0);
    s.backend->mouseDown({10, 10});
    s.wait(600);
    EXPECT_EQ(s.view->log, (std::vector<std::string>{"down"}));
    s.wait(400);
    EXPECT_EQ(s.view->log, (std::vector<std::string>{"down", "hold"}));
    s.backend->mouseUp({10, 10});

    // The window losing key status ends the wait with neither outcome.
    s.view->log.clear();
    s.backend->mouseDown({10, 10});
    s.backend->focusOut();
    s.wait(2000);
    EXPECT_EQ(s.view->log, (std::vector<std::string>{"down", "cancelled"}));
    EXPECT_FALSE(s.window->isWaitingForMouseUp());
}

} // namespace
