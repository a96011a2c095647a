#pragma once

// Synthetic X input for tests on an X server: pumping a display until a condition holds, and clicks and
// keys sent straight to a window with XSendEvent.

#include "display/X11Display.hpp"

#include <X11/Xlib.h>
#include <unistd.h>

namespace displaytest {

// Pumps the display until done() holds or about two seconds have passed; returns done().
template <class Predicate> bool pumpUntil(display::X11Display& display, Predicate done) {
    for (int i = 0; i < 400 && !done(); ++i) {
        display.pump();
        usleep(5000);
    }
    return done();
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
