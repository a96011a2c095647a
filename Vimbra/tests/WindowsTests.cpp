// Window placement and shaking, window controllers and their state, sheet windows, views and view
// controllers made in code, and the truncation-mode mapping.

#include "Vimbra/Windows.hpp"
#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "declarative/Content.hpp"
#include "display/HeadlessBackend.hpp"
#include "ui/Animation.hpp"
#include "ui/Application.hpp"
#include "ui/Screen.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace vimbra;
using graphics::Point;
using graphics::Rect;
using graphics::Size;
namespace WS = ui::WindowStyle;

namespace {

struct Scope {
    ~Scope() {
        for (auto& w : ui::Application::shared()->windows()) {
            w->close();
        }
        ui::Application::shared()->setKeyWindow(nullptr);
        core::MainQueue::shared().drain();
    }
};

// A window on the headless back end's fixed screen (visible frame 0, 0, 1920, 1048).
std::shared_ptr<ui::Window> onScreen(const Rect& content, ui::WindowStyleMask mask = WS::borderless) {
    auto window = ui::Window::make(content, mask);
    display::HeadlessBackend::attach(window);
    return window;
}

class SetupView : public XiblessView {
public:
    void setup() override { ++setups; }
    int setups = 0;
};

// Keeps what the root view finds in its environment.
struct StateProbe {
    std::shared_ptr<std::shared_ptr<WindowState>> seen;
    declarative::View body(declarative::Context& context) const {
        *seen = context.environmentObject<WindowState>();
        return declarative::Text("Sheet").frame(240, 120);
    }
};

} // namespace

TEST(WindowPlacement, UsesTheVisibleFrameAndDoesNothingWithoutAScreen) {
    Scope scope;
    auto lonely = ui::Window::make(Rect(7, 8, 400, 300));
    centerInVisibleFrame(*lonely);
    placeAtTopOfVisibleFrame(*lonely, 20);
    EXPECT_EQ(lonely->frame(), Rect(7, 8, 400, 300));

    auto window = onScreen(Rect(7, 8, 400, 300), WS::titled);
    centerInVisibleFrame(*window);
    EXPECT_EQ(window->frame().origin, Point(960 - 200, 524 - (300 + 28) / 2.0));
    placeAtTopOfVisibleFrame(*window, 20);
    EXPECT_EQ(window->frame().origin, Point(760, 1048 - 328 - 20));
}

TEST(WindowPlacement, CentresOverAndAboveAViewsBoundsOnScreen) {
    Scope scope;
    auto host = onScreen(Rect(100, 200, 400, 300));
    auto box = std::make_shared<ui::View>(Rect(50, 40, 200, 100));
    auto inner = std::make_shared<ui::View>(Rect(10, 20, 101, 51));
    host->contentView()->addSubview(box);
    box->addSubview(inner);
    // inner's bounds on screen: (100 + 50 + 10, 200 + 40 + 20, 101, 51) = (160, 260, 101, 51).
    auto popup = ui::Window::make(Rect(0, 0, 40, 20));
    center(*popup, *inner, false);
    EXPECT_EQ(popup->frame(), Rect(191, 276, 40, 20)); // offsets rounded half away from zero
    placeAbove(*popup, *inner, true);
    EXPECT_EQ(popup->frame(), Rect(191, 311, 40, 20));

    // A view outside any window leaves the window alone.
    auto loose = std::make_shared<ui::View>(Rect(0, 0, 10, 10));
    center(*popup, *loose, false);
    placeAbove(*popup, *loose, false);
    EXPECT_EQ(popup->frame(), Rect(191, 311, 40, 20));
}

TEST(WindowMetrics, TitlebarHeightOfTheThreeKindsOfWindow) {
    Scope scope;
    EXPECT_EQ(titlebarHeight(*ui::Window::make(Rect(0, 0, 300, 200), WS::titled | WS::closable)), 28);
    EXPECT_EQ(titlebarHeight(*ui::Window::make(Rect(0, 0, 300, 200), WS::titled | WS::fullSizeContentView)),
              28);
    EXPECT_EQ(titlebarHeight(*ui::Window::make(Rect(0, 0, 300, 200))), 0);
    EXPECT_EQ(titlebarHeight(*SheetWindow::make({300, 200})), 0);
}

