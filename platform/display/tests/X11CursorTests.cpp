// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "XSendEvents.hpp"
#include "Xvfb.hpp"
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

// Shows its cursor while the pointer is inside its tracking area, the way editors' views do.
class AreaView : public ui::View {
public:
    using View::View;
    void mouseEntered(const ui::Event&) override { cursor->set(); }
    void mouseExited(const ui::Event&) override { ui::Cursor::arrowCursor()->set(); }
    std::shared_ptr<ui::Cursor> cursor;
};

// The red pixels of the cursor the X server shows (-1 without XFixes), and its hot spot.
struct Shown {
    int red = -1;
    int xhot = -1;
    int yhot = -1;
};
Shown shownCursor(::Display* dpy) {
    int eventBase = 0, errorBase = 0;
    Shown shown;
    if (!XFixesQueryExtension(dpy, &eventBase, &errorBase)) {
        return shown;
    }
    XFixesCursorImage* image = XFixesGetCursorImage(dpy);
    if (!image) {
        return shown;
    }
    shown.red = 0;
    for (int i = 0; i < image->width * image->height; ++i) {
        shown.red += (image->pixels[i] & 0xffffffff) == 0xffff0000 ? 1 : 0;
    }
    shown.xhot = image->xhot;
    shown.yhot = image->yhot;
    XFree(image);
    return shown;
}

} // namespace

TEST(X11Cursor, TheTrackingCursorAppearsOverItsRect) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto display = displaytest::openAttachedDisplay(server.name());
    ASSERT_NE(display, nullptr);
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
    if (const Shown shown = shownCursor(dpy); shown.red >= 0) {
        EXPECT_EQ(shown.red, 16 * 16);
        EXPECT_EQ(shown.xhot, 3);
        EXPECT_EQ(shown.yhot, 4);
    }
    // Out of the rect: the arrow again, on the screen too.
    XWarpPointer(dpy, 0, backend->xid(), 0, 0, 0, 0, 20, 20);
    XFlush(dpy);
    EXPECT_TRUE(pump([&] { return backend->cursor() == ui::Cursor::arrowCursor(); }));
    EXPECT_LE(shownCursor(dpy).red, 0);

    // A tracking area's owner sets its cursor on entering and the arrow on leaving.
    auto area = std::make_shared<AreaView>(graphics::Rect(0, 100, 60, 50));
    area->cursor = ui::Cursor::make(image, {9, 2});
    area->addTrackingArea(ui::TrackingArea::make(
        area->bounds(),
        ui::TrackingAreaOptions::mouseEnteredAndExited | ui::TrackingAreaOptions::activeAlways, area));
    window->contentView()->addSubview(area);
    XWarpPointer(dpy, 0, backend->xid(), 0, 0, 0, 0, 30, 25);
    XFlush(dpy);
    ASSERT_TRUE(pump([&] { return backend->cursor() == area->cursor; }));
    if (const Shown shown = shownCursor(dpy); shown.red >= 0) {
        EXPECT_EQ(shown.red, 16 * 16);
        EXPECT_EQ(shown.xhot, 9);
        EXPECT_EQ(shown.yhot, 2);
    }
    XWarpPointer(dpy, 0, backend->xid(), 0, 0, 0, 0, 30, 80);
    XFlush(dpy);
    EXPECT_TRUE(pump([&] { return backend->cursor() == ui::Cursor::arrowCursor(); }));
    EXPECT_LE(shownCursor(dpy).red, 0);
    window->close();
    display->detach();
}
