// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "display/X11Display.hpp"
#include "ui/Application.hpp"
#include "ui/Control.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using graphics::Rect;

namespace {

// An Xvfb server of our own on a display number it picks itself, so the test needs no $DISPLAY and
// never meets another server.
class XvfbServer {
public:
    XvfbServer() {
        int fds[2];
        if (access("/usr/bin/Xvfb", X_OK) != 0 || pipe(fds) != 0) {
            return;
        }
        const std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb",      "-displayfd", fd.c_str(),  "-screen", "0",    "640x480x24",
                              "-nolisten", "tcp",        "-nolisten", "unix",    nullptr};
        // Abstract sockets only: no files under /tmp/.X11-unix are needed.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const int rc =
            posix_spawn(&pid_, "/usr/bin/Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (rc != 0) {
            close(fds[0]);
            pid_ = 0;
            return;
        }
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(fds[0]);
        if (!number.empty()) {
            name_ = ":" + number;
        }
    }
    ~XvfbServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = 0;
    std::string name_;
};

class KeyView : public ui::View {
public:
    using View::View;
    bool isFlipped() const override { return true; }
    bool acceptsFirstResponder() const override { return true; }
    void keyDown(const ui::Event& e) override {
        typed += e.characters;
        keyCodes.push_back(e.keyCode);
    }
    void draw(const Rect&) override {
        graphics::GraphicsContext::current()->fillRect(Rect(0, 0, 10, 10), graphics::Color::rgba(1, 0, 0));
    }
    std::string typed;
    std::vector<std::uint16_t> keyCodes;
};

template <class Predicate> bool pumpUntil(display::X11Display& display, Predicate done) {
    for (int i = 0; i < 400 && !done(); ++i) {
        display.pump();
        usleep(5000);
    }
    return done();
}

void sendButton(::Display* dpy, unsigned long xid, int type, int x, int y) {
    XEvent e{};
    e.xbutton.type = type;
    e.xbutton.display = dpy;
    e.xbutton.window = xid;
    e.xbutton.root = DefaultRootWindow(dpy);
    e.xbutton.x = x;
    e.xbutton.y = y;
    e.xbutton.button = Button1;
    e.xbutton.state = type == ButtonRelease ? Button1Mask : 0;
    e.xbutton.same_screen = True;
    XSendEvent(dpy, xid, True, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &e);
}

void sendKey(::Display* dpy, unsigned long xid, KeySym keysym) {
    XEvent e{};
    e.xkey.type = KeyPress;
    e.xkey.display = dpy;
    e.xkey.window = xid;
    e.xkey.root = DefaultRootWindow(dpy);
    e.xkey.keycode = XKeysymToKeycode(dpy, keysym);
    e.xkey.same_screen = True;
    XSendEvent(dpy, xid, True, KeyPressMask, &e);
    e.xkey.type = KeyRelease;
    XSendEvent(dpy, xid, True, KeyReleaseMask, &e);
}

} // namespace

