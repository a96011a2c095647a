// The shader view controllers' life cycle and key-window pausing, with a recording drawing view and
// renderer in place of the GPU kit's.

#include "FakeShaderKit.hpp"
#include "app/AppHost.hpp"
#include "app/ShaderViewController.hpp"
#include "core/MainQueue.hpp"
#include "display/HeadlessBackend.hpp"
#include "ui/Screen.hpp"
#include "ui/Window.hpp"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using apptest::FakeDrawingView;
using apptest::FakeRenderer;
using graphics::Rect;

using Controller = tessaray::MetalShaderViewControllerT<FakeDrawingView, FakeRenderer>;
using SupporterController = tessaray::SupporterShaderViewControllerT<FakeDrawingView, FakeRenderer>;

// A window with a container of the strip's size, whose controller appears when the container joins it.
template <class C = Controller> struct Fixture {
    explicit Fixture(double scale = 1.0) {
        window = ui::Window::make(Rect(0, 0, 400, 572));
        backend = display::HeadlessBackend::attach(window, scale);
        container = std::make_shared<tessaray::ShaderContainerView>(Rect(0, 272, 400, 300));
        if constexpr (std::is_same_v<C, Controller>) {
            controller = std::make_shared<C>(container, "Main", "audioWaveformVertexShader",
                                             "audioWaveformFragmentShader");
        } else {
            controller = std::make_shared<C>(container, "Supporter");
        }
        container->setController(controller);
        window->makeKeyAndOrderFront();
    }
    ~Fixture() {
        window->close();
        core::MainQueue::shared().drain();
        FakeDrawingView::deviceAvailable = true;
    }
    void show() { window->contentView()->addSubview(container); }
    void hide() { container->removeFromSuperview(); }
    void postKey(const char* name, const void* object) {
        core::NotificationCenter::defaultCenter().post(name, object);
    }

    std::shared_ptr<ui::Window> window;
    std::shared_ptr<display::HeadlessBackend> backend;
    std::shared_ptr<tessaray::ShaderContainerView> container;
    std::shared_ptr<C> controller;
};

TEST(ShaderViewController, AppearingBuildsTheViewAndRendererOnceAndDisappearingDropsThem) {
    Fixture f;
    EXPECT_EQ(f.controller->metalKitView(), nullptr) << "nothing before the first appearance";
    f.show();
    auto view = f.controller->metalKitView();
    auto renderer = f.controller->renderer();
    ASSERT_NE(view, nullptr);
    ASSERT_NE(renderer, nullptr);
    EXPECT_EQ(view->superview(), f.container);
    EXPECT_EQ(renderer->name, "Main");
    EXPECT_EQ(renderer->vertex, "audioWaveformVertexShader");
    EXPECT_EQ(renderer->fragment, "audioWaveformFragmentShader");
    EXPECT_EQ(view->delegate.lock(), renderer);
    EXPECT_TRUE(view->autoResizeDrawable);
    EXPECT_TRUE(view->enableSetNeedsDisplay);
    EXPECT_EQ(view->pixelFormat, tessaray::ShaderPixelFormat::rgba16Float);
    EXPECT_EQ(view->colorspace, tessaray::ShaderColorspace::extendedLinearSRGB);
    EXPECT_EQ(view->framesPerSecond, 60);
    EXPECT_FALSE(view->paused) << "appearing starts the animation";
    EXPECT_TRUE(view->scaleDelegate) << "the controller answers for the layer's scale";

    // The drawing view fills its container once laid out.
    f.container->layoutSubtreeIfNeeded();
    EXPECT_EQ(view->frame(), f.container->bounds());

    // A second appearance without a disappearance builds nothing new.
    f.controller->viewWillAppear();
    EXPECT_EQ(f.controller->metalKitView(), view);
    EXPECT_EQ(f.controller->renderer(), renderer);

    f.hide();
    EXPECT_EQ(f.controller->metalKitView(), nullptr);
    EXPECT_EQ(f.controller->renderer(), nullptr);
    EXPECT_EQ(view->superview(), nullptr);
    EXPECT_TRUE(view->paused);
    EXPECT_EQ(view->delegate.lock(), nullptr) << "the view never keeps a released renderer as its delegate";
    EXPECT_FALSE(view->scaleDelegate);

    // The next appearance starts afresh with a new renderer.
    f.show();
    ASSERT_NE(f.controller->renderer(), nullptr);
    EXPECT_NE(f.controller->renderer()->serial, renderer->serial);
    EXPECT_NE(f.controller->metalKitView(), view);
}

