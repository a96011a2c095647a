// Popovers on the back ends: a pop-up window of the anchor window's kind (headless at its scale, or an
// override-redirect X window), beside the anchor on the screen, never taking key status or focus, and
// gone with the window it was shown from.

// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "XSendEvents.hpp"
#include "Xvfb.hpp"
#include "core/RunLoop.hpp"
#include "display/HeadlessBackend.hpp"
#include "display/X11Display.hpp"
#include "ui/Application.hpp"
#include "ui/Popover.hpp"
#include "ui/TextField.hpp"
#include "ui/ViewController.hpp"

#include <X11/Xlib.h>

using displaytest::pumpUntil;
using graphics::Rect;

namespace {

std::shared_ptr<ui::Popover> popoverOfSize(graphics::Size size) {
    auto popover = std::make_shared<ui::Popover>();
    auto controller = std::make_shared<ui::ViewController>();
    controller->setView(std::make_shared<ui::View>(Rect({}, size)));
    popover->setContentViewController(controller);
    popover->setContentSize(size);
    return popover;
}

// Whether xid is a mapped child of the root window.
bool isViewableTopLevel(Display* xdisplay, ::Window xid) {
    ::Window root = 0;
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(xdisplay, DefaultRootWindow(xdisplay), &root, &parent, &children, &count)) {
        return false;
    }
    bool viewable = false;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (children[i] == xid && XGetWindowAttributes(xdisplay, xid, &attributes)) {
            viewable = attributes.map_state == IsViewable;
        }
    }
    if (children) {
        XFree(children);
    }
    return viewable;
}

struct Closer {
    ~Closer() {
        for (auto& w : ui::Application::shared()->windows()) {
            w->close();
        }
        ui::Application::shared()->setKeyWindow(nullptr);
    }
};

} // namespace

TEST(PopoverDisplay, AHeadlessPopoverGetsAPopUpBackEndAtTheAnchorsScaleAndFlipsAtTheScreenEdge) {
    Closer closer;
    auto window = ui::Window::make(Rect(100, 1000, 300, 60));
    auto backend = display::HeadlessBackend::attach(window, 2.0, true);
    auto field = std::make_shared<ui::TextField>(Rect(10, 20, 200, 22));
    window->contentView()->addSubview(field);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(window->makeFirstResponder(field));
    const auto focus = window->firstResponder();

    // Above the field would leave the screen (its panel starts at 1048): below it instead.
    auto popover = popoverOfSize({120, 40});
    popover->show(field->bounds(), field, ui::RectEdge::minY);
    ASSERT_TRUE(popover->isShown());
    EXPECT_EQ(popover->shownEdge(), ui::RectEdge::maxY);
    auto popUp = popover->window();
    auto popUpBackend = std::dynamic_pointer_cast<display::HeadlessBackend>(popUp->backend());
    ASSERT_NE(popUpBackend, nullptr);
    EXPECT_TRUE(popUp->isPopUp());
    EXPECT_DOUBLE_EQ(popUp->backingScaleFactor(), 2.0);
    const Rect anchor = window->convertRectToScreen(field->convertRectToView(field->bounds(), nullptr));
    EXPECT_EQ(popUpBackend->frameOrigin(),
              graphics::Point(anchor.midX() - 60, anchor.minY() - ui::Popover::gap - 40));
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(window->firstResponder(), focus);
    popover->close();
    EXPECT_FALSE(popUp->isVisible());
}

TEST(PopoverDisplay, OnXThePopoverIsAnOverrideRedirectWindowThatLeavesTheFocusAlone) {
    displaytest::XvfbServer server;
    std::shared_ptr<display::X11Display> display;
    if (server.name().empty() || !(display = display::X11Display::open(server.name().c_str()))) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    display->setScaleOverride(1.0);
    display->attach(core::RunLoop::main());
    {
        Closer closer;
        auto window = ui::Window::make(Rect(50, 50, 300, 120));
        auto field = std::make_shared<ui::TextField>(Rect(10, 60, 200, 22));
        window->contentView()->addSubview(field);
        auto backend = display->createWindow(window);
        ASSERT_NE(backend, nullptr);
        window->makeKeyAndOrderFront();
        ASSERT_TRUE(pumpUntil(*display, [&] { return backend->isMapped() && window->isKeyWindow(); }));
        ASSERT_TRUE(window->makeFirstResponder(field));

        auto popover = popoverOfSize({100, 30});
        popover->show(field->bounds(), field, ui::RectEdge::maxY);
        auto popUp = std::dynamic_pointer_cast<display::X11WindowBackend>(popover->window()->backend());
        ASSERT_NE(popUp, nullptr);
        ASSERT_TRUE(pumpUntil(*display, [&] { return popUp->isMapped(); }));
        XWindowAttributes attributes;
        ASSERT_TRUE(XGetWindowAttributes(display->xdisplay(), popUp->xid(), &attributes));
        EXPECT_TRUE(attributes.override_redirect);
        EXPECT_EQ(attributes.map_state, IsViewable);
        EXPECT_TRUE(window->isKeyWindow());
        EXPECT_EQ(window->firstResponder(), field->currentEditor());
        ::Window focus = 0;
        int revert = 0;
        XGetInputFocus(display->xdisplay(), &focus, &revert);
        EXPECT_NE(focus, popUp->xid());
        popover->close();
        EXPECT_FALSE(popover->isShown());

        // Shown again, it goes with the window it was shown from: nothing stays on the screen.
        popover->show(field->bounds(), field, ui::RectEdge::maxY);
        popUp = std::dynamic_pointer_cast<display::X11WindowBackend>(popover->window()->backend());
        ASSERT_NE(popUp, nullptr);
        ASSERT_TRUE(pumpUntil(*display, [&] { return popUp->isMapped(); }));
        const ::Window xid = popUp->xid();
        window->close();
        EXPECT_FALSE(popover->isShown());
        XSync(display->xdisplay(), False);
        EXPECT_FALSE(isViewableTopLevel(display->xdisplay(), xid));
    }
    display->detach();
}
