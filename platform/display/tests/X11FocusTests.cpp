// Keyboard focus on an X server: a window brought forward asks for the focus (through the window manager
// when one takes activation requests, else from the server), and key status follows the focus events.

// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "InputTree.hpp"
#include "XSendEvents.hpp"
#include "Xvfb.hpp"
#include "core/RunLoop.hpp"
#include "display/X11Display.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

using displaytest::pumpUntil;
using graphics::Rect;

namespace {

// Another program: its own connection and a plain mapped window.
struct OtherProgram {
    explicit OtherProgram(const std::string& name) : dpy(XOpenDisplay(name.c_str())) {
        if (!dpy) {
            return;
        }
        window = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 400, 300, 100, 80, 0, 0, 0);
        XSelectInput(dpy, window, StructureNotifyMask | FocusChangeMask);
        XMapWindow(dpy, window);
        XEvent event;
        for (int i = 0; i < 400; ++i) {
            if (XCheckTypedWindowEvent(dpy, window, MapNotify, &event)) {
                mapped = true;
                break;
            }
            usleep(5000);
        }
    }
    ~OtherProgram() {
        if (dpy) {
            XCloseDisplay(dpy);
        }
    }
    void takeFocus() {
        XSetInputFocus(dpy, window, RevertToParent, CurrentTime);
        XSync(dpy, False);
    }
    ::Window focus() {
        ::Window focused = 0;
        int revert = 0;
        XGetInputFocus(dpy, &focused, &revert);
        return focused;
    }

    ::Display* dpy = nullptr;
    ::Window window = 0;
    bool mapped = false;
};

struct FocusScene {
    displaytest::XvfbServer server;
    std::shared_ptr<display::X11Display> display;
    std::unique_ptr<displaytest::Cleanup> cleanup;

    bool start() {
        if (server.name().empty() || !(display = display::X11Display::open(server.name().c_str()))) {
            return false;
        }
        display->setScaleOverride(1.0);
        display->attach(core::RunLoop::main());
        cleanup = std::make_unique<displaytest::Cleanup>();
        return true;
    }
    ~FocusScene() {
        cleanup.reset();
        if (display) {
            display->detach();
        }
    }
};

} // namespace

TEST(X11Focus, ABroughtForwardWindowTakesTheFocusFromAnotherProgramAndKeyStatusFollowsIt) {
    FocusScene scene;
    if (!scene.start()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto window = ui::Window::make(Rect(50, 50, 200, 150));
    auto backend = scene.display->createWindow(window);
    ASSERT_NE(backend, nullptr);
    window->makeKeyAndOrderFront();
    // Shown for the first time, it asks once mapped: without a window manager nothing else would.
    ASSERT_TRUE(pumpUntil(*scene.display, [&] { return backend->hasFocus(); }));
    EXPECT_TRUE(window->isKeyWindow());

    OtherProgram other(scene.server.name());
    ASSERT_TRUE(other.mapped);
    other.takeFocus();
    ASSERT_TRUE(pumpUntil(*scene.display, [&] { return !window->isKeyWindow(); }))
        << "a window is not key while another program has the focus";
    EXPECT_FALSE(backend->hasFocus());

    // Brought forward (a later launch handing over), it asks the server for the focus and is key when
    // the focus arrives, not before.
    window->makeKeyAndOrderFront();
    EXPECT_FALSE(window->isKeyWindow());
    ASSERT_TRUE(pumpUntil(*scene.display, [&] { return window->isKeyWindow(); }));
    EXPECT_EQ(other.focus(), backend->xid());

    other.takeFocus();
    EXPECT_TRUE(pumpUntil(*scene.display, [&] { return !window->isKeyWindow(); }));
}

TEST(X11Focus, AWindowManagerThatTakesActivationRequestsIsAskedWithATimestamp) {
    FocusScene scene;
    if (!scene.start()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    // A stand-in window manager: it announces _NET_ACTIVE_WINDOW and listens on the root window.
    ::Display* wm = XOpenDisplay(scene.server.name().c_str());
    ASSERT_NE(wm, nullptr);
    const ::Window root = DefaultRootWindow(wm);
    const Atom active = XInternAtom(wm, "_NET_ACTIVE_WINDOW", False);
    EXPECT_FALSE(scene.display->windowManagerActivates());
    XChangeProperty(wm, root, XInternAtom(wm, "_NET_SUPPORTED", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&active), 1);
    XSelectInput(wm, root, SubstructureNotifyMask);
    XSync(wm, False);
    EXPECT_TRUE(scene.display->windowManagerActivates());

    auto window = ui::Window::make(Rect(50, 50, 200, 150));
    auto backend = scene.display->createWindow(window);
    ASSERT_NE(backend, nullptr);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(pumpUntil(*scene.display, [&] { return backend->isMapped(); }));

    XEvent request{};
    bool asked = false;
    for (int i = 0; i < 400 && !asked; ++i) {
        scene.display->pump();
        while (!asked && XCheckTypedEvent(wm, ClientMessage, &request)) {
            asked = request.xclient.message_type == active;
        }
        usleep(5000);
    }
    ASSERT_TRUE(asked);
    EXPECT_EQ(request.xclient.window, backend->xid());
    EXPECT_EQ(request.xclient.data.l[0], 1) << "from an application";
    EXPECT_NE(request.xclient.data.l[1], 0) << "with the server's time, not CurrentTime";
    // The window manager decides: nothing has given the window the focus.
    EXPECT_FALSE(backend->hasFocus());
    XCloseDisplay(wm);
}

TEST(X11Focus, APopUpWindowBypassesTheWindowManagerAndNeverTakesTheFocus) {
    FocusScene scene;
    if (!scene.start()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto window = ui::Window::make(Rect(50, 50, 200, 150));
    auto backend = scene.display->createWindow(window);
    ASSERT_NE(backend, nullptr);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(pumpUntil(*scene.display, [&] { return window->isKeyWindow(); }));

    auto popUp = ui::Window::make(Rect(60, 40, 80, 60),
                                  ui::WindowStyle::borderless | ui::WindowStyle::nonactivatingPanel);
    ASSERT_TRUE(popUp->isPopUp());
    EXPECT_FALSE(popUp->canBecomeKeyWindow());
    auto made = std::dynamic_pointer_cast<display::X11WindowBackend>(backend->makeBackend(popUp));
    ASSERT_NE(made, nullptr);
    popUp->orderFront();
    popUp->makeKeyWindow();
    ASSERT_TRUE(pumpUntil(*scene.display, [&] { return made->isMapped(); }));

    XWindowAttributes attributes{};
    ASSERT_NE(XGetWindowAttributes(scene.display->xdisplay(), made->xid(), &attributes), 0);
    EXPECT_TRUE(attributes.override_redirect);
    // Bottom-left (60, 40) in points, y up, is the top-left 40 + 60 above the root's bottom edge.
    EXPECT_EQ(attributes.x, 60);
    EXPECT_EQ(attributes.y,
              DisplayHeight(scene.display->xdisplay(), DefaultScreen(scene.display->xdisplay())) - 100);
    scene.display->pump();
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_FALSE(popUp->isKeyWindow());
    EXPECT_TRUE(backend->hasFocus());
    popUp->close();
}
