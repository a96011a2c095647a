// The application value's start order, its delegate, the menu model and the headless application:
// the menu on right-click and F10, Ctrl+Q and closing the window end it.

#include "app/App.hpp"
#include "app/AppHost.hpp"
#include "app/Resources.hpp"
#include "core/Bundle.hpp"
#include "core/MainQueue.hpp"
#include "display/HeadlessBackend.hpp"
#include "ui/Application.hpp"
#include "ui/Menu.hpp"
#include "ui/MenuTracking.hpp"
#include "ui/Window.hpp"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using tessaray::CommandGroupPlacement;

// A controller that records what the application asks of it, in one log shared with the test.
struct RecordingController final : tessaray::UpdaterController {
    RecordingController(std::vector<std::string>& log, bool starting, tessaray::UpdaterDelegate* delegate,
                        tessaray::UserDriverDelegate* driver)
        : log(log), delegate(delegate) {
        log.push_back(std::string("made ") + (starting ? "starting" : "stopped") +
                      (driver ? " with driver" : " without driver"));
    }
    void startUpdater() override { log.push_back("start"); }
    void checkForUpdates(const void* sender) override {
        log.push_back(sender ? "check from sender" : "check");
    }
    std::vector<std::string>& log;
    tessaray::UpdaterDelegate* delegate;
};

tessaray::UpdaterControllerFactory recording(std::vector<std::string>& log,
                                             std::shared_ptr<RecordingController>* made = nullptr) {
    return [&log, made](bool starting, tessaray::UpdaterDelegate* delegate,
                        tessaray::UserDriverDelegate* driver) {
        auto controller = std::make_shared<RecordingController>(log, starting, delegate, driver);
        if (made) {
            *made = controller;
        }
        return controller;
    };
}

std::shared_ptr<core::Bundle> appBundle() {
    static const auto bundle = [] {
        auto found = core::Bundle::atPath(TESSARAY_APP_BUNDLE_DIR);
        tessaray::addBundleSearchPaths(*found);
        return found;
    }();
    return bundle;
}

// Runs a menu command by title.
bool choose(const std::shared_ptr<ui::Menu>& menu, const std::string& title) {
    return menu->performActionForItemAt(menu->indexOfItemWithTitle(title));
}

TEST(TessarayApp, StartsItsUpdaterBeforeAnythingIsShownAndSharesOneHelper) {
    std::vector<std::string> log;
    std::shared_ptr<RecordingController> controller;
    tessaray::TessarayApp app(recording(log, &controller));
    EXPECT_EQ(log, (std::vector<std::string>{"made stopped without driver", "start"}));
    ASSERT_NE(app.sparkleHelper(), nullptr);
    EXPECT_EQ(controller->delegate, app.sparkleHelper().get());
    EXPECT_EQ(app.sparkleHelper()->updaterController, controller);
    EXPECT_EQ(app.appDelegate()->sparkleHelper, app.sparkleHelper());

    // The feed is one constant, whoever asks.
    const auto feed = app.sparkleHelper()->feedURLStringForUpdater(nullptr);
    EXPECT_EQ(feed, std::string("https://tessaray.app/tessaray/tessaray.xml"));
    EXPECT_EQ(app.sparkleHelper()->feedURLStringForUpdater(reinterpret_cast<const tessaray::Updater*>(&log)),
              feed);
    EXPECT_EQ(core::URL::parse(*feed)->scheme(), std::string("https"));
}

TEST(TessarayApp, TheSceneIsOneFixedDarkWindowWithTheAboutAndUpdateCommands) {
    std::vector<std::string> log;
    tessaray::TessarayApp app(recording(log));
    int abouts = 0;
    const auto scene = app.body([&abouts] { ++abouts; });
    EXPECT_EQ(scene.title, "Tessaray");
    EXPECT_EQ(scene.identifier, "main");
    EXPECT_EQ(scene.contentSize, graphics::Size(400, 572));
    EXPECT_EQ(scene.buttonWidth, 180);
    EXPECT_TRUE(scene.hiddenTitleBar);
    EXPECT_FALSE(scene.resizable);
    EXPECT_TRUE(scene.prefersDarkColorScheme);
    ASSERT_EQ(scene.commands.size(), 1u);
    const auto& group = scene.commands.front();
    EXPECT_EQ(group.placement, CommandGroupPlacement::appInfo);
    ASSERT_EQ(group.items.size(), 3u);
    EXPECT_EQ(group.items[0].title, "About");
    EXPECT_TRUE(group.items[1].isDivider);
    EXPECT_EQ(group.items[2].title, "Check for Updates\u2026");

    log.clear();
    group.items[0].action();
    EXPECT_EQ(abouts, 1);
    group.items[2].action();
    EXPECT_EQ(log, (std::vector<std::string>{"check"})) << "one user-initiated check, without a sender";

    // Without a controller the command does nothing.
    app.sparkleHelper()->updaterController = nullptr;
    group.items[2].action();
    EXPECT_EQ(log.size(), 1u);
}

