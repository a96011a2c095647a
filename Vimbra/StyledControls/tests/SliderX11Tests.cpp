// A styled slider on a real X server, dragged with XTest past its end and out of its window: the value
// pins at the maximum and the drag goes on until the button goes up.
// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "Vimbra/StyledControls/StyledSlider.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "display/tests/X11TestFixture.hpp"

#include <X11/Xlib.h>
#include <chrono>
#include <utility>

using graphics::Rect;

using X11Slider = displaytest::X11TestFixture;

TEST_F(X11Slider, ADragPastTheEndPinsTheValueAndTracksOutsideTheWindowUntilRelease) {
    openDisplay();
    if (IsSkipped() || HasFatalFailure()) {
        return;
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
    std::shared_ptr<display::X11WindowBackend> backend;
    showWindow(window, backend);
    if (HasFatalFailure()) {
        return;
    }

    // Root pixels of a point of the window (y down from the window's top).
    const auto root = [&](int x, int y) { return input.rootPosition(backend->xid(), x, y); };
    const auto knob = root(150, 50); // the knob's centre at the middle value
    input.moveTo(knob.first, knob.second);
    input.button(1, true);
    ASSERT_TRUE(pumpUntil([&] { return slider->isHighlighted(); }));

    // Far past the end and below the window: pinned at the maximum, still pressed.
    const auto beyond = root(420, 180);
    input.moveTo(beyond.first, beyond.second);
    ASSERT_TRUE(pumpUntil([&] { return slider->doubleValue() == 100; }));
    EXPECT_TRUE(slider->isHighlighted());

    // Back over the bar's first quarter, above the window: the drag still moves the knob.
    const auto above = root(100, -40);
    input.moveTo(above.first, above.second);
    ASSERT_TRUE(pumpUntil([&] { return slider->doubleValue() < 50; }));
    EXPECT_NEAR(slider->doubleValue(), (100.0 - 50 - 8) / 184 * 100, 1.0);

    input.moveTo(beyond.first, beyond.second);
    ASSERT_TRUE(pumpUntil([&] { return slider->doubleValue() == 100; }));
    input.button(1, false);
    ASSERT_TRUE(pumpUntil([&] { return completed >= 0; }));
    EXPECT_DOUBLE_EQ(completed, 100);
    EXPECT_FALSE(slider->isHighlighted());
    ASSERT_FALSE(ongoing.empty());
    EXPECT_DOUBLE_EQ(ongoing.back(), 100);
}
