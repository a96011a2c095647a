// A styled slider on a real X server, dragged with XTest past its end and out of its window: the value
// pins at the maximum and the drag goes on until the button goes up.
// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "Vimbra/StyledControls/StyledSlider.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "core/MainQueue.hpp"
#include "display/X11Display.hpp"
#include "display/tests/XSendEvents.hpp"
#include "display/tests/Xvfb.hpp"

#include <X11/Xlib.h>
#include <chrono>
#include <utility>

using graphics::Rect;

TEST(X11Slider, ADragPastTheEndPinsTheValueAndTracksOutsideTheWindowUntilRelease) {
    displaytest::XvfbServer server{"640x480x24"};
    if (server.name().empty()) {
        GTEST_SKIP() << "Xvfb is not available";
    }
    auto display = displaytest::openAttachedDisplay(server.name());
    ASSERT_NE(display, nullptr);
    displaytest::XTestInput input(display->xdisplay());
    struct Cleanup {
        std::shared_ptr<display::X11Display> display;
        ~Cleanup() {
            for (auto& w : ui::Application::shared()->windows()) {
                w->close();
            }
            display->detach();
            core::MainQueue::shared().drain();
            ui::Application::shared()->setKeyWindow(nullptr);
        }
    } cleanup{display};
    if (!input.available()) {
        GTEST_SKIP() << "no XTest";
    }

    auto window = ui::Window::make(Rect(0, 0, 300, 100));
    auto slider = vimbra::StyledSlider::make(Rect(50, 40, 200, 20));
    slider->setMaxValue(100);
    slider->setDoubleValue(50);
    std::vector<double> ongoing;
    double completed = -1;
    slider->setOnSlideOngoing([&](double v) { ongoing.push_back(v); });
    slider->setOnSlideComplete([&](double v) { completed = v; });
    window->contentView()->addSubview(slider);
    auto backend = display->createWindow(window);
    ASSERT_NE(backend, nullptr);
    window->makeKeyAndOrderFront();
    ASSERT_TRUE(displaytest::pumpUntil(
        *display, [&] { return backend->isMapped() && backend->presentedFrames() > 0; }));

    // Root pixels of a point of the window (y down from the window's top).
    const auto root = [&](int x, int y) { return input.rootPosition(backend->xid(), x, y); };
    const auto knob = root(150, 50); // the knob's centre at the middle value
    input.moveTo(knob.first, knob.second);
    input.button(1, true);
    ASSERT_TRUE(displaytest::pumpUntil(*display, [&] { return slider->isHighlighted(); }));

    // Far past the end and below the window: pinned at the maximum, still pressed.
    const auto beyond = root(420, 180);
    input.moveTo(beyond.first, beyond.second);
    ASSERT_TRUE(displaytest::pumpUntil(*display, [&] { return slider->doubleValue() == 100; }));
    EXPECT_TRUE(slider->isHighlighted());

    // Back over the bar's first quarter, above the window: the drag still moves the knob.
    const auto above = root(100, -40);
    input.moveTo(above.first, above.second);
    ASSERT_TRUE(displaytest::pumpUntil(*display, [&] { return slider->doubleValue() < 50; }));
    EXPECT_NEAR(slider->doubleValue(), (100.0 - 50 - 8) / 184 * 100, 1.0);

    input.moveTo(beyond.first, beyond.second);
    ASSERT_TRUE(displaytest::pumpUntil(*display, [&] { return slider->doubleValue() == 100; }));
    input.button(1, false);
    ASSERT_TRUE(displaytest::pumpUntil(*display, [&] { return completed >= 0; }));
    EXPECT_DOUBLE_EQ(completed, 100);
    EXPECT_FALSE(slider->isHighlighted());
    ASSERT_FALSE(ongoing.empty());
    EXPECT_DOUBLE_EQ(ongoing.back(), 100);
}
