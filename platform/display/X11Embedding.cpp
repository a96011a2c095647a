#include "display/X11Embedding.hpp"

#include "display/X11Display.hpp"
#include "display/X11Errors.hpp"

#include <X11/Xlib.h>

namespace display {

X11EmbeddedWindow::X11EmbeddedWindow(std::shared_ptr<X11Display> display,
                                     std::shared_ptr<X11WindowBackend> window, unsigned long parent)
    : display_(std::move(display)), window_(window), parent_(parent) {
    if (!display_) {
        return;
    }
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_->xdisplay(), &focus, &revert);
    hostFocus_ = focus;
}

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
    if (holding_ && hostFocus_ > PointerRoot) {
        XSetInputFocus(display_->xdisplay(), hostFocus_, RevertToParent, CurrentTime);
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

void X11EmbeddedWindow::holdKeyboard(bool hold) {
    if (hold == holding_ || !display_) {
        return;
    }
    holding_ = hold;
    auto window = window_.lock();
    unsigned long target = hold ? (window ? window->xid() : 0) : hostFocus_;
    if (!hold && (target <= PointerRoot || !isViewable(target))) {
        target = parent_;
    }
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
