#pragma once

// What a window needs from the system that shows it: drawing its content rect by rect, and a few
// requests. platform/display implements it (headless image surfaces, X11 windows).

#include "graphics/Geometry.hpp"
#include "ui/TextEditing.hpp"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace graphics {
class DrawRecorder;
class GraphicsContext;
} // namespace graphics

namespace ui {

class Cursor;
class MenuPresenter;
class Screen;
class Window;

class WindowBackend {
public:
    virtual ~WindowBackend() = default;

    // The content size in points and the device pixels per point.
    virtual graphics::Size size() const = 0;
    virtual double backingScaleFactor() const = 0;

    // The window has views to redraw: arrange for a display pass soon.
    virtual void invalidate() = 0;
    // Draws part of the window: makes a context of the whole content area (user space in window
    // coordinates, y up), calls draw once per rect with the context clipped to that rect, and then shows
    // the union of the rects. Rects are in window coordinates on whole device pixels. False when nothing
    // can be drawn now (not mapped yet, closed).
    using RectDrawer = std::function<void(graphics::GraphicsContext& context, const graphics::Rect& rect)>;
    virtual bool drawRects(const std::vector<graphics::Rect>& rects, const RectDrawer& draw) = 0;
    // The window asks for a new content size or title.
    virtual void setContentSize(const graphics::Size& size) = 0;
    virtual void setTitle(const std::string& title) = 0;
    // Shows the window (it may already be shown).
    virtual void orderFront() = 0;
    // Destroys the native window; no further events arrive.
    virtual void close() = 0;

    // What shows this window's menus; null leaves them to a presenter without windows.
    virtual std::shared_ptr<MenuPresenter> menuPresenter() { return nullptr; }
    // The pointer's shape over the window (null: the arrow).
    virtual void setCursor(const std::shared_ptr<Cursor>& cursor) { (void)cursor; }

    // The window moved: the content area's new bottom-left corner in screen coordinates (y up).
    virtual void setFrameOrigin(const graphics::Point& origin) { (void)origin; }
    // The sizes the user may resize the content to (zero: no limit).
    virtual void setContentSizeLimits(const graphics::Size& min, const graphics::Size& max) {
        (void)min;
        (void)max;
    }
    // Hides the window without destroying it.
    virtual void orderOut() {}
    // The screen the window is on, or null when the system cannot say.
    virtual std::shared_ptr<Screen> screen() const { return nullptr; }
    // Gives another window a back end of this one's kind (same display, same scale); null when this
    // back end cannot make one. Sheets and alerts get theirs this way.
    virtual std::shared_ptr<WindowBackend> makeBackend(const std::shared_ptr<Window>& window) {
        (void)window;
        return nullptr;
    }
    // Marks the window as belonging to another one (a sheet or an alert over its parent); null clears.
    virtual void setTransientFor(WindowBackend* parent) { (void)parent; }
    // The window is to become key: asks the window system for the keyboard focus. True when the window
    // system answers with focus events and key status waits for them; false makes the window key at once.
    virtual bool takeFocus() { return false; }
    // The system clipboard for cut, copy and paste in the window's text (empty: none, as in a window
    // without a display).
    virtual TextClipboardAccess clipboardAccess() { return {}; }

    // A recorder that drawRects also draws into (tests); null for none.
    virtual std::shared_ptr<graphics::DrawRecorder> recorder() const { return nullptr; }
};

} // namespace ui
