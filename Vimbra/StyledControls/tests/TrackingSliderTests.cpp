// The tracking slider through real events on a headless window: drags stepped by their velocity (from the
// events' time stamps), callbacks and actions per drag, the wheel, the value's bounds and its integer
// readings, and the cursor over the view.
#include "Vimbra/StyledControls/TrackingSlider.hpp"
#include "Vimbra/tests/TestSupport.hpp"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>

using namespace vimbra;
using graphics::Point;
using graphics::Rect;

namespace {

struct TrackingScene : vimbratest::Scene {
    std::shared_ptr<TrackingSlider> slider = TrackingSlider::imageViewWithImage(
        graphics::Image::draw({40, 40}, 2.0, [](graphics::GraphicsContext& context) {
            context.fillRect({0, 0, 40, 40}, graphics::Color::rgba(1, 1, 1));
        }));
    std::shared_ptr<vimbratest::Receiver> receiver =
        std::make_shared<vimbratest::Receiver>(std::initializer_list<const char*>{"changed:"});
    std::vector<std::string> events; // callbacks and clicks, in order, with the value then
    core::AnyCancellable clicks =
        slider->clicked()->sink([this](const Void&) { events.push_back("clicked"); });
    double time = 100;

    TrackingScene() : Scene({200, 300, 160, 120}) {
        slider->setFrameOrigin({60, 40});
        add(slider);
        slider->setTarget(receiver);
        slider->setAction("changed:");
        slider->setOnSlideStarted([this](double v) { events.push_back("started " + std::to_string(v)); });
        slider->setOnSlideComplete([this](double v) { events.push_back("complete " + std::to_string(v)); });
        slider->setDoubleValue(0.5);
    }
    // The pointer at (dx, dy) from the slider's centre, dt seconds after the previous event.
    Point at(double dx, double dy) const {
        const Point c = vimbratest::centre(*slider);
        return {c.x + dx, c.y + dy};
    }
    void down(double dx, double dy, double dt = 0.05) {
        backend->setTimestamp(time += dt);
        backend->mouseDown(at(dx, dy));
    }
    void drag(double dx, double dy, double dt) {
        backend->setTimestamp(time += dt);
        backend->mouseDragged(at(dx, dy));
    }
    void up(double dx, double dy, double dt = 0.05) {
        backend->setTimestamp(time += dt);
        backend->mouseUp(at(dx, dy));
    }
    void wheel(double dx, double dy, bool inverted) {
        auto e = ui::Event::scrollEvent(at(0, 0), dx, dy, 0, 0, window, true);
        e.isDirectionInvertedFromDevice = inverted;
        window->sendEvent(e);
    }
};

} // namespace

TEST(TrackingSlider, FastDragsStepByTheIncrementAndSlowOnesDoNothing) {
    TrackingScene s;
    s.down(0, 0);
    s.drag(0, 5, 0.05); // begins: no step yet
    EXPECT_EQ(s.events, (std::vector<std::string>{"clicked", "started 0.500000"}));
    EXPECT_FALSE(s.slider->valueWasEdited());
    s.drag(0, 9, 0.1); // 40 points per second upwards
    EXPECT_NEAR(s.slider->doubleValue(), 0.51, 1e-12);
    EXPECT_TRUE(s.slider->valueWasEdited());
    s.drag(0, 5, 0.1); // 40 downwards
    EXPECT_NEAR(s.slider->doubleValue(), 0.50, 1e-12);
    s.drag(0, 5.5, 0.11); // 5 points per second: not above the minimum
    s.drag(40, 5.5, 0.1); // 400 across: a vertical slider ignores it
    EXPECT_NEAR(s.slider->doubleValue(), 0.50, 1e-12);
    s.drag(0, 45, 0.1); // each fast move steps once, however fast
    EXPECT_NEAR(s.slider->doubleValue(), 0.51, 1e-12);
    s.up(0, 45);
    EXPECT_EQ(s.events.back(), "complete 0.510000");
    // Not continuous: one action, at the end.
    EXPECT_EQ(s.receiver->log, std::vector<std::string>{"changed:"});
    EXPECT_EQ(s.receiver->senders.front(), s.slider);

    // Horizontal: the x component counts, to the right raising the value.
    s.slider->setHorizontal(true);
    s.down(0, 0);
    s.drag(5, 0, 0.05);
    s.drag(9, 30, 0.1);
    s.up(9, 30);
    EXPECT_NEAR(s.slider->doubleValue(), 0.52, 1e-12);
}

TEST(TrackingSlider, AContinuousSliderSendsEveryStepEvenWhenPinnedAndAgainAtTheEnd) {
    TrackingScene s;
    s.slider->setContinuous(true);
    s.slider->setDoubleValue(1.0);
    s.down(0, 0);
    s.drag(0, 5, 0.05);
    s.drag(0, 15, 0.1); // up at the top: the value stays, the step still counts
    s.drag(0, 25, 0.1);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 1.0);
    EXPECT_TRUE(s.slider->valueWasEdited());
    s.up(0, 25);
    EXPECT_EQ(s.receiver->log.size(), 3u);

    // A drag cut short (the window loses key status): clicked again, but no callback and no action.
    s.events.clear();
    s.receiver->log.clear();
    s.down(0, 0);
    s.drag(0, 5, 0.05);
    s.drag(0, -15, 0.1);
    s.window->resignKey();
    EXPECT_EQ(s.events, (std::vector<std::string>{"clicked", "started 1.000000", "clicked"}));
    EXPECT_FALSE(s.slider->valueWasEdited());
    EXPECT_EQ(s.receiver->log.size(), 1u); // the one step before the cut
}

