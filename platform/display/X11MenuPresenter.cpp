#include "display/X11MenuPresenter.hpp"

#include "display/X11Display.hpp"
#include "ui/Cursor.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <cmath>

namespace display {

using graphics::Point;
using graphics::Rect;

X11MenuPresenter::X11MenuPresenter(std::weak_ptr<X11Display> display) : display_(std::move(display)) {
    if (auto d = display_.lock()) {
        ::Display* dpy = d->xdisplay();
        scale_ = d->backingScaleFactor();
        rootWidth_ = DisplayWidth(dpy, DefaultScreen(dpy));
        rootHeight_ = DisplayHeight(dpy, DefaultScreen(dpy));
    }
}

X11MenuPresenter::~X11MenuPresenter() {
    ungrab();
}

Rect X11MenuPresenter::screenFrame() const {
    return Rect(0, 0, rootWidth_ / scale_, rootHeight_ / scale_);
}

Point X11MenuPresenter::convertToScreen(const ui::Window& window, Point point) const {
    auto display = display_.lock();
    auto backend = std::dynamic_pointer_cast<X11WindowBackend>(window.backend());
    if (display && backend && !backend->isClosed() && !dynamic_cast<const ui::MenuWindow*>(&window)) {
        ::Display* dpy = display->xdisplay();
        int rootX = 0;
        int rootY = 0;
        ::Window child = 0;
        if (XTranslateCoordinates(dpy, backend->xid(), DefaultRootWindow(dpy), 0, 0, &rootX, &rootY,
                                  &child)) {
            const double s = backend->backingScaleFactor();
            const double x = rootX + point.x * s;
            const double y = rootY + (backend->size().height - point.y) * s;
            return {x / scale_, (rootHeight_ - y) / scale_};
        }
    }
    return {window.frame().minX() + point.x, window.frame().minY() + point.y};
}

X11MenuPresenter::RootPoint X11MenuPresenter::rootPosition(const Rect& frame) const {
    return {static_cast<int>(std::lround(frame.minX() * scale_)),
            rootHeight_ - static_cast<int>(std::lround(frame.maxY() * scale_))};
}

void X11MenuPresenter::beginTracking(ui::MenuTracking&) {
    // The screen may have changed size since the last menu.
    if (auto d = display_.lock()) {
        ::Display* dpy = d->xdisplay();
        scale_ = d->backingScaleFactor();
        rootWidth_ = DisplayWidth(dpy, DefaultScreen(dpy));
        rootHeight_ = DisplayHeight(dpy, DefaultScreen(dpy));
    }
}

void X11MenuPresenter::endTracking(ui::MenuTracking&) {
    ungrab();
}

void X11MenuPresenter::attachBackend(const std::shared_ptr<ui::Window>& window) {
    auto display = display_.lock();
    if (!display) {
        return; // the level stays without a native window; the session still works
    }
    auto backend = display->createWindow(window);
    if (!backend) {
        return;
    }
    ::Display* dpy = display->xdisplay();
    // Placed by us, above everything, without a window manager's frame.
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.save_under = True;
    XChangeWindowAttributes(dpy, backend->xid(), CWOverrideRedirect | CWSaveUnder, &attributes);
    const Atom type = XInternAtom(dpy, "_NET_WM_WINDOW_TYPE", False);
    const Atom popUpMenu = XInternAtom(dpy, "_NET_WM_WINDOW_TYPE_POPUP_MENU", False);
    XChangeProperty(dpy, backend->xid(), type, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&popUpMenu), 1);
    const RootPoint at = rootPosition(window->frame());
    XMoveWindow(dpy, backend->xid(), at.x, at.y);
    window->setCursor(ui::Cursor::arrowCursor());
}

void X11MenuPresenter::moveWindow(const std::shared_ptr<ui::Window>& window) {
    auto display = display_.lock();
    auto backend = std::dynamic_pointer_cast<X11WindowBackend>(window->backend());
    if (!display || !backend || backend->isClosed()) {
        return;
    }
    const RootPoint at = rootPosition(window->frame());
    XMoveWindow(display->xdisplay(), backend->xid(), at.x, at.y);
    XFlush(display->xdisplay());
}

void X11MenuPresenter::showLevel(ui::MenuTracking& tracking, std::size_t level) {
    WindowMenuPresenter::showLevel(tracking, level);
    grab();
}

void X11MenuPresenter::updateLevel(ui::MenuTracking& tracking, std::size_t level) {
    WindowMenuPresenter::updateLevel(tracking, level);
    grab();
}

std::shared_ptr<X11WindowBackend> X11MenuPresenter::levelBackend(std::size_t level) const {
    auto window = levelWindow(level);
    return window ? std::dynamic_pointer_cast<X11WindowBackend>(window->backend()) : nullptr;
}

void X11MenuPresenter::grab() {
    if (pointerGrabbed_ && keyboardGrabbed_) {
        return;
    }
    auto display = display_.lock();
    auto first = levelBackend(0);
    if (!display || !first || first->isClosed()) {
        return;
    }
    ::Display* dpy = display->xdisplay();
    // Events are reported to the first level's window wherever the pointer is; the session places
    // them on the screen through that window's frame.
    if (!pointerGrabbed_) {
        pointerGrabbed_ =
            XGrabPointer(dpy, first->xid(), False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                         GrabModeAsync, GrabModeAsync, 0, 0, CurrentTime) == GrabSuccess;
    }
    if (!keyboardGrabbed_) {
        keyboardGrabbed_ =
            XGrabKeyboard(dpy, first->xid(), False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
    }
    XFlush(dpy);
}

void X11MenuPresenter::ungrab() {
    if (!pointerGrabbed_ && !keyboardGrabbed_) {
        return;
    }
    if (auto display = display_.lock()) {
        ::Display* dpy = display->xdisplay();
        if (pointerGrabbed_) {
            XUngrabPointer(dpy, CurrentTime);
        }
        if (keyboardGrabbed_) {
            XUngrabKeyboard(dpy, CurrentTime);
        }
        XFlush(dpy);
    }
    pointerGrabbed_ = false;
    keyboardGrabbed_ = false;
}

} // namespace display
