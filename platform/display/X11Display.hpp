#pragma once

// Windows on an X server through Xlib and cairo-xlib. One X11Display is one connection; it watches the
// connection's descriptor on a core::RunLoop, turns X events into ui events for its windows and runs
// their display passes. An LV2 UI without a run loop of its own calls pump() from its idle callback.

#include "display/ClickCounter.hpp"
#include "ui/Window.hpp"
#include "ui/WindowBackend.hpp"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;
typedef struct _XDisplay Display;
typedef union _XEvent XEvent;

namespace core {
class RunLoop;
}

namespace display {

class X11Clipboard;
class X11WindowBackend;

class X11Display : public std::enable_shared_from_this<X11Display> {
public:
    // Connects to the named display (null: $DISPLAY). Null when no server answers.
    static std::shared_ptr<X11Display> open(const char* name = nullptr);
    ~X11Display();
    X11Display(const X11Display&) = delete;
    X11Display& operator=(const X11Display&) = delete;

    // Watches the connection on a run loop (the main one by default); the run loop then delivers X
    // events and display passes. Detaches from any earlier run loop.
    void attach(core::RunLoop& runLoop);
    void detach();
    // The run loop the display is attached to, else the main one; the clipboard's timeouts run there.
    core::RunLoop& runLoop() const;

    // Without blocking: handles the X events that have arrived (a slice of them when they flood in),
    // runs due main-queue work and timers of the attached (or main) run loop, and displays windows that
    // need it.
    void pump();

    // Whether the connection has broken (the server went away). Only the connection ends: Xlib no longer
    // ends the process, the display stops watching the connection, and its requests do nothing.
    bool isConnectionLost() const;
    // Runs once when the display finds its connection lost (on the thread that handles its events).
    void setConnectionLostHandler(std::function<void()> handler) { lostHandler_ = std::move(handler); }

    // The backing scale of new windows: the override when set, else $TESSARAY_SCALE when it holds a
    // positive number, else the Xft.dpi resource (dpi / 96, rounded to 1 or 2), else 1.
    double backingScaleFactor() const;
    void setScaleOverride(std::optional<double> scale) { scaleOverride_ = scale; }

    // Creates the native window for a ui window (its content size, title and scale) and attaches it as
    // the window's back end. A parent window id embeds it (an LV2 UI's parent); 0 makes a top-level.
    // Null when the parent is not a window.
    std::shared_ptr<X11WindowBackend> createWindow(const std::shared_ptr<ui::Window>& window,
                                                   unsigned long parent = 0);

    // The screen of the default X screen: the root window's area, and as the visible part the current
    // desktop's _NET_WORKAREA when the window manager publishes one (points, y up).
    std::shared_ptr<ui::Screen> screen() const;

    ::Display* xdisplay() const { return display_; }
    int connectionFd() const;
    std::size_t windowCount() const { return windows_.size(); }

    // Routes the events of a window this library did not create as a ui window (the clipboard's) to a
    // handler; an empty handler removes the route.
    void setEventHandler(unsigned long xid, std::function<void(XEvent&)> handler);

    // The CLIPBOARD selection on this connection, made on first request; it lives as long as the display.
    // Null when the display has no connection.
    std::shared_ptr<X11Clipboard> clipboard();

    // The WM_CLASS of the top-level windows made from now on (instance and class name). The class name
    // is also the WM_NAME of a window without a title (an alert's). By default the program's name, and
    // that name capitalised.
    void setWindowClass(std::string instanceName, std::string className);
    const std::string& windowInstanceName() const { return instanceName_; }
    const std::string& windowClassName() const { return className_; }

    // Whether a window manager that takes activation requests runs: _NET_ACTIVE_WINDOW is among the
    // root window's _NET_SUPPORTED atoms.
    bool windowManagerActivates() const;

    // The time of the key or button event being handled, for the requests it makes (a paste's); 0
    // (CurrentTime) while no such event is handled.
    unsigned long inputEventTime() const { return inputEventTime_; }
    // The server's time now, read from a property change on one of our windows that reports them
    // (PropertyChangeMask); 0 (CurrentTime) on failure.
    unsigned long serverTime(unsigned long window);

private:
    friend class X11WindowBackend;
    explicit X11Display(::Display* display);
    void processPendingEvents();
    void handleEvent(XEvent& event);
    // A size in device pixels that a window's buffers can take: at least one pixel, at most the
    // screen's size (and so within what X and cairo allow).
    std::pair<int, int> fitPixels(double width, double height) const;
    void noticeConnectionLoss();
    void forget(unsigned long xid);
    void displayInvalidated();

    ::Display* display_;
    core::RunLoop* runLoop_ = nullptr;
    std::uint64_t watchId_ = 0;
    std::optional<double> scaleOverride_;
    std::map<unsigned long, std::weak_ptr<X11WindowBackend>> windows_;
    std::map<unsigned long, std::function<void(XEvent&)>> handlers_;
    std::shared_ptr<X11Clipboard> clipboard_;
    unsigned long wmProtocols_ = 0;
    unsigned long wmDeleteWindow_ = 0;
    unsigned long netWmName_ = 0;
    unsigned long utf8String_ = 0;
    unsigned long netActiveWindow_ = 0;
    unsigned long netSupported_ = 0;
    unsigned long timestampProperty_ = 0;
    std::string instanceName_;
    std::string className_;
    // The run loop's nesting depth at which events are being handled (-1: none are). A handler that pumps
    // at that depth handles no further event inside its own; a nested session it starts (a modal
    // window's) handles them as a pass of its own.
    int handlingDepth_ = -1;
    unsigned long inputEventTime_ = 0;
    std::function<void()> lostHandler_;
    bool lossNoticed_ = false;
};

class X11WindowBackend : public ui::WindowBackend, public std::enable_shared_from_this<X11WindowBackend> {
public:
    ~X11WindowBackend() override;

