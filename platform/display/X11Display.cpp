#include "display/X11Display.hpp"

#include "core/Log.hpp"
#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "core/ScopeGuards.hpp"
#include "display/X11Errors.hpp"
#include "display/X11MenuPresenter.hpp"
#include "graphics/DrawRecorder.hpp"
#include "ui/Application.hpp"
#include "ui/Cursor.hpp"
#include "ui/MenuView.hpp"
#include "ui/Screen.hpp"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xcursor/Xcursor.h>
#include <X11/Xlib.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
// After Xlib.
#include "display/X11Keys.hpp"

#include <algorithm>
#include <cairo.h>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <errno.h>
#include <optional>
#include <poll.h>
#include <utility>
#include <vector>

namespace display {

using graphics::Point;
using graphics::Size;
using ui::EventType;

namespace {

std::optional<double> parseScale(const char* text) {
    if (!text || !*text) {
        return std::nullopt;
    }
    double value = 0;
    const char* end = text + std::strlen(text);
    auto [ptr, ec] = std::from_chars(text, end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value) || value <= 0 || value > 8) {
        return std::nullopt;
    }
    return value;
}

// X coordinates are 16-bit: positions beyond are brought to the edge of that range.
int toXCoordinate(double pixels) {
    return static_cast<int>(std::clamp(std::round(pixels), -32768.0, 32767.0));
}

// A window's size in pixels: at least one, at most the root window's (larger requests, say from a damaged
// saved frame or another client resizing our window, would be refused by the server or need absurd
// buffers) and never beyond the 32767 pixels of X coordinates and cairo's image surfaces.
int clampPixels(double pixels, int limit) {
    const double most = std::clamp(limit, 1, 32767);
    return static_cast<int>(std::lround(std::clamp(std::isfinite(pixels) ? pixels : 1.0, 1.0, most)));
}

// Events handled in one turn of the run loop at most: a flood of them (another client sending thousands
// of keys) still leaves display passes and timers their turns; the rest waits for the next turn.
constexpr auto kEventSlice = std::chrono::milliseconds(8);

// A menu level's window that another client unmapped or destroyed (ours are closed, and forgotten, by
// the session): the session it shows ends, or it would take every key and click with nothing on screen.
void endMenuSession(const std::shared_ptr<ui::Window>& window) {
    if (auto level = std::dynamic_pointer_cast<ui::MenuWindow>(window)) {
        if (auto tracking = level->tracking(); tracking && tracking->isActive()) {
            tracking->cancel();
        }
    }
}

// The program's own name, for window classes.
std::string programName() {
    std::string name = program_invocation_short_name ? program_invocation_short_name : "";
    return name.empty() ? std::string("tessaray") : name;
}

} // namespace

// ---------------------------------------------------------------------------------------------------

std::shared_ptr<X11Display> X11Display::open(const char* name) {
    ::Display* display = XOpenDisplay(name);
    if (!display) {
        return nullptr;
    }
    // Errors on this connection are logged from now on instead of ending the process.
    registerErrorLogging(display);
    return std::shared_ptr<X11Display>(new X11Display(display));
}

X11Display::X11Display(::Display* display) : display_(display) {
    // Held keys then repeat as presses only, which is how the ui layer expects repeats.
    Bool supported = False;
    XkbSetDetectableAutoRepeat(display_, True, &supported);
    wmProtocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
    wmDeleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    netWmName_ = XInternAtom(display_, "_NET_WM_NAME", False);
    utf8String_ = XInternAtom(display_, "UTF8_STRING", False);
    netActiveWindow_ = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    netSupported_ = XInternAtom(display_, "_NET_SUPPORTED", False);
    timestampProperty_ = XInternAtom(display_, "_TESSARAY_TIMESTAMP", False);
    instanceName_ = programName();
    className_ = instanceName_;
    className_[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(className_[0])));
}

