// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "../../platform/display/tests/XSendEvents.hpp"
#include "../../platform/display/tests/Xvfb.hpp"
#include "DialBundles.hpp"
#include "DialTestSupport.hpp"
#include "ZeltoCore/KitExtensions.hpp"
#include "ZeltoCore/KitResources.hpp"
#include "ZeltoDialsCore/ZeltoChaosDial/ChaosDial.hpp"
#include "core/RunLoop.hpp"
#include "display/X11Display.hpp"

#include <cmath>

using namespace dialtest;
using namespace zelto;
using displaytest::pumpUntil;

TEST(X11Dial, AChaosDialFollowsARealPointerDrag) {
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
    const auto [rootX, rootY] = input.rootPosition(backend->xid());
    const int x = rootX + 60, y = rootY + 80 - 16;
    input.moveTo(x, y);
    input.button(1, true);
    input.moveTo(x, y - 8);
    ASSERT_TRUE(pumpUntil(*display, [&] { return param->isBeingInteractivelyEdited(); }));
    // Forty points further up: a fifth of the range.
    input.moveTo(x, y - 48);
    ASSERT_TRUE(pumpUntil(*display, [&] { return std::abs(param->value() - 20) < 1e-3f; })) << param->value();
    // Down past the window's bottom edge: the grab keeps the drag ours, back to the lower bound.
    input.moveTo(x, y + 152);
    input.button(1, false);
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
