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
    // `window` is embedded in `parent` (the host's window). Remembers which window has the keyboard
    // focus now: the host's, as the editor appears.
    X11EmbeddedWindow(std::shared_ptr<X11Display> display, std::shared_ptr<X11WindowBackend> window,
                      unsigned long parent);
    // Gives the keyboard back (see end) unless end() ran.
    ~X11EmbeddedWindow();
    X11EmbeddedWindow(const X11EmbeddedWindow&) = delete;
    X11EmbeddedWindow& operator=(const X11EmbeddedWindow&) = delete;

    // True takes the keyboard focus for the embedded window; false gives it back to the window that had
    // it when the editor appeared, or to the parent when that one is gone or hidden. Nothing happens
    // when the window to focus is not viewable, or when the focus was already where asked.
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
    // The window that had the keyboard focus when the editor appeared (0, or a special value below
    // the first window id, when none had it).
    unsigned long hostFocus() const { return hostFocus_; }

private:
    std::shared_ptr<X11Display> display_;
    std::weak_ptr<X11WindowBackend> window_;
    unsigned long parent_;
    unsigned long hostFocus_ = 0;
    bool holding_ = false;
    bool ended_ = false;
};

} // namespace display