X11Display::~X11Display() {
    detach();
    for (auto& [xid, weak] : std::map(windows_)) {
        if (auto backend = weak.lock()) {
            backend->close();
        }
    }
    XCloseDisplay(display_);
    unregisterErrorLogging(display_);
}

int X11Display::connectionFd() const {
    return ConnectionNumber(display_);
}

void X11Display::attach(core::RunLoop& runLoop) {
    detach();
    runLoop_ = &runLoop;
    // Replies to our requests can bring events along, which Xlib queues without the descriptor ever
    // becoming readable for them: the run loop asks for its queue length on every turn.
    watchId_ = runLoop.watchFileDescriptor(
        connectionFd(), POLLIN,
        [weak = weak_from_this()](short) {
            if (auto self = weak.lock()) {
                self->processPendingEvents();
            }
        },
        [display = display_] { return XQLength(display) > 0; });
    // Events Xlib may already hold are not signalled on the descriptor.
    core::mainAsync([weak = weak_from_this()] {
        if (auto self = weak.lock()) {
            self->processPendingEvents();
        }
    });
}

void X11Display::detach() {
    if (runLoop_) {
        runLoop_->unwatchFileDescriptor(watchId_);
        runLoop_ = nullptr;
        watchId_ = 0;
    }
}

void X11Display::pump() {
    auto self = shared_from_this();
    // A plug-in host keeps its own signal handling: a write to a server that has gone fails here instead
    // of raising SIGPIPE in the host.
    PipeSignalGuard pipeGuard;
    processPendingEvents();
    core::RunLoop& loop = runLoop_ ? *runLoop_ : core::RunLoop::main();
    loop.runOnce(core::RunLoop::Duration::zero());
    // Display passes and work run above may have read further events into Xlib's queue.
    processPendingEvents();
    displayInvalidated();
    if (isConnectionLost()) {
        noticeConnectionLoss();
    }
}

void X11Display::processPendingEvents() {
    const int depth = runLoop().nestingDepth();
    if (handlingDepth_ >= depth || lossNoticed_) {
        return;
    }
    auto self = shared_from_this();
    {
        const core::Setting handling(handlingDepth_, depth);
        // Events left over stay in Xlib's queue, which the run loop asks about, or on the connection.
        const auto end = std::chrono::steady_clock::now() + kEventSlice;
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            handleEvent(event);
            if (std::chrono::steady_clock::now() >= end) {
                break;
            }
        }
    }
    if (isConnectionLost()) {
        noticeConnectionLoss();
    }
}

bool X11Display::isConnectionLost() const {
    return connectionLost(display_);
}

void X11Display::noticeConnectionLoss() {
    if (std::exchange(lossNoticed_, true)) {
        return;
    }
    // The descriptor of a broken connection stays readable for ever.
    detach();
    core::log("X11: the connection to the X server %s was lost", DisplayString(display_));
    if (auto handler = lostHandler_) {
        handler();
    }
}

void X11Display::setEventHandler(unsigned long xid, std::function<void(XEvent&)> handler) {
    if (handler) {
        handlers_[xid] = std::move(handler);
    } else {
        handlers_.erase(xid);
    }
}

void X11Display::setWindowClass(std::string instanceName, std::string className) {
    if (!instanceName.empty()) {
        instanceName_ = std::move(instanceName);
    }
    if (!className.empty()) {
        className_ = std::move(className);
    }
}

void X11Display::handleEvent(XEvent& event) {
    // Requests made while a key or button event is handled carry its time; other events have none.
    const bool key = event.type == KeyPress || event.type == KeyRelease;
    const bool button = event.type == ButtonPress || event.type == ButtonRelease;
    const core::Setting<unsigned long> time(inputEventTime_, key      ? event.xkey.time
                                                             : button ? event.xbutton.time
                                                                      : CurrentTime);
    if (auto handler = handlers_.find(event.xany.window); handler != handlers_.end()) {
        auto call = handler->second; // the handler may remove itself
        call(event);
        return;
    }
    auto it = windows_.find(event.xany.window);
    if (it == windows_.end()) {
        return;
    }
    if (auto backend = it->second.lock()) {
        backend->handleEvent(event);
    } else {
        windows_.erase(it);
    }
}

