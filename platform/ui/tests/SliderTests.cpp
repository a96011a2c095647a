// Sliders driven by real events (drags that leave the control, keys, the wheel) and the pan recogniser's
// states, translation and velocity from event time stamps.
#include "Helpers.hpp"
#include "ui/GestureRecognizer.hpp"
#include "ui/Slider.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using graphics::Point;
using graphics::Rect;
using ui::EventType;

namespace {

// A 200-point slider at (20, 40) in a key window, its actions recorded with the event being dispatched.
struct SliderScene {
    uitest::WindowScope scope;
    std::shared_ptr<ui::Window> window = ui::Window::make(Rect(0, 0, 300, 200));
    std::shared_ptr<ui::Slider> slider = std::make_shared<ui::Slider>(Rect(20, 40, 200, 20));
    std::shared_ptr<ui::Object> target = std::make_shared<ui::Object>();
    std::vector<std::pair<int, double>> actions; // the current event's type and the value

    SliderScene() {
        window->contentView()->addSubview(slider);
        window->makeKeyWindow();
        target->setActionHandler("slid:", [this](const std::shared_ptr<ui::Object>&) {
            const ui::Event* current = ui::Application::shared()->currentEvent();
            actions.emplace_back(current ? static_cast<int>(current->type) : -1, slider->doubleValue());
        });
        slider->setTarget(target);
        slider->setAction("slid:");
        slider->setMaxValue(100);
    }
    void send(EventType type, double x, double y, double time = 0) {
        window->sendEvent(ui::Event::mouseEvent(type, {x, y}, 0, time, window));
    }
    void scroll(double dx, double dy, bool inverted, double x = 100, double y = 50) {
        auto e = ui::Event::scrollEvent({x, y}, dx, dy, 0, 0, window, true);
        e.isDirectionInvertedFromDevice = inverted;
        window->sendEvent(e);
    }
    void key(char32_t special) { window->sendEvent(uitest::key(ui::utf8(special), window)); }
    // The knob's centre in window coordinates.
    Point knobCentre() const {
        const Rect k = slider->sliderCell()->knobRectFlipped(true);
        return slider->convertPointToView({k.midX(), k.midY()}, nullptr);
    }
};

constexpr int down = static_cast<int>(EventType::leftMouseDown);
constexpr int dragged = static_cast<int>(EventType::leftMouseDragged);
constexpr int up = static_cast<int>(EventType::leftMouseUp);

} // namespace

TEST(SliderTracking, ADragKeepsTrackingOutsideAndPinsTheValueAtTheEnds) {
    SliderScene s;
    // The knob travels the bar less its own length: 8 to 192 in the slider, 28 to 212 in the window.
    s.send(EventType::leftMouseDown, 120, 50);
    EXPECT_TRUE(s.slider->isHighlighted());
    EXPECT_TRUE(s.slider->isTracking());
    EXPECT_NEAR(s.slider->doubleValue(), 50, 1e-9);
    s.send(EventType::leftMouseDragged, 280, 150); // far past the end and above the control
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 100);
    EXPECT_TRUE(s.slider->isHighlighted());
    s.send(EventType::leftMouseDragged, -40, -30); // past the start, below the window
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 0);
    s.send(EventType::leftMouseDragged, 74, 190); // back over the bar's quarter, still outside
    EXPECT_NEAR(s.slider->doubleValue(), 25, 1e-9);
    s.send(EventType::leftMouseUp, 400, 10);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 100);
    EXPECT_FALSE(s.slider->isHighlighted());
    EXPECT_FALSE(s.slider->isTracking());

    // Down, three drags and up: five actions, each with the event of its moment and the value then.
    const std::vector<std::pair<int, double>> expected = {
        {down, 50}, {dragged, 100}, {dragged, 0}, {dragged, 25}, {up, 100}};
    ASSERT_EQ(s.actions.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(s.actions[i].first, expected[i].first) << i;
        EXPECT_NEAR(s.actions[i].second, expected[i].second, 1e-9) << i;
    }

    // A later drag without a press moves nothing.
    s.send(EventType::leftMouseDragged, 30, 50);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 100);
}