TEST(X11Display, OpensDrawsTakesInputAndCloses) {
    XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto display = display::X11Display::open(server.name().c_str());
    ASSERT_NE(display, nullptr);
    display->setScaleOverride(1.0);
    display->attach(core::RunLoop::main());

    auto window = ui::Window::make(Rect(0, 0, 120, 80));
    window->setTitle("Tessaray test");
    auto button = std::make_shared<ui::Control>(Rect(0, 0, 60, 80));
    auto field = std::make_shared<KeyView>(Rect(60, 0, 60, 80));
    window->contentView()->addSubview(button);
    window->contentView()->addSubview(field);
    auto target = std::make_shared<ui::Object>();
    int clicks = 0;
    target->setActionHandler("press:", [&](const auto&) { ++clicks; });
    button->setTarget(target);
    button->setAction("press:");

    auto backend = display->createWindow(window);
    ASSERT_NE(backend, nullptr);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(pumpUntil(*display, [&] { return backend->isMapped() && backend->presentedFrames() > 0; }));

    // What reached the screen: the flipped view's square at the window's top.
    ::Display* dpy = display->xdisplay();
    XImage* image = XGetImage(dpy, backend->xid(), 0, 0, 120, 80, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(XGetPixel(image, 65, 5) & 0xffffff, 0xff0000u);
    EXPECT_NE(XGetPixel(image, 65, 75) & 0xffffff, 0xff0000u);
    XDestroyImage(image);

    // A click on the control (X is y-down: row 70 is near the window's bottom) and a key.
    sendButton(dpy, backend->xid(), ButtonPress, 10, 70);
    sendButton(dpy, backend->xid(), ButtonRelease, 10, 70);
    XFlush(dpy);
    ASSERT_TRUE(pumpUntil(*display, [&] { return clicks == 1; }));
    EXPECT_TRUE(window->isKeyWindow());

    ASSERT_TRUE(window->makeFirstResponder(field));
    sendKey(dpy, backend->xid(), XK_a);
    sendKey(dpy, backend->xid(), XK_Left);
    XFlush(dpy);
    ASSERT_TRUE(pumpUntil(*display, [&] { return field->typed.size() >= 4; }));
    EXPECT_EQ(field->typed, "a" + ui::utf8(ui::SpecialKey::leftArrow));
    EXPECT_EQ(field->keyCodes, (std::vector<std::uint16_t>{0, 123}));

    // The window manager's close request closes the window.
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = backend->xid();
    close.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    XSendEvent(dpy, backend->xid(), False, NoEventMask, &close);
    XFlush(dpy);
    ASSERT_TRUE(pumpUntil(*display, [&] { return window->isClosed(); }));
    EXPECT_TRUE(backend->isClosed());
    EXPECT_EQ(display->windowCount(), 0u);
    display->detach();
    core::MainQueue::shared().drain();
}

TEST(X11Display, BackingScaleComesFromOverrideEnvironmentOrXftDpi) {
    XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    unsetenv("TESSARAY_SCALE");
    auto plain = display::X11Display::open(server.name().c_str());
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->backingScaleFactor(), 1.0); // no Xft.dpi resource

    // Publish Xft.dpi: 192 as a desktop would; connections opened afterwards read it.
    ::Display* dpy = plain->xdisplay();
    const std::string resources = "Xft.dpi:\t192\n";
    XChangeProperty(dpy, DefaultRootWindow(dpy), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources.data()),
                    static_cast<int>(resources.size()));
    XSync(dpy, False);
    auto hidpi = display::X11Display::open(server.name().c_str());
    ASSERT_NE(hidpi, nullptr);
    EXPECT_EQ(hidpi->backingScaleFactor(), 2.0);

    setenv("TESSARAY_SCALE", "1", 1);
    EXPECT_EQ(hidpi->backingScaleFactor(), 1.0);
    setenv("TESSARAY_SCALE", "nonsense", 1);
    EXPECT_EQ(hidpi->backingScaleFactor(), 2.0);
    unsetenv("TESSARAY_SCALE");
    hidpi->setScaleOverride(1.0);
    EXPECT_EQ(hidpi->backingScaleFactor(), 1.0);
    hidpi->setScaleOverride(std::nullopt);

    // A window at scale 2 is twice its size in pixels, and pointer positions come back in points.
    auto window = ui::Window::make(Rect(0, 0, 50, 40));
    auto view = std::make_shared<ui::Control>(Rect(0, 0, 25, 20)); // bottom-left quarter
    window->contentView()->addSubview(view);
    auto target = std::make_shared<ui::Object>();
    int clicks = 0;
    target->setActionHandler("press:", [&](const auto&) { ++clicks; });
    view->setTarget(target);
    view->setAction("press:");
    auto backend = hidpi->createWindow(window);
    ASSERT_NE(backend, nullptr);
    EXPECT_EQ(window->backingScaleFactor(), 2.0);
    window->orderFront();
    ASSERT_TRUE(pumpUntil(*hidpi, [&] { return backend->isMapped() && backend->presentedFrames() > 0; }));
    XWindowAttributes attributes;
    XGetWindowAttributes(hidpi->xdisplay(), backend->xid(), &attributes);
    EXPECT_EQ(attributes.width, 100);
    EXPECT_EQ(attributes.height, 80);
    // Pixel row 30 of 80 is point y 25, above the control; row 70 is point y 5, inside it. Events are
    // handled in order, so once the second click has arrived the first has been judged.
    sendButton(hidpi->xdisplay(), backend->xid(), ButtonPress, 10, 30);
    sendButton(hidpi->xdisplay(), backend->xid(), ButtonRelease, 10, 30);
    sendButton(hidpi->xdisplay(), backend->xid(), ButtonPress, 10, 70);
    sendButton(hidpi->xdisplay(), backend->xid(), ButtonRelease, 10, 70);
    XFlush(hidpi->xdisplay());
    pumpUntil(*hidpi, [&] { return clicks > 0; });
    EXPECT_EQ(clicks, 1);
    window->close();
    EXPECT_EQ(hidpi->windowCount(), 0u);
    core::MainQueue::shared().drain();
}