TEST(WindowShake, ThreeShakesOfThreePercentInFourTenthsOfASecond) {
    Scope scope;
    auto clock = std::make_shared<core::ManualClock>();
    core::MainQueue queue;
    core::RunLoop loop(queue, clock);
    auto window = ui::Window::make(Rect(100, 50, 400, 300));
    window->setAnimationRunLoop(&loop);
    shake(window);

    ASSERT_EQ(window->animations().size(), 1u);
    auto animation = std::dynamic_pointer_cast<ui::KeyframeAnimation>(window->animations().at("frameOrigin"));
    ASSERT_NE(animation, nullptr);
    EXPECT_DOUBLE_EQ(animation->duration(), 0.4);
    const std::vector<Point> expected = {{100, 50}, {88, 50}, {112, 50}, {88, 50},
                                         {112, 50}, {88, 50}, {112, 50}, {100, 50}};
    EXPECT_EQ(animation->keyframes(), expected);

    // Played by the run loop: left and right within ±12 points, three times each, y never moves.
    std::vector<double> xs;
    for (int frame = 1; frame <= 30; ++frame) {
        clock->advance(std::chrono::milliseconds(16));
        loop.fireDueTimers();
        xs.push_back(window->frame().origin.x);
        EXPECT_EQ(window->frame().origin.y, 50);
    }
    EXPECT_NEAR(*std::min_element(xs.begin(), xs.end()), 88, 2);
    EXPECT_NEAR(*std::max_element(xs.begin(), xs.end()), 112, 2);
    int turns = 0;
    for (std::size_t i = 2; i < xs.size(); ++i) {
        turns += (xs[i - 1] - xs[i - 2]) * (xs[i] - xs[i - 1]) < 0;
    }
    EXPECT_EQ(turns, 6);                               // three lefts and three rights
    EXPECT_EQ(window->frame().origin, Point(100, 50)); // 0.48 s later: done, where it started
    EXPECT_FALSE(loop.nextTimerDeadline().has_value());
}

TEST(WindowStateTest, NotifiesOnlyWhenTheWindowChangesAndLetsItGo) {
    Scope scope;
    WindowState state;
    int changes = 0;
    auto token = state.observeParentWindow([&] { ++changes; });
    auto window = ui::Window::make(Rect(0, 0, 10, 10));
    state.setParentWindow(nullptr);
    EXPECT_EQ(changes, 0);
    state.setParentWindow(window);
    state.setParentWindow(window);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(state.parentWindow(), window);
    window->close();
    window.reset();
    EXPECT_EQ(state.parentWindow(), nullptr); // held weakly
    state.setParentWindow(nullptr);           // nil equals the window that is gone
    EXPECT_EQ(changes, 1);
}

