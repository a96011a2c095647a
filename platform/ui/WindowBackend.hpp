#pragma once

// What a window needs from the system that shows it: a surface to draw into and a few requests.
// platform/display implements it (headless image surfaces, X11 windows).

#include "graphics/Geometry.hpp"

#include <memory>
#include <string>

typedef struct _cairo_surface cairo_surface_t;

namespace graphics {
class DrawRecorder;
}

namespace ui {

class Cursor;
class MenuPresenter;

class WindowBackend {
public:
    virtual ~WindowBackend() = default;

    // The surface of the window's content in device pixels (size × backing scale), or null while
    // nothing can be drawn (not mapped yet, closed).
    virtual cairo_surface_t* surface() = 0;
    // The content size in points and the device pixels per point.
    virtual graphics::Size size() const = 0;
    virtual double backingScaleFactor() const = 0;

    // The window has views to redraw: arrange for a display pass soon.
    virtual void invalidate() = 0;
    // A display pass has finished drawing into surface(): show it.
    virtual void flush() = 0;
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

    // A recorder that the display pass also draws into (tests); null for none.
    virtual std::shared_ptr<graphics::DrawRecorder> recorder() const { return nullptr; }
};

} // namespace ui
