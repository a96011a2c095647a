// X errors and oversized frames: an error on our connection is logged and the program goes on, errors on
// other connections still reach the handler installed before ours, and a damaged saved frame (too wide
// for X, far off the screen) is fitted to the screen once the window has one.

// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "InputTree.hpp"
#include "XSendEvents.hpp"
#include "Xvfb.hpp"
#include "core/Log.hpp"
#include "core/RunLoop.hpp"
#include "display/X11Display.hpp"
#include "ui/Screen.hpp"
#include "ui/WindowController.hpp"

#include <X11/Xlib.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using displaytest::pumpUntil;
using graphics::Rect;

namespace {

int foreignErrors = 0;
int countForeignError(::Display*, XErrorEvent*) {
    ++foreignErrors;
    return 0;
}

} // namespace

TEST(X11Errors, ARefusedRequestIsLoggedAndForeignErrorsGoToTheEarlierHandler) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    // A host's connection and its handler, installed before ours.
    ::Display* host = XOpenDisplay(server.name().c_str());
    ASSERT_NE(host, nullptr);
    const XErrorHandler before = XSetErrorHandler(&countForeignError);
    foreignErrors = 0;
    {
        auto display = display::X11Display::open(server.name().c_str());
        ASSERT_NE(display, nullptr);
        ::Display* dpy = display->xdisplay();
        const ::Window window = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 10, 10, 0, 0, 0);
        core::LogCapture capture;
        // A width of 65536 reaches the server as 0, which it refuses; Xlib's own handler would exit.
        XResizeWindow(dpy, window, 65536, 10);
        XSync(dpy, False);
        EXPECT_TRUE(capture.contains("X error")) << "the refusal is logged";
        EXPECT_TRUE(capture.contains("BadValue"));
        EXPECT_EQ(foreignErrors, 0);

        // The host's errors are not ours to log.
        XMapWindow(host, 0x1fffffff); // no such window
        XSync(host, False);
        EXPECT_EQ(foreignErrors, 1);
        EXPECT_EQ(capture.lines().size(), 1u);
    }
    // With our last connection gone, the host's handler is back in place.
    EXPECT_EQ(XSetErrorHandler(before), &countForeignError);
    XCloseDisplay(host);
}