TEST(WindowControllerFactory, BuildsInOrderAndShowsCentred) {
    Scope scope;
    char dir[] = "/tmp/tessaray-vimbra-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    setenv("XDG_CONFIG_HOME", dir, 1);

    auto seen = std::make_shared<std::shared_ptr<WindowState>>();
    std::shared_ptr<ui::Window> configured;
    bool stateWasEmpty = false;
    auto controller = WindowController::make(StateProbe{seen}, std::string("Probe"),
                                             declarative::HostingSizingOption::preferredContentSize,
                                             [&](const std::shared_ptr<ui::Window>& w) {
                                                 configured = w;
                                                 stateWasEmpty = *seen && !(*seen)->parentWindow();
                                             });
    auto window = controller->window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(configured, window);
    EXPECT_TRUE(stateWasEmpty);                 // configure runs before the state knows the window
    EXPECT_EQ((*seen)->parentWindow(), window); // ...and afterwards it does
    EXPECT_EQ(controller->windowFrameAutosaveName(), "Probe");
    EXPECT_EQ(window->contentAreaRect().size, Size(240, 120));
    EXPECT_EQ(window->styleMask(), WS::titled | WS::closable | WS::miniaturizable | WS::resizable);
    EXPECT_TRUE(window->preventsApplicationTerminationWhenModal());
    EXPECT_TRUE(ui::WindowController::savedFrame("Probe").has_value());

    // show(): shown and key at once, centred on a later main-queue turn.
    display::HeadlessBackend::attach(window);
    window->setFrameOrigin({0, 0});
    controller->show(nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(window->frame().origin, Point(0, 0));
    core::MainQueue::shared().drain();
    EXPECT_EQ(window->frame().origin, Point(960 - 120, 524 - 74));

    auto sheet = WindowController::makeSheet(StateProbe{seen});
    EXPECT_NE(std::dynamic_pointer_cast<SheetWindow>(sheet->window()), nullptr);
    EXPECT_FALSE(sheet->window()->preventsApplicationTerminationWhenModal());
    EXPECT_EQ(sheet->windowFrameAutosaveName(), "");

    // The state lives on with the window's view and lets the window go with it.
    std::weak_ptr<ui::Window> gone = sheet->window();
    sheet->close();
    sheet.reset();
    EXPECT_TRUE(gone.expired());
    unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(dir);
}

TEST(SheetWindowTest, EscapeEndsAnAttachedSheetAndNothingElse) {
    Scope scope;
    ui::Application::shared()->setAppearanceName("NSAppearanceNameDarkAqua");
    auto sheet = SheetWindow::make({320, 180});
    ui::Application::shared()->setAppearanceName("");
    EXPECT_EQ(sheet->styleMask(), 0x8008u);
    EXPECT_EQ(sheet->frame(), Rect(0, 0, 320, 180));
    EXPECT_FALSE(sheet->preventsApplicationTerminationWhenModal());
    EXPECT_EQ(sheet->appearanceName(), "NSAppearanceNameDarkAqua");
    EXPECT_TRUE(sheet->canBecomeKeyWindow());

    const auto escape =
        ui::Event::keyEvent(ui::EventType::keyDown, ui::utf8(ui::SpecialKey::escape), {}, 0, 0, 0, sheet);
    sheet->makeKeyAndOrderFront();
    ui::Application::shared()->sendEvent(escape); // free-standing: nothing happens
    EXPECT_TRUE(sheet->isVisible());

    auto parent = ui::Window::make(Rect(0, 0, 600, 400), WS::titled);
    parent->makeKeyAndOrderFront();
    std::vector<ui::ModalResponse> ended;
    parent->beginSheet(sheet, [&](ui::ModalResponse r) { ended.push_back(r); });
    ui::Application::shared()->sendEvent(escape);
    EXPECT_EQ(ended, (std::vector<ui::ModalResponse>{ui::ModalResponseCode::stop}));
    EXPECT_FALSE(sheet->isSheet());
    EXPECT_TRUE(parent->isKeyWindow());
}

TEST(XiblessViews, ViewsAndControllersMadeInCode) {
    auto view = XiblessView::make<SetupView>();
    EXPECT_EQ(view->setups, 1);
    EXPECT_EQ(view->frame(), Rect::zero());
    EXPECT_FALSE(view->translatesAutoresizingMaskIntoConstraints());
    auto plain = std::make_shared<ui::View>();
    EXPECT_TRUE(plain->translatesAutoresizingMaskIntoConstraints());

    auto laidOut = XiblessView::make<SetupView>();
    laidOut->setTranslatesAutoresizingMaskIntoConstraints(true);
    EXPECT_EQ(laidOut->withAutoLayout<SetupView>(), laidOut);
    EXPECT_FALSE(laidOut->translatesAutoresizingMaskIntoConstraints());

    XiblessVC<SetupView> controller;
    EXPECT_FALSE(controller.isViewLoaded());
    auto root = controller.customView();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->setups, 1);
    EXPECT_EQ(controller.customView(), root);
}

TEST(TruncationModes, MapToLineBreakModes) {
    EXPECT_EQ(static_cast<int>(lineBreakMode(TruncationMode::head)), 3);
    EXPECT_EQ(static_cast<int>(lineBreakMode(TruncationMode::tail)), 4);
    EXPECT_EQ(static_cast<int>(lineBreakMode(TruncationMode::middle)), 5);
    EXPECT_DEATH(lineBreakMode(static_cast<TruncationMode>(7)), "Unknown truncation mode");
}