std::pair<int, int> X11Display::fitPixels(double width, double height) const {
    const int screen = DefaultScreen(display_);
    return {clampPixels(width, DisplayWidth(display_, screen)),
            clampPixels(height, DisplayHeight(display_, screen))};
}

void X11Display::forget(unsigned long xid) {
    windows_.erase(xid);
}

void X11Display::displayInvalidated() {
    for (auto& [xid, weak] : std::map(windows_)) {
        if (auto backend = weak.lock()) {
            backend->displayIfNeeded();
        }
    }
}

double X11Display::backingScaleFactor() const {
    if (scaleOverride_ && *scaleOverride_ > 0) {
        return *scaleOverride_;
    }
    if (auto fromEnvironment = parseScale(std::getenv("TESSARAY_SCALE"))) {
        return *fromEnvironment;
    }
    double scale = 1.0;
    if (const char* resources = XResourceManagerString(display_)) {
        XrmInitialize();
        if (XrmDatabase database = XrmGetStringDatabase(resources)) {
            char* type = nullptr;
            XrmValue value{};
            if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr) {
                double dpi = 0;
                const char* text = value.addr;
                auto [ptr, ec] = std::from_chars(text, text + std::strlen(text), dpi);
                (void)ptr;
                if (ec == std::errc() && std::isfinite(dpi) && dpi > 0) {
                    scale = std::round(dpi / 96.0) >= 2 ? 2.0 : 1.0;
                }
            }
            XrmDestroyDatabase(database);
        }
    }
    return scale;
}

std::shared_ptr<X11WindowBackend> X11Display::createWindow(const std::shared_ptr<ui::Window>& window,
                                                           unsigned long parent) {
    if (!window) {
        return nullptr;
    }
    const double scale = backingScaleFactor();
    const int screen = DefaultScreen(display_);
    Size size = window->contentAreaRect().size;
    const auto [width, height] = fitPixels(size.width * scale, size.height * scale);
    size = {width / scale, height / scale};
    int x = 0;
    int y = 0;
    if (!parent) {
        // Screen points (y up) to root pixels (y down).
        const graphics::Point origin = window->contentAreaRect().origin;
        x = toXCoordinate(origin.x * scale);
        y = toXCoordinate(DisplayHeight(display_, screen) - origin.y * scale - height);
    }
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None; // the back buffer covers everything; no flash of background
    attributes.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | KeyPressMask | KeyReleaseMask | FocusChangeMask |
                            PropertyChangeMask;
    // Pop-up windows bypass the window manager, as the menus do: no frame, no focus, placed as asked.
    const bool popUp = !parent && window->isPopUp();
    attributes.override_redirect = popUp ? True : False;
    attributes.save_under = popUp ? True : False;
    Window xid = 0;
    {
        // A parent is another client's window and need not be one (never made, or destroyed meanwhile):
        // the server then refuses the create, which only a round trip tells.
        std::optional<X11ErrorTrap> trap;
        if (parent) {
            trap.emplace(display_);
        }
        xid = XCreateWindow(display_, parent ? parent : RootWindow(display_, screen), x, y,
                            static_cast<unsigned>(width), static_cast<unsigned>(height), 0, CopyFromParent,
                            InputOutput, CopyFromParent,
                            CWBackPixmap | CWEventMask | CWOverrideRedirect | CWSaveUnder, &attributes);
        if (xid && trap && trap->errors() > 0) {
            XDestroyWindow(display_, xid);
            xid = 0;
        }
    }
    if (!xid) {
        return nullptr;
    }
    Atom protocols[] = {wmDeleteWindow_};
    XSetWMProtocols(display_, xid, protocols, 1);
    if (!parent) {
        // The program chose the position: window managers should keep it.
        XSizeHints hints{};
        hints.flags = USPosition | PPosition;
        hints.x = x;
        hints.y = y;
        XSetWMNormalHints(display_, xid, &hints);
        XClassHint classHint;
        classHint.res_name = instanceName_.data();
        classHint.res_class = className_.data();
        XSetClassHint(display_, xid, &classHint);
    }
    auto backend =
        std::shared_ptr<X11WindowBackend>(new X11WindowBackend(shared_from_this(), xid, size, scale));
    backend->window_ = window;
    backend->embedded_ = parent != 0;
    backend->resizeBuffers(width, height);
    windows_[xid] = backend;
    window->setBackend(backend);
    XFlush(display_);
    return backend;
}

