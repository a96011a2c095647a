// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

// clang-format off
// Xlib comes before the toolkit's headers on purpose: they must not collide with its macros.
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include "InputTree.hpp"
#include "XSendEvents.hpp"
#include "XTestInput.hpp"
#include "Xvfb.hpp"
#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "display/X11Display.hpp"
#include "ui/OutlineView.hpp"
#include "ui/ScrollView.hpp"
#include "ui/StringDrawing.hpp"
#include "ui/TableView.hpp"
#include "ui/Text.hpp"
#include "ui/TextEditing.hpp"
#include "ui/TextField.hpp"
#include "ui/ToolTip.hpp"
// clang-format on

#include <unistd.h>

using graphics::Rect;

namespace {

using displaytest::pumpUntil;
using displaytest::sendClick;
using displaytest::sendKey;

} // namespace

TEST(X11TextField, ClickTypeTabAndReturnMoveThroughTheFields) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto display = display::X11Display::open(server.name().c_str());
    ASSERT_NE(display, nullptr);
    display->setScaleOverride(1.0);
    display->attach(core::RunLoop::main());
    displaytest::Cleanup cleanup;

    auto window = ui::Window::make(Rect(0, 0, 200, 100));
    auto first = std::make_shared<ui::TextField>(Rect(10, 60, 180, 22));
    auto second = std::make_shared<ui::TextField>(Rect(10, 20, 180, 22));
    window->contentView()->addSubview(first);
    window->contentView()->addSubview(second);
    auto target = std::make_shared<ui::Responder>();
    std::vector<std::string> actions;
    target->setActionHandler("commit:", [&](const std::shared_ptr<ui::Object>& sender) {
        actions.push_back(std::dynamic_pointer_cast<ui::TextField>(sender)->stringValue());
    });
    for (auto& field : {first, second}) {
        field->setTarget(target);
        field->setAction("commit:");
    }
    auto backend = display->createWindow(window);
    ASSERT_NE(backend, nullptr);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(pumpUntil(*display, [&] { return backend->isMapped() && backend->presentedFrames() > 0; }));
    ::Display* dpy = display->xdisplay();

    // The first field's middle, in X's y-down pixels: y = 100 - (60 + 11).
    sendClick(dpy, backend->xid(), 40, 29);
    XFlush(dpy);
    ASSERT_TRUE(pumpUntil(*display, [&] { return first->currentEditor() != nullptr; }));
    EXPECT_EQ(window->firstResponder(), first->currentEditor());
    for (KeySym key : {XK_h, XK_i}) {
        sendKey(dpy, backend->xid(), key);
    }
    sendKey(dpy, backend->xid(), XK_Tab);
    sendKey(dpy, backend->xid(), XK_o);
    sendKey(dpy, backend->xid(), XK_k);
    XFlush(dpy);
    ASSERT_TRUE(pumpUntil(*display, [&] { return second->stringValue() == "ok"; }));
    EXPECT_EQ(first->stringValue(), "hi");
    EXPECT_EQ(first->currentEditor(), nullptr);
    EXPECT_EQ(window->firstResponder(), second->currentEditor());

    sendKey(dpy, backend->xid(), XK_Return);
    sendKey(dpy, backend->xid(), XK_ISO_Left_Tab, ShiftMask);
    XFlush(dpy);
    ASSERT_TRUE(pumpUntil(*display, [&] { return first->currentEditor() != nullptr; }));
    EXPECT_EQ(actions, (std::vector<std::string>{"hi", "ok", "ok"}));
    // What the screen shows: the first field's bezel region was drawn again with the editor in it.
    EXPECT_GT(backend->presentedFrames(), 1);
    display->detach();
    core::MainQueue::shared().drain();
}

TEST(X11TextField, AHoverOverCutTextShowsItWholeInAToolTipThatNeverTakesTheFocus) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto display = display::X11Display::open(server.name().c_str());
    ASSERT_NE(display, nullptr);
    display->setScaleOverride(1.0);
    display->attach(core::RunLoop::main());
    displaytest::Cleanup cleanup;
    displaytest::XTestInput input(display->xdisplay());
    if (!input.available()) {
        GTEST_SKIP() << "no XTest";
    }

    const std::string text = "The quick brown fox jumps over the lazy dog";
    auto window = ui::Window::make(Rect(40, 200, 200, 100));
    auto field = ui::TextField::labelWithString(text);
    field->setFrame(Rect(10, 40, 100, 22));
    field->setLineBreakMode(graphics::LineBreakMode::truncatingTail);
    field->setAllowsExpansionToolTips(true);
    window->contentView()->addSubview(field);
    // The hover delay runs on a clock the test moves.
    auto clock = std::make_shared<core::ManualClock>();
    core::MainQueue queue;
    core::RunLoop loop(queue, clock);
    window->setAnimationRunLoop(&loop);
    auto backend = display->createWindow(window);
    ASSERT_NE(backend, nullptr);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(pumpUntil(*display, [&] { return backend->isMapped() && window->isKeyWindow(); }));

    // Onto the field (y down: 100 - (40 + 11)); the tip waits for the delay.
    const auto [rootX, rootY] = input.rootPosition(backend->xid(), 50, 49);
    input.moveTo(rootX, rootY);
    const bool early = pumpUntil(
        *display,
        [&] {
            loop.fireDueTimers();
            return field->expansionToolTipWindow() != nullptr;
        },
        std::chrono::milliseconds(300));
    EXPECT_FALSE(early);
    clock->advance(std::chrono::milliseconds(1100));
    ASSERT_TRUE(pumpUntil(*display, [&] {
        loop.fireDueTimers();
        return field->expansionToolTipWindow() != nullptr;
    }));
    auto tip = field->expansionToolTipWindow();
    auto tipBackend = std::dynamic_pointer_cast<display::X11WindowBackend>(tip->backend());
    ASSERT_NE(tipBackend, nullptr);
    ASSERT_TRUE(pumpUntil(*display, [&] { return tipBackend->isMapped(); }));
    XWindowAttributes attributes{};
    ASSERT_NE(XGetWindowAttributes(display->xdisplay(), tipBackend->xid(), &attributes), 0);
    EXPECT_TRUE(attributes.override_redirect);
    EXPECT_EQ(std::dynamic_pointer_cast<ui::ToolTipView>(tip->contentView())->text().string(), text);
    display->pump();
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_FALSE(tip->isKeyWindow());
    EXPECT_TRUE(backend->hasFocus());

    // Off the field: the tip goes.
    const auto [outX, outY] = input.rootPosition(backend->xid(), 180, 10);
    input.moveTo(outX, outY);
    ASSERT_TRUE(pumpUntil(*display, [&] { return tip->isClosed(); }));
    window->setAnimationRunLoop(nullptr);
}