TEST(AppDelegate, TurnsTheApplicationAndItsViewsDarkOnlyForAnApplicationsLaunchNotification) {
    const auto application = ui::Application::shared();
    application->setAppearanceName("");
    auto window = ui::Window::make(graphics::Rect(0, 0, 100, 100));
    auto view = std::make_shared<ui::View>(graphics::Rect(0, 0, 10, 10));
    window->contentView()->addSubview(view);

    tessaray::AppDelegate delegate;
    int notAnApplication = 0;
    delegate.applicationDidFinishLaunching({"launched", &notAnApplication, {}});
    delegate.applicationDidFinishLaunching({"launched", nullptr, {}});
    EXPECT_EQ(application->effectiveAppearanceName(), ui::appearanceNameAqua);
    EXPECT_EQ(view->effectiveAppearanceName(), ui::appearanceNameAqua);
    delegate.applicationDidFinishLaunching({"launched", application.get(), {}});
    EXPECT_EQ(application->appearanceName(), tessaray::darkAquaAppearance);
    EXPECT_EQ(view->effectiveAppearanceName(), tessaray::darkAquaAppearance);
    application->setAppearanceName("");
    window->close();
}

TEST(AppDelegate, OnlyTheExactUpdateURLChecksEachTimeItArrives) {
    std::vector<std::string> log;
    tessaray::TessarayApp app(recording(log));
    log.clear();
    auto url = [](const char* text) { return *core::URL::parse(text); };
    app.appDelegate()->applicationOpenURLs({url("tessaray://openAndUpdate"), url("https://tessaray.app/"),
                                            url("tessaray://openAndUpdate/x?y#z"), url("tessaray://other"),
                                            url("tessaray:openAndUpdate"), url("TESSARAY://openAndUpdate"),
                                            url("tessaray://OpenAndUpdate"), url("tessaray:///x")});
    EXPECT_EQ(log, (std::vector<std::string>{"check", "check"}));
    app.appDelegate()->applicationOpenURLs({});
    app.sparkleHelper()->updaterController = nullptr;
    app.appDelegate()->handleURL(url("tessaray://openAndUpdate"));
    app.appDelegate()->sparkleHelper = nullptr;
    app.appDelegate()->handleURL(url("tessaray://openAndUpdate"));
    EXPECT_EQ(log.size(), 2u);
}

TEST(ApplicationMenu, HasAboutAndUpdatesInPlaceOfTheStandardAboutAndQuitsWithControlQ) {
    std::vector<std::string> log;
    tessaray::TessarayApp app(recording(log));
    const auto scene = app.body([] {});
    const auto groups =
        tessaray::applyCommandGroups(tessaray::standardCommandGroups([] {}, [] {}), scene.commands);
    const auto menu = tessaray::makeMenu(groups);
    std::vector<std::string> titles;
    for (const auto& item : menu->items()) {
        titles.push_back(item->isSeparatorItem() ? "-" : item->title());
    }
    EXPECT_EQ(titles,
              (std::vector<std::string>{"About", "-", "Check for Updates\u2026", "-", "Quit Tessaray"}));
    const auto quit = menu->itemWithTitle("Quit Tessaray");
    EXPECT_EQ(quit->keyEquivalent(), "q");
    EXPECT_EQ(quit->keyEquivalentModifierMask(), ui::Modifier::control);
}

