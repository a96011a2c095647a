#include "display/X11Display.hpp"
#include "ui/Screen.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace display {

std::shared_ptr<ui::Screen> X11Display::screen() const {
    const int screen = DefaultScreen(display_);
    const ::Window root = RootWindow(display_, screen);
    const double scale = backingScaleFactor();
    const int rootWidth = DisplayWidth(display_, screen);
    const int rootHeight = DisplayHeight(display_, screen);
    const graphics::Rect frame(0, 0, rootWidth / scale, rootHeight / scale);
    graphics::Rect visible = frame;

    // A CARDINAL property of the root window as a list of longs (empty when absent or malformed).
    auto cardinals = [&](const char* name, long maxItems) {
        std::vector<long> values;
        const Atom atom = XInternAtom(display_, name, True);
        if (atom == None) {
            return values;
        }
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display_, root, atom, 0, maxItems, False, XA_CARDINAL, &type, &format, &count,
                               &after, &data) == Success &&
            type == XA_CARDINAL && format == 32 && data) {
            const long* items = reinterpret_cast<const long*>(data);
            values.assign(items, items + count);
        }
        if (data) {
            XFree(data);
        }
        return values;
    };
    const auto workarea = cardinals("_NET_WORKAREA", 4 * 64);
    const auto current = cardinals("_NET_CURRENT_DESKTOP", 1);
    std::size_t desktop = current.empty() || current[0] < 0 ? 0 : static_cast<std::size_t>(current[0]);
    if (workarea.size() < 4 * (desktop + 1)) {
        desktop = 0;
    }
    if (workarea.size() >= 4 * (desktop + 1)) {
        const long* a = &workarea[4 * desktop];
        // Only an area inside the root window with some size is believed.
        if (a[0] >= 0 && a[1] >= 0 && a[2] > 0 && a[3] > 0 && a[0] + a[2] <= rootWidth &&
            a[1] + a[3] <= rootHeight) {
            visible =
                graphics::Rect(a[0] / scale, (rootHeight - a[1] - a[3]) / scale, a[2] / scale, a[3] / scale);
        }
    }
    return std::make_shared<ui::Screen>(frame, visible, scale);
}

bool X11Display::windowManagerActivates() const {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(display_, DefaultRootWindow(display_), netSupported_, 0, 4096, False, XA_ATOM,
                           &type, &format, &count, &after, &data) == Success &&
        type == XA_ATOM && format == 32 && data) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        found = std::find(atoms, atoms + count, netActiveWindow_) != atoms + count;
    }
    if (data) {
        XFree(data);
    }
    return found;
}

bool X11WindowBackend::takeFocus() {
    if (embedded_ || !xid_ || display_.expired()) {
        return false;
    }
    if (focused_) {
        return false;
    }
    if (!mapped_) {
        // Asking before the window is viewable is an error; it becomes key now and asks once mapped.
        focusOnMap_ = true;
        return false;
    }
    requestFocus();
    return !clicking_;
}

void X11WindowBackend::requestFocus() {
    auto display = display_.lock();
    if (!display || !xid_) {
        return;
    }
    ::Display* dpy = display->xdisplay();
    // A fresh time: a request older than the last focus change (another program's) would be ignored.
    const unsigned long time = serverTime();
    if (display->windowManagerActivates()) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = xid_;
        event.xclient.message_type = display->netActiveWindow_;
        event.xclient.format = 32;
        event.xclient.data.l[0] = 1; // from an application
        event.xclient.data.l[1] = static_cast<long>(time);
        event.xclient.data.l[2] = 0;
        XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &event);
    } else {
        XSetInputFocus(dpy, xid_, RevertToParent, time);
    }
    XFlush(dpy);
}

unsigned long X11WindowBackend::serverTime() {
    auto display = display_.lock();
    return display && xid_ ? display->serverTime(xid_) : CurrentTime;
}

