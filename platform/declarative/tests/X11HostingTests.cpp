// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "../../display/tests/XSendEvents.hpp"
#include "../../display/tests/Xvfb.hpp"
#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "declarative/Declarative.hpp"
#include "display/X11Display.hpp"
#include "ui/Window.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <string>

using namespace declarative;
using displaytest::pumpUntil;

TEST(X11Hosting, ATreeDrawsInARealWindowAndFollowsAnXTestDrag) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto display = display::X11Display::open(server.name().c_str());
    ASSERT_NE(display, nullptr);
    displaytest::XTestInput input(display->xdisplay());
    if (!input.available()) {
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
    const auto [rootX, rootY] = input.rootPosition(backend->xid());
    input.moveTo(rootX + 100, rootY + 50);
    input.button(1, true);
    input.moveTo(rootX + 102, rootY + 50);
    input.moveTo(rootX + 110, rootY + 50);
    input.moveTo(rootX + 250, rootY + 60);
    input.button(1, false);
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
