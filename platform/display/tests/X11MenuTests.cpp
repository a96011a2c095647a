// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "Xvfb.hpp"
#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "display/X11Display.hpp"
#include "display/X11MenuPresenter.hpp"
#include "ui/Application.hpp"
#include "ui/PopUpButton.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <cairo.h>
#include <filesystem>
#include <unistd.h>

using graphics::Rect;

namespace {

class Receiver : public ui::Responder {
public:
    explicit Receiver(std::initializer_list<const char*> actions) {
        for (const char* a : actions) {
            setActionHandler(a, [this, a](const std::shared_ptr<ui::Object>&) { log.push_back(a); });
        }
    }
    std::vector<std::string> log;
};

struct RootPoint {
    int x = 0;
    int y = 0;
};

// Menus in a real X server, driven by XTest: the pointer and keyboard really move, so the grab, the
// window placement and the event routing all take part.
class X11Menus : public ::testing::Test {
protected:
    void open(double scale) {
        if (server.name().empty()) {
            GTEST_SKIP() << "Xvfb is not available";
        }
        display = display::X11Display::open(server.name().c_str());
        ASSERT_NE(display, nullptr);
        dpy = display->xdisplay();
        int eventBase, errorBase, major, minor;
        if (!XTestQueryExtension(dpy, &eventBase, &errorBase, &major, &minor)) {
            GTEST_SKIP() << "no XTest";
        }
        this->scale = scale;
        display->setScaleOverride(scale);
        display->attach(core::RunLoop::main());

        window = ui::Window::make(Rect(0, 0, 320, 240));
        window->setDelegate(receiver);
        popUp = std::make_shared<ui::PopUpButton>(Rect(20, 190, 140, 22));
        popUp->addItems({"Red", "Green", "Blue"});
        popUp->setAction("colourChanged:");
        window->contentView()->addSubview(popUp);

        auto menu = ui::Menu::make();
        menu->addItem("Close", "close:", "w");
        auto all = menu->addItem("Close All", "closeAll:", "w");
        all->setAlternate(true);
        all->setKeyEquivalentModifierMask(ui::Modifier::command | ui::Modifier::option);
        menu->addItem(ui::MenuItem::separatorItem());
        auto more = menu->addItem("More", {});
        more->setSubmenu(ui::Menu::make("More"));
        more->submenu()->addItem("Deep", "deep:");
        context = std::make_shared<ui::View>(Rect(0, 0, 320, 150));
        context->setMenu(menu);
        window->contentView()->addSubview(context);

        backend = display->createWindow(window);
        ASSERT_NE(backend, nullptr);
        window->makeKeyAndOrderFront();
        ASSERT_TRUE(pumpUntil([&] { return backend->isMapped() && backend->presentedFrames() > 0; }));
    }

    void TearDown() override {
        if (display) {
            for (auto& w : ui::Application::shared()->windows()) {
                w->close();
            }
            display->detach();
        }
        core::MainQueue::shared().drain();
        ui::Application::shared()->setKeyWindow(nullptr);
    }

    void snapshot(double scale);

    // Waits for what a test expects, giving up after a long while (a loaded machine is slow).
    template <class Predicate> bool pumpUntil(Predicate done) {
        for (int i = 0; i < 2000 && !done(); ++i) {
            display->pump();
            usleep(5000);
        }
        return done();
    }

    std::shared_ptr<display::X11MenuPresenter> presenter() const {
        return std::static_pointer_cast<display::X11MenuPresenter>(backend->menuPresenter());
    }
    std::shared_ptr<ui::MenuTracking> tracking() const { return window->menuTracking(); }
    bool menuOpen() const { return tracking() && tracking()->isActive(); }
    // The level is on screen and drawn.
    bool levelShown(std::size_t level) const {
        auto l = presenter()->levelBackend(level);
        return menuOpen() && l && l->isMapped() && l->presentedFrames() > 0;
    }

