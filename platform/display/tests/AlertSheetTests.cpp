// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

// Alerts, sheets, screens and key notifications through real events: headless, and on an X server.

#include "InputTree.hpp"
#include "XSendEvents.hpp"
#include "Xvfb.hpp"
#include "core/NotificationCenter.hpp"
#include "core/RunLoop.hpp"
#include "display/HeadlessBackend.hpp"
#include "display/X11Display.hpp"
#include "ui/Alert.hpp"
#include "ui/Button.hpp"
#include "ui/Control.hpp"
#include "ui/Screen.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo.h>
#include <filesystem>
#include <functional>
#include <unistd.h>
#include <utility>
#include <vector>

using graphics::Point;
using graphics::Rect;

namespace {

using displaytest::pumpUntil;
using displaytest::sendClick;
using displaytest::sendKey;

std::filesystem::path outputDirectory() {
    std::filesystem::path dir = std::filesystem::path(TESSARAY_TEST_OUTPUT_DIR) / "windows";
    std::filesystem::create_directories(dir);
    return dir;
}

Point centreOf(const std::shared_ptr<ui::View>& view) {
    const Rect r = view->convertRectToView(view->bounds(), nullptr);
    return {r.midX(), r.midY()};
}

std::shared_ptr<ui::Alert> saveAlert() {
    auto alert = ui::Alert::make();
    alert->setMessageText("Do you want to keep the changes you made to “Preset 3”?");
    alert->setInformativeText("Your changes will be lost if you don't keep them.");
    alert->addButton("Keep");
    alert->addButton("Cancel");
    alert->addButton("Discard");
    return alert;
}

// A key window with a headless back end, which alerts and sheets take theirs after.
struct HeadlessScene {
    displaytest::Cleanup cleanup;
    std::shared_ptr<ui::Window> parent = ui::Window::make(Rect(300, 400, 480, 320), ui::WindowStyle::titled);
    std::shared_ptr<display::HeadlessBackend> backend;
    explicit HeadlessScene(double scale = 1.0) {
        backend = display::HeadlessBackend::attach(parent, scale);
        parent->makeKeyAndOrderFront();
    }
    ~HeadlessScene() { ui::Application::shared()->setModalRunner({}); }
};

std::shared_ptr<display::HeadlessBackend> headless(const std::shared_ptr<ui::Window>& w) {
    return std::dynamic_pointer_cast<display::HeadlessBackend>(w->backend());
}

} // namespace

TEST(AlertHeadless, AnswersItsButtonsReturnAndEscape) {
    HeadlessScene scene;
    auto app = ui::Application::shared();
    // Each run answers with one real input: a click on the third button, Return, Escape.
    std::vector<std::function<void(display::HeadlessBackend&, ui::Alert&)>> inputs = {
        [](display::HeadlessBackend& b, ui::Alert& a) { b.click(centreOf(a.buttons()[2])); },
        [](display::HeadlessBackend& b, ui::Alert&) { b.typeKey(ui::utf8(ui::SpecialKey::carriageReturn)); },
        [](display::HeadlessBackend& b, ui::Alert&) { b.typeKey(ui::utf8(ui::SpecialKey::escape)); },
    };
    std::vector<ui::ModalResponse> responses;
    for (auto& input : inputs) {
        auto alert = saveAlert();
        app->setModalRunner([&](const std::shared_ptr<ui::Window>& w) {
            auto b = headless(w);
            ASSERT_NE(b, nullptr); // made like the key window's
            EXPECT_TRUE(b->isVisible());
            EXPECT_TRUE(w->isKeyWindow());
            input(*b, *alert);
        });
        responses.push_back(alert->runModal());
        EXPECT_FALSE(alert->window()->isVisible());
    }
    EXPECT_EQ(responses, (std::vector<ui::ModalResponse>{1002, 1000, 1001}));
    EXPECT_TRUE(scene.parent->isKeyWindow());

    // Without a Cancel button Escape does nothing; a click still answers.
    auto plain = ui::Alert::make();
    plain->setMessageText("Saved.");
    app->setModalRunner([&](const std::shared_ptr<ui::Window>& w) {
        auto b = headless(w);
        b->typeKey(ui::utf8(ui::SpecialKey::escape));
        EXPECT_EQ(app->modalWindow(), w);
        ASSERT_EQ(plain->buttons().size(), 1u); // "OK" was added
        EXPECT_EQ(plain->buttons()[0]->title(), "OK");
        b->click(centreOf(plain->buttons()[0]));
    });
    EXPECT_EQ(plain->runModal(), ui::alertFirstButtonReturn);
}