unsigned long X11Display::serverTime(unsigned long window) {
    // Appending nothing to a property changes nothing but is answered with a PropertyNotify that
    // carries the server's time; once synced, it is in the queue.
    XChangeProperty(display_, window, timestampProperty_, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XSync(display_, False);
    struct Match {
        ::Window window;
        Atom property;
    } match{window, timestampProperty_};
    XEvent event;
    if (XCheckIfEvent(
            display_, &event,
            [](::Display*, XEvent* e, XPointer arg) -> Bool {
                const auto* m = reinterpret_cast<const Match*>(arg);
                return e->type == PropertyNotify && e->xproperty.window == m->window &&
                       e->xproperty.atom == m->property;
            },
            reinterpret_cast<XPointer>(&match))) {
        return event.xproperty.time;
    }
    return CurrentTime;
}

void X11WindowBackend::setWindowManagerHints(const std::string& title, graphics::Size pixelSize,
                                             bool fixedSize) {
    auto display = display_.lock();
    if (!display || !xid_) {
        return;
    }
    ::Display* dpy = display->xdisplay();
    const ::Window xid = xid_;
    XStoreName(dpy, xid, title.c_str());
    const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", 0);
    XChangeProperty(dpy, xid, XInternAtom(dpy, "_NET_WM_NAME", 0), utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
    const Atom normal = XInternAtom(dpy, "_NET_WM_WINDOW_TYPE_NORMAL", 0);
    XChangeProperty(dpy, xid, XInternAtom(dpy, "_NET_WM_WINDOW_TYPE", 0), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&normal), 1);
    if (fixedSize) {
        XSizeHints* hints = XAllocSizeHints();
        if (hints) {
            long supplied = 0;
            XGetWMNormalHints(dpy, xid, hints, &supplied);
            hints->flags |= PMinSize | PMaxSize;
            hints->min_width = hints->max_width = static_cast<int>(pixelSize.width);
            hints->min_height = hints->max_height = static_cast<int>(pixelSize.height);
            XSetWMNormalHints(dpy, xid, hints);
            XFree(hints);
        }
        // _MOTIF_WM_HINTS: functions move, minimise and close only.
        struct {
            unsigned long flags, functions, decorations;
            long inputMode;
            unsigned long status;
        } motif{1, 4 | 8 | 32, 0, 0, 0};
        const Atom motifAtom = XInternAtom(dpy, "_MOTIF_WM_HINTS", 0);
        XChangeProperty(dpy, xid, motifAtom, motifAtom, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&motif), 5);
    }
    XFlush(dpy);
}

void X11WindowBackend::setTitle(const std::string& title) {
    auto display = display_.lock();
    if (!display || !xid_) {
        return;
    }
    ::Display* dpy = display->xdisplay();
    // An untitled top-level window (an alert) still needs a name in task lists and window switchers.
    const std::string& name = title.empty() && !embedded_ ? display->className_ : title;
    XStoreName(dpy, xid_, name.c_str());
    XChangeProperty(dpy, xid_, display->netWmName_, display->utf8String_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(name.data()), static_cast<int>(name.size()));
    XFlush(dpy);
}

void X11WindowBackend::setContentSizeLimits(const graphics::Size& min, const graphics::Size& max) {
    auto display = display_.lock();
    if (!display || !xid_ || embedded_) {
        return;
    }
    ::Display* dpy = display->xdisplay();
    XSizeHints hints{};
    long supplied = 0;
    XGetWMNormalHints(dpy, xid_, &hints, &supplied);
    hints.flags &= ~(PMinSize | PMaxSize);
    if (min.width > 0 && min.height > 0) {
        hints.flags |= PMinSize;
        hints.min_width = static_cast<int>(std::lround(min.width * scale_));
        hints.min_height = static_cast<int>(std::lround(min.height * scale_));
    }
    if (max.width > 0 && max.height > 0) {
        hints.flags |= PMaxSize;
        hints.max_width = static_cast<int>(std::lround(max.width * scale_));
        hints.max_height = static_cast<int>(std::lround(max.height * scale_));
    }
    XSetWMNormalHints(dpy, xid_, &hints);
    XFlush(dpy);
}

void X11WindowBackend::setTransientFor(ui::WindowBackend* parent) {
    auto display = display_.lock();
    if (!display || !xid_) {
        return;
    }
    auto* x11Parent = dynamic_cast<X11WindowBackend*>(parent);
    ::Display* dpy = display->xdisplay();
    if (x11Parent && x11Parent->xid_) {
        XSetTransientForHint(dpy, xid_, x11Parent->xid_);
    } else {
        XDeleteProperty(dpy, xid_, XA_WM_TRANSIENT_FOR);
    }
    XFlush(dpy);
}

} // namespace display
