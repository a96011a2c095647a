// View controllers, window geometry, sheets, key notifications, frame animations, modal sessions and
// frame autosaving.

#include "Helpers.hpp"
#include "core/FileManager.hpp"
#include "core/MainQueue.hpp"
#include "core/NotificationCenter.hpp"
#include "core/RunLoop.hpp"
#include "ui/Animation.hpp"
#include "ui/ViewController.hpp"
#include "ui/WindowController.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using graphics::Point;
using graphics::Rect;
using graphics::Size;
using ui::EventType;
using uitest::key;
using uitest::mouse;
using uitest::ProbeView;
namespace WS = ui::WindowStyle;

namespace {

std::string escape() {
    return ui::utf8(ui::SpecialKey::escape);
}

class LoggingController : public ui::ViewController {
public:
    void loadView() override {
        ++loads;
        if (installs) {
            setView(std::make_shared<ui::View>(Rect(0, 0, 120, 80)));
        }
    }
    void viewDidLoad() override { log.push_back("didLoad"); }
    void viewWillAppear() override { log.push_back("willAppear"); }
    void viewDidAppear() override { log.push_back("didAppear"); }
    void viewWillDisappear() override { log.push_back("willDisappear"); }
    void viewDidDisappear() override { log.push_back("didDisappear"); }
    bool installs = true;
    int loads = 0;
    std::vector<std::string> log;
};

} // namespace

TEST(WindowGeometry, TitleBarsSitAboveTheContentUnlessTheContentIsFullSize) {
    uitest::WindowScope scope;
    const Rect content(100, 200, 300, 150);
    auto borderless = ui::Window::make(content);
    EXPECT_EQ(borderless->frame(), content);
    EXPECT_EQ(borderless->contentLayoutRect(), Rect(0, 0, 300, 150));

    auto titled = ui::Window::make(content, WS::titled | WS::closable);
    EXPECT_EQ(titled->frame(), Rect(100, 200, 300, 150 + ui::Window::standardTitlebarHeight));
    EXPECT_EQ(titled->contentRectForFrameRect(titled->frame()), content);
    EXPECT_EQ(titled->contentView()->frame().size, content.size);
    // Moving and resizing through the frame keep the two in step.
    titled->setFrame(Rect(10, 20, 200, 128));
    EXPECT_EQ(titled->contentAreaRect(), Rect(10, 20, 200, 100));
    titled->setContentSize({50, 60});
    EXPECT_EQ(titled->frame(), Rect(10, 20, 50, 88));

    auto full = ui::Window::make(content, WS::titled | WS::fullSizeContentView);
    EXPECT_EQ(full->frame(), content);
    EXPECT_EQ(full->contentLayoutRect(), Rect(0, 0, 300, 150 - ui::Window::standardTitlebarHeight));

    // Changing the mask keeps the frame.
    const Rect before = titled->frame();
    titled->setStyleMask(WS::borderless);
    EXPECT_EQ(titled->frame(), before);
    EXPECT_EQ(titled->contentAreaRect(), before);
}

TEST(ViewController, LoadsItsViewOnceOnFirstUseAndHearsAppearance) {
    uitest::WindowScope scope;
    auto controller = std::make_shared<LoggingController>();
    EXPECT_FALSE(controller->isViewLoaded());
    auto view = controller->view();
    EXPECT_EQ(controller->view(), view);
    EXPECT_EQ(controller->loads, 1);

    controller->setTitle("Panel");
    auto window = ui::Window::makeWithContentViewController(controller, WS::titled);
    EXPECT_EQ(window->contentAreaRect().size, Size(120, 80));
    EXPECT_EQ(window->contentView(), view);
    EXPECT_EQ(window->title(), "Panel");
    EXPECT_EQ(controller->window(), window);

    window->orderFront();
    window->orderFront(); // already shown: no second appearance
    window->orderOut();
    window->orderFront();
    window->close();
    EXPECT_EQ(controller->log,
              (std::vector<std::string>{"didLoad", "willAppear", "didAppear", "willDisappear", "didDisappear",
                                        "willAppear", "didAppear", "willDisappear", "didDisappear"}));

    // A loadView that installs nothing still leaves a view of the preferred size; a preferred size
    // sizes the window.
    auto empty = std::make_shared<LoggingController>();
    empty->installs = false;
    empty->setPreferredContentSize({400, 572});
    ASSERT_NE(empty->view(), nullptr);
    auto fixed = ui::Window::makeWithContentViewController(empty);
    EXPECT_EQ(fixed->contentAreaRect().size, Size(400, 572));
}

