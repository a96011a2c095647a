// An editor embedded in a host's window: error traps that leave the host's handler alone, the keyboard
// handed over and back, and resizes the host asks for.

// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "XSendEvents.hpp"
#include "Xvfb.hpp"
#include "core/Log.hpp"
#include "core/MainQueue.hpp"
#include "display/X11Display.hpp"
#include "display/X11Embedding.hpp"
#include "display/X11Errors.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

using displaytest::pumpUntil;
using graphics::Rect;

namespace {

int hostErrors = 0;
int countHostError(::Display*, XErrorEvent*) {
    ++hostErrors;
    return 0;
}

::Window focusOf(::Display* dpy) {
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(dpy, &focus, &revert);
    return focus;
}

} // namespace

TEST(X11ErrorTrap, TrapsOurConnectionsErrorsQuietlyAndLeavesTheHostsHandlerAlone) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    ::Display* host = XOpenDisplay(server.name().c_str());
    ASSERT_NE(host, nullptr);
    const XErrorHandler before = XSetErrorHandler(&countHostError);
    hostErrors = 0;
    {
        auto display = display::X11Display::open(server.name().c_str());
        ASSERT_NE(display, nullptr);
        ::Display* dpy = display->xdisplay();
        core::LogCapture capture;
        {
            display::X11ErrorTrap trap(dpy);
            XMapWindow(dpy, 0x1fffffff); // no such window
            {
                display::X11ErrorTrap inner(dpy);
                XUnmapWindow(dpy, 0x1ffffffe);
                EXPECT_EQ(inner.errors(), 1);
            }
            EXPECT_EQ(trap.errors(), 2);
            // While the trap is set, the process's handler is the one it was, and the host's errors
            // still reach the host's handler.
            const XErrorHandler current = XSetErrorHandler(&countHostError);
            EXPECT_NE(current, &countHostError) << "ours, chaining to the host's";
            XSetErrorHandler(current);
            XMapWindow(host, 0x1fffffff);
            XSync(host, False);
            EXPECT_EQ(hostErrors, 1);
        }
        EXPECT_TRUE(capture.lines().empty()) << capture.lines().front();
        // Without a trap, errors are logged again.
        XMapWindow(dpy, 0x1fffffff);
        XSync(dpy, False);
        EXPECT_TRUE(capture.contains("X error"));
    }
    EXPECT_EQ(XSetErrorHandler(before), &countHostError);
    XCloseDisplay(host);
}

TEST(X11EmbeddedWindow, HandsTheKeyboardOverAndBackAndResizesOnRequest) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    // The host, another client, also plays the window manager: its top-level window carries WM_STATE
    // inside a frame, and a hidden window of the window manager's has the focus as the editor appears.
    ::Display* host = XOpenDisplay(server.name().c_str());
    ASSERT_NE(host, nullptr);
    const ::Window root = DefaultRootWindow(host);
    const ::Window frame = XCreateSimpleWindow(host, root, 0, 0, 320, 240, 0, 0, 0);
    const ::Window hidden = XCreateSimpleWindow(host, root, -1, -1, 1, 1, 0, 0, 0);
    const ::Window topLevel = XCreateSimpleWindow(host, root, 0, 0, 300, 200, 0, 0, 0);
    const ::Window parent = XCreateSimpleWindow(host, topLevel, 0, 30, 300, 170, 0, 0, 0);
    const ::Window field = XCreateSimpleWindow(host, topLevel, 0, 0, 50, 20, 0, 0, 0);
    const Atom wmState = XInternAtom(host, "WM_STATE", False);
    const long normalState[2] = {NormalState, 0};
    XChangeProperty(host, topLevel, wmState, wmState, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(normalState), 2);
    XReparentWindow(host, topLevel, frame, 10, 20);
    XMapSubwindows(host, topLevel);
    XMapWindow(host, topLevel);
    XMapWindow(host, frame);
    XMapWindow(host, hidden);
    XSync(host, False);
    auto viewable = [&](::Window window) {
        XWindowAttributes a{};
        return XGetWindowAttributes(host, window, &a) && a.map_state == IsViewable;
    };
    ASSERT_TRUE(pumpUntil([] {}, [&] { return viewable(field) && viewable(hidden); }));
    XSetInputFocus(host, hidden, RevertToParent, CurrentTime);
    XSync(host, False);
    {
        auto display = display::X11Display::open(server.name().c_str());
        ASSERT_NE(display, nullptr);
        display->setScaleOverride(1.0);
        auto window = ui::Window::make(Rect(0, 0, 200, 100));
        auto backend = display->createWindow(window, parent);
        ASSERT_NE(backend, nullptr);
        window->makeKeyAndOrderFront();
        ASSERT_TRUE(pumpUntil(*display, [&] { return backend->isMapped(); }));

        display::X11EmbeddedWindow embedded(display, backend, parent);
        EXPECT_TRUE(embedded.isViewable(backend->xid()));
        core::LogCapture capture;
        EXPECT_FALSE(embedded.isViewable(0x1fffffff)) << "gone, and no error";

        // The host's window is focused after the editor appeared: the keyboard goes back there.
        XSetInputFocus(host, field, RevertToParent, CurrentTime);
        XSync(host, False);
        embedded.holdKeyboard(true);
        EXPECT_EQ(focusOf(host), backend->xid());
        EXPECT_EQ(embedded.hostFocus(), field);
        embedded.holdKeyboard(false);
        EXPECT_EQ(focusOf(host), field);

        // The host's window that had the keyboard is hidden by the time editing ends: the host's
        // top-level window gets it, not the frame nor the editor's parent.
        embedded.holdKeyboard(true);
        XUnmapWindow(host, field);
        XSync(host, False);
        embedded.holdKeyboard(false);
        EXPECT_EQ(focusOf(host), topLevel) << "frame " << frame << ", parent " << parent;

        embedded.resize(240, 120);
        ASSERT_TRUE(pumpUntil(*display, [&] { return window->frame().size == graphics::Size(240, 120); }))
            << window->frame().size.width;

        // The host destroys its window, and ours with it, before the editor goes.
        embedded.holdKeyboard(true);
        XDestroyWindow(host, frame);
        XSync(host, False);
        embedded.end([&] {
            display->pump();
            window->close();
        });
        EXPECT_TRUE(capture.lines().empty()) << capture.lines().front();
        core::MainQueue::shared().drain();
    }
    XCloseDisplay(host);
}