// ---------------------------------------------------------------------------------------------------

X11WindowBackend::X11WindowBackend(std::shared_ptr<X11Display> display, unsigned long xid, Size size,
                                   double scale)
    : display_(display), xid_(xid), size_(size), scale_(scale) {}

X11WindowBackend::~X11WindowBackend() {
    close();
}

void X11WindowBackend::invalidate() {
    if (displayQueued_ || !xid_) {
        return; // one pass is already on its way
    }
    displayQueued_ = true;
    core::mainAsync([weak = weak_from_this()] {
        if (auto self = weak.lock()) {
            self->displayIfNeeded();
        }
    });
}

void X11WindowBackend::displayIfNeeded() {
    displayQueued_ = false;
    auto w = window();
    if (!w || !xid_) {
        return;
    }
    if (w->viewsNeedDisplay()) {
        w->displayIfNeeded(); // drawRects draws, then presents
    }
}

void X11WindowBackend::setContentSize(const Size& size) {
    auto display = display_.lock();
    if (!display || !xid_ || size.width <= 0 || size.height <= 0) {
        return;
    }
    ::Display* dpy = display->xdisplay();
    const auto [width, height] = display->fitPixels(size.width * scale_, size.height * scale_);
    const bool clamped =
        width < std::lround(size.width * scale_) || height < std::lround(size.height * scale_);
    size_ = clamped ? Size{width / scale_, height / scale_} : size;
    resizeBuffers(width, height);
    XResizeWindow(dpy, xid_, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFlush(dpy);
    if (clamped) {
        // Larger than the screen: the window learns the size it got.
        if (auto w = window()) {
            w->backendDidResize(size_);
        }
    }
}

void X11WindowBackend::orderFront() {
    auto display = display_.lock();
    if (!display || !xid_) {
        return;
    }
    XMapRaised(display->xdisplay(), xid_);
    XFlush(display->xdisplay());
}

std::shared_ptr<ui::MenuPresenter> X11WindowBackend::menuPresenter() {
    if (!menuPresenter_) {
        menuPresenter_ = std::make_shared<X11MenuPresenter>(display_);
    }
    return menuPresenter_;
}

void X11WindowBackend::orderOut() {
    auto display = display_.lock();
    if (!display || !xid_) {
        return;
    }
    XUnmapWindow(display->xdisplay(), xid_);
    XFlush(display->xdisplay());
}

void X11WindowBackend::setFrameOrigin(const Point& origin) {
    auto display = display_.lock();
    if (!display || !xid_ || embedded_) {
        return;
    }
    ::Display* dpy = display->xdisplay();
    const int x = toXCoordinate(origin.x * scale_);
    const int y = toXCoordinate(DisplayHeight(dpy, DefaultScreen(dpy)) - origin.y * scale_ - pixelHeight_);
    XMoveWindow(dpy, xid_, x, y);
    XFlush(dpy);
}

std::shared_ptr<ui::Screen> X11WindowBackend::screen() const {
    auto display = display_.lock();
    return display ? display->screen() : nullptr;
}

std::shared_ptr<ui::WindowBackend> X11WindowBackend::makeBackend(const std::shared_ptr<ui::Window>& window) {
    auto display = display_.lock();
    if (!display || !xid_) {
        return nullptr;
    }
    return display->createWindow(window);
}

void X11WindowBackend::setCursor(const std::shared_ptr<ui::Cursor>& cursor) {
    auto display = display_.lock();
    if (!display || !xid_ || !cursor) {
        return;
    }
    ::Display* dpy = display->xdisplay();
    cursor_ = cursor;
    unsigned long xc = 0;
    if (auto it = xcursors_.find(cursor.get()); it != xcursors_.end() && !it->second.first.expired()) {
        xc = it->second.second;
    } else if (auto image = cursor->image()) {
        auto rep = image->bestRepresentation(scale_);
        if (!rep) {
            return;
        }
        const int w = rep->pixelsWide();
        const int h = rep->pixelsHigh();
        XcursorImage* xi = XcursorImageCreate(w, h);
        if (!xi) {
            return;
        }
        const double px = w / std::max(1.0, image->width());
        xi->xhot =
            static_cast<XcursorDim>(std::clamp(std::lround(cursor->hotSpot().x * px), 0L, long{w - 1}));
        xi->yhot =
            static_cast<XcursorDim>(std::clamp(std::lround(cursor->hotSpot().y * px), 0L, long{h - 1}));
        cairo_surface_t* surface = rep->surface();
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < h; ++y) {
            // Both are premultiplied ARGB in native order.
            std::memcpy(xi->pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(w),
                        data + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride),
                        static_cast<std::size_t>(w) * 4);
        }
        xc = XcursorImageLoadCursor(dpy, xi);
        XcursorImageDestroy(xi);
        xcursors_[cursor.get()] = {cursor, xc};
    } else {
        xc = XcursorLibraryLoadCursor(dpy, cursor->systemName().empty() ? "left_ptr"
                                                                        : cursor->systemName().c_str());
        if (!xc) {
            xc = XCreateFontCursor(dpy, 68); // XC_left_ptr
        }
        xcursors_[cursor.get()] = {cursor, xc};
    }
    xcursor_ = xc;
    XDefineCursor(dpy, xid_, xc);
    XFlush(dpy);
}