TEST(AlertHeadless, CentresOnTheVisibleFrameAndDrawsAtBothScales) {
    for (double scale : {1.0, 2.0}) {
        HeadlessScene scene(scale);
        auto alert = saveAlert();
        alert->setAlertStyle(ui::Alert::Style::warning);
        ui::Application::shared()->setModalRunner([&](const std::shared_ptr<ui::Window>& w) {
            auto b = headless(w);
            const Rect visible = display::HeadlessBackend::fixedScreen()->visibleFrame();
            EXPECT_DOUBLE_EQ(w->frame().midX(), visible.midX());
            EXPECT_GT(w->frame().midY(), visible.midY());
            // Buttons right to left, the first rightmost, none overlapping the texts.
            const auto& buttons = alert->buttons();
            EXPECT_GT(buttons[0]->frame().minX(), buttons[1]->frame().maxX());
            EXPECT_GT(buttons[1]->frame().minX(), buttons[2]->frame().maxX());
            EXPECT_NEAR(buttons[0]->frame().maxX(), ui::Alert::width - 20, 1e-9);
            const auto name = scale == 1.0 ? "alert@1x.png" : "alert@2x.png";
            EXPECT_TRUE(b->writePNG(outputDirectory() / name));
            // The message's first line is drawn (light text right of the icon, near the top).
            int light = 0;
            for (int x = static_cast<int>(72 * scale); x < static_cast<int>(300 * scale); ++x) {
                for (int y = static_cast<int>(20 * scale); y < static_cast<int>(34 * scale); ++y) {
                    light += b->pixel(x, y).r > 180;
                }
            }
            EXPECT_GT(light, static_cast<int>(100 * scale * scale));
            // The default button is filled with the accent colour, the others are grey.
            const Point keep = centreOf(buttons[0]);
            const Point cancel = centreOf(buttons[1]);
            const auto accent =
                b->pixel(static_cast<int>((keep.x - 30) * scale),
                         static_cast<int>((w->contentAreaRect().size.height - keep.y) * scale));
            const auto grey =
                b->pixel(static_cast<int>((cancel.x - 30) * scale),
                         static_cast<int>((w->contentAreaRect().size.height - cancel.y) * scale));
            EXPECT_GT(accent.b, accent.r + 60);
            EXPECT_NEAR(grey.b, grey.r, 4);
            b->typeKey(ui::utf8(ui::SpecialKey::carriageReturn));
        });
        EXPECT_EQ(alert->runModal(), ui::alertFirstButtonReturn);
    }
}