// The application in headless windows, as the program runs it on X11.
struct HeadlessApp {
    HeadlessApp()
        : app(recording(log)), bundle(appBundle()), host(app, [this] {
              tessaray::AppHostOptions options;
              options.bundle = bundle;
              options.stopRunLoop = [this] { ++stops; };
              return options;
          }()) {
        host.launch();
        core::MainQueue::shared().drain();
    }
    ~HeadlessApp() {
        if (auto tracking = ui::Application::shared()->menuTracking()) {
            tracking->cancel();
        }
        core::MainQueue::shared().drain();
        ui::Application::shared()->setAppearanceName(""); // later tests start from the system's
    }
    std::vector<std::string> log;
    tessaray::TessarayApp app;
    std::shared_ptr<core::Bundle> bundle;
    int stops = 0;
    tessaray::AppHost host;
};

TEST(HeadlessApplication, LaunchesDarkShowsTheWindowAndHandlesLaunchURLsAfterwards) {
    HeadlessApp h;
    ASSERT_NE(h.host.window(), nullptr);
    EXPECT_EQ(h.host.window()->frame().size, graphics::Size(400, 572));
    EXPECT_EQ(h.host.window()->title(), "Tessaray");
    EXPECT_TRUE(h.host.window()->isVisible());
    EXPECT_TRUE(h.host.window()->isKeyWindow());
    EXPECT_EQ(h.host.window()->contentView()->effectiveAppearanceName(), tessaray::darkAquaAppearance)
        << "the window's views draw dark";

    std::vector<std::string> log;
    tessaray::TessarayApp second(recording(log));
    tessaray::AppHostOptions options;
    options.bundle = h.bundle;
    tessaray::AppHost host(second, options);
    log.clear();
    host.launch({*core::URL::parse("tessaray://openAndUpdate")});
    EXPECT_EQ(log, (std::vector<std::string>{"check"}));
}

TEST(HeadlessApplication, RightClickAndF10OpenTheMenuAndItsCommandsRun) {
    HeadlessApp h;
    auto backend = h.host.headlessBackend();
    ASSERT_NE(backend, nullptr);
    backend->rightMouseDown({200, 100});
    auto tracking = ui::Application::shared()->menuTracking();
    ASSERT_NE(tracking, nullptr) << "a right-click anywhere opens the application menu";
    EXPECT_EQ(tracking->menu(), h.host.appMenu());
    tracking->cancel();
    backend->rightMouseUp({200, 100});
    core::MainQueue::shared().drain();

    backend->typeKey(ui::utf8(ui::SpecialKey::f1 + 9));
    tracking = ui::Application::shared()->menuTracking();
    ASSERT_NE(tracking, nullptr) << "F10 opens it too";
    tracking->cancel();
    core::MainQueue::shared().drain();

    h.log.clear();
    EXPECT_TRUE(choose(h.host.appMenu(), "Check for Updates\u2026"));
    EXPECT_EQ(h.log, (std::vector<std::string>{"check"}));
    EXPECT_TRUE(choose(h.host.appMenu(), "About"));
    ASSERT_NE(h.host.aboutPanel(), nullptr);
    EXPECT_TRUE(h.host.aboutPanel()->isVisible());
    const auto panel = h.host.aboutPanel();
    auto panelBackend = std::dynamic_pointer_cast<display::HeadlessBackend>(panel->backend());
    ASSERT_NE(panelBackend, nullptr);
    std::filesystem::create_directories(TESSARAY_APP_TEST_OUTPUT_DIR);
    EXPECT_TRUE(
        panelBackend->writePNG(std::filesystem::path(TESSARAY_APP_TEST_OUTPUT_DIR) / "about-panel.png"));
    EXPECT_TRUE(choose(h.host.appMenu(), "About"));
    EXPECT_EQ(h.host.aboutPanel(), panel) << "shown again, the same panel comes forward";
    EXPECT_EQ(h.stops, 0);
}

TEST(HeadlessApplication, ControlQAndClosingTheWindowEndTheApplication) {
    {
        HeadlessApp h;
        h.host.headlessBackend()->typeKey("q", ui::Modifier::control);
        EXPECT_TRUE(h.host.isTerminating());
        EXPECT_TRUE(h.host.window()->isClosed());
        EXPECT_EQ(h.stops, 1);
    }
    {
        HeadlessApp h;
        h.host.headlessBackend()->typeKey("q");
        EXPECT_FALSE(h.host.isTerminating()) << "a plain q is just a key";
        h.host.headlessBackend()->requestClose();
        EXPECT_TRUE(h.host.isTerminating());
        EXPECT_EQ(h.stops, 1);
    }
}

} // namespace