void X11WindowBackend::close() {
    if (auto display = display_.lock(); display && xid_) {
        for (auto& [key, entry] : xcursors_) {
            if (entry.second) {
                XFreeCursor(display->xdisplay(), entry.second);
            }
        }
    }
    xcursors_.clear();
    xcursor_ = 0;
    if (windowSurface_) {
        cairo_surface_destroy(windowSurface_);
        windowSurface_ = nullptr;
    }
    if (backBuffer_) {
        cairo_surface_destroy(backBuffer_);
        backBuffer_ = nullptr;
    }
    if (!xid_) {
        return;
    }
    const unsigned long xid = xid_;
    xid_ = 0;
    mapped_ = false;
    if (auto display = display_.lock()) {
        display->forget(xid);
        XDestroyWindow(display->xdisplay(), xid);
        XFlush(display->xdisplay());
    }
}

Point X11WindowBackend::toWindow(int x, int y) const {
    // X is y-down in device pixels; windows are y-up in points.
    return {x / scale_, size_.height - y / scale_};
}

void X11WindowBackend::handleEvent(XEvent& event) {
    auto self = shared_from_this();
    auto w = window();
    switch (event.type) {
    case Expose:
        if (event.xexpose.count == 0) {
            if (w && w->viewsNeedDisplay()) {
                w->displayIfNeeded();
            } else {
                present();
            }
        }
        break;
    case ConfigureNotify: {
        const int width = event.xconfigure.width;
        const int height = event.xconfigure.height;
        // Window managers report moves with synthetic events in root coordinates.
        if (w && !embedded_ && event.xconfigure.send_event) {
            if (auto display = display_.lock()) {
                ::Display* dpy = display->xdisplay();
                const int rootHeight = DisplayHeight(dpy, DefaultScreen(dpy));
                w->backendDidMove(
                    {event.xconfigure.x / scale_, (rootHeight - event.xconfigure.y - height) / scale_});
            }
        }
        // Another client may make the window any size X takes (up to 65535 pixels wide): the buffers
        // stay within the screen, and the window draws what fits.
        auto display = display_.lock();
        const auto [fittedWidth, fittedHeight] =
            display ? display->fitPixels(width, height) : std::pair{pixelWidth_, pixelHeight_};
        if (fittedWidth != pixelWidth_ || fittedHeight != pixelHeight_) {
            resizeBuffers(fittedWidth, fittedHeight);
            size_ = {pixelWidth_ / scale_, pixelHeight_ / scale_};
            if (w) {
                w->backendDidResize(size_);
                w->setViewsNeedDisplay(true);
            }
            invalidate();
        }
        break;
    }
    case MapNotify:
        mapped_ = true;
        if (w) {
            w->setViewsNeedDisplay(true);
        }
        invalidate();
        if (std::exchange(focusOnMap_, false) && !focused_) {
            requestFocus();
        }
        break;
    case UnmapNotify:
        mapped_ = false;
        endMenuSession(w);
        break;
    case DestroyNotify:
        // Destroyed from outside (an embedding host tearing down its parent window).
        if (event.xdestroywindow.window == xid_) {
            if (auto display = display_.lock()) {
                display->forget(xid_);
            }
            xid_ = 0;
            mapped_ = false;
            endMenuSession(w);
            if (w) {
                w->close();
            }
        }
        break;
    case ButtonPress:
    case ButtonRelease:
    case MotionNotify:
        sendMouse(event);
        break;
    case KeyPress:
    case KeyRelease:
        sendKey(event);
        break;
    case FocusIn:
        if (event.xfocus.detail != NotifyPointer) {
            focused_ = true;
            if (w) {
                w->makeKeyWindow();
            }
        }
        break;
    case FocusOut:
        if (w && event.xfocus.detail != NotifyPointer && event.xfocus.detail != NotifyInferior) {
            // Releases of keys held while focus leaves never arrive here, also when it goes to a grab
            // (an open menu's) only for a while.
            std::fill(std::begin(keysDown_), std::end(keysDown_), 0);
            if (event.xfocus.mode != NotifyGrab) {
                focused_ = false;
                w->resignKey();
            }
        }
        break;
    case ClientMessage:
        if (auto display = display_.lock();
            display && w && event.xclient.message_type == display->wmProtocols_ &&
            static_cast<Atom>(event.xclient.data.l[0]) == display->wmDeleteWindow_) {
            w->performClose();
        }
        break;
    default:
        break;
    }
}

