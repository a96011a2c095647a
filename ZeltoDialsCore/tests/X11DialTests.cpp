// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "../../platform/display/tests/Xvfb.hpp"
#include "DialBundles.hpp"
#include "DialTestSupport.hpp"
#include "ZeltoCore/KitExtensions.hpp"
#include "ZeltoCore/KitResources.hpp"
#include "ZeltoDialsCore/ZeltoChaosDial/ChaosDial.hpp"
#include "core/RunLoop.hpp"
#include "display/X11Display.hpp"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <cmath>
#include <unistd.h>

using namespace dialtest;
using namespace zelto;

namespace {

template <class Predicate> bool pumpUntil(display::X11Display& display, Predicate done) {
    for (int i = 0; i < 400 && !done(); ++i) {
        display.pump();
        usleep(5000);
    }
    return done();
}

} // namespace

TEST(X11Dial, AChaosDialFollowsARealPointerDrag) {
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
    useDialBundles();
    display->setScaleOverride(1.0);
    display->attach(core::RunLoop::main());

    auto param = RecordingParameter::make("Mix", AudioUnitParameterUnit::percent, {0, 100}, 0);
    const LabelDisplayOptions options{.valueColor = kitColor("ChaosYellowText"),
                                      .labelFontSize = 13,
                                      .valueFontSize = 13,
                                      .editingFontSize = 12,
                                      .showSuffix = true,
                                      .showName = true,
                                      .labelWidth = 56,
                                      .font = CorviFont::dosisMedium,
                                      .customTitle = std::nullopt};
    auto window = ui::Window::make(graphics::Rect(0, 0, 120, 160));
    auto host = declarative::HostingView::make(ChaosDial(param, ModernDialColor::grey, options),
                                               graphics::Rect(0, 0, 120, 160));
    window->setContentView(host);
    auto backend = display->createWindow(window);
    ASSERT_NE(backend, nullptr);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(pumpUntil(*display, [&] { return backend->isMapped() && backend->presentedFrames() > 0; }));

    // The knob's frame is drawn 16 points above the dial's centre (the window's centre).
    ::Display* dpy = display->xdisplay();
    int rootX = 0, rootY = 0;
    ::Window child;
    XTranslateCoordinates(dpy, backend->xid(), DefaultRootWindow(dpy), 0, 0, &rootX, &rootY, &child);
    const int x = rootX + 60, y = rootY + 80 - 16;
    XTestFakeMotionEvent(dpy, -1, x, y, 0);
    XTestFakeButtonEvent(dpy, 1, True, 0);
    XTestFakeMotionEvent(dpy, -1, x, y - 8, 0);
    XFlush(dpy);
    ASSERT_TRUE(pumpUntil(*display, [&] { return param->isBeingInteractivelyEdited(); }));
    // Forty points further up: a fifth of the range.
    XTestFakeMotionEvent(dpy, -1, x, y - 48, 0);
    XFlush(dpy);
    ASSERT_TRUE(pumpUntil(*display, [&] { return std::abs(param->value() - 20) < 1e-3f; })) << param->value();
    // Down past the window's bottom edge: the grab keeps the drag ours, back to the lower bound.
    XTestFakeMotionEvent(dpy, -1, x, y + 152, 0);
    XTestFakeButtonEvent(dpy, 1, False, 0);
    XFlush(dpy);
    ASSERT_TRUE(pumpUntil(*display, [&] {
        return !param->isBeingInteractivelyEdited() && param->value() == 0;
    })) << param->value();
    ASSERT_GE(param->edits.size(), 3u);
    EXPECT_EQ(param->edits.front(), begin(0));
    EXPECT_EQ(param->edits.back(), end(0));

    window->close();
    display->detach();
    core::MainQueue::shared().drain();
}