TEST(Sheets, AttachOverTheParentTakeTheKeysAndEndOnEscape) {
    uitest::WindowScope scope;
    auto parent = ui::Window::make(Rect(100, 100, 400, 300), WS::titled);
    auto probe = std::make_shared<ProbeView>(Rect(0, 0, 400, 300));
    parent->contentView()->addSubview(probe);
    parent->makeKeyAndOrderFront();

    auto sheet = ui::Window::make(Rect(0, 0, 200, 100));
    auto second = ui::Window::make(Rect(0, 0, 100, 50));
    std::vector<ui::ModalResponse> ended;
    parent->beginSheet(sheet, [&](ui::ModalResponse r) { ended.push_back(r); });
    parent->beginSheet(second, [&](ui::ModalResponse r) { ended.push_back(r * 10); });

    EXPECT_EQ(parent->attachedSheet(), sheet);
    EXPECT_EQ(sheet->sheetParent(), parent);
    EXPECT_FALSE(second->isSheet()); // waits for the first
    EXPECT_TRUE(sheet->isKeyWindow());
    EXPECT_TRUE(sheet->isVisible());
    // Centred on the parent and hanging from the top of its content.
    EXPECT_EQ(sheet->frame(), Rect(200, 300, 200, 100));

    // The parent takes no presses and no keys; asking it to be key hands the keys to the sheet.
    parent->sendEvent(mouse(EventType::leftMouseDown, 10, 10, parent));
    parent->sendEvent(mouse(EventType::leftMouseUp, 10, 10, parent));
    parent->makeKeyWindow();
    EXPECT_TRUE(probe->log.empty());
    EXPECT_TRUE(sheet->isKeyWindow());

    // Escape reaches the sheet's cancel command, which ends it; the waiting sheet follows.
    ui::Application::shared()->sendEvent(key(escape(), sheet));
    EXPECT_EQ(ended, (std::vector<ui::ModalResponse>{ui::ModalResponseCode::cancel}));
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_FALSE(sheet->isSheet());
    EXPECT_EQ(parent->attachedSheet(), second);
    EXPECT_TRUE(second->isKeyWindow());

    // Closing the parent ends its sheet too.
    parent->close();
    EXPECT_EQ(ended.back(), ui::ModalResponseCode::abort * 10);
    EXPECT_FALSE(second->isSheet());

    // A free-standing window passes Escape on and stays.
    auto free = ui::Window::make(Rect(0, 0, 100, 100));
    free->makeKeyAndOrderFront();
    ui::Application::shared()->sendEvent(key(escape(), free));
    EXPECT_TRUE(free->isVisible());
    EXPECT_EQ(ended.size(), 2u);
}

TEST(KeyWindow, ChangesArePostedAsNotificationsAboutTheWindow) {
    uitest::WindowScope scope;
    auto a = ui::Window::make(Rect(0, 0, 50, 50));
    auto b = ui::Window::make(Rect(0, 0, 50, 50));
    std::vector<std::pair<std::string, const void*>> seen;
    auto& center = core::NotificationCenter::defaultCenter();
    auto record = [&](const core::Notification& n) { seen.emplace_back(n.name, n.object); };
    auto become = center.addObserver(ui::windowDidBecomeKeyNotification, record);
    auto resign = center.addObserver(ui::windowDidResignKeyNotification, record);

    a->makeKeyWindow();
    a->makeKeyWindow(); // no change, no notification
    b->makeKeyWindow();
    b->resignKey();
    const std::string up = ui::windowDidBecomeKeyNotification;
    const std::string down = ui::windowDidResignKeyNotification;
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, const void*>>{
                        {up, a.get()}, {down, a.get()}, {up, b.get()}, {down, b.get()}}));
}