TEST(ShaderViewController, KeyChangesOfItsOwnWindowPauseAndResumeOthersDoNothing) {
    Fixture f;
    f.show();
    auto view = f.controller->metalKitView();
    auto renderer = f.controller->renderer();

    auto other = ui::Window::make(Rect(0, 0, 100, 100));
    f.postKey(tessaray::windowDidResignKeyNotification, other.get());
    f.postKey(tessaray::windowDidResignKeyNotification, nullptr);
    int notAWindow = 0;
    f.postKey(tessaray::windowDidResignKeyNotification, &notAWindow);
    EXPECT_EQ(renderer->events, "");
    EXPECT_FALSE(view->paused);

    f.postKey(tessaray::windowDidResignKeyNotification, f.window.get());
    EXPECT_EQ(renderer->events, "P");
    EXPECT_TRUE(view->paused);
    f.postKey(tessaray::windowDidBecomeKeyNotification, other.get());
    EXPECT_TRUE(view->paused);
    f.postKey(tessaray::windowDidBecomeKeyNotification, f.window.get());
    EXPECT_EQ(renderer->events, "PR");
    EXPECT_FALSE(view->paused);

    // Appearing again registers nothing twice: one notification, one call.
    f.hide();
    f.show();
    renderer = f.controller->renderer();
    f.postKey(tessaray::windowDidResignKeyNotification, f.window.get());
    EXPECT_EQ(renderer->events, "P");

    // While not shown, key changes find neither view nor renderer.
    f.hide();
    f.postKey(tessaray::windowDidBecomeKeyNotification, f.window.get());
    EXPECT_EQ(f.controller->renderer(), nullptr);
    other->close();
}

TEST(ShaderViewController, AppearanceIgnoresKeyStatusAndTheWindowPostsItsOwnChanges) {
    Fixture f;
    f.window->resignKey();
    f.show();
    auto view = f.controller->metalKitView();
    EXPECT_FALSE(view->paused) << "a view shown in a window that is not key animates";
    // The first resign pauses it; focus coming back resumes it.
    f.backend->focusIn();
    EXPECT_FALSE(view->paused);
    f.backend->focusOut();
    EXPECT_TRUE(view->paused);
    f.backend->focusIn();
    EXPECT_FALSE(view->paused);
    EXPECT_EQ(f.controller->renderer()->events, "RPR");
}

TEST(ShaderViewController, WithoutADeviceTheViewIsConfiguredButHasNoRenderer) {
    Fixture f;
    FakeDrawingView::deviceAvailable = false;
    f.show();
    auto view = f.controller->metalKitView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(f.controller->renderer(), nullptr);
    EXPECT_EQ(view->delegate.lock(), nullptr);
    EXPECT_EQ(view->superview(), f.container);
    EXPECT_EQ(view->pixelFormat, tessaray::ShaderPixelFormat::rgba16Float);
    // Key changes and redisplay requests are harmless without a renderer.
    f.postKey(tessaray::windowDidResignKeyNotification, f.window.get());
    f.postKey(tessaray::windowDidBecomeKeyNotification, f.window.get());
    f.controller->setNeedsDisplay();
    EXPECT_EQ(view->redisplays, 1);
}

TEST(ShaderViewController, ContentsScaleComesFromTheWindowOrIsOneWithoutOne) {
    {
        Fixture f(2.0);
        f.show();
        EXPECT_EQ(f.controller->metalKitView()->contentsScale, 2.0);
    }
    {
        // A container outside any window, made to appear by hand.
        auto container = std::make_shared<tessaray::ShaderContainerView>(Rect(0, 0, 300, 300));
        Controller controller(container, "Main", "v", "f");
        controller.viewWillAppear();
        controller.viewDidAppear();
        ASSERT_NE(controller.metalKitView(), nullptr);
        EXPECT_EQ(controller.metalKitView()->contentsScale, 1.0);
    }
}

TEST(ShaderViewController, ADestroyedControllerHearsNoMoreNotificationsAndLeavesNoDelegate) {
    Fixture f;
    f.show();
    auto view = f.controller->metalKitView();
    f.container->setController(nullptr);
    f.controller.reset(); // the last owner
    EXPECT_EQ(view->delegate.lock(), nullptr);
    // Under the address sanitizer a handler still registered would touch freed memory here.
    f.postKey(tessaray::windowDidResignKeyNotification, f.window.get());
    f.postKey(tessaray::windowDidBecomeKeyNotification, f.window.get());
}

TEST(ShaderViewController, SupporterStatesGivenEarlyAreHandedToEveryNewRenderer) {
    Fixture<SupporterController> f;
    f.controller->setSwitchOnStateToSetOnAppear(std::array<float, 6>{1, 0, 1, 0, 0, 1});
    f.show();
    ASSERT_NE(f.controller->renderer(), nullptr);
    EXPECT_EQ(f.controller->renderer()->name, "Supporter");
    EXPECT_EQ(f.controller->renderer()->switchOnState, (std::array<float, 6>{1, 0, 1, 0, 0, 1}));
    f.hide();
    f.show();
    EXPECT_EQ(f.controller->renderer()->switchOnState, (std::array<float, 6>{1, 0, 1, 0, 0, 1}));
}

