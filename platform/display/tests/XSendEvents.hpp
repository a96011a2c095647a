#pragma once

// Synthetic X input for tests on an X server (see Xvfb.hpp): opening a display of ours on it, pumping
// until a condition holds, input through the XTest extension as a user's would arrive, and clicks and
// keys sent straight to a window with XSendEvent. Include after gtest: Xlib's macros clash with it.

#include "XTestInput.hpp"
#include "core/RunLoop.hpp"
#include "display/X11Display.hpp"

#include <X11/Xlib.h>
#include <chrono>
#include <memory>
#include <string>
#include <unistd.h>

namespace displaytest {

// A display of ours on the named server at scale 1 (pixels are points), pumped by the main run loop;
// null when it cannot be opened.
inline std::shared_ptr<display::X11Display> openAttachedDisplay(const std::string& name) {
    auto display = display::X11Display::open(name.c_str());
    if (display) {
        display->setScaleOverride(1.0);
        display->attach(core::RunLoop::main());
    }
    return display;
}

// Calls pump() until done() holds or `limit` has passed (generous: the machine may be busy); returns
// done().
template <class Pump, class Predicate>
bool pumpUntil(Pump&& pump, Predicate done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        pump();
        usleep(5000);
    }
    return done();
}

// The same for a display of ours.
template <class Predicate>
bool pumpUntil(display::X11Display& display, Predicate done,
               std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    return pumpUntil([&] { display.pump(); }, done, limit);
}

// A press and release of the first button at a pixel of the window (y down), with the modifier state
// given.
inline void sendClick(::Display* dpy, unsigned long xid, int x, int y, unsigned state = 0) {
    XEvent e{};
    e.xbutton.display = dpy;
    e.xbutton.window = xid;
    e.xbutton.root = DefaultRootWindow(dpy);
    e.xbutton.x = x;
    e.xbutton.y = y;
    e.xbutton.button = Button1;
    e.xbutton.same_screen = True;
    e.xbutton.type = ButtonPress;
    e.xbutton.state = state;
    XSendEvent(dpy, xid, True, ButtonPressMask, &e);
    e.xbutton.type = ButtonRelease;
    e.xbutton.state = state | Button1Mask;
    XSendEvent(dpy, xid, True, ButtonReleaseMask, &e);
    XFlush(dpy);
}

// A press and release of the key with the modifier state given.
inline void sendKey(::Display* dpy, unsigned long xid, KeySym keysym, unsigned state = 0) {
    XEvent e{};
    e.xkey.type = KeyPress;
    e.xkey.display = dpy;
    e.xkey.window = xid;
    e.xkey.root = DefaultRootWindow(dpy);
    e.xkey.keycode = XKeysymToKeycode(dpy, keysym);
    e.xkey.state = state;
    e.xkey.same_screen = True;
    XSendEvent(dpy, xid, True, KeyPressMask, &e);
    e.xkey.type = KeyRelease;
    XSendEvent(dpy, xid, True, KeyReleaseMask, &e);
    XFlush(dpy);
}

} // namespace displaytest
