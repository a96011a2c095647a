// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "InputTree.hpp"
#include "XSendEvents.hpp"
#include "Xvfb.hpp"
#include "display/HeadlessBackend.hpp"
#include "display/X11Display.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using graphics::Rect;

using displaytest::pumpUntil;
using displaytest::sendClick;
using displaytest::sendKey;

TEST(X11Display, OpensDrawsTakesInputAndCloses) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto display = displaytest::openAttachedDisplay(server.name());
    ASSERT_NE(display, nullptr);

    displaytest::Cleanup cleanup;
    displaytest::InputTree tree(120, 80);
    auto& window = tree.window;
    auto& field = tree.field;
    window->setTitle("Tessaray test");

    auto backend = display->createWindow(window);
    ASSERT_NE(backend, nullptr);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(pumpUntil(*display, [&] { return backend->isMapped() && backend->presentedFrames() > 0; }));

    // What reached the screen: the flipped view's square at the window's top, and the same pixels the
    // headless back end draws for the same tree.
    ::Display* dpy = display->xdisplay();
    XImage* image = XGetImage(dpy, backend->xid(), 0, 0, 120, 80, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(XGetPixel(image, 65, 5) & 0xffffff, 0xff0000u);
    EXPECT_NE(XGetPixel(image, 65, 75) & 0xffffff, 0xff0000u);
    displaytest::InputTree offscreen(120, 80);
    auto headless = display::HeadlessBackend::attach(offscreen.window, 1.0);
    core::MainQueue::shared().drain();
    for (auto [x, y] : {std::pair{65, 5}, {69, 9}, {70, 10}, {65, 75}, {10, 40}, {119, 0}}) {
        EXPECT_EQ(XGetPixel(image, x, y) & 0xffffff, headless->pixelRGBA(x, y) >> 8) << x << "," << y;
    }
    XDestroyImage(image);
    offscreen.window->close();

    // A click on the control (X is y-down: row 70 is near the window's bottom) and a key.
    sendClick(dpy, backend->xid(), 10, 70);
    XFlush(dpy);
    ASSERT_TRUE(pumpUntil(*display, [&] { return tree.clicks == 1; }));
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

// An action that pumps the display handles no further event inside its own; one that throws to a caller
// that goes on (as a plug-in's C boundary does) leaves the display handling the events that follow.
TEST(X11Display, AnActionThatPumpsOrThrowsLeavesTheNextEventsHandledInTurn) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto display = displaytest::openAttachedDisplay(server.name());
    ASSERT_NE(display, nullptr);
    displaytest::Cleanup cleanup;
    displaytest::InputTree tree(120, 80);
    auto backend = display->createWindow(tree.window);
    ASSERT_NE(backend, nullptr);
    tree.window->makeKeyAndOrderFront();
    ASSERT_TRUE(pumpUntil(*display, [&] { return backend->isMapped() && backend->presentedFrames() > 0; }));
    int clicksSeenInside = 0;
    tree.target->setActionHandler("press:", [&](const auto&) {
        if (++tree.clicks == 1) {
            display->pump();
            clicksSeenInside = tree.clicks;
            throw std::runtime_error("the action failed");
        }
    });

    // Both clicks are on our connection before the first is handled.
    ::Display* other = XOpenDisplay(server.name().c_str());
    ASSERT_NE(other, nullptr);
    sendClick(other, backend->xid(), 10, 70);
    sendClick(other, backend->xid(), 10, 70);
    XSync(other, False);
    XCloseDisplay(other);
    EXPECT_THROW(pumpUntil(*display, [&] { return tree.clicks > 0; }), std::runtime_error);
    EXPECT_EQ(clicksSeenInside, 1);
    EXPECT_TRUE(pumpUntil(*display, [&] { return tree.clicks == 2; })) << "the next click is handled";
    display->detach();
}

TEST(X11Display, BackingScaleComesFromOverrideEnvironmentOrXftDpi) {
    displaytest::XvfbServer server;
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
    displaytest::Cleanup cleanup;
    displaytest::InputTree tree(50, 40);
    auto& window = tree.window;
    tree.button->setFrame(Rect(0, 0, 25, 20)); // the bottom-left quarter
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
    sendClick(hidpi->xdisplay(), backend->xid(), 10, 30);
    sendClick(hidpi->xdisplay(), backend->xid(), 10, 70);
    XFlush(hidpi->xdisplay());
    pumpUntil(*hidpi, [&] { return tree.clicks > 0; });
    EXPECT_EQ(tree.clicks, 1);
    window->close();
    EXPECT_EQ(hidpi->windowCount(), 0u);
    core::MainQueue::shared().drain();
}

// A flood of events from another client is handled in slices: timers and display passes run while it is
// still coming in, and every key arrives, in order.
TEST(X11Display, AFloodOfKeysLeavesTimersAndDisplayPassesTheirTurnsAndLosesNone) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto display = displaytest::openAttachedDisplay(server.name());
    ASSERT_NE(display, nullptr);
    displaytest::Cleanup cleanup;
    // Each key takes a while, as a text view's would, and asks for a display pass.
    class SlowKeys : public ui::View {
    public:
        using View::View;
        bool acceptsFirstResponder() const override { return true; }
        void keyDown(const ui::Event& e) override {
            typed += e.characters;
            usleep(20);
            setNeedsDisplay(true);
        }
        void draw(const Rect&) override {
            if (keysAtFirstDraw < 0 && !typed.empty()) {
                keysAtFirstDraw = static_cast<int>(typed.size());
            }
        }
        std::string typed;
        int keysAtFirstDraw = -1;
    };
    auto window = ui::Window::make(Rect(0, 0, 100, 60));
    auto keys = std::make_shared<SlowKeys>(Rect(0, 0, 100, 60));
    window->contentView()->addSubview(keys);
    auto backend = display->createWindow(window);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(pumpUntil(*display, [&] { return backend->isMapped() && backend->presentedFrames() > 0; }));
    ASSERT_TRUE(window->makeFirstResponder(keys));

    // Presses only (a release per key would double the flood): every one is in our connection's
    // buffers before the first is handled.
    constexpr int kKeys = 2000;
    ::Display* other = XOpenDisplay(server.name().c_str());
    ASSERT_NE(other, nullptr);
    std::string expected;
    XEvent e{};
    e.xkey.type = KeyPress;
    e.xkey.window = backend->xid();
    e.xkey.root = DefaultRootWindow(other);
    e.xkey.same_screen = True;
    for (int i = 0; i < kKeys; ++i) {
        const KeySym symbol = XK_a + i % 26;
        e.xkey.keycode = XKeysymToKeycode(other, symbol);
        expected += static_cast<char>('a' + i % 26);
        XSendEvent(other, backend->xid(), True, KeyPressMask, &e);
    }
    XSync(other, False);

    int keysAtTimer = -1;
    auto timer = core::RunLoop::main().scheduleRepeating(std::chrono::milliseconds(1), [&] {
        if (keysAtTimer < 0) {
            keysAtTimer = static_cast<int>(keys->typed.size());
        }
    });
    ASSERT_TRUE(pumpUntil(*display, [&] { return keys->typed.size() >= kKeys; }));
    timer->invalidate();
    EXPECT_EQ(keys->typed, expected);
    EXPECT_LT(keysAtTimer, kKeys) << "the timer ran during the flood";
    EXPECT_GT(keys->keysAtFirstDraw, 0);
    EXPECT_LT(keys->keysAtFirstDraw, kKeys) << "a display pass ran during the flood";
    XCloseDisplay(other);
    display->detach();
}