    RootPoint rootOf(unsigned long xid, int x = 0, int y = 0) const {
        RootPoint p;
        ::Window child;
        XTranslateCoordinates(dpy, xid, DefaultRootWindow(dpy), x, y, &p.x, &p.y, &child);
        return p;
    }
    // The middle of a view in root pixels.
    RootPoint centreOf(const ui::View& view) const {
        const Rect r = view.convertRectToView(view.bounds(), nullptr);
        return rootOf(backend->xid(), static_cast<int>(r.midX() * scale),
                      static_cast<int>((window->frame().height() - r.midY()) * scale));
    }
    // The middle of a row of an open level, where the level's window really is.
    RootPoint rowOnRoot(std::size_t level, int row) const {
        const Rect f = tracking()->levels()[level].layout.rows[static_cast<std::size_t>(row)].frame;
        return rootOf(presenter()->levelBackend(level)->xid(), static_cast<int>(f.midX() * scale),
                      static_cast<int>(f.midY() * scale));
    }

    void move(RootPoint p) {
        XTestFakeMotionEvent(dpy, -1, p.x, p.y, 0);
        XFlush(dpy);
    }
    void button(unsigned number, bool down) {
        XTestFakeButtonEvent(dpy, number, down, 0);
        XFlush(dpy);
    }
    void click(RootPoint p, unsigned number = 1) {
        move(p);
        button(number, true);
        button(number, false);
    }
    void key(KeySym keysym, bool down) {
        XTestFakeKeyEvent(dpy, XKeysymToKeycode(dpy, keysym), down, 0);
        XFlush(dpy);
    }
    void type(KeySym keysym) {
        key(keysym, true);
        key(keysym, false);
    }
    std::string highlighted() const {
        auto item = menuOpen() ? tracking()->highlightedItem() : nullptr;
        return item ? item->title() : "";
    }

    displaytest::XvfbServer server{"640x480x24"};
    std::shared_ptr<display::X11Display> display;
    ::Display* dpy = nullptr;
    double scale = 1;
    std::shared_ptr<Receiver> receiver = std::make_shared<Receiver>(
        std::initializer_list<const char*>{"colourChanged:", "close:", "closeAll:", "deep:"});
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<display::X11WindowBackend> backend;
    std::shared_ptr<ui::PopUpButton> popUp;
    std::shared_ptr<ui::View> context;
};

} // namespace

TEST_F(X11Menus, PopUpButtonMenuChoosesWithTheMouseAndTheKeyboard) {
    open(1.0);
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    // Click, then click: the menu opens over the button with the selection on it, and takes the pointer.
    click(centreOf(*popUp));
    ASSERT_TRUE(pumpUntil([&] { return levelShown(0) && presenter()->hasPointerGrab(); }));
    EXPECT_TRUE(presenter()->hasKeyboardGrab());
    EXPECT_NEAR(rowOnRoot(0, 0).y, centreOf(*popUp).y, 2);
    EXPECT_EQ(highlighted(), "Red");
    move(rowOnRoot(0, 2));
    ASSERT_TRUE(pumpUntil([&] { return highlighted() == "Blue"; }));
    click(rowOnRoot(0, 2));
    ASSERT_TRUE(pumpUntil([&] { return !menuOpen(); }));
    EXPECT_EQ(popUp->titleOfSelectedItem(), "Blue");
    EXPECT_EQ(receiver->log, std::vector<std::string>{"colourChanged:"});
    EXPECT_EQ(presenter()->levelCount(), 0u);
    EXPECT_FALSE(presenter()->hasPointerGrab());

    // Down and Return.
    popUp->selectItemAt(0);
    click(centreOf(*popUp));
    ASSERT_TRUE(pumpUntil([&] { return levelShown(0); }));
    type(XK_Down);
    ASSERT_TRUE(pumpUntil([&] { return highlighted() == "Green"; }));
    type(XK_Return);
    ASSERT_TRUE(pumpUntil([&] { return !menuOpen(); }));
    EXPECT_EQ(popUp->titleOfSelectedItem(), "Green");
    EXPECT_EQ(receiver->log.size(), 2u);

    // Type-select; Escape closes and sends nothing.
    click(centreOf(*popUp));
    ASSERT_TRUE(pumpUntil([&] { return levelShown(0); }));
    type(XK_b); // type-select
    ASSERT_TRUE(pumpUntil([&] { return highlighted() == "Blue"; }));
    type(XK_Escape);
    ASSERT_TRUE(pumpUntil([&] { return !menuOpen(); }));
    EXPECT_EQ(popUp->titleOfSelectedItem(), "Green");
    EXPECT_EQ(receiver->log.size(), 2u);

    // Press, drag onto an item, release.
    move(centreOf(*popUp));
    button(1, true);
    ASSERT_TRUE(pumpUntil([&] { return levelShown(0); }));
    move(rowOnRoot(0, 0));
    ASSERT_TRUE(pumpUntil([&] { return highlighted() == "Red"; }));
    button(1, false);
    ASSERT_TRUE(pumpUntil([&] { return !menuOpen(); }));
    EXPECT_EQ(popUp->titleOfSelectedItem(), "Red");
    EXPECT_EQ(receiver->log.size(), 3u);
}