TEST(FrameAnimation, StepsWithTheRunLoopClockAndEndsAtTheTarget) {
    uitest::WindowScope scope;
    auto clock = std::make_shared<core::ManualClock>();
    core::MainQueue queue;
    core::RunLoop loop(queue, clock);
    auto window = ui::Window::make(Rect(0, 0, 100, 100));
    window->setAnimationRunLoop(&loop);

    // Without an animation the change is immediate.
    window->animator().setFrameOrigin({5, 5});
    EXPECT_EQ(window->frame().origin, Point(5, 5));

    graphics::BezierPath path;
    path.moveTo({0, 0});
    path.lineTo({100, 0});
    path.lineTo({100, 50});
    auto animation = std::make_shared<ui::KeyframeAnimation>();
    animation->setPath(path);
    animation->setDuration(1.0);
    window->setAnimations({{"frameOrigin", animation}});
    window->animator().setFrameOrigin({7, 7});
    EXPECT_EQ(window->frame().origin, Point(0, 0));

    auto stepTo = [&](double seconds) {
        clock->set(core::Clock::TimePoint(
            std::chrono::duration_cast<core::Clock::Duration>(std::chrono::duration<double>(seconds))));
        loop.fireDueTimers();
    };
    stepTo(0.25);
    EXPECT_NEAR(window->frame().origin.x, 50, 1e-9);
    stepTo(0.75);
    EXPECT_NEAR(window->frame().origin.x, 100, 1e-9);
    EXPECT_NEAR(window->frame().origin.y, 25, 1e-9);
    stepTo(1.5);
    EXPECT_EQ(window->frame().origin, Point(7, 7));
    EXPECT_FALSE(loop.nextTimerDeadline().has_value()); // the timer is gone

    // Closing the window mid-animation puts it at the target and stops.
    window->animator().setFrameOrigin({9, 9});
    stepTo(1.7);
    window->close();
    EXPECT_EQ(window->frame().origin, Point(9, 9));
    EXPECT_FALSE(loop.nextTimerDeadline().has_value());
}

TEST(ModalSession, TheRunnerAnswersAndOtherWindowsIgnorePresses) {
    uitest::WindowScope scope;
    auto app = ui::Application::shared();
    auto other = ui::Window::make(Rect(0, 0, 100, 100));
    auto probe = std::make_shared<ProbeView>(Rect(0, 0, 100, 100));
    other->contentView()->addSubview(probe);
    other->makeKeyAndOrderFront();
    auto panel = ui::Window::make(Rect(0, 0, 100, 100));

    app->setModalRunner([&](const std::shared_ptr<ui::Window>& w) {
        EXPECT_EQ(app->modalWindow(), w);
        EXPECT_TRUE(w->isKeyWindow());
        app->sendEvent(mouse(EventType::leftMouseDown, 5, 5, other));
        app->stopModal(42);
        app->stopModal(43); // the first answer stands
    });
    EXPECT_EQ(app->runModal(panel), 42);
    EXPECT_TRUE(probe->log.empty());
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(other->isKeyWindow()); // the key goes back
    EXPECT_EQ(app->modalWindow(), nullptr);

    // A runner that leaves without an answer aborts the session.
    app->setModalRunner([](const std::shared_ptr<ui::Window>&) {});
    EXPECT_EQ(app->runModal(panel), ui::ModalResponseCode::abort);

    // A handler's exception that leaves the session still ends it: the panel goes and the key goes back.
    other->makeKeyAndOrderFront();
    app->setModalRunner([](const std::shared_ptr<ui::Window>&) { throw std::runtime_error("from a handler"); });
    EXPECT_THROW(app->runModal(panel), std::runtime_error);
    EXPECT_EQ(app->modalWindow(), nullptr);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(other->isKeyWindow());
    app->setModalRunner({});
}

// ---------------------------------------------------------------------------------------------------

