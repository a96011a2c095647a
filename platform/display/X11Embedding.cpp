#include "display/X11Embedding.hpp"

#include "display/X11Display.hpp"
#include "display/X11Errors.hpp"

#include <X11/Xlib.h>

namespace display {

X11EmbeddedWindow::X11EmbeddedWindow(std::shared_ptr<X11Display> display,
                                     std::shared_ptr<X11WindowBackend> window, unsigned long parent)
    : display_(std::move(display)), window_(window), parent_(parent) {}

X11EmbeddedWindow::~X11EmbeddedWindow() {
    end({});
}

void X11EmbeddedWindow::end(const std::function<void()>& teardown) {
    if (ended_ || !display_) {
        return;
    }
    ended_ = true;
    // The host may have destroyed its windows, and ours with them, already.
    X11ErrorTrap trap(display_->xdisplay());
    if (holding_) {
        giveKeyboardBack();
    }
    holding_ = false;
    if (teardown) {
        teardown();
    }
}

bool X11EmbeddedWindow::isViewable(unsigned long window) const {
    if (!display_ || window == 0) {
        return false;
    }
    XWindowAttributes attributes{};
    X11ErrorTrap trap(display_->xdisplay());
    return XGetWindowAttributes(display_->xdisplay(), window, &attributes) != 0 &&
           attributes.map_state == IsViewable;
}

std::pair<int, int> X11EmbeddedWindow::pixelSize() const {
    auto window = window_.lock();
    if (!display_ || !window || window->isClosed()) {
        return {0, 0};
    }
    XWindowAttributes attributes{};
    X11ErrorTrap trap(display_->xdisplay());
    if (XGetWindowAttributes(display_->xdisplay(), window->xid(), &attributes) == 0) {
        return {0, 0};
    }
    return {attributes.width, attributes.height};
}

unsigned long X11EmbeddedWindow::hostTopLevel() const {
    if (!display_) {
        return 0;
    }
    ::Display* dpy = display_->xdisplay();
    X11ErrorTrap trap(dpy);
    const Atom wmState = XInternAtom(dpy, "WM_STATE", True);
    auto window = window_.lock();
    ::Window current = window && !window->isClosed() ? window->xid() : parent_;
    while (current) {
        ::Window root = 0, up = 0;
        ::Window* children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(dpy, current, &root, &up, &children, &count)) {
            return 0;
        }
        if (children) {
            XFree(children);
        }
        if (current == root) {
            return 0;
        }
        if (wmState != None && (!window || current != window->xid())) {
            Atom type = None;
            int format = 0;
            unsigned long items = 0, remaining = 0;
            unsigned char* data = nullptr;
            const bool carries = XGetWindowProperty(dpy, current, wmState, 0, 0, False, AnyPropertyType,
                                                    &type, &format, &items, &remaining, &data) == Success &&
                                 type != None;
            if (data) {
                XFree(data);
            }
            if (carries) {
                return current;
            }
        }
        if (up == root) {
            return current;
        }
        current = up;
    }
    return 0;
}

void X11EmbeddedWindow::holdKeyboard(bool hold) {
    if (hold == holding_ || !display_) {
        return;
    }
    holding_ = hold;
    if (!hold) {
        giveKeyboardBack();
        return;
    }
    auto window = window_.lock();
    const unsigned long target = window ? window->xid() : 0;
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_->xdisplay(), &focus, &revert);
    hostFocus_ = focus > PointerRoot && focus != target ? focus : 0;
    if (target == 0 || !isViewable(target)) {
        return;
    }
    X11ErrorTrap trap(display_->xdisplay());
    XSetInputFocus(display_->xdisplay(), target, RevertToParent, CurrentTime);
}

void X11EmbeddedWindow::giveKeyboardBack() {
    const unsigned long target = hostFocus_ != 0 && isViewable(hostFocus_) ? hostFocus_ : hostTopLevel();
    if (target == 0 || !isViewable(target)) {
        return;
    }
    X11ErrorTrap trap(display_->xdisplay());
    XSetInputFocus(display_->xdisplay(), target, RevertToParent, CurrentTime);
}

void X11EmbeddedWindow::resize(int pixelWidth, int pixelHeight) {
    auto window = window_.lock();
    if (!display_ || !window || window->isClosed() || pixelWidth <= 0 || pixelHeight <= 0) {
        return;
    }
    X11ErrorTrap trap(display_->xdisplay());
    XResizeWindow(display_->xdisplay(), window->xid(), static_cast<unsigned>(pixelWidth),
                  static_cast<unsigned>(pixelHeight));
}

} // namespace display
