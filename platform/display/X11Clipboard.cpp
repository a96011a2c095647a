#include "display/X11Clipboard.hpp"

#include "core/Log.hpp"
#include "core/RunLoop.hpp"
#include "display/X11Display.hpp"
#include "ui/Event.hpp"
#include "ui/TextEditing.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <algorithm>
#include <string_view>

namespace display {

std::shared_ptr<X11Clipboard> X11Display::clipboard() {
    if (!clipboard_) {
        clipboard_ = X11Clipboard::make(shared_from_this());
    }
    return clipboard_;
}

core::RunLoop& X11Display::runLoop() const {
    return runLoop_ ? *runLoop_ : core::RunLoop::main();
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
            },
            [weak](std::function<void(std::optional<std::string>)> handler) {
                if (auto clipboard = weak.lock()) {
                    clipboard->requestText(std::move(handler));
                } else {
                    handler(std::nullopt);
                }
            }};
}

namespace {

// STRING is Latin-1: each byte is the character of the same number.
std::string utf8FromLatin1(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const unsigned char byte : bytes) {
        if (byte < 0x80) {
            text += static_cast<char>(byte);
        } else {
            text += ui::utf8(byte);
        }
    }
    return text;
}

// Text as STRING: characters Latin-1 cannot hold (and malformed bytes) become '?'.
std::string latin1FromUTF8(const std::string& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t next = ui::nextCharacterBoundary(text, i);
        const auto character = ui::firstCodePoint(text.substr(i, next - i));
        bytes += character && *character < 0x100 ? static_cast<char>(*character) : '?';
        i = next;
    }
    return bytes;
}

// UTF-8 cut at a byte count may end inside a character: that partial character goes. Only the last three
// bytes can hold one: a lead byte followed by fewer continuation bytes than it announces.
void dropPartialCharacter(std::string& text) {
    const std::size_t from = text.size() > 3 ? text.size() - 3 : 0;
    for (std::size_t i = text.size(); i-- > from;) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) == 0x80) {
            continue;
        }
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        if (i + length > text.size()) {
            text.resize(i);
        }
        return;
    }
}

void logCut() {
    core::log("clipboard: the text to paste is larger than %zu bytes; the paste is cut there",
              X11Clipboard::maximumBytes);
}

// Text larger than one request would need the incremental protocol, which is not served here: such a
// request is refused rather than sent cut.
bool fitsOneRequest(::Display* dpy, std::size_t bytes) {
    long limit = XExtendedMaxRequestSize(dpy);
    if (limit == 0) {
        limit = XMaxRequestSize(dpy);
    }
    return static_cast<long long>(bytes) < static_cast<long long>(limit) * 4 - 1024;
}

} // namespace

std::shared_ptr<X11Clipboard> X11Clipboard::make(const std::shared_ptr<X11Display>& display,
                                                 std::chrono::milliseconds timeout) {
    if (!display || !display->xdisplay()) {
        return nullptr;
    }
    ::Display* dpy = display->xdisplay();
    const ::Window window = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), -10, -10, 1, 1, 0, 0, 0);
    // Incremental transfers go by changes to the window's properties.
    XSelectInput(dpy, window, PropertyChangeMask);
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
    incr_ = XInternAtom(dpy, "INCR", False);
    char names[][24] = {"TESSARAY_CLIPBOARD", "TESSARAY_CLIPBOARD_1", "TESSARAY_CLIPBOARD_2",
                        "TESSARAY_CLIPBOARD_3"};
    char* pointers[] = {names[0], names[1], names[2], names[3]};
    Atom atoms[4] = {};
    XInternAtoms(dpy, pointers, 4, False, atoms);
    std::copy(std::begin(atoms), std::end(atoms), properties_.begin());
}

X11Clipboard::~X11Clipboard() {
    abandon();
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
    if (!display || XGetSelectionOwner(display->xdisplay(), clipboard_) != window_) {
        return std::nullopt;
    }
    return text_;
}

void X11Clipboard::requestText(TextHandler handler) {
    abandon(); // a newer read replaces one still waiting
    auto display = display_.lock();
    if (!display) {
        handler(std::nullopt);
        return;
    }
    ::Display* dpy = display->xdisplay();
    const ::Window owner = XGetSelectionOwner(dpy, clipboard_);
    if (owner == window_) {
        handler(text_);
        return;
    }
    if (owner == None) {
        handler(std::nullopt);
        return;
    }
    const Atom property = properties_[nextProperty_++ % properties_.size()];
    const unsigned long time = requestTime(*display);
    XDeleteProperty(dpy, window_, property);
    XConvertSelection(dpy, clipboard_, utf8_, property, window_, time);
    XFlush(dpy);
    reading_.handler = std::move(handler);
    reading_.time = time;
    reading_.property = property;
    armTimeout();
}

unsigned long X11Clipboard::requestTime(X11Display& display) {
    unsigned long time = display.inputEventTime();
    // Without an event at hand the server's clock is read, and read again while it shows the previous
    // request's time (two requests within a millisecond: a few dozen round trips at most).
    for (int tries = 0; (time == CurrentTime || time == lastRequestTime_) && tries < 100; ++tries) {
        time = display.serverTime(window_);
    }
    lastRequestTime_ = time;
    return time;
}

void X11Clipboard::armTimeout() {
    auto display = display_.lock();
    if (!display) {
        return;
    }
    if (reading_.timeout) {
        reading_.timeout->invalidate();
    }
    reading_.timeout = display->runLoop().scheduleOnce(timeout_, [weak = weak_from_this()] {
        if (auto self = weak.lock(); self && self->isReading()) {
            self->finish(std::nullopt);
        }
    });
}

