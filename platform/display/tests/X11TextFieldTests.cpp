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