    // WindowBackend. Drawing goes to an image surface; the union of the drawn rects is then copied onto
    // the window, so that a display pass never shows half-drawn content.
    graphics::Size size() const override { return size_; }
    double backingScaleFactor() const override { return scale_; }
    void invalidate() override;
    bool drawRects(const std::vector<graphics::Rect>& rects, const RectDrawer& draw) override;
    void setContentSize(const graphics::Size& size) override;
    void setTitle(const std::string& title) override;
    void orderFront() override;
    void orderOut() override;
    void close() override;
    // Top-level windows move on the screen; an embedded one stays where its parent puts it.
    void setFrameOrigin(const graphics::Point& origin) override;
    void setContentSizeLimits(const graphics::Size& min, const graphics::Size& max) override;
    std::shared_ptr<ui::Screen> screen() const override;
    std::shared_ptr<ui::WindowBackend> makeBackend(const std::shared_ptr<ui::Window>& window) override;
    void setTransientFor(ui::WindowBackend* parent) override;
    // Asks for the keyboard focus, through the window manager when one takes activation requests, else
    // from the server; a window not mapped yet asks once it is. Key status then follows the focus events.
    // An embedded window leaves the focus to its host.
    bool takeFocus() override;
    // Whether the window has the X keyboard focus (as its focus events last said).
    bool hasFocus() const { return focused_; }
    // Image cursors become Xcursor ARGB cursors at the window's scale; the arrow is the theme's
    // "left_ptr". Cursors made once are kept for the window's life.
    void setCursor(const std::shared_ptr<ui::Cursor>& cursor) override;
    // Menus opened from this window show in override-redirect windows of their own.
    std::shared_ptr<ui::MenuPresenter> menuPresenter() override;
    // Cut, copy and paste go through the display's CLIPBOARD selection; once the display has closed
    // they do nothing.
    ui::TextClipboardAccess clipboardAccess() override;
    // The X cursor defined on the window (0: none yet) and the ui cursor it shows.
    unsigned long xcursor() const { return xcursor_; }
    std::shared_ptr<ui::Cursor> cursor() const { return cursor_; }

    // Window-manager hints of a top-level window: its name, the normal window type, and for a fixed-size
    // window equal minimum and maximum sizes (device pixels, beside the position hints the window
    // already has) and no resize or maximise functions. Its class comes from the display.
    void setWindowManagerHints(const std::string& title, graphics::Size pixelSize, bool fixedSize);

    unsigned long xid() const { return xid_; }
    std::shared_ptr<ui::Window> window() const { return window_.lock(); }
    bool isMapped() const { return mapped_; }
    bool isClosed() const { return xid_ == 0; }
    // Display passes presented so far.
    int presentedFrames() const { return presentedFrames_; }

private:
    friend class X11Display;
    X11WindowBackend(std::shared_ptr<X11Display> display, unsigned long xid, graphics::Size size,
                     double scale);
    void handleEvent(XEvent& event);
    // Makes the buffers the size given (device pixels, fitted to the screen). Without memory for a new
    // back buffer the one before stays, and with it its size: the window draws what fits.
    void resizeBuffers(int pixelWidth, int pixelHeight);
    // Copies the back buffer's area (window coordinates; null: all of it) onto the window.
    void present(const graphics::Rect& area = graphics::Rect::null());
    void displayIfNeeded();
    graphics::Point toWindow(int x, int y) const;
    void sendMouse(XEvent& event);
    void sendKey(XEvent& event);
    // The server's current time, read from a property change on the window (CurrentTime on failure).
    unsigned long serverTime();
    void requestFocus();

    std::weak_ptr<X11Display> display_;
    std::weak_ptr<ui::Window> window_;
    unsigned long xid_;
    graphics::Size size_;
    double scale_;
    int pixelWidth_ = 0;
    int pixelHeight_ = 0;
    cairo_surface_t* backBuffer_ = nullptr;
    cairo_surface_t* windowSurface_ = nullptr;
    bool mapped_ = false;
    bool embedded_ = false;
    bool displayQueued_ = false;
    bool focused_ = false;
    bool focusOnMap_ = false;
    bool clicking_ = false;
    int presentedFrames_ = 0;
    ClickCounter clicks_;
    ui::ModifierFlags lastFlags_ = 0;
    std::shared_ptr<ui::Cursor> cursor_;
    std::shared_ptr<ui::MenuPresenter> menuPresenter_;
    unsigned long xcursor_ = 0;
    std::map<const ui::Cursor*, std::pair<std::weak_ptr<ui::Cursor>, unsigned long>> xcursors_;
    unsigned char keysDown_[32] = {};
};

} // namespace display