void X11WindowBackend::sendMouse(XEvent& event) {
    auto w = window();
    auto display = display_.lock();
    if (!w || !display) {
        return;
    }
    auto app = ui::Application::shared();
    if (event.type == MotionNotify) {
        // Only the latest position of a burst of motion matters.
        // Only motion queued directly behind this one is merged, so a drag never jumps past a release.
        ::Display* dpy = display->xdisplay();
        while (XPending(dpy) > 0) {
            XEvent next;
            XPeekEvent(dpy, &next);
            if (next.type != MotionNotify || next.xmotion.window != xid_) {
                break;
            }
            XNextEvent(dpy, &event);
        }
        const unsigned state = event.xmotion.state;
        EventType type = EventType::mouseMoved;
        if (state & Button1Mask) {
            type = EventType::leftMouseDragged;
        } else if (state & Button3Mask) {
            type = EventType::rightMouseDragged;
        } else if (state & Button2Mask) {
            type = EventType::otherMouseDragged;
        }
        auto e = ui::Event::mouseEvent(type, toWindow(event.xmotion.x, event.xmotion.y),
                                       pointerFlagsFromState(state), event.xmotion.time / 1000.0, w,
                                       type == EventType::mouseMoved ? 0 : clicks_.count());
        app->sendEvent(e);
        return;
    }

    const XButtonEvent& b = event.xbutton;
    const bool press = event.type == ButtonPress;
    const ui::ModifierFlags flags = pointerFlagsFromState(b.state);
    const Point location = toWindow(b.x, b.y);
    if (b.button >= 4 && b.button <= 7) {
        if (press) {
            const double dy = b.button == 4 ? 1 : b.button == 5 ? -1 : 0;
            const double dx = b.button == 6 ? 1 : b.button == 7 ? -1 : 0;
            app->sendEvent(ui::Event::scrollEvent(location, dx, dy, flags, b.time / 1000.0, w));
        }
        return;
    }
    EventType type;
    int buttonNumber;
    switch (b.button) {
    case 1:
        type = press ? EventType::leftMouseDown : EventType::leftMouseUp;
        buttonNumber = 0;
        break;
    case 3:
        type = press ? EventType::rightMouseDown : EventType::rightMouseUp;
        buttonNumber = 1;
        break;
    default:
        type = press ? EventType::otherMouseDown : EventType::otherMouseUp;
        buttonNumber = static_cast<int>(b.button) - 1;
        break;
    }
    if (press) {
        clicks_.press(b.button, static_cast<std::uint32_t>(b.time), b.x, b.y);
        // Clicking a window makes it key at once (the click itself counts) and asks for the focus.
        const core::Setting clicking(clicking_, true);
        w->makeKeyWindow();
    }
    auto e = ui::Event::mouseEvent(type, location, flags, b.time / 1000.0, w, clicks_.count());
    e.buttonNumber = buttonNumber;
    app->sendEvent(e);
}

