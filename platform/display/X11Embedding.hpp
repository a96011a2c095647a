#pragma once

// What an editor embedded in a host's X window (an LV2 UI) needs beyond its window: the keyboard focus
// handed over and back while it edits text, resizes asked for by the host, and requests about the host's
// windows that survive those windows vanishing.

#include <functional>
#include <memory>
#include <utility>

namespace display {

class X11Display;
class X11WindowBackend;

class X11EmbeddedWindow {
public:
    // `window` is embedded in `parent` (the host's window).
    X11EmbeddedWindow(std::shared_ptr<X11Display> display, std::shared_ptr<X11WindowBackend> window,
                      unsigned long parent);
    // Gives the keyboard back (see end) unless end() ran.
    ~X11EmbeddedWindow();
    X11EmbeddedWindow(const X11EmbeddedWindow&) = delete;
    X11EmbeddedWindow& operator=(const X11EmbeddedWindow&) = delete;

    // True notes which window has the keyboard focus and takes it for the embedded window; false gives
    // it back to the window noted, or when that one is gone or hidden (or was ours, or none) to the
    // host's top-level window that holds the editor (see hostTopLevel). Nothing happens when the window
    // to focus is not viewable, or when the focus was already where asked.
    void holdKeyboard(bool hold);
    bool holdsKeyboard() const { return holding_; }
    // Ends the embedding: gives the keyboard back when it is held, then runs `teardown` (last events,
    // closing the window); errors about windows the host has destroyed already are ignored throughout.
    void end(const std::function<void()>& teardown);
    // Asks the server for a new size of the embedded window (device pixels).
    void resize(int pixelWidth, int pixelHeight);
    // The embedded window's size on the server (device pixels); 0 by 0 once it is gone.
    std::pair<int, int> pixelSize() const;
    // Whether a window is mapped with all its ancestors; false for a window that no longer exists.
    bool isViewable(unsigned long window) const;
    // The window that had the keyboard focus when the editor last took it (0 before, and when none or
    // our own window had it).
    unsigned long hostFocus() const { return hostFocus_; }

private:
    // The host's top-level window that holds the editor: the nearest ancestor carrying WM_STATE (the
    // client window a window manager frames), else the ancestor just below the root; 0 when the
    // windows are gone.
    unsigned long hostTopLevel() const;
    // Gives the keyboard back as holdKeyboard(false) describes.
    void giveKeyboardBack();

    std::shared_ptr<X11Display> display_;
    std::weak_ptr<X11WindowBackend> window_;
    unsigned long parent_;
    unsigned long hostFocus_ = 0;
    bool holding_ = false;
    bool ended_ = false;
};

} // namespace display
