// Partial display passes on an X server: only the marked views are drawn again, and only what was drawn
// is copied onto the window.

// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "XSendEvents.hpp"
#include "Xvfb.hpp"
#include "core/MainQueue.hpp"
#include "display/X11Display.hpp"
#include "graphics/GraphicsContext.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

using displaytest::pumpUntil;
using graphics::Rect;

namespace {

class Patch : public ui::View {
public:
    using View::View;
    void draw(const Rect&) override {
        ++draws;
        graphics::GraphicsContext::current()->fillRect(bounds(), color);
    }
    graphics::ColorRef color = graphics::Color::rgba(1, 0, 0);
    int draws = 0;
};

unsigned long pixel(::Display* dpy, unsigned long xid, int x, int y) {
    XImage* image = XGetImage(dpy, xid, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) {
        return 0;
    }
    const unsigned long p = XGetPixel(image, 0, 0) & 0xffffff;
    XDestroyImage(image);
    return p;
}

} // namespace

TEST(X11Present, AMarkedViewIsDrawnAndPresentedAloneAt2x) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto display = display::X11Display::open(server.name().c_str());
    ASSERT_NE(display, nullptr);
    display->setScaleOverride(2.0);
    auto window = ui::Window::make(Rect(0, 0, 100, 60));
    window->setBackgroundColor(graphics::Color::rgba(0, 0, 1));
    auto left = std::make_shared<Patch>(Rect(10, 10, 20, 20));
    auto right = std::make_shared<Patch>(Rect(60, 10, 20, 20));
    window->contentView()->addSubview(left);
    window->contentView()->addSubview(right);
    auto backend = display->createWindow(window);
    ASSERT_NE(backend, nullptr);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(pumpUntil(*display, [&] { return backend->isMapped() && backend->presentedFrames() > 0; }));
    ::Display* dpy = display->xdisplay();
    // Device pixels, y down: the left patch spans x 20..60, y 60..100.
    EXPECT_EQ(pixel(dpy, backend->xid(), 40, 80), 0xff0000u);
    EXPECT_EQ(pixel(dpy, backend->xid(), 140, 80), 0xff0000u);

    // Paint over the right patch behind the back end's back: a pass that presents only what it drew
    // leaves that alone.
    XSetForeground(dpy, DefaultGC(dpy, DefaultScreen(dpy)), 0xffffff);
    XFillRectangle(dpy, backend->xid(), DefaultGC(dpy, DefaultScreen(dpy)), 120, 60, 40, 40);
    XSync(dpy, False);
    const int frames = backend->presentedFrames();
    const int rightDraws = right->draws;
    left->color = graphics::Color::rgba(0, 1, 0);
    left->setNeedsDisplay();
    ASSERT_TRUE(pumpUntil(*display, [&] { return backend->presentedFrames() > frames; }));
    EXPECT_EQ(right->draws, rightDraws) << "the other view is not drawn again";
    EXPECT_EQ(pixel(dpy, backend->xid(), 40, 80), 0x00ff00u);
    EXPECT_EQ(pixel(dpy, backend->xid(), 20, 60), 0x00ff00u);
    EXPECT_EQ(pixel(dpy, backend->xid(), 19, 80), 0x0000ffu);
    EXPECT_EQ(pixel(dpy, backend->xid(), 140, 80), 0xffffffu) << "presented outside the drawn rect";
    EXPECT_EQ(pixel(dpy, backend->xid(), 100, 20), 0x0000ffu);

    window->close();
    core::MainQueue::shared().drain();
}
