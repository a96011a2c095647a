// The application's windows on an X server without a window manager: where they open and what they tell
// a window manager, the about panel's keys, the update alerts' names, and the strip resting while another
// program has the keyboard focus.

// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "../../platform/display/tests/XSendEvents.hpp"
#include "../../platform/display/tests/Xvfb.hpp"
#include "ZeltoCore/KitFonts.hpp"
#include "ZeltoCore/KitResources.hpp"
#include "app/App.hpp"
#include "app/AppHost.hpp"
#include "app/Resources.hpp"
#include "app/ShaderKit.hpp"
#include "core/Bundle.hpp"
#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "display/X11Display.hpp"
#include "ui/Application.hpp"
#include "updater/AlertDialogRunner.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <unistd.h>

namespace {

using displaytest::pumpUntil;

struct NoUpdater final : tessaray::UpdaterController {
    void startUpdater() override {}
    void checkForUpdates(const void*) override {}
};

// The application on its own X server (1024×768, no window manager).
struct X11App {
    X11App()
        : app([](bool, tessaray::UpdaterDelegate*, tessaray::UserDriverDelegate*) {
              return std::make_shared<NoUpdater>();
          }) {
        if (server.name().empty() || !(display = display::X11Display::open(server.name().c_str()))) {
            return;
        }
        display->setScaleOverride(1.0);
        display->attach(core::RunLoop::main());
        bundle = core::Bundle::atPath(TESSARAY_APP_BUNDLE_DIR);
        tessaray::addBundleSearchPaths(*bundle);
        static const bool fonts = zelto::registerKitFonts(zelto::kitBundle().resourcePath() / "Fonts");
        (void)fonts;
        tessaray::AppHostOptions options;
        options.bundle = bundle;
        options.strip = tessaray::contentViewShader<tessaray::MetalShaderViewController>();
        options.display = display;
        host = std::make_unique<tessaray::AppHost>(app, options);
        host->launch();
    }
    ~X11App() {
        host.reset();
        core::MainQueue::shared().drain();
        if (display) {
            display->detach();
        }
    }
    bool started() {
        return host && pumpUntil(*display, [&] { return backend(host->window())->isMapped(); });
    }
    static std::shared_ptr<display::X11WindowBackend> backend(const std::shared_ptr<ui::Window>& window) {
        return std::dynamic_pointer_cast<display::X11WindowBackend>(window->backend());
    }
    ::Display* dpy() const { return display->xdisplay(); }
    std::pair<int, int> position(unsigned long xid) const {
        XWindowAttributes attributes{};
        XGetWindowAttributes(dpy(), xid, &attributes);
        return {attributes.x, attributes.y};
    }
    std::pair<std::string, std::string> windowClass(unsigned long xid) const {
        XClassHint hint{};
        if (!XGetClassHint(dpy(), xid, &hint)) {
            return {};
        }
        std::pair<std::string, std::string> result{hint.res_name, hint.res_class};
        XFree(hint.res_name);
        XFree(hint.res_class);
        return result;
    }
    std::string name(unsigned long xid) const {
        char* text = nullptr;
        std::string result = XFetchName(dpy(), xid, &text) && text ? text : "";
        XFree(text);
        return result;
    }

    displaytest::XvfbServer server{"1024x768x24"};
    std::shared_ptr<display::X11Display> display;
    tessaray::TessarayApp app;
    std::shared_ptr<core::Bundle> bundle;
    std::unique_ptr<tessaray::AppHost> host;
};

} // namespace

