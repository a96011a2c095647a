#include "display/X11Clipboard.hpp"

#include "display/X11Display.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

namespace display {

std::shared_ptr<X11Clipboard> X11Display::clipboard() {
    if (!clipboard_) {
        clipboard_ = X11Clipboard::make(shared_from_this());
    }
    return clipboard_;
}

ui::TextClipboardAccess X11WindowBackend::clipboardAccess() {
    auto display = display_.lock();
    if (!display) {
        return {};
    }
    std::weak_ptr<X11Clipboard> weak = display->clipboard();
    if (weak.expired()) {
        return {};
    }
    return {[weak]() -> std::optional<std::string> {
                if (auto clipboard = weak.lock()) {
                    return clipboard->text();
                }
                return std::nullopt;
            },
            [weak](const std::string& text) {
                if (auto clipboard = weak.lock()) {
                    clipboard->setText(text);
                }
            }};
}

std::shared_ptr<X11Clipboard> X11Clipboard::make(const std::shared_ptr<X11Display>& display,
                                                 std::chrono::milliseconds timeout) {
    if (!display || !display->xdisplay()) {
        return nullptr;
    }
    ::Display* dpy = display->xdisplay();
    const ::Window window = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), -10, -10, 1, 1, 0, 0, 0);
    std::shared_ptr<X11Clipboard> clipboard(new X11Clipboard(display, window, timeout));
    std::weak_ptr<X11Clipboard> weak = clipboard;
    display->setEventHandler(window, [weak](XEvent& event) {
        if (auto self = weak.lock()) {
            self->handle(event);
        }
    });
    return clipboard;
}

X11Clipboard::X11Clipboard(std::shared_ptr<X11Display> display, unsigned long window,
                           std::chrono::milliseconds timeout)
    : display_(display), window_(window), timeout_(timeout) {
    ::Display* dpy = display->xdisplay();
    clipboard_ = XInternAtom(dpy, "CLIPBOARD", False);
    utf8_ = XInternAtom(dpy, "UTF8_STRING", False);
    targets_ = XInternAtom(dpy, "TARGETS", False);
    property_ = XInternAtom(dpy, "TESSARAY_CLIPBOARD", False);
}

X11Clipboard::~X11Clipboard() {
    if (auto display = display_.lock()) {
        display->setEventHandler(window_, {});
        XDestroyWindow(display->xdisplay(), window_);
        XFlush(display->xdisplay());
    }
}

void X11Clipboard::setText(const std::string& text) {
    text_ = text;
    auto display = display_.lock();
    if (!display) {
        return;
    }
    ::Display* dpy = display->xdisplay();
    XSetSelectionOwner(dpy, clipboard_, window_, CurrentTime);
    owned_ = XGetSelectionOwner(dpy, clipboard_) == window_;
    XFlush(dpy);
}

std::optional<std::string> X11Clipboard::text() {
    auto display = display_.lock();
    if (!display) {
        return std::nullopt;
    }
    ::Display* dpy = display->xdisplay();
    const ::Window owner = XGetSelectionOwner(dpy, clipboard_);
    if (owner == window_) {
        return text_;
    }
    if (owner == None) {
        return std::nullopt;
    }
    XDeleteProperty(dpy, window_, property_);
    XConvertSelection(dpy, clipboard_, utf8_, property_, window_, CurrentTime);
    XFlush(dpy);
    // Wait for the owner's answer, taking only that event from the queue; everything else stays for
    // the event loop.
    const auto deadline = std::chrono::steady_clock::now() + timeout_;
    XEvent event;
    while (!XCheckTypedWindowEvent(dpy, window_, SelectionNotify, &event)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(std::min<long long>(left.count(), 10)));
    }
    if (event.xselection.property == None) {
        return std::nullopt; // the owner cannot give text
    }
    Atom type;
    int format;
    unsigned long count, remaining;
    unsigned char* data = nullptr;
    // Up to 16 MB of text; larger clipboards are cut rather than refused.
    if (XGetWindowProperty(dpy, window_, property_, 0, 4 * 1024 * 1024, True, AnyPropertyType, &type, &format,
                           &count, &remaining, &data) != Success) {
        return std::nullopt;
    }
    std::optional<std::string> result;
    if (data && format == 8 && (type == utf8_ || type == XA_STRING)) {
        result = std::string(reinterpret_cast<const char*>(data), count);
    }
    if (data) {
        XFree(data);
    }
    return result;
}

namespace {
// Text larger than one request would need the incremental protocol, which is not spoken here: such a
// request is refused rather than sent cut.
bool fitsOneRequest(::Display* dpy, std::size_t bytes) {
    long limit = XExtendedMaxRequestSize(dpy);
    if (limit == 0) {
        limit = XMaxRequestSize(dpy);
    }
    return static_cast<long long>(bytes) < static_cast<long long>(limit) * 4 - 1024;
}
} // namespace

void X11Clipboard::handle(XEvent& event) {
    auto display = display_.lock();
    if (!display) {
        return;
    }
    ::Display* dpy = display->xdisplay();
    if (event.type == SelectionClear && event.xselectionclear.selection == clipboard_) {
        owned_ = false;
        return;
    }
    if (event.type != SelectionRequest) {
        return;
    }
    const auto& request = event.xselectionrequest;
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = dpy;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    // Old clients name no property: the target doubles as one.
    const Atom property = request.property == None ? request.target : request.property;
    reply.xselection.property = None;
    if (owned_ && request.selection == clipboard_) {
        if (request.target == targets_) {
            const Atom supported[] = {static_cast<Atom>(targets_), static_cast<Atom>(utf8_), XA_STRING};
            XChangeProperty(dpy, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(supported), 3);
            reply.xselection.property = property;
        } else if ((request.target == utf8_ || request.target == XA_STRING) &&
                   fitsOneRequest(dpy, text_.size())) {
            XChangeProperty(dpy, request.requestor, property, request.target, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(text_.data()),
                            static_cast<int>(text_.size()));
            reply.xselection.property = property;
        }
    }
    XSendEvent(dpy, request.requestor, False, NoEventMask, &reply);
    XFlush(dpy);
}

} // namespace display