TEST(SliderTracking, TheKnobIsGrabbedWhereItWasPressed) {
    SliderScene s;
    s.slider->setDoubleValue(50);
    const Point knob = s.knobCentre();
    s.send(EventType::leftMouseDown, knob.x + 5, knob.y); // right of the knob's centre, on the knob
    EXPECT_NEAR(s.slider->doubleValue(), 50, 1e-9);       // no jump
    s.send(EventType::leftMouseDragged, knob.x + 5 + 46, knob.y);
    EXPECT_NEAR(s.slider->doubleValue(), 75, 1e-9);
    s.send(EventType::leftMouseUp, knob.x + 5 + 46, knob.y);
    EXPECT_NEAR(s.knobCentre().x, knob.x + 46, 1e-9);
}

TEST(SliderTracking, ANonContinuousSliderSendsOnlyOnReleaseAndADisabledOneNothing) {
    SliderScene s;
    s.slider->setContinuous(false);
    s.send(EventType::leftMouseDown, 120, 50);
    s.send(EventType::leftMouseDragged, 140, 50);
    s.send(EventType::leftMouseUp, 400, 50);
    ASSERT_EQ(s.actions.size(), 1u);
    EXPECT_EQ(s.actions[0].first, up);
    EXPECT_DOUBLE_EQ(s.actions[0].second, 100);

    // Disabled in the middle of a drag: the press ends there, without an action.
    s.actions.clear();
    s.send(EventType::leftMouseDown, 120, 50);
    s.slider->setEnabled(false);
    EXPECT_FALSE(s.slider->isHighlighted());
    s.send(EventType::leftMouseDragged, 30, 50);
    s.send(EventType::leftMouseUp, 30, 50);
    EXPECT_TRUE(s.actions.empty());
    EXPECT_NEAR(s.slider->doubleValue(), 50, 1e-9);
    s.send(EventType::leftMouseDown, 30, 50);
    EXPECT_TRUE(s.actions.empty());
}

TEST(SliderTracking, VerticalSlidersGrowUpwardsAndTickMarksCatchTheKnob) {
    SliderScene s;
    s.slider->setFrame(Rect(20, 20, 20, 116)); // a 100-point travel, from y 28 up to y 128
    s.slider->setVertical(true);
    s.send(EventType::leftMouseDown, 30, 28);
    EXPECT_NEAR(s.slider->doubleValue(), 0, 1e-9);
    s.send(EventType::leftMouseDragged, 30, 91);
    EXPECT_NEAR(s.slider->doubleValue(), 63, 1e-9);
    s.send(EventType::leftMouseUp, 30, 500);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 100);
    EXPECT_GT(s.slider->intrinsicContentSize().width, 0);
    EXPECT_EQ(s.slider->intrinsicContentSize().height, ui::View::noIntrinsicMetric);

    // Five marks: 0, 25, 50, 75, 100. Only-mark values make the drag stop on the nearest one.
    s.slider->setNumberOfTickMarks(5);
    s.slider->setAllowsTickMarkValuesOnly(true);
    EXPECT_DOUBLE_EQ(s.slider->sliderCell()->tickMarkValueAtIndex(3), 75);
    EXPECT_DOUBLE_EQ(s.slider->sliderCell()->closestTickMarkValueToValue(62), 50);
    s.send(EventType::leftMouseDown, 30, 91);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 75);
    s.send(EventType::leftMouseDragged, 30, 40);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 0);
    s.send(EventType::leftMouseUp, 30, 40);
    // The marks sit beside the bar, one per value, bottom to top in the flipped slider.
    const Rect first = s.slider->sliderCell()->rectOfTickMarkAtIndex(0);
    const Rect last = s.slider->sliderCell()->rectOfTickMarkAtIndex(4);
    EXPECT_GT(first.midY(), last.midY());
    EXPECT_NEAR(first.midY() - last.midY(), 100, 1);
}

TEST(SliderTracking, AKnobAsLongAsTheBarStaysAtTheStart) {
    // A cell whose knob is longer than the bar: the travel is none, never negative.
    class LongKnobCell : public ui::SliderCell {
    public:
        double knobThickness() const override { return 260; }
    };
    SliderScene s;
    s.slider->setCell(std::make_shared<LongKnobCell>());
    s.slider->setMaxValue(100);
    s.slider->setDoubleValue(0);
    const double atMinimum = s.knobCentre().x;
    s.slider->setDoubleValue(100);
    EXPECT_DOUBLE_EQ(s.knobCentre().x, atMinimum);
    s.send(EventType::leftMouseDown, 180, 50);
    s.send(EventType::leftMouseDragged, 20, 50);
    EXPECT_TRUE(std::isfinite(s.slider->doubleValue()));
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 0);
    s.send(EventType::leftMouseUp, 20, 50);
}

