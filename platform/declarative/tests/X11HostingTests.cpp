// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "../../display/tests/Xvfb.hpp"
#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "declarative/Declarative.hpp"
#include "display/X11Display.hpp"
#include "ui/Window.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <algorithm>
#include <string>
#include <unistd.h>

using namespace declarative;

namespace {

template <class Predicate> bool pumpUntil(display::X11Display& display, Predicate done) {
    for (int i = 0; i < 400 && !done(); ++i) {
        display.pump();
        usleep(5000);
    }
    return done();
}

} // namespace

TEST(X11Hosting, ATreeDrawsInARealWindowAndFollowsAnXTestDrag) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto display = display::X11Display::open(server.name().c_str());
    ASSERT_NE(display, nullptr);
    int eventBase, errorBase, major, minor;
    if (!XTestQueryExtension(display->xdisplay(), &eventBase, &errorBase, &major, &minor)) {
        GTEST_SKIP() << "no XTest";
    }
    display->setScaleOverride(1.0);
    display->attach(core::RunLoop::main());

    std::vector<std::string> log;
    auto point = [](Point p) {
        return std::to_string(static_cast<int>(p.x)) + "," + std::to_string(static_cast<int>(p.y));
    };
    auto window = ui::Window::make(Rect(0, 0, 200, 100));
    auto host = HostingView::make(
        ColorView(graphics::Color::rgba(1, 0, 0))
            .frame(40, 40)
            .gesture(DragGesture{5,
                                 [&](const DragValue& v) { log.push_back("changed " + point(v.location)); },
                                 [&](const DragValue& v) { log.push_back("ended " + point(v.location)); },
                                 [&] { log.push_back("cancelled"); }}),
        Rect(0, 0, 200, 100));
    window->setContentView(host);
    auto backend = display->createWindow(window);
    ASSERT_NE(backend, nullptr);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(pumpUntil(*display, [&] { return backend->isMapped() && backend->presentedFrames() > 0; }));

    ::Display* dpy = display->xdisplay();
    XImage* image = XGetImage(dpy, backend->xid(), 0, 0, 200, 100, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(XGetPixel(image, 100, 50) & 0xffffff, 0xff0000u);
    EXPECT_NE(XGetPixel(image, 10, 10) & 0xffffff, 0xff0000u);
    XDestroyImage(image);

    // The pointer really moves: press on the square, drag past the minimum distance and out of the
    // window (the grab keeps it ours), release.
    int rootX = 0, rootY = 0;
    ::Window child;
    XTranslateCoordinates(dpy, backend->xid(), DefaultRootWindow(dpy), 0, 0, &rootX, &rootY, &child);
    XTestFakeMotionEvent(dpy, -1, rootX + 100, rootY + 50, 0);
    XTestFakeButtonEvent(dpy, 1, True, 0);
    XTestFakeMotionEvent(dpy, -1, rootX + 102, rootY + 50, 0);
    XTestFakeMotionEvent(dpy, -1, rootX + 110, rootY + 50, 0);
    XTestFakeMotionEvent(dpy, -1, rootX + 250, rootY + 60, 0);
    XTestFakeButtonEvent(dpy, 1, False, 0);
    XFlush(dpy);
    ASSERT_TRUE(pumpUntil(*display, [&] { return !log.empty() && log.back().rfind("ended", 0) == 0; }));
    // Motion may arrive compressed: the drag sees at least the last position, then the end.
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "changed 170,30");
    EXPECT_EQ(log.back(), "ended 170,30");
    EXPECT_EQ(std::count(log.begin(), log.end(), "cancelled"), 0);

    window->close();
    display->detach();
    core::MainQueue::shared().drain();
}
