#pragma once

// Test support: input through the XTest extension, as a user's would arrive. Include after gtest:
// Xlib's macros clash with it.

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <initializer_list>
#include <iterator>
#include <utility>

namespace displaytest {

// Input through XTest on a connection of the test's own: the pointer moves on the screen, and buttons
// and keys reach whatever is under the pointer or has the focus. Every call syncs with the server.
class XTestInput {
public:
    explicit XTestInput(::Display* dpy) : dpy_(dpy) {}
    bool available() const {
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        return dpy_ && XTestQueryExtension(dpy_, &eventBase, &errorBase, &major, &minor);
    }
    // delayMs: the server waits that long before it acts (spacing events out as a hand would).
    void moveTo(int rootX, int rootY, unsigned long delayMs = 0) {
        XTestFakeMotionEvent(dpy_, -1, rootX, rootY, delayMs);
        XSync(dpy_, False);
    }
    void button(unsigned button, bool down, unsigned long delayMs = 0) {
        XTestFakeButtonEvent(dpy_, button, down ? True : False, delayMs);
        XSync(dpy_, False);
    }
    void click(int rootX, int rootY, unsigned which = 1) {
        moveTo(rootX, rootY);
        button(which, true);
        button(which, false);
    }
    void key(KeySym keysym, bool down) {
        XTestFakeKeyEvent(dpy_, XKeysymToKeycode(dpy_, keysym), down ? True : False, 0);
        XSync(dpy_, False);
    }
    // A key pressed and released with the given modifier keys held.
    void tap(KeySym keysym, std::initializer_list<KeySym> modifiers = {}) {
        for (KeySym m : modifiers) {
            key(m, true);
        }
        key(keysym, true);
        key(keysym, false);
        for (auto m = std::rbegin(modifiers); m != std::rend(modifiers); ++m) {
            key(*m, false);
        }
    }
    // The screen position of a pixel of a window (y down).
    std::pair<int, int> rootPosition(unsigned long xid, int x = 0, int y = 0) const {
        int rootX = 0, rootY = 0;
        ::Window child = 0;
        XTranslateCoordinates(dpy_, xid, DefaultRootWindow(dpy_), x, y, &rootX, &rootY, &child);
        return {rootX, rootY};
    }

private:
    ::Display* dpy_;
};

} // namespace displaytest