void X11WindowBackend::sendKey(XEvent& event) {
    auto w = window();
    if (!w) {
        return;
    }
    XKeyEvent& key = event.xkey;
    const bool press = event.type == KeyPress;
    KeySym keysym = NoSymbol;
    const std::string characters = keyText(key, &keysym);
    XKeyEvent plain = key;
    plain.state &= ShiftMask | LockMask;
    const std::string ignoringModifiers = keyText(plain, nullptr);
    const KeySym unshifted = XLookupKeysym(&key, 0);
    const std::uint16_t code = macKeyCode(unshifted);
    ui::ModifierFlags flags = flagsFromState(key.state);

    auto app = ui::Application::shared();
    if (ui::ModifierFlags modifier = modifierOfKey(keysym)) {
        // X reports the state before the key; the event carries the state after it.
        flags = press ? (flags | modifier) : (flags & ~modifier);
        if (modifier == ui::Modifier::capsLock) {
            flags = flagsFromState(key.state) ^ ui::Modifier::capsLock;
        }
        app->sendEvent(ui::Event::flagsChangedEvent(flags, code, key.time / 1000.0, w));
        return;
    }
    if (isKeypad(keysym)) {
        flags |= ui::Modifier::numericPad;
    }
    if (auto special = specialCharacter(keysym); special && *special >= ui::SpecialKey::upArrow) {
        flags |= ui::Modifier::function; // function, cursor and navigation keys, as AppKit marks them
    }
    const unsigned index = key.keycode / 8;
    const unsigned char bit = static_cast<unsigned char>(1u << (key.keycode % 8));
    bool repeat = false;
    if (index < sizeof keysDown_) {
        repeat = press && (keysDown_[index] & bit);
        if (press) {
            keysDown_[index] |= bit;
        } else {
            keysDown_[index] &= static_cast<unsigned char>(~bit);
        }
    }
    auto e = ui::Event::keyEvent(press ? EventType::keyDown : EventType::keyUp, characters, ignoringModifiers,
                                 flags, code, key.time / 1000.0, w, repeat);
    app->sendEvent(e);
}

} // namespace display
