// The styled sliders through real events on a headless window: the drag-phase callbacks, the wheel, the
// intrinsic size, the fixed horizontal geometry and the knob's travel along the bar.
#include "Vimbra/StyledControls/StyledSlider.hpp"
#include "Vimbra/tests/TestSupport.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace vimbra;
using graphics::Point;
using graphics::Rect;

namespace {

template <class S = StyledSlider> struct StyledSliderScene : vimbratest::Scene {
    std::shared_ptr<S> slider = S::make(Rect(20, 40, 200, 20));
    std::vector<std::string> calls;

    StyledSliderScene() : Scene({200, 300, 260, 100}) {
        slider->setMaxValue(100);
        add(slider);
        slider->setOnSlideStarted([this](double v) { calls.push_back("started " + std::to_string(int(v))); });
        slider->setOnSlideOngoing([this](double v) { calls.push_back("ongoing " + std::to_string(int(v))); });
        slider->setOnSlideComplete(
            [this](double v) { calls.push_back("complete " + std::to_string(int(v))); });
    }
    // The knob's centre, window coordinates.
    Point knobCentre() const {
        const Rect k = slider->sliderCell()->knobRectFlipped(true);
        return slider->convertPointToView({k.midX(), k.midY()}, nullptr);
    }
    void wheel(double dx, double dy, bool inverted) {
        auto e = ui::Event::scrollEvent({100, 50}, dx, dy, 0, 0, window, true);
        e.isDirectionInvertedFromDevice = inverted;
        window->sendEvent(e);
    }
    std::shared_ptr<StyledSliderCell> cell() const {
        return std::static_pointer_cast<StyledSliderCell>(slider->cell());
    }
};

// Replaces the shared style's bar images for the life of the value.
struct BarImagesOverride {
    ImageTable saved = StyledSliderCell::sharedSliderStyle()->barImages();
    explicit BarImagesOverride(double width) {
        auto image = graphics::Image::draw({width, 4}, 1.0, [&](graphics::GraphicsContext& context) {
            context.fillRect({0, 0, width, 4}, graphics::Color::white(0.2));
        });
        StyledSliderCell::sharedSliderStyle()->setBarImages({{StyledControlState::default_, image}});
    }
    ~BarImagesOverride() { StyledSliderCell::sharedSliderStyle()->setBarImages(saved); }
};

} // namespace

TEST(StyledSlider, DragPhasesCallTheirCallbacksWithTheLiveValueAndOtherActionsNone) {
    StyledSliderScene<> s;
    s.slider->setDoubleValue(50);
    const Point knob = s.knobCentre();
    s.backend->mouseDown(knob);
    s.backend->mouseDragged({knob.x + 47, knob.y + 30}); // leaves the control upwards
    s.backend->mouseDragged({knob.x + 400, knob.y});
    s.backend->mouseUp({knob.x + 400, knob.y - 50});
    const std::vector<std::string> expected = {"started 50", "ongoing 75", "ongoing 100", "complete 100"};
    EXPECT_EQ(s.calls, expected);

    // The wheel and the keys send the action too, but no callback.
    s.calls.clear();
    ASSERT_TRUE(s.window->makeFirstResponder(s.slider));
    s.backend->keyDown(ui::utf8(ui::SpecialKey::leftArrow));
    s.wheel(0, 4, false);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 96);
    EXPECT_TRUE(s.calls.empty());

    // A client that takes the action over stops the callbacks.
    auto receiver = std::make_shared<vimbratest::Receiver>(std::initializer_list<const char*>{"mine:"});
    s.slider->setTarget(receiver);
    s.slider->setAction("mine:");
    s.backend->mouseDown(s.knobCentre());
    s.backend->mouseUp(s.knobCentre());
    EXPECT_TRUE(s.calls.empty());
    EXPECT_EQ(receiver->log.size(), 2u);
}

TEST(StyledSlider, TheScrollableSliderStepsAQuarterPercentPerPointAndADisabledOneSwallowsTheWheel) {
    StyledSliderScene<StyledScrollableSlider> s;
    auto receiver = std::make_shared<vimbratest::Receiver>(std::initializer_list<const char*>{"moved:"});
    s.slider->setTarget(receiver);
    s.slider->setAction("moved:");
    s.slider->setDoubleValue(50);
    s.wheel(0, 4, false);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 51);
    EXPECT_EQ(receiver->log.size(), 1u);
    s.slider->setDoubleValue(50);
    s.wheel(0, 4, true);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 49);
    s.wheel(8, 0, false); // to the left, left to right: down
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 47);
    s.slider->setUserInterfaceLayoutDirection(ui::UserInterfaceLayoutDirection::rightToLeft);
    s.wheel(8, 0, false);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 49);
    s.wheel(0, 1000, false); // a linear slider clamps
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 100);

    // Disabled: nothing changes and nothing behind the slider hears the wheel.
    int heard = 0;
    class WheelProbe : public ui::View {
    public:
        explicit WheelProbe(int& count) : View(Rect(0, 0, 260, 100)), count_(count) {}
        void scrollWheel(const ui::Event&) override { ++count_; }

    private:
        int& count_;
    };
    auto probe = std::make_shared<WheelProbe>(heard);
    s.window->contentView()->addSubview(probe);
    s.slider->removeFromSuperview();
    probe->addSubview(s.slider);
    s.slider->setEnabled(false);
    const auto actions = receiver->log.size();
    s.wheel(0, -40, false);
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 100);
    EXPECT_EQ(heard, 0);
    EXPECT_EQ(receiver->log.size(), actions);
}