TEST_F(X11Menus, ContextMenuAlternatesSubmenusAndTheScreenEdge) {
    open(1.0);
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    // The window sits against the screen's right edge.
    XMoveWindow(dpy, backend->xid(), 640 - 320, 100);
    XFlush(dpy);
    ASSERT_TRUE(pumpUntil([&] { return rootOf(backend->xid()).x == 320; }));

    // A right-click opens the menu at the pointer.
    const RootPoint at = rootOf(backend->xid(), 100, 150);
    click(at, 3);
    ASSERT_TRUE(pumpUntil([&] { return levelShown(0); }));
    const RootPoint corner = rootOf(presenter()->levelBackend(0)->xid());
    EXPECT_EQ(corner.x, at.x);
    EXPECT_EQ(corner.y, at.y);

    // Holding Alt shows the alternate in place; clicking it sends its action.
    move(rowOnRoot(0, 0));
    ASSERT_TRUE(pumpUntil([&] { return highlighted() == "Close"; }));
    key(XK_Alt_L, true);
    ASSERT_TRUE(pumpUntil([&] { return highlighted() == "Close All"; }));
    key(XK_Alt_L, false);
    ASSERT_TRUE(pumpUntil([&] { return highlighted() == "Close"; }));
    key(XK_Alt_L, true);
    ASSERT_TRUE(pumpUntil([&] { return highlighted() == "Close All"; }));
    click(rowOnRoot(0, 0));
    ASSERT_TRUE(pumpUntil([&] { return !menuOpen(); }));
    key(XK_Alt_L, false);
    EXPECT_EQ(receiver->log, std::vector<std::string>{"closeAll:"});

    // Control-click near the screen's edge: the menu stays on the screen, and its submenu, opened by
    // hovering, turns to the left.
    const RootPoint edge = rootOf(backend->xid(), 300, 200);
    key(XK_Control_L, true);
    click(edge);
    key(XK_Control_L, false);
    ASSERT_TRUE(pumpUntil([&] { return levelShown(0); }));
    const auto level0 = presenter()->levelBackend(0);
    const RootPoint left0 = rootOf(level0->xid());
    EXPECT_LE(left0.x + static_cast<int>(level0->size().width), 640);
    EXPECT_LT(left0.x, edge.x);
    move(rowOnRoot(0, 2));
    ASSERT_TRUE(pumpUntil([&] { return levelShown(1); }));
    EXPECT_LT(rootOf(presenter()->levelBackend(1)->xid()).x, left0.x);
    move(rowOnRoot(1, 0));
    ASSERT_TRUE(pumpUntil([&] { return highlighted() == "Deep"; }));
    click(rowOnRoot(1, 0));
    ASSERT_TRUE(pumpUntil([&] { return !menuOpen(); }));
    EXPECT_EQ(receiver->log, (std::vector<std::string>{"closeAll:", "deep:"}));

    // A click outside every level closes the menu; nothing is sent and nothing below is clicked.
    click(at, 3);
    ASSERT_TRUE(pumpUntil([&] { return levelShown(0); }));
    click({20, 20});
    ASSERT_TRUE(pumpUntil([&] { return !menuOpen(); }));
    EXPECT_EQ(receiver->log.size(), 2u);
    EXPECT_EQ(presenter()->levelCount(), 0u);
}