TEST(SliderStepping, ArrowKeysAndTheWheelStepAndSendWithTheirEvents) {
    SliderScene s;
    ASSERT_TRUE(s.window->makeFirstResponder(s.slider));
    s.slider->setDoubleValue(50);
    s.key(ui::SpecialKey::rightArrow);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 55);
    s.key(ui::SpecialKey::downArrow);
    s.key(ui::SpecialKey::leftArrow);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 45);
    ASSERT_EQ(s.actions.size(), 3u);
    EXPECT_EQ(s.actions[0].first, static_cast<int>(EventType::keyDown));

    // At the end a step changes nothing and sends nothing.
    s.slider->setDoubleValue(100);
    s.actions.clear();
    s.key(ui::SpecialKey::upArrow);
    EXPECT_TRUE(s.actions.empty());

    // Tick marks: one mark per key.
    s.slider->setNumberOfTickMarks(3);
    s.slider->setDoubleValue(60);
    s.key(ui::SpecialKey::leftArrow);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 50);
    s.key(ui::SpecialKey::leftArrow);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 0);

    // The wheel: a quarter percent of the range per point; the device's inversion flips it.
    s.slider->setNumberOfTickMarks(0);
    s.slider->setDoubleValue(50);
    s.actions.clear();
    s.scroll(0, 4, false);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 51);
    s.scroll(0, 4, true);
    s.scroll(0, 4, true);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 49);
    s.scroll(8, 0, false); // scrolling to the left lowers a horizontal slider
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 47);
    ASSERT_EQ(s.actions.size(), 4u);
    EXPECT_EQ(s.actions[0].first, static_cast<int>(EventType::scrollWheel));
    s.slider->setUserInterfaceLayoutDirection(ui::UserInterfaceLayoutDirection::rightToLeft);
    s.scroll(8, 0, false);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 49);

    // Only-mark values: one mark per wheel event.
    s.slider->setNumberOfTickMarks(5);
    s.slider->setAllowsTickMarkValuesOnly(true);
    s.slider->setDoubleValue(50);
    s.scroll(0, 0.5, false);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 75);
}

TEST(SliderStepping, ADisabledSliderPassesTheWheelOnAndIgnoresKeys) {
    SliderScene s;
    int scrolled = 0;
    class WheelProbe : public ui::View {
    public:
        explicit WheelProbe(int& count) : View(Rect(0, 0, 300, 200)), count_(count) {}
        void scrollWheel(const ui::Event&) override { ++count_; }

    private:
        int& count_;
    };
    auto wheel = std::make_shared<WheelProbe>(scrolled);
    s.window->contentView()->addSubview(wheel);
    s.slider->removeFromSuperview();
    wheel->addSubview(s.slider);
    ASSERT_TRUE(s.window->makeFirstResponder(s.slider));
    s.scroll(0, 4, false);
    EXPECT_EQ(scrolled, 0); // an enabled slider keeps the wheel
    s.slider->setEnabled(false);
    s.scroll(0, 4, false);
    EXPECT_EQ(scrolled, 1);
    s.key(ui::SpecialKey::rightArrow);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 1);
    EXPECT_EQ(s.actions.size(), 1u);
}

namespace {

// A view whose pan recogniser records every state it reports, with the translation and velocity then.
class PanProbe : public ui::View {
public:
    explicit PanProbe(const Rect& frame, bool flipped) : View(frame), flipped_(flipped) {}
    bool isFlipped() const override { return flipped_; }

    void attach() {
        recognizer = std::make_shared<ui::PanGestureRecognizer>(sharedAs<ui::Object>(), "pan:");
        setActionHandler("pan:", [this](const std::shared_ptr<ui::Object>&) {
            states.push_back(static_cast<int>(recognizer->state()));
            translations.push_back(recognizer->translationInView(this));
            velocities.push_back(recognizer->velocityInView(this));
            if (recognizer->state() == ui::GestureRecognizerState::began && resetOnBegin) {
                recognizer->setTranslation({0, 0}, this);
            }
        });
        addGestureRecognizer(recognizer);
    }