TEST(StyledSlider, IntrinsicSizeFollowsTheFixedWidthAndTheImages) {
    StyledSliderScene<> s;
    const graphics::Size plain = s.slider->intrinsicContentSize();
    EXPECT_EQ(plain.width, ui::View::noIntrinsicMetric);
    s.slider->setFixedWidth(40);
    EXPECT_EQ(s.slider->intrinsicContentSize(), (graphics::Size{40, 14})); // knob 14, bar 4 high
    s.slider->setFixedWidth(5);
    EXPECT_EQ(s.slider->intrinsicContentSize().width, 12); // the bar image's width
    {
        BarImagesOverride wide(120);
        s.slider->setFixedWidth(40);
        EXPECT_EQ(s.slider->intrinsicContentSize().width, 120);
        s.slider->setFixedWidth(200);
        EXPECT_EQ(s.slider->intrinsicContentSize().width, 200);
    }
}

TEST(StyledSlider, AlwaysHorizontalLinearAndDrawnFromTheStatesImages) {
    StyledSliderScene<> s;
    s.slider->setVertical(true);
    s.slider->setSliderType(ui::SliderType::circular);
    EXPECT_FALSE(s.slider->isVertical());
    EXPECT_EQ(s.slider->sliderType(), ui::SliderType::linear);

    const auto style = StyledSliderCell::sharedSliderStyle();
    EXPECT_EQ(s.cell()->controlState(), StyledControlState::default_);
    s.backend->mouseDown(s.knobCentre());
    EXPECT_EQ(s.cell()->controlState(), StyledControlState::default_ | StyledControlState::highlighted);
    EXPECT_EQ(style->knobImageFor(s.cell()->controlState())->name(), "qel-slider-handle-down");
    s.backend->mouseUp(s.knobCentre());
    s.slider->setEnabled(false);
    EXPECT_EQ(style->knobImageFor(s.cell()->controlState())->name(), "qel-slider-handle");

    // The bar: the image's height, centred, 2 points in from each end of the drawing rect.
    EXPECT_EQ(s.cell()->barRectFlipped(true), Rect(2, 8, 196, 4));
    EXPECT_EQ(s.cell()->knobThickness(), 12);
}

TEST(StyledSlider, TheKnobCrossesTheWholeTrackAndNeverLeavesIt) {
    StyledSliderScene<> s;
    const Rect bar = s.cell()->barRectFlipped(true);
    // With the library's narrow bar artwork a drag from end to end takes the knob's centre across.
    s.backend->mouseDown({s.slider->frame().minX() + 1, 50});
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 0);
    const Rect atMinimum = s.cell()->knobRectFlipped(true);
    s.backend->mouseDragged({s.slider->frame().maxX() + 30, 50});
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 100);
    const Rect atMaximum = s.cell()->knobRectFlipped(true);
    s.backend->mouseUp({s.slider->frame().maxX() + 30, 50});
    EXPECT_EQ(atMinimum.minX(), 1);
    EXPECT_LE(atMinimum.midX(), bar.minX() + 7);
    EXPECT_EQ(atMaximum.minX(), bar.width() - 12); // held at the limit
    EXPECT_GE(atMaximum.midX(), bar.maxX() - 15);
    EXPECT_EQ(atMaximum.size, (graphics::Size{14, 14}));
    // Every value in between places the knob no further left than the one before.
    double previous = -1;
    for (int v = 0; v <= 100; v += 5) {
        s.slider->setDoubleValue(v);
        const double x = s.cell()->knobRectFlipped(true).midX();
        EXPECT_GE(x, previous) << v;
        previous = x;
    }

    // A bar image as wide as the track leaves the knob nowhere to go: it stays at the start and a drag
    // gives the minimum, never a value from a negative travel.
    BarImagesOverride wide(200);
    s.slider->setDoubleValue(0);
    const double stuck = s.cell()->knobRectFlipped(true).minX();
    s.slider->setDoubleValue(100);
    EXPECT_EQ(s.cell()->knobRectFlipped(true).minX(), stuck);
    s.backend->mouseDown({s.slider->frame().minX() + 20, 50});
    s.backend->mouseDragged({s.slider->frame().minX() + 5, 50});
    EXPECT_DOUBLE_EQ(s.slider->doubleValue(), 0);
    s.backend->mouseUp({s.slider->frame().minX() + 5, 50});
}
