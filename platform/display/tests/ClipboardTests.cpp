// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "Xvfb.hpp"
#include "display/Clipboard.hpp"
#include "display/X11Clipboard.hpp"
#include "display/X11Display.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <atomic>
#include <string>
#include <thread>

namespace {

// Another client: a raw connection with a window of its own.
struct Client {
    explicit Client(const std::string& name) : dpy(XOpenDisplay(name.c_str())) {
        if (dpy) {
            window = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
            clipboard = XInternAtom(dpy, "CLIPBOARD", False);
            utf8 = XInternAtom(dpy, "UTF8_STRING", False);
            property = XInternAtom(dpy, "CLIENT_PROPERTY", False);
        }
    }
    ~Client() {
        if (dpy) {
            XCloseDisplay(dpy);
        }
    }
    ::Display* dpy;
    ::Window window = 0;
    Atom clipboard = 0, utf8 = 0, property = 0;
};

} // namespace

TEST(Clipboard, MemoryClipboardHoldsTextUntilReplaced) {
    display::MemoryClipboard clipboard;
    EXPECT_EQ(clipboard.text(), std::nullopt);
    clipboard.setText("one");
    clipboard.setText("two");
    EXPECT_EQ(clipboard.text(), "two");
}

TEST(Clipboard, X11ClipboardServesOtherClientsAndReadsTheirs) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto display = display::X11Display::open(server.name().c_str());
    ASSERT_NE(display, nullptr);
    auto clipboard = display::X11Clipboard::make(display, std::chrono::milliseconds(2000));
    ASSERT_NE(clipboard, nullptr);
    Client client(server.name());
    ASSERT_NE(client.dpy, nullptr);

    // Ours, served to another client as UTF-8 through the display's event loop.
    clipboard->setText("héllo");
    EXPECT_TRUE(clipboard->ownsSelection());
    EXPECT_EQ(clipboard->text(), "héllo");
    XConvertSelection(client.dpy, client.clipboard, client.utf8, client.property, client.window, CurrentTime);
    XFlush(client.dpy);
    XEvent event{};
    bool answered = false;
    for (int i = 0; i < 400 && !answered; ++i) {
        display->pump();
        answered = XCheckTypedWindowEvent(client.dpy, client.window, SelectionNotify, &event);
        usleep(5000);
    }
    ASSERT_TRUE(answered);
    ASSERT_EQ(event.xselection.property, client.property);
    Atom type;
    int format;
    unsigned long count, remaining;
    unsigned char* data = nullptr;
    ASSERT_EQ(XGetWindowProperty(client.dpy, client.window, client.property, 0, 1024, True, AnyPropertyType,
                                 &type, &format, &count, &remaining, &data),
              Success);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), count), "héllo");
    XFree(data);

    // Another client takes the clipboard: we lose ownership and read its text, served from its thread.
    XSetSelectionOwner(client.dpy, client.clipboard, client.window, CurrentTime);
    XFlush(client.dpy);
    for (int i = 0; i < 100 && clipboard->ownsSelection(); ++i) {
        display->pump();
        usleep(5000);
    }
    EXPECT_FALSE(clipboard->ownsSelection());
    std::atomic<bool> done{false};
    std::thread owner([&] {
        while (!done) {
            XEvent e;
            if (XCheckTypedWindowEvent(client.dpy, client.window, SelectionRequest, &e)) {
                const auto& r = e.xselectionrequest;
                const std::string text = "from elsewhere";
                XChangeProperty(client.dpy, r.requestor, r.property, client.utf8, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
                XEvent reply{};
                reply.xselection.type = SelectionNotify;
                reply.xselection.requestor = r.requestor;
                reply.xselection.selection = r.selection;
                reply.xselection.target = r.target;
                reply.xselection.property = r.property;
                reply.xselection.time = r.time;
                XSendEvent(client.dpy, r.requestor, False, NoEventMask, &reply);
                XFlush(client.dpy);
            }
            usleep(2000);
        }
    });
    EXPECT_EQ(clipboard->text(), "from elsewhere");
    done = true;
    owner.join();

    // An owner that never answers: the read gives up after its timeout instead of hanging.
    auto impatient = display::X11Clipboard::make(display, std::chrono::milliseconds(50));
    EXPECT_EQ(impatient->text(), std::nullopt);
}