TEST(X11Errors, AHugeFarOffSavedFrameIsFittedToTheScreenOnceTheWindowHasOne) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    const auto home = std::filesystem::temp_directory_path() / ("x11-frames-" + std::to_string(getpid()));
    const char* previousHome = std::getenv("XDG_CONFIG_HOME");
    const std::string savedHome = previousHome ? previousHome : "";
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    std::filesystem::create_directories(ui::WindowController::frameAutosaveDirectory());
    std::ofstream(ui::WindowController::frameAutosaveDirectory() / "Main") << "-90000 80000 70000 300\n";

    auto display = display::X11Display::open(server.name().c_str());
    ASSERT_NE(display, nullptr);
    display->setScaleOverride(1.0);
    display->attach(core::RunLoop::main());
    {
        displaytest::Cleanup cleanup;
        core::LogCapture capture;
        auto window =
            ui::Window::make(Rect(10, 10, 200, 150), ui::WindowStyle::titled | ui::WindowStyle::resizable);
        auto controller = std::make_shared<ui::WindowController>(window);
        // Named before it has a screen: nothing to fit the frame to yet, so it waits.
        controller->setWindowFrameAutosaveName("Main");
        EXPECT_EQ(window->frame(), Rect(10, 10, 200, 150 + ui::Window::standardTitlebarHeight));
        auto backend = display->createWindow(window);
        ASSERT_NE(backend, nullptr);
        controller->showWindow(nullptr);
        const Rect visible = window->screen()->visibleFrame();
        EXPECT_EQ(visible, Rect(0, 0, 640, 480));
        EXPECT_EQ(window->frame().size.width, 640);
        EXPECT_EQ(window->frame().size.height, 300);
        EXPECT_TRUE(visible.contains(window->frame())) << "back on the screen";
        ASSERT_TRUE(pumpUntil(*display, [&] { return backend->isMapped(); }));
        XWindowAttributes attributes{};
        ASSERT_TRUE(XGetWindowAttributes(display->xdisplay(), backend->xid(), &attributes));
        EXPECT_EQ(attributes.width, 640);
        EXPECT_GE(attributes.x, 0);
        EXPECT_GE(attributes.y, 0);
        EXPECT_LE(attributes.y + attributes.height, 480);

        // Asked for later, a size beyond the screen is what the window gets no more than.
        window->setFrame(Rect(0, 0, 70000, 100));
        XSync(display->xdisplay(), False);
        EXPECT_EQ(window->frame().size.width, 640);
        ASSERT_TRUE(XGetWindowAttributes(display->xdisplay(), backend->xid(), &attributes));
        EXPECT_EQ(attributes.width, 640);
        EXPECT_FALSE(capture.contains("X error"));
        controller->close();
    }
    display->detach();
    if (previousHome) {
        setenv("XDG_CONFIG_HOME", savedHome.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
}

// Another client can make our window any size X takes: the buffers stay within the screen, nothing
// bigger is ever asked of cairo or handed to the server, and the window goes on drawing what fits.
TEST(X11Errors, AnotherClientsHugeSizeLeavesTheWindowDrawingWhatFits) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto display = displaytest::openAttachedDisplay(server.name());
    ASSERT_NE(display, nullptr);
    displaytest::Cleanup cleanup;
    displaytest::InputTree tree(200, 150);
    auto backend = display->createWindow(tree.window);
    ASSERT_NE(backend, nullptr);
    tree.window->makeKeyAndOrderFront();
    ASSERT_TRUE(pumpUntil(*display, [&] { return backend->isMapped() && backend->presentedFrames() > 0; }));

    ::Display* other = XOpenDisplay(server.name().c_str());
    ASSERT_NE(other, nullptr);
    for (auto [width, height] : {std::pair{40000u, 100u}, {30000u, 30000u}}) {
        XResizeWindow(other, backend->xid(), width, height);
        XClearArea(other, backend->xid(), 0, 0, 0, 0, True); // an Expose
        XSync(other, False);
        const graphics::Size fitted(640, std::min(480u, height));
        ASSERT_TRUE(pumpUntil(*display, [&] { return tree.window->frame().size == fitted; }))
            << width << "x" << height;
        const int frames = backend->presentedFrames();
        tree.window->contentView()->setNeedsDisplay(true);
        EXPECT_TRUE(pumpUntil(*display, [&] { return backend->presentedFrames() > frames; }))
            << "the window still draws, at " << width << "x" << height;
    }
    XCloseDisplay(other);
    display->detach();
}

// A server that goes away ends the connections to it, not the process: each of our displays has its own
// connection, and the one on another server goes on as before.
TEST(X11Errors, AServerGoingAwayEndsOnlyItsOwnConnection) {
    displaytest::XvfbServer server;
    displaytest::XvfbServer otherServer;
    if (server.name().empty() || otherServer.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto display = displaytest::openAttachedDisplay(server.name());
    auto survivor = displaytest::openAttachedDisplay(otherServer.name());
    ASSERT_NE(display, nullptr);
    ASSERT_NE(survivor, nullptr);
    int losses = 0;
    display->setConnectionLostHandler([&] { ++losses; });
    displaytest::Cleanup cleanup;
    displaytest::InputTree tree(120, 80);
    auto backend = display->createWindow(tree.window);
    tree.window->makeKeyAndOrderFront();
    ASSERT_TRUE(pumpUntil(*display, [&] { return backend->isMapped() && backend->presentedFrames() > 0; }));
    displaytest::InputTree otherTree(120, 80);
    auto otherBackend = survivor->createWindow(otherTree.window);
    otherTree.window->orderFront();
    ASSERT_TRUE(pumpUntil(*survivor, [&] { return otherBackend->presentedFrames() > 0; }));

    core::LogCapture capture;
    server.stop();
    // Drawing and events both meet the broken connection.
    tree.window->contentView()->setNeedsDisplay(true);
    ASSERT_TRUE(pumpUntil(*display, [&] { return display->isConnectionLost(); }));
    EXPECT_EQ(losses, 1);
    EXPECT_TRUE(capture.contains("connection to the X server"));
    for (int i = 0; i < 5; ++i) {
        tree.window->contentView()->setNeedsDisplay(true);
        display->pump();
    }
    EXPECT_EQ(losses, 1) << "noticed once";
    tree.window->close();

    EXPECT_FALSE(survivor->isConnectionLost());
    const int frames = otherBackend->presentedFrames();
    otherTree.window->contentView()->setNeedsDisplay(true);
    EXPECT_TRUE(pumpUntil(*survivor, [&] { return otherBackend->presentedFrames() > frames; }));
    otherTree.window->close();
    survivor->detach();
    display.reset();
}