TEST(SheetHeadless, AnAlertSheetHangsFromItsParentAndEndsOnEscape) {
    HeadlessScene scene(2.0);
    auto alert = saveAlert();
    std::vector<ui::ModalResponse> answers;
    alert->beginSheetModal(scene.parent, [&](ui::ModalResponse r) { answers.push_back(r); });
    auto sheet = alert->window();
    auto b = headless(sheet);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(sheet->sheetParent(), scene.parent);
    EXPECT_EQ(b->transientFor(), scene.backend.get());
    EXPECT_DOUBLE_EQ(sheet->frame().midX(), scene.parent->frame().midX());
    EXPECT_DOUBLE_EQ(sheet->contentAreaRect().maxY(), scene.parent->contentAreaRect().maxY());
    EXPECT_EQ(b->frameOrigin(), sheet->contentAreaRect().origin);

    // The sheet over its parent, composed as the screen would show it.
    scene.backend->displayIfNeeded();
    b->displayIfNeeded();
    const double s = 2.0;
    const Rect p = scene.parent->contentAreaRect();
    const Rect q = sheet->contentAreaRect();
    cairo_surface_t* composed = cairo_image_surface_create(
        CAIRO_FORMAT_ARGB32, static_cast<int>(p.size.width * s), static_cast<int>(p.size.height * s));
    cairo_t* cr = cairo_create(composed);
    cairo_set_source_surface(cr, scene.backend->surface(), 0, 0);
    cairo_paint(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.25); // the parent dims under its sheet
    cairo_paint(cr);
    cairo_set_source_surface(cr, b->surface(), (q.minX() - p.minX()) * s, (p.maxY() - q.maxY()) * s);
    cairo_paint(cr);
    cairo_destroy(cr);
    EXPECT_EQ(cairo_surface_write_to_png(composed, (outputDirectory() / "sheet@2x.png").c_str()),
              CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(composed);

    // Presses on the parent do nothing while the sheet is up; Escape picks Cancel.
    scene.backend->click({20, 20});
    EXPECT_TRUE(answers.empty());
    b->typeKey(ui::utf8(ui::SpecialKey::escape));
    EXPECT_EQ(answers, (std::vector<ui::ModalResponse>{ui::alertSecondButtonReturn}));
    EXPECT_FALSE(sheet->isSheet());
    EXPECT_FALSE(b->isVisible());
    EXPECT_TRUE(scene.parent->isKeyWindow());
}

// ---------------------------------------------------------------------------------------------------

namespace {

void setCardinals(::Display* dpy, const char* name, std::vector<long> values) {
    const Atom atom = XInternAtom(dpy, name, False);
    XChangeProperty(dpy, DefaultRootWindow(dpy), atom, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values.data()), static_cast<int>(values.size()));
    XSync(dpy, False);
}

// Where a window's top-left pixel is on the root window.
std::pair<int, int> rootPosition(::Display* dpy, unsigned long xid) {
    int x = 0;
    int y = 0;
    ::Window child = 0;
    XTranslateCoordinates(dpy, xid, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
    return {x, y};
}

std::shared_ptr<display::X11WindowBackend> x11(const std::shared_ptr<ui::Window>& w) {
    return std::dynamic_pointer_cast<display::X11WindowBackend>(w->backend());
}

struct X11Scene {
    displaytest::XvfbServer server{"800x600x24"};
    std::shared_ptr<display::X11Display> display;
    std::unique_ptr<displaytest::Cleanup> cleanup;
    std::shared_ptr<ui::Window> parent;

    bool start() {
        if (server.name().empty()) {
            return false;
        }
        display = display::X11Display::open(server.name().c_str());
        if (!display) {
            return false;
        }
        display->setScaleOverride(1.0);
        display->attach(core::RunLoop::main());
        cleanup = std::make_unique<displaytest::Cleanup>();
        // A window manager's panels: 30 pixels at the top, 40 at the bottom.
        setCardinals(display->xdisplay(), "_NET_WORKAREA", {0, 30, 800, 530, 0, 0, 800, 600});
        setCardinals(display->xdisplay(), "_NET_CURRENT_DESKTOP", {0});
        parent = ui::Window::make(Rect(100, 100, 300, 200), ui::WindowStyle::titled);
        display->createWindow(parent);
        parent->makeKeyAndOrderFront();
        return pumpUntil(*display, [&] { return x11(parent)->isMapped(); });
    }
    ~X11Scene() {
        cleanup.reset();
        if (display) {
            display->detach();
        }
    }
};

} // namespace

TEST(X11Windows, ScreensWindowPositionsAndKeyNotifications) {
    X11Scene scene;
    if (!scene.start()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    ::Display* dpy = scene.display->xdisplay();
    auto screen = scene.parent->screen();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->frame(), Rect(0, 0, 800, 600));
    EXPECT_EQ(screen->visibleFrame(), Rect(0, 40, 800, 530));

    // y up on screen, y down on the root window.
    EXPECT_EQ(rootPosition(dpy, x11(scene.parent)->xid()), std::make_pair(100, 300));
    scene.parent->setFrameOrigin({20, 50});
    XSync(dpy, False);
    EXPECT_EQ(rootPosition(dpy, x11(scene.parent)->xid()), std::make_pair(20, 350));

    // Size limits reach the window manager as size hints.
    scene.parent->setContentMinSize({300, 200});
    scene.parent->setContentMaxSize({300, 200});
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(dpy, x11(scene.parent)->xid(), &hints, &supplied));
    EXPECT_TRUE((hints.flags & PMinSize) && (hints.flags & PMaxSize) && (hints.flags & USPosition));
    EXPECT_EQ(hints.min_width, 300);
    EXPECT_EQ(hints.max_height, 200);

    // Without a work area the visible frame is the whole root window.
    XDeleteProperty(dpy, DefaultRootWindow(dpy), XInternAtom(dpy, "_NET_WORKAREA", False));
    EXPECT_EQ(scene.parent->screen()->visibleFrame(), Rect(0, 0, 800, 600));

    // Keyboard focus from the X server makes windows key, and the change is posted.
    auto other = ui::Window::make(Rect(500, 100, 100, 100));
    scene.display->createWindow(other);
    other->orderFront();
    ASSERT_TRUE(pumpUntil(*scene.display, [&] { return x11(other)->isMapped(); }));
    std::vector<std::pair<std::string, const void*>> seen;
    auto& center = core::NotificationCenter::defaultCenter();
    auto record = [&](const core::Notification& n) { seen.emplace_back(n.name, n.object); };
    auto become = center.addObserver(ui::windowDidBecomeKeyNotification, record);
    auto resign = center.addObserver(ui::windowDidResignKeyNotification, record);
    XSetInputFocus(dpy, x11(other)->xid(), RevertToParent, CurrentTime);
    XFlush(dpy);
    ASSERT_TRUE(pumpUntil(*scene.display, [&] { return other->isKeyWindow(); }));
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, const void*>>{
                        {ui::windowDidResignKeyNotification, scene.parent.get()},
                        {ui::windowDidBecomeKeyNotification, other.get()}}));
}