namespace {

// A private $XDG_CONFIG_HOME for one test.
class ConfigHome {
public:
    ConfigHome() {
        char pattern[] = "/tmp/tessaray-config-XXXXXX";
        dir_ = mkdtemp(pattern);
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old) {
            saved_ = old;
        }
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    }
    ~ConfigHome() {
        if (saved_) {
            setenv("XDG_CONFIG_HOME", saved_->c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    std::filesystem::path entry(const std::string& file) const {
        const auto folder = ui::WindowController::frameAutosaveDirectory();
        std::filesystem::create_directories(folder);
        return folder / file;
    }

private:
    std::filesystem::path dir_;
    std::optional<std::string> saved_;
};

void write(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

} // namespace

TEST(FrameAutosave, AWindowOpensWhereTheLastOneWithItsNameWasLeft) {
    uitest::WindowScope scope;
    ConfigHome home;
    EXPECT_EQ(ui::WindowController::frameAutosaveDirectory().parent_path().filename(), "tessaray");
    const auto mask = WS::titled | WS::resizable;
    {
        auto first = std::make_shared<ui::WindowController>(ui::Window::make(Rect(10, 10, 300, 200), mask));
        first->setWindowFrameAutosaveName("Main Window");
        first->window()->setFrame(Rect(40, 60, 320, 250));
        core::MainQueue::shared().drain(); // the save waits for the main queue
        EXPECT_EQ(ui::WindowController::savedFrame("Main Window"), Rect(40, 60, 320, 250));
        first->window()->setFrameOrigin({44, 66}); // saved when the window closes
        first->close();
    }
    auto second = std::make_shared<ui::WindowController>(ui::Window::make(Rect(0, 0, 100, 100), mask));
    second->setWindowFrameAutosaveName("Main Window");
    second->showWindow(nullptr); // a window without a screen takes its saved frame when shown
    EXPECT_EQ(second->window()->frame(), Rect(44, 66, 320, 250));

    // A window the user cannot resize takes only the origin.
    auto fixed = std::make_shared<ui::WindowController>(ui::Window::make(Rect(0, 0, 400, 572), WS::titled));
    fixed->setWindowFrameAutosaveName("Main Window");
    fixed->showWindow(nullptr);
    EXPECT_EQ(fixed->window()->frame(), Rect(44, 66, 400, 572 + ui::Window::standardTitlebarHeight));

    // Names become file names inside the folder, whatever they contain.
    EXPECT_TRUE(ui::WindowController::saveFrame("../../escape/..", Rect(1, 2, 3, 4)));
    EXPECT_EQ(ui::WindowController::savedFrame("../../escape/.."), Rect(1, 2, 3, 4));
    for (const auto& entry :
         std::filesystem::directory_iterator(ui::WindowController::frameAutosaveDirectory())) {
        EXPECT_EQ(entry.path().parent_path(), ui::WindowController::frameAutosaveDirectory());
    }
    EXPECT_FALSE(ui::WindowController::saveFrame("", Rect(1, 2, 3, 4)));
    EXPECT_FALSE(ui::WindowController::saveFrame(std::string(201, 'x'), Rect(1, 2, 3, 4)));
}

TEST(FrameAutosave, DamagedOrHostileEntriesAreIgnored) {
    uitest::WindowScope scope;
    ConfigHome home;
    write(home.entry("truncated"), "10 20 30");
    write(home.entry("garbage"), "\x7f"
                                 "ELF\x01\x02 not a frame");
    write(home.entry("huge"), "1 2 3 4" + std::string(100000, ' '));
    write(home.entry("extra"), "1 2 3 4 5\n");
    write(home.entry("nan"), "nan 2 3 4\n");
    write(home.entry("negative"), "1 2 -3 4\n");
    write(home.entry("absurd"), "1 2 1e300 4\n");
    std::filesystem::create_directories(home.entry("directory"));
    ASSERT_EQ(mkfifo(home.entry("fifo").c_str(), 0600), 0);
    for (const char* name :
         {"truncated", "garbage", "huge", "extra", "nan", "negative", "absurd", "directory", "fifo"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(ui::WindowController::savedFrame(name).has_value());
        auto controller = std::make_shared<ui::WindowController>(
            ui::Window::make(Rect(5, 6, 70, 80), WS::titled | WS::resizable));
        controller->setWindowFrameAutosaveName(name);
        EXPECT_EQ(controller->window()->contentAreaRect(), Rect(5, 6, 70, 80));
        controller->close();
    }
    // A damaged entry is replaced by the window's frame; a directory in the way stays a directory.
    EXPECT_EQ(ui::WindowController::savedFrame("garbage"),
              Rect(5, 6, 70, 80 + ui::Window::standardTitlebarHeight));
    EXPECT_TRUE(std::filesystem::is_directory(home.entry("directory")));
}