TEST(TrackingSlider, TheWheelStepsAlongItsAxisAndADisabledSliderOnlyPassesItOn) {
    TrackingScene s;
    int passedOn = 0;
    class WheelProbe : public ui::View {
    public:
        explicit WheelProbe(int& count) : View(Rect(0, 0, 160, 120)), count_(count) {}
        void scrollWheel(const ui::Event&) override { ++count_; }

    private:
        int& count_;
    };
    auto probe = std::make_shared<WheelProbe>(passedOn);
    s.window->contentView()->addSubview(probe);
    s.slider->removeFromSuperview();
    probe->addSubview(s.slider);

    s.wheel(0, 3, false);
    EXPECT_NEAR(s.slider->doubleValue(), 0.51, 1e-12);
    s.wheel(0, 3, true); // inverted: down
    s.wheel(0, 3, true);
    EXPECT_NEAR(s.slider->doubleValue(), 0.49, 1e-12);
    EXPECT_EQ(passedOn, 3);
    EXPECT_EQ(s.receiver->log.size(), 3u);

    s.slider->setHorizontal(true);
    s.wheel(2, 0, true); // no inversion for the horizontal axis
    EXPECT_NEAR(s.slider->doubleValue(), 0.50, 1e-12);
    s.wheel(0, 0, false); // no movement: no step, no action
    EXPECT_EQ(s.receiver->log.size(), 4u);

    s.slider->setEnabled(false);
    s.wheel(2, 0, false);
    s.down(0, 0);
    s.drag(0, 5, 0.05);
    s.drag(20, 25, 0.1);
    s.up(20, 25);
    EXPECT_NEAR(s.slider->doubleValue(), 0.50, 1e-12);
    EXPECT_EQ(passedOn, 6);
    EXPECT_EQ(s.receiver->log.size(), 4u);
}

TEST(TrackingSlider, ValuesClampAndIntegerReadingsSaturate) {
    TrackingScene s;
    s.slider->setDoubleValue(2.5);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 1.0);
    s.slider->setDoubleValue(std::nan(""));
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 0.0);
    s.slider->setObjectValue(0.25);
    EXPECT_FLOAT_EQ(s.slider->floatValue(), 0.25f);
    EXPECT_TRUE(s.receiver->log.empty()); // setting sends nothing

    s.slider->setMaximumValue(1e12);
    s.slider->setMinimumValue(-1e30);
    s.slider->setDoubleValue(-7.9);
    EXPECT_EQ(s.slider->intValue(), -7);
    EXPECT_EQ(s.slider->integerValue(), -7);
    s.slider->setDoubleValue(1e12);
    EXPECT_EQ(s.slider->intValue(), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(s.slider->integerValue(), 1000000000000LL);
    s.slider->setDoubleValue(-1e30);
    EXPECT_EQ(s.slider->intValue(), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(s.slider->integerValue(), std::numeric_limits<long long>::min());

    EXPECT_EQ(TrackingSlider::movementDirectionFromRawValue(0),
              TrackingSlider::MovementDirection::horizontal);
    EXPECT_EQ(TrackingSlider::movementDirectionFromRawValue(2), std::nullopt);
    s.slider->setHorizontal(false);
    EXPECT_EQ(s.slider->movementDirection(), TrackingSlider::MovementDirection::vertical);
    EXPECT_FALSE(s.slider->acceptsFirstResponder());
}

TEST(TrackingSliderDeathTest, UnorderedBoundsStopTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            auto slider = TrackingSlider::make();
            slider->setMinimumValue(2);
            slider->setDoubleValue(1);
        },
        "unordered");
}

TEST(TrackingSlider, ThePointerOverTheViewShowsItsCursorAndTheAreaFollowsTheSize) {
    TrackingScene s;
    const auto cursor = s.slider->cursor();
    ASSERT_NE(cursor, nullptr);
    ASSERT_NE(cursor->image(), nullptr);
    EXPECT_EQ(cursor->hotSpot(), (Point{3, 4}));
    EXPECT_EQ(s.slider->trackingArea()->rect(), s.slider->bounds());

    s.backend->mouseMoved({5, 5});
    s.backend->mouseMoved(s.at(0, 0));
    EXPECT_EQ(s.backend->cursor(), cursor);
    s.backend->mouseMoved({5, 5});
    EXPECT_EQ(s.backend->cursor(), ui::Cursor::arrowCursor());

    const auto before = s.slider->trackingArea();
    s.slider->setFrameSize({60, 50});
    ASSERT_NE(s.slider->trackingArea(), before);
    EXPECT_EQ(s.slider->trackingArea()->rect(), Rect(0, 0, 60, 50));
    EXPECT_EQ(s.slider->trackingAreas().size(), 1u);

    // A slider that leaves its window while hovered takes its cursor with it.
    s.backend->mouseMoved(s.at(0, 0));
    ASSERT_EQ(s.backend->cursor(), cursor);
    s.slider->removeFromSuperview();
    EXPECT_EQ(s.backend->cursor(), ui::Cursor::arrowCursor());
    EXPECT_EQ(s.window->cursorStackDepth(), 0u);
}