TEST(X11Windows, AnAlertRunsInANestedEventLoopAndASheetEndsOnEscape) {
    X11Scene scene;
    if (!scene.start()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    ::Display* dpy = scene.display->xdisplay();
    auto alert = saveAlert();
    int ticks = 0;
    bool clicked = false;
    // Runs inside the alert's modal loop: once its window is on the screen, click "Discard".
    auto timer = core::RunLoop::main().scheduleRepeating(std::chrono::milliseconds(10), [&] {
        auto b = x11(alert->window());
        if (!clicked && b && b->isMapped() && b->presentedFrames() > 0) {
            clicked = true;
            const auto centre = centreOf(alert->buttons()[2]);
            const int height = static_cast<int>(alert->window()->contentAreaRect().size.height);
            sendClick(dpy, b->xid(), static_cast<int>(centre.x), height - static_cast<int>(centre.y));
        }
        if (++ticks > 500) {
            ADD_FAILURE() << "the alert never appeared";
            ui::Application::shared()->abortModal(); // never hang the test
        }
    });
    EXPECT_EQ(alert->runModal(), ui::alertThirdButtonReturn);
    timer->invalidate();
    EXPECT_TRUE(clicked);
    // The alert window was a real, separate X window, centred on the visible frame.
    auto b = x11(alert->window());
    ASSERT_NE(b, nullptr);
    EXPECT_NE(b->xid(), x11(scene.parent)->xid());
    EXPECT_DOUBLE_EQ(alert->window()->frame().midX(), 400);

    // A sheet: a window of its own, transient for the parent, ended by Escape typed into it.
    auto sheet = ui::Window::make(Rect(0, 0, 200, 120));
    std::optional<ui::ModalResponse> ended;
    scene.parent->beginSheet(sheet, [&](ui::ModalResponse r) { ended = r; });
    auto sb = x11(sheet);
    ASSERT_NE(sb, nullptr);
    ASSERT_TRUE(pumpUntil(*scene.display, [&] { return sb->isMapped(); }));
    ::Window transientFor = 0;
    XGetTransientForHint(dpy, sb->xid(), &transientFor);
    EXPECT_EQ(transientFor, x11(scene.parent)->xid());
    EXPECT_EQ(rootPosition(dpy, sb->xid()), std::make_pair(150, 300));
    sendKey(dpy, sb->xid(), XK_Escape);
    ASSERT_TRUE(pumpUntil(*scene.display, [&] { return ended.has_value(); }));
    EXPECT_EQ(*ended, ui::ModalResponseCode::cancel);
    EXPECT_TRUE(pumpUntil(*scene.display, [&] { return !sb->isMapped(); }));
}

// An alert run from a button's action, while the click is being handled: it is drawn, and a key or a
// click that another client sends answers it; the action then returns and the alert leaves the screen.
TEST(X11Windows, AnAlertRunFromAnActionIsDrawnAndAnswersAnotherClientsKeyAndClick) {
    X11Scene scene;
    if (!scene.start()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    ::Display* other = XOpenDisplay(scene.server.name().c_str());
    ASSERT_NE(other, nullptr);
    auto app = ui::Application::shared();
    auto button = std::make_shared<ui::Control>(scene.parent->contentView()->bounds());
    scene.parent->contentView()->addSubview(button);
    auto target = std::make_shared<ui::Object>();
    std::shared_ptr<ui::Alert> alert;
    std::vector<ui::ModalResponse> answers;
    target->setActionHandler("ask:", [&](const auto&) {
        alert = saveAlert();
        answers.push_back(alert->runModal());
    });
    button->setTarget(target);
    button->setAction("ask:");

    // A point of the alert's window in X pixels (y down).
    auto pixelOf = [&](const std::shared_ptr<ui::View>& view) {
        const Point p = centreOf(view);
        const double height = alert->window()->contentAreaRect().size.height;
        return std::pair{static_cast<int>(p.x), static_cast<int>(height - p.y)};
    };
    // Whether the server shows the default button filled with the accent colour.
    auto accentShown = [&](unsigned long xid) {
        const auto [x, y] = pixelOf(alert->buttons()[0]);
        XImage* image = XGetImage(other, xid, x - 30, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) {
            return false;
        }
        const unsigned long pixel = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return (pixel & 0xff) > ((pixel >> 16) & 0xff) + 60;
    };
    // Runs inside the alert's session: once the alert is drawn on the screen, the round's answer.
    std::function<void(unsigned long xid)> answer;
    int ticks = 0;
    auto timer = core::RunLoop::main().scheduleRepeating(std::chrono::milliseconds(10), [&] {
        auto b = alert && app->modalWindow() == alert->window() ? x11(alert->window()) : nullptr;
        if (!b || !answer) {
            return;
        }
        if (b->isMapped() && accentShown(b->xid())) {
            std::exchange(answer, nullptr)(b->xid());
        } else if (++ticks > 1000) {
            ADD_FAILURE() << "the alert was never drawn on the screen";
            app->abortModal(); // never hang the test
        }
    });
    const std::vector<std::function<void(unsigned long)>> rounds = {
        [&](unsigned long xid) { sendKey(other, xid, XK_Return); },
        [&](unsigned long xid) {
            const auto [x, y] = pixelOf(alert->buttons()[2]);
            sendClick(other, xid, x, y);
        },
    };
    const std::vector<ui::ModalResponse> expected = {ui::alertFirstButtonReturn, ui::alertThirdButtonReturn};
    for (std::size_t round = 0; round < rounds.size(); ++round) {
        answer = rounds[round];
        ticks = 0;
        sendClick(other, x11(scene.parent)->xid(), 150, 100);
        if (!pumpUntil(*scene.display, [&] { return answers.size() > round; }) ||
            answers[round] != expected[round]) {
            break;
        }
        EXPECT_FALSE(app->modalWindow());
        EXPECT_TRUE(pumpUntil(*scene.display, [&] { return !x11(alert->window())->isMapped(); }));
    }
    timer->invalidate();
    XCloseDisplay(other);
    EXPECT_EQ(answers, expected);
}
