// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "Xvfb.hpp"
#include "core/RunLoop.hpp"
#include "display/X11Display.hpp"
#include "ui/Application.hpp"
#include "ui/Cursor.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <unistd.h>

namespace {

class CursorView : public ui::View {
public:
    using View::View;
    void resetCursorRects() override { addCursorRect(graphics::Rect(0, 0, 50, 50), cursor); }
    std::shared_ptr<ui::Cursor> cursor;
};

} // namespace

TEST(X11Cursor, TheTrackingCursorAppearsOverItsRect) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto display = display::X11Display::open(server.name().c_str());
    ASSERT_NE(display, nullptr);
    display->setScaleOverride(1.0);
    display->attach(core::RunLoop::main());
    auto window = ui::Window::make({0, 0, 200, 150});
    auto backend = display->createWindow(window);
    auto view = std::make_shared<CursorView>(graphics::Rect(100, 0, 100, 100));
    auto image = graphics::Image::draw({16, 16}, 1.0, [](graphics::GraphicsContext& c) {
        c.fillRect(graphics::Rect(0, 0, 16, 16), graphics::Color::rgba(1, 0, 0, 1));
    });
    view->cursor = ui::Cursor::make(image, {3, 4});
    window->contentView()->addSubview(view);
    window->makeKeyAndOrderFront();
    ::Display* dpy = display->xdisplay();
    auto pump = [&](auto done) {
        for (int i = 0; i < 400 && !done(); ++i) {
            display->pump();
            usleep(5000);
        }
        return done();
    };
    ASSERT_TRUE(pump([&] { return backend->isMapped(); }));

    // The pointer moves into the rect (y down on X: window y 40 is 110 up from the bottom).
    XWarpPointer(dpy, 0, backend->xid(), 0, 0, 0, 0, 120, 110);
    XFlush(dpy);
    ASSERT_TRUE(pump([&] { return backend->cursor() == view->cursor; }));
    int eventBase = 0, errorBase = 0;
    if (XFixesQueryExtension(dpy, &eventBase, &errorBase)) {
        XFixesCursorImage* shown = XFixesGetCursorImage(dpy);
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->width, 16);
        EXPECT_EQ(shown->xhot, 3);
        EXPECT_EQ(shown->yhot, 4);
        XFree(shown);
    }
    // Out of the rect: the arrow again.
    XWarpPointer(dpy, 0, backend->xid(), 0, 0, 0, 0, 20, 20);
    XFlush(dpy);
    EXPECT_TRUE(pump([&] { return backend->cursor() == ui::Cursor::arrowCursor(); }));
    window->close();
    display->detach();
}