// Writes the open menu's window as it reached the screen, and checks its highlighted row.
void X11Menus::snapshot(double s) {
    open(s);
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    popUp->selectItemAt(1);
    click(centreOf(*popUp));
    ASSERT_TRUE(pumpUntil([&] { return levelShown(0); }));
    auto level = presenter()->levelBackend(0);
    const int width = static_cast<int>(level->size().width * s);
    const int height = static_cast<int>(level->size().height * s);
    EXPECT_EQ(level->backingScaleFactor(), s);
    XImage* image = XGetImage(dpy, level->xid(), 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    cairo_surface_t* png = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    auto* data = cairo_image_surface_get_data(png);
    const int stride = cairo_image_surface_get_stride(png);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            reinterpret_cast<std::uint32_t*>(data + y * stride)[x] =
                static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xffffff);
        }
    }
    cairo_surface_mark_dirty(png);
    const auto file =
        std::filesystem::path(TESSARAY_TEST_OUTPUT_DIR) / (s == 1 ? "x11-menu-1x.png" : "x11-menu-2x.png");
    EXPECT_EQ(cairo_surface_write_to_png(png, file.c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(png);
    // The highlighted (selected) row is filled with the accent colour; the others are not.
    const Rect green = tracking()->levels()[0].layout.rows[1].frame;
    const Rect red = tracking()->levels()[0].layout.rows[0].frame;
    const auto at = [&](const Rect& row) {
        return XGetPixel(image, static_cast<int>(12 * s), static_cast<int>(row.midY() * s)) & 0xffffff;
    };
    EXPECT_NE(at(green), at(red));
    EXPECT_EQ(at(red) & 0xff, (at(red) >> 8) & 0xff); // the grey background
    XDestroyImage(image);
    type(XK_Escape);
    ASSERT_TRUE(pumpUntil([&] { return !menuOpen(); }));
}

TEST_F(X11Menus, OpenMenuSnapshotAt1x) {
    snapshot(1.0);
}

TEST_F(X11Menus, OpenMenuSnapshotAt2x) {
    snapshot(2.0);
}

TEST_F(X11Menus, AMenuWorksWhileAnotherClientHoldsThePointerAndGrabsItOnceFree) {
    open(1.0);
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    ::Display* other = XOpenDisplay(server.name().c_str());
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(XGrabPointer(other, DefaultRootWindow(other), False, ButtonPressMask, GrabModeAsync,
                           GrabModeAsync, 0, 0, CurrentTime),
              GrabSuccess);
    XSync(other, False);

    ASSERT_TRUE(popUp->showMenu());
    ASSERT_TRUE(pumpUntil([&] { return levelShown(0); }));
    EXPECT_FALSE(presenter()->hasPointerGrab());
    EXPECT_TRUE(presenter()->hasKeyboardGrab());
    type(XK_Down);
    ASSERT_TRUE(pumpUntil([&] { return highlighted() == "Green"; }));

    // Once the pointer is free the menu takes it at its next change, and the mouse chooses.
    XUngrabPointer(other, CurrentTime);
    XSync(other, False);
    type(XK_Down);
    ASSERT_TRUE(pumpUntil([&] { return highlighted() == "Blue"; }));
    EXPECT_TRUE(presenter()->hasPointerGrab());
    click(rowOnRoot(0, 1));
    ASSERT_TRUE(pumpUntil([&] { return !menuOpen(); }));
    EXPECT_EQ(popUp->titleOfSelectedItem(), "Green");
    XCloseDisplay(other);
}

TEST_F(X11Menus, AMenuOpenedFromTheKeyboardLeavesNoKeyHeldDown) {
    open(1.0);
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    class Keys : public ui::View {
    public:
        using View::View;
        bool acceptsFirstResponder() const override { return true; }
        void keyDown(const ui::Event& e) override { repeats.push_back(e.isARepeat); }
        std::vector<bool> repeats;
    };
    auto keys = std::make_shared<Keys>(Rect(200, 200, 20, 20));
    window->contentView()->addSubview(keys);
    XSetInputFocus(dpy, backend->xid(), RevertToParent, CurrentTime);
    ASSERT_TRUE(window->makeFirstResponder(popUp));

    // Space opens the menu; its release goes to the menu, which has the keyboard by then.
    key(XK_space, true);
    ASSERT_TRUE(pumpUntil([&] { return levelShown(0) && presenter()->hasKeyboardGrab(); }));
    key(XK_space, false);
    type(XK_Escape);
    ASSERT_TRUE(pumpUntil([&] { return !menuOpen(); }));
    ASSERT_TRUE(window->makeFirstResponder(keys));
    type(XK_space);
    ASSERT_TRUE(pumpUntil([&] { return !keys->repeats.empty(); }));
    EXPECT_EQ(keys->repeats, std::vector<bool>{false});
}

// Another client that unmaps or destroys an open menu's window ends the menu's session: keys reach the
// window again, and the next menu opens.
TEST_F(X11Menus, AMenuWindowUnmappedOrDestroyedByAnotherClientEndsItsSession) {
    open(1.0);
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    class Keys : public ui::View {
    public:
        using View::View;
        bool acceptsFirstResponder() const override { return true; }
        void keyDown(const ui::Event&) override { ++presses; }
        int presses = 0;
    };
    auto keys = std::make_shared<Keys>(Rect(200, 200, 20, 20));
    window->contentView()->addSubview(keys);
    ASSERT_TRUE(window->makeFirstResponder(keys));
    ::Display* other = XOpenDisplay(server.name().c_str());
    ASSERT_NE(other, nullptr);
    for (bool destroy : {false, true}) {
        ASSERT_TRUE(popUp->showMenu());
        ASSERT_TRUE(pumpUntil([&] { return levelShown(0) && presenter()->hasKeyboardGrab(); }));
        const unsigned long level = presenter()->levelBackend(0)->xid();
        if (destroy) {
            XDestroyWindow(other, level);
        } else {
            XUnmapWindow(other, level);
        }
        XSync(other, False);
        EXPECT_TRUE(pumpUntil([&] { return !menuOpen(); })) << (destroy ? "destroyed" : "unmapped");
        XSetInputFocus(dpy, backend->xid(), RevertToParent, CurrentTime);
        const int presses = keys->presses;
        type(XK_space);
        EXPECT_TRUE(pumpUntil([&] { return keys->presses > presses; })) << "the key reaches the window";
        ASSERT_TRUE(window->makeFirstResponder(keys));
    }
    XCloseDisplay(other);
}

// A window ordered out takes the menu opened from it off the screen, and the grab with it.
TEST_F(X11Menus, AMenuEndsWhenItsWindowIsOrderedOut) {
    open(1.0);
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    ASSERT_TRUE(popUp->showMenu());
    ASSERT_TRUE(pumpUntil([&] { return levelShown(0) && presenter()->hasPointerGrab(); }));
    const unsigned long level = presenter()->levelBackend(0)->xid();
    window->orderOut();
    EXPECT_FALSE(menuOpen());
    ::Display* other = XOpenDisplay(server.name().c_str());
    ASSERT_NE(other, nullptr);
    // The level's window is gone or unmapped (asking about a destroyed one is an error, ignored here).
    auto* previous = XSetErrorHandler([](::Display*, XErrorEvent*) { return 0; });
    XWindowAttributes attributes{};
    const bool exists = XGetWindowAttributes(other, level, &attributes) != 0;
    XSetErrorHandler(previous);
    EXPECT_FALSE(exists && attributes.map_state == IsViewable);
    EXPECT_EQ(XGrabPointer(other, DefaultRootWindow(other), False, ButtonPressMask, GrabModeAsync,
                           GrabModeAsync, 0, 0, CurrentTime),
              GrabSuccess);
    XCloseDisplay(other);
}