    std::shared_ptr<ui::PanGestureRecognizer> recognizer;
    std::vector<int> states;
    std::vector<Point> translations;
    std::vector<Point> velocities;
    bool resetOnBegin = false;

private:
    bool flipped_;
};

struct PanScene {
    uitest::WindowScope scope;
    std::shared_ptr<ui::Window> window = ui::Window::make(Rect(0, 0, 300, 200));
    std::shared_ptr<PanProbe> view;

    explicit PanScene(bool flipped) : view(std::make_shared<PanProbe>(Rect(50, 50, 100, 100), flipped)) {
        window->contentView()->addSubview(view);
        view->attach();
        window->makeKeyWindow();
    }
    void send(EventType type, double x, double y, double time) {
        window->sendEvent(ui::Event::mouseEvent(type, {x, y}, 0, time, window));
    }
};

} // namespace

TEST(PanGesture, BeginsAfterAFewPointsChangesAndEndsWithVelocityFromTimeStamps) {
    PanScene s(false);
    s.send(EventType::leftMouseDown, 100, 100, 10.0);
    s.send(EventType::leftMouseDragged, 101, 101, 10.01); // within the slop
    EXPECT_TRUE(s.view->states.empty());
    s.send(EventType::leftMouseDragged, 100, 105, 10.02);
    s.send(EventType::leftMouseDragged, 100, 109, 10.12); // 4 points up in 0.1 s
    s.send(EventType::leftMouseDragged, 94, 109, 10.17);  // 6 points left in 0.05 s
    s.send(EventType::leftMouseUp, 94, 109, 10.5);        // released after a pause
    EXPECT_EQ(s.view->states, (std::vector<int>{1, 2, 2, 3}));
    EXPECT_EQ(s.view->translations[0], (Point{0, 5}));
    EXPECT_EQ(s.view->translations[3], (Point{-6, 9}));
    // Velocity: the movement over the last 0.1 s of events, in points per second, y up.
    EXPECT_NEAR(s.view->velocities[1].x, 0, 1e-6);
    EXPECT_NEAR(s.view->velocities[1].y, 40, 1e-6);
    EXPECT_NEAR(s.view->velocities[2].x, -6 / 0.05, 1e-6);
    EXPECT_NEAR(s.view->velocities[2].y, 0, 1e-6);
    EXPECT_EQ(s.view->velocities[3], (Point{0, 0})); // nothing moved in the last 0.1 s

    // The next press starts afresh; a press that never moves far enough fails, silently.
    s.view->states.clear();
    s.send(EventType::leftMouseDown, 100, 100, 20.0);
    s.send(EventType::leftMouseDragged, 102, 100, 20.1);
    s.send(EventType::leftMouseUp, 102, 100, 20.2);
    EXPECT_TRUE(s.view->states.empty());
    EXPECT_EQ(s.view->recognizer->state(), ui::GestureRecognizerState::possible);
}

TEST(PanGesture, TranslationCanBeResetAndFollowsAFlippedView) {
    PanScene s(true);
    s.view->resetOnBegin = true;
    s.send(EventType::leftMouseDown, 100, 100, 0.9);
    s.send(EventType::leftMouseDragged, 100, 110, 1.05); // up on screen: down in the flipped view
    s.send(EventType::leftMouseDragged, 103, 120, 1.1);
    EXPECT_EQ(s.view->translations[0], (Point{0, -10}));
    EXPECT_EQ(s.view->translations[1], (Point{3, -10})); // counted from the reset at began
    EXPECT_NEAR(s.view->velocities[1].x, 60, 1e-6);      // 3 right and 10 up in 0.05 s
    EXPECT_NEAR(s.view->velocities[1].y, -200, 1e-6);
    EXPECT_EQ(s.view->recognizer->translationInView(nullptr), (Point{3, 10}));

    // The window losing key status cancels a pan under way.
    s.window->resignKey();
    EXPECT_EQ(s.view->states, (std::vector<int>{1, 2, 4}));
    EXPECT_EQ(s.view->recognizer->state(), ui::GestureRecognizerState::possible);
}