void X11Clipboard::abandon() {
    if (reading_.timeout) {
        reading_.timeout->invalidate();
    }
    reading_ = Read{};
}

void X11Clipboard::finish(std::optional<std::string> text) {
    TextHandler handler = std::move(reading_.handler);
    abandon(); // before the handler, which may start another read
    if (handler) {
        handler(std::move(text));
    }
}

bool X11Clipboard::isTransferProperty(unsigned long atom) const {
    return std::find(properties_.begin(), properties_.end(), atom) != properties_.end();
}

void X11Clipboard::handle(XEvent& event) {
    switch (event.type) {
    case SelectionClear:
        if (event.xselectionclear.selection == clipboard_) {
            owned_ = false;
        }
        break;
    case SelectionRequest:
        serve(event);
        break;
    case SelectionNotify:
        receive(event);
        break;
    case PropertyNotify:
        receivePiece(event);
        break;
    default:
        break;
    }
}

void X11Clipboard::receive(XEvent& event) {
    auto display = display_.lock();
    if (!display) {
        return;
    }
    ::Display* dpy = display->xdisplay();
    const auto& notify = event.xselection;
    if (notify.selection != clipboard_) {
        return;
    }
    // A refusal names no property: only the time tells whose request it answers.
    const bool ours = notify.property == reading_.property;
    const bool current = isReading() && notify.time == reading_.time;
    if (!current || reading_.incremental || (notify.property != None && !ours)) {
        // The late answer of a read that ended: its text is not wanted.
        if (notify.property != None && !ours && isTransferProperty(notify.property)) {
            XDeleteProperty(dpy, window_, notify.property);
            XFlush(dpy);
        }
        return;
    }
    if (notify.property == None) {
        finish(std::nullopt); // the owner cannot give text
        return;
    }
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    const bool read =
        XGetWindowProperty(dpy, window_, reading_.property, 0, maximumBytes / 4, False, AnyPropertyType,
                           &type, &format, &count, &remaining, &data) == Success;
    std::string bytes;
    if (read && data && format == 8) {
        bytes.assign(reinterpret_cast<const char*>(data), count);
    }
    if (data) {
        XFree(data);
    }
    // Deleting the property takes what is left of a cut one off the server, and starts an incremental
    // transfer.
    XDeleteProperty(dpy, window_, reading_.property);
    XFlush(dpy);
    if (read && type == incr_) {
        reading_.incremental = true;
        armTimeout();
        return;
    }
    if (!read || format != 8 || (type != utf8_ && type != XA_STRING)) {
        finish(std::nullopt);
        return;
    }
    if (remaining > 0) {
        logCut();
    }
    if (type == XA_STRING) {
        finish(utf8FromLatin1(bytes));
        return;
    }
    if (remaining > 0) {
        dropPartialCharacter(bytes);
    }
    finish(std::move(bytes));
}

void X11Clipboard::receivePiece(XEvent& event) {
    const auto& change = event.xproperty;
    if (change.state != PropertyNewValue || !isTransferProperty(change.atom)) {
        return;
    }
    auto display = display_.lock();
    if (!display) {
        return;
    }
    ::Display* dpy = display->xdisplay();
    if (!isReading() || change.atom != reading_.property || !reading_.incremental) {
        // The owner's answer to the read in progress is taken when its SelectionNotify comes. Anything
        // else is what an owner still sends for a read that ended (replaced, timed out or cut): deleting
        // it lets that owner finish, and leaves nothing of it on the server.
        if (!isReading() || change.atom != reading_.property) {
            XDeleteProperty(dpy, window_, change.atom);
            XFlush(dpy);
        }
        return;
    }
    const std::size_t room = maximumBytes - reading_.data.size();
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    const bool read =
        XGetWindowProperty(dpy, window_, change.atom, 0, static_cast<long>((room + 3) / 4), False,
                           AnyPropertyType, &type, &format, &count, &remaining, &data) == Success;
    const std::size_t size = read && data && format == 8 ? count : 0;
    const std::size_t taken = std::min(size, room);
    reading_.data.append(reinterpret_cast<const char*>(data), taken);
    if (data) {
        XFree(data);
    }
    // Each piece is deleted once read: that asks the owner for the next one.
    XDeleteProperty(dpy, window_, change.atom);
    XFlush(dpy);
    if (!read || (count > 0 && (format != 8 || (type != utf8_ && type != XA_STRING)))) {
        finish(std::nullopt);
        return;
    }
    if (count > 0) {
        reading_.type = type;
    }
    const bool cut = remaining > 0 || size > taken;
    if (count > 0 && !cut) {
        armTimeout(); // more to come
        return;
    }
    // The empty piece that ends the transfer, or the cap reached.
    std::string bytes = std::move(reading_.data);
    if (cut) {
        logCut();
    }
    if (reading_.type == XA_STRING) {
        finish(utf8FromLatin1(bytes));
        return;
    }
    if (cut) {
        dropPartialCharacter(bytes);
    }
    finish(std::move(bytes));
}

void X11Clipboard::serve(XEvent& event) {
    auto display = display_.lock();
    if (!display) {
        return;
    }
    ::Display* dpy = display->xdisplay();
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
        } else if (request.target == utf8_ || request.target == XA_STRING) {
            const std::string served = request.target == XA_STRING ? latin1FromUTF8(text_) : text_;
            if (fitsOneRequest(dpy, served.size())) {
                XChangeProperty(dpy, request.requestor, property, request.target, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(served.data()),
                                static_cast<int>(served.size()));
                reply.xselection.property = property;
            }
        }
    }
    XSendEvent(dpy, request.requestor, False, NoEventMask, &reply);
    XFlush(dpy);
}

} // namespace display