TEST(X11Application, WindowsOpenCentredWithPositionHintsAndNamesOfTheirOwn) {
    X11App x;
    if (!x.started()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    const auto main = X11App::backend(x.host->window())->xid();
    // Centred on the screen, not in its bottom-left corner.
    EXPECT_EQ(x.position(main), std::make_pair((1024 - 400) / 2, (768 - 572) / 2));
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(x.dpy(), main, &hints, &supplied));
    EXPECT_TRUE(hints.flags & USPosition);
    EXPECT_TRUE(hints.flags & PPosition);
    EXPECT_TRUE((hints.flags & PMinSize) && (hints.flags & PMaxSize));
    EXPECT_EQ(x.windowClass(main), std::make_pair(std::string("tessaray"), std::string("Tessaray")));

    // The about panel: centred across, a little above the middle, so it never sits exactly on the window.
    x.host->showAboutPanel();
    const auto panel = X11App::backend(x.host->aboutPanel());
    ASSERT_TRUE(pumpUntil(*x.display, [&] { return panel->isMapped(); }));
    const auto [px, py] = x.position(panel->xid());
    EXPECT_EQ(px, (1024 - 280) / 2);
    EXPECT_LT(py, (768 - 170) / 2);
    EXPECT_NE(std::make_pair(px, py), x.position(main));
    ASSERT_TRUE(XGetWMNormalHints(x.dpy(), panel->xid(), &hints, &supplied));
    EXPECT_TRUE(hints.flags & USPosition);
    EXPECT_EQ(x.windowClass(panel->xid()).second, "Tessaray");

    // An update alert has no title, but the window manager still learns its name and class.
    updater::UpdateDialog dialog;
    dialog.kind = updater::UpdateDialog::Kind::upToDate;
    dialog.title = "You're up to date!";
    dialog.buttons = {"OK"};
    auto shown = updater::AlertDialogRunner().show(dialog, [](std::size_t) {});
    auto alert = ui::Application::shared()->keyWindow();
    ASSERT_NE(alert, nullptr);
    const auto alertBackend = X11App::backend(alert);
    ASSERT_NE(alertBackend, nullptr);
    ASSERT_TRUE(pumpUntil(*x.display, [&] { return alertBackend->isMapped(); }));
    EXPECT_EQ(x.name(alertBackend->xid()), "Tessaray");
    EXPECT_EQ(x.windowClass(alertBackend->xid()),
              std::make_pair(std::string("tessaray"), std::string("Tessaray")));
    shown->close();
}

TEST(X11Application, EscapeAndControlWCloseTheAboutPanel) {
    X11App x;
    if (!x.started()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    for (auto [key, state] : {std::pair<KeySym, unsigned>{XK_Escape, 0u}, {XK_w, ControlMask}}) {
        SCOPED_TRACE(key);
        x.host->showAboutPanel();
        const auto panel = x.host->aboutPanel();
        const auto backend = X11App::backend(panel);
        ASSERT_TRUE(pumpUntil(*x.display, [&] { return backend->isMapped() && panel->isKeyWindow(); }));
        displaytest::sendKey(x.dpy(), backend->xid(), key, state);
        EXPECT_TRUE(pumpUntil(*x.display, [&] { return panel->isClosed(); }));
        EXPECT_FALSE(x.host->isTerminating()) << "only the panel closes";
        EXPECT_FALSE(x.host->window()->isClosed());
    }
}

TEST(X11Application, TheStripRestsWhileAnotherProgramHasTheFocusUntilAHandOverBringsTheWindowForward) {
    X11App x;
    if (!x.started()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto host = x.host->hostingView();
    host->layoutIfNeeded();
    auto container = std::dynamic_pointer_cast<tessaray::ShaderContainerView>(host->subviews().front());
    ASSERT_NE(container, nullptr);
    auto controller = std::dynamic_pointer_cast<tessaray::MetalShaderViewController>(container->controller());
    if (!controller || !controller->metalKitView()) {
        GTEST_SKIP() << "no GPU device, not even the software renderer";
    }
    const auto view = controller->metalKitView();
    const auto main = X11App::backend(x.host->window());
    ASSERT_TRUE(pumpUntil(*x.display, [&] { return main->hasFocus() && x.host->window()->isKeyWindow(); }));
    EXPECT_FALSE(view->isPaused());

    // Another program's window takes the focus.
    ::Display* other = XOpenDisplay(x.server.name().c_str());
    ASSERT_NE(other, nullptr);
    const ::Window window = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 50, 50, 0, 0, 0);
    XMapWindow(other, window);
    XSync(other, False);
    for (int i = 0; i < 200 && x.host->window()->isKeyWindow(); ++i) {
        XSetInputFocus(other, window, RevertToParent, CurrentTime); // refused until the window is viewable
        XSync(other, False);
        x.display->pump();
        usleep(5000);
    }
    ASSERT_TRUE(pumpUntil(*x.display, [&] { return !x.host->window()->isKeyWindow(); }));
    EXPECT_TRUE(view->isPaused()) << "no animation while another program has the focus";

    // A later launch hands over: the window comes forward and takes the focus back.
    x.host->window()->makeKeyAndOrderFront();
    ASSERT_TRUE(pumpUntil(*x.display, [&] { return x.host->window()->isKeyWindow(); }));
    ::Window focused = 0;
    int revert = 0;
    XGetInputFocus(other, &focused, &revert);
    EXPECT_EQ(focused, main->xid());
    EXPECT_FALSE(view->isPaused());
    XCloseDisplay(other);
}