TEST(ShaderViewController, SupporterButtonStatesApplyAtOnceWithARendererAndAreKeptWithoutOne) {
    Fixture<SupporterController> f;
    f.controller->setInitialButtonStates(true, false, true, false, false, true);
    EXPECT_EQ(f.controller->switchOnStateToSetOnAppear(), (std::array<float, 6>{1, 0, 1, 0, 0, 1}));
    f.show();
    ASSERT_NE(f.controller->renderer(), nullptr);
    EXPECT_EQ(f.controller->renderer()->switchOnState, (std::array<float, 6>{1, 0, 1, 0, 0, 1}));

    // With a renderer the states go to it at once; what was kept stays for later renderers.
    f.controller->setInitialButtonStates(false, true, false, false, true, false);
    EXPECT_EQ(f.controller->renderer()->switchOnState, (std::array<float, 6>{0, 1, 0, 0, 1, 0}));
    EXPECT_EQ(f.controller->switchOnStateToSetOnAppear(), (std::array<float, 6>{1, 0, 1, 0, 0, 1}));

    // A controller given nothing hands nothing to its renderer.
    Fixture<SupporterController> plain;
    plain.show();
    ASSERT_NE(plain.controller->renderer(), nullptr);
    EXPECT_EQ(plain.controller->renderer()->events, "");
    EXPECT_FALSE(plain.controller->switchOnStateToSetOnAppear().has_value());
}

TEST(ShaderViewController, SupporterSwitchOperationsReachTheRendererAndDoNothingWithoutOne) {
    Fixture<SupporterController> f;
    f.controller->switchOn(1);
    f.controller->switchDown(1);
    f.controller->switchUp(1);
    f.controller->switchOff(1);
    f.show();
    ASSERT_NE(f.controller->renderer(), nullptr);
    EXPECT_EQ(f.controller->renderer()->events, "") << "nothing was kept from before the renderer";
    f.controller->switchOn(2);
    f.controller->switchDown(3);
    f.controller->switchUp(3);
    f.controller->switchOff(2);
    EXPECT_EQ(f.controller->renderer()->events, "on2down3up3off2");
    f.hide();
    f.controller->switchOn(4); // no renderer again
}

TEST(ShaderViewController, SupporterScaleComesFromTheScreenAndFollowsTheWindow) {
    Fixture<SupporterController> f(2.0);
    f.show();
    ASSERT_NE(f.controller->renderer(), nullptr);
    EXPECT_EQ(f.controller->renderer()->scale, 2.0f);

    // The window moves to a screen of scale 1: the layer takes the new scale, and so does the renderer.
    auto view = f.controller->metalKitView();
    f.backend = display::HeadlessBackend::attach(f.window, 1.0);
    view->drawFrame();
    EXPECT_EQ(view->contentsScale, 1.0);
    EXPECT_EQ(f.controller->renderer()->scale, 1.0f);

    // The scale is the screen's, not the window's.
    f.hide();
    f.backend->setScreen(std::make_shared<ui::Screen>(Rect(0, 0, 960, 540), Rect(0, 0, 960, 540), 3.0));
    f.show();
    EXPECT_EQ(f.controller->renderer()->scale, 3.0f);

    // A container outside any window gives 1, and follows the window it joins.
    auto container = std::make_shared<tessaray::ShaderContainerView>(Rect(0, 0, 300, 300));
    auto controller = std::make_shared<SupporterController>(container, "Supporter");
    container->setController(controller);
    controller->viewWillAppear();
    ASSERT_NE(controller->renderer(), nullptr);
    EXPECT_EQ(controller->renderer()->scale, 1.0f);
    auto hidpi = ui::Window::make(Rect(0, 0, 300, 300));
    display::HeadlessBackend::attach(hidpi, 2.0);
    hidpi->contentView()->addSubview(container);
    EXPECT_EQ(controller->metalKitView()->contentsScale, 2.0);
    EXPECT_EQ(controller->renderer()->scale, 2.0f);
    hidpi->close();
}

TEST(Pin, PinsToAllFourEdgesWithInsetsAndDoesNothingWithoutASuperview) {
    auto superview = std::make_shared<ui::View>(Rect(0, 0, 200, 100));
    auto view = std::make_shared<ui::View>(Rect(0, 0, 10, 10));
    tessaray::pin(view, nullptr, {1, 2, 3, 4});
    EXPECT_TRUE(view->translatesAutoresizingMaskIntoConstraints());
    EXPECT_TRUE(superview->constraints().empty());

    superview->addSubview(view);
    tessaray::pin(view, superview, {1, 2, 3, 4}); // top, left, bottom, right
    EXPECT_FALSE(view->translatesAutoresizingMaskIntoConstraints());
    const auto& constraints = superview->constraints();
    ASSERT_EQ(constraints.size(), 4u);
    using A = ui::LayoutAttribute;
    const std::pair<A, double> expected[] = {
        {A::leading, 2}, {A::trailing, -4}, {A::bottom, -3}, {A::top, 1}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(constraints[i]->firstAttribute(), expected[i].first) << i;
        EXPECT_EQ(constraints[i]->secondAttribute(), expected[i].first) << i;
        EXPECT_EQ(constraints[i]->constant(), expected[i].second) << i;
    }
    superview->layoutSubtreeIfNeeded();
    EXPECT_EQ(view->frame(), Rect(2, 3, 194, 96)) << "y up: the bottom inset lifts the view";
}

} // namespace
