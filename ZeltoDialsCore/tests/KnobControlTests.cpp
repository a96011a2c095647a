#include "DialTestSupport.hpp"
#include "ZeltoDialsCore/KnobControl.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace decltest;
using namespace dialtest;
using zelto::KnobControl;
using zelto::KnobMapping;

namespace {

// A component whose body is a closure.
struct Body {
    std::function<View()> make;
    View body(Context&) const { return make(); }
};

using Range = AudioParameter::ValueRange;
using Increment = AudioParameter::ValueIncrement;

// A knob whose frames are plain squares; the frame numbers shown are recorded.
struct KnobRig {
    explicit KnobRig(std::shared_ptr<RecordingParameter> p, double minDrag = 6.0, float scale = 0.005f)
        : param(std::move(p)), frames(std::make_shared<std::vector<int>>()),
          h(KnobControl{param, minDrag, scale, 51,
                        [frames = frames](int frame) {
                            frames->push_back(frame);
                            return ColorView(red()).frame(40, 40);
                        }},
            {200, 100}) {}

    // Moves the pointer as the window system would, letting the main queue run between events.
    void press() { h.down({100, 50}); }
    void moveTo(double y) {
        h.drag({100, y});
        h.settle();
    }
    void release(double y) {
        h.up({100, y});
        h.settle();
    }
    int frame() {
        h.settle();
        return frames->back();
    }

    std::shared_ptr<RecordingParameter> param;
    std::shared_ptr<std::vector<int>> frames;
    Harness h;
};

} // namespace

TEST(KnobDrag, ALinearDragBeginsChangesAndEndsAndStopsAtTheBound) {
    KnobRig rig(RecordingParameter::make("Mix", AudioUnitParameterUnit::percent, {0, 100}, 50));
    rig.param->hostSets(50);
    rig.press();
    rig.moveTo(47); // not yet the minimum distance
    EXPECT_TRUE(rig.param->edits.empty());
    rig.moveTo(44); // the first event: the edit begins, the travel so far is not applied
    EXPECT_EQ(rig.param->edits, (std::vector<Edit>{begin(50)}));
    EXPECT_TRUE(rig.param->isBeingInteractivelyEdited());
    rig.moveTo(-56); // 100 points up: half the range
    EXPECT_FLOAT_EQ(rig.param->value(), 100);
    rig.moveTo(-80); // further up stays at the bound
    EXPECT_FLOAT_EQ(rig.param->value(), 100);
    rig.moveTo(-30); // 50 points back down: a quarter of the range
    rig.release(-30);
    EXPECT_EQ(rig.param->edits,
              (std::vector<Edit>{begin(50), change(100), change(100), change(75), end(75)}));
    EXPECT_FALSE(rig.param->isBeingInteractivelyEdited());
    EXPECT_FLOAT_EQ(rig.param->value(), 75);
    EXPECT_EQ(rig.frame(), 39); // 0.75 * 50 + 1 = 38.5, away from zero
}

TEST(KnobDrag, AReleaseInTheSameTurnAsTheLastMoveKeepsThatMove) {
    KnobRig rig(RecordingParameter::make("Mix", AudioUnitParameterUnit::percent, {0, 100}, 50));
    rig.press();
    rig.moveTo(44);
    rig.h.drag({100, 4}); // the main queue does not run before the release
    rig.h.up({100, 4});
    rig.h.settle();
    EXPECT_EQ(rig.param->edits, (std::vector<Edit>{begin(50), change(70), end(70)}));
    EXPECT_FLOAT_EQ(rig.param->value(), 70);
}

TEST(KnobDrag, ALogarithmicDragMovesAlongTheLogOfTheRange) {
    KnobRig rig(RecordingParameter::make("Low", AudioUnitParameterUnit::hertz, {20, 20000}, 20,
                                         Increment::logarithmic()));
    rig.press();
    rig.moveTo(44);
    rig.moveTo(-56);
    EXPECT_NEAR(rig.param->value(), 20.0f * std::sqrt(1000.0f), 0.01f); // about 632.46
    EXPECT_EQ(rig.frame(), 26);
    rig.release(-56);
}

TEST(KnobDrag, AnIndexedParameterGetsWholeNumbersWhileTheTravelAccumulates) {
    KnobRig rig(RecordingParameter::make("Bands", AudioUnitParameterUnit::indexed, {1, 64}, 1));
    rig.press();
    rig.moveTo(44);
    // One point at a time moves 0.315 of a step: rounding each step would never leave 1.
    for (int i = 1; i <= 20; ++i) {
        rig.moveTo(44 - i);
    }
    rig.release(24);
    for (const auto& edit : rig.param->edits) {
        EXPECT_EQ(edit.value, std::round(edit.value)) << edit.value;
    }
    EXPECT_FLOAT_EQ(rig.param->value(), 7); // 1 + 63 * 0.1 = 7.3
}

TEST(KnobDrag, AHostChangeDuringADragDoesNotMoveTheKnob) {
    KnobRig rig(RecordingParameter::make("Mix", AudioUnitParameterUnit::percent, {0, 100}, 0));
    rig.press();
    rig.moveTo(44);
    rig.moveTo(24); // 20 points: 10
    rig.param->hostSets(90);
    EXPECT_FLOAT_EQ(rig.param->value(), 10);
    EXPECT_EQ(rig.frame(), 6);
    rig.release(24);
    rig.param->hostSets(90);
    EXPECT_EQ(rig.frame(), 46);
}

TEST(KnobDrag, ACancelledDragEndsTheEdit) {
    // The pointer grab is lost.
    {
        KnobRig rig(RecordingParameter::make("Mix", AudioUnitParameterUnit::percent, {0, 100}, 50));
        rig.press();
        rig.moveTo(44);
        rig.moveTo(34);
        rig.h.host->cancelPointerTracking();
        rig.h.settle();
        EXPECT_EQ(rig.param->edits, (std::vector<Edit>{begin(50), change(55), end(55)}));
        EXPECT_FALSE(rig.param->isBeingInteractivelyEdited());
        rig.param->hostSets(20); // host changes show again
        EXPECT_EQ(rig.frame(), 11);
    }
    // The knob goes away in the middle of the drag.
    auto param = RecordingParameter::make("Mix", AudioUnitParameterUnit::percent, {0, 100}, 50);
    core::Observed<bool> shown{true};
    Harness h(View(Body{[&] {
                  return If(shown.get(), View(KnobControl{param, 6.0, 0.005f, 51, [](int) {
                                                              return ColorView(red()).frame(40, 40);
                                                          }}));
              }}),
              {200, 100});
    h.down({100, 50});
    h.drag({100, 40});
    h.settle();
    ASSERT_TRUE(param->isBeingInteractivelyEdited());
    shown = false;
    h.settle();
    EXPECT_FALSE(param->isBeingInteractivelyEdited());
    ASSERT_FALSE(param->edits.empty());
    EXPECT_EQ(param->edits.back(), end(50));
    h.up({100, 30});
}

TEST(KnobTaps, DoubleTapAndOptionClickResetToTheDefaultWithAPlainChange) {
    KnobRig rig(RecordingParameter::make("Mix", AudioUnitParameterUnit::percent, {0, 100}, 30));
    rig.param->hostSets(80);
    rig.h.click({100, 50}, 0, 1);
    EXPECT_TRUE(rig.param->edits.empty()) << "a single click changes nothing";
    rig.h.click({100, 50}, 0, 2);
    rig.h.settle();
    EXPECT_EQ(rig.param->edits, (std::vector<Edit>{change(30)}));
    EXPECT_FLOAT_EQ(rig.param->value(), 30);
    EXPECT_FALSE(rig.param->isBeingInteractivelyEdited());

    rig.param->hostSets(70);
    rig.param->edits.clear();
    rig.h.click({100, 50}, ui::Modifier::option);
    rig.h.settle();
    EXPECT_EQ(rig.param->edits, (std::vector<Edit>{change(30)}));
    EXPECT_EQ(rig.frame(), 16);
}

TEST(KnobFrames, TheFrameFollowsTheValueFromAnySource) {
    KnobRig rig(RecordingParameter::make("Mix", AudioUnitParameterUnit::percent, {0, 100}, 0));
    EXPECT_EQ(rig.frame(), 1);
    for (auto [value, frame] : std::vector<std::pair<float, int>>{{50, 26}, {100, 51}, {99, 51}, {0, 1}}) {
        rig.param->hostSets(value);
        EXPECT_EQ(rig.frame(), frame) << value;
    }
}

TEST(KnobFrames, ARangeWithoutPositionsShowsTheFirstFrameAndDragsChangeNothing) {
    KnobRig rig(RecordingParameter::make("Fixed", AudioUnitParameterUnit::generic, {5, 5}, 5));
    EXPECT_EQ(rig.frame(), 1);
    rig.press();
    rig.moveTo(44);
    rig.moveTo(-100);
    rig.release(-100);
    EXPECT_EQ(rig.param->edits, (std::vector<Edit>{begin(5), end(5)}));
    EXPECT_FALSE(rig.param->isBeingInteractivelyEdited());
    EXPECT_EQ(rig.frame(), 1);

    const float inf = std::numeric_limits<float>::infinity();
    for (Range range : {Range{0, inf}, Range{-inf, 1}, Range{std::nanf(""), 1}, Range{3, 1}}) {
        const KnobMapping mapping(range, Increment::linear());
        EXPECT_EQ(mapping.position(0.5f), 0.0f);
        EXPECT_EQ(mapping.frameNumber(0.5f, 51), 1);
    }
}

TEST(KnobMapping, MidpointsBendTheLogMappingOnlyInsideTheRange) {
    const KnobMapping bent({20, 20000}, Increment::logarithmic(1000.0f));
    ASSERT_TRUE(bent.exponent());
    EXPECT_NEAR(bent.position(1000), 0.5f, 1e-5f);
    EXPECT_NEAR(bent.value(0.5f), 1000, 0.05f);
    EXPECT_NEAR(bent.value(bent.position(300)), 300, 0.01f);
    for (float midpoint : {20.0f, 20000.0f, 5.0f, 30000.0f, std::nanf("")}) {
        const KnobMapping plain({20, 20000}, Increment::logarithmic(midpoint));
        EXPECT_FALSE(plain.exponent()) << midpoint;
        EXPECT_NEAR(plain.position(632.4555f), 0.5f, 1e-5f) << midpoint;
    }
    // A bound at or below zero falls back to the linear mapping.
    for (Range range : {Range{0, 100}, Range{-50, 50}}) {
        const KnobMapping linear(range, Increment::logarithmic(10.0f));
        EXPECT_FALSE(linear.isLogarithmic());
        EXPECT_FLOAT_EQ(linear.position((range.lowerBound + range.upperBound) / 2), 0.5f);
    }
    // A value below the range never turns into a frame outside 1...51.
    EXPECT_EQ(bent.frameNumber(1, 51), 1);
    EXPECT_EQ(bent.frameNumber(1e9f, 51), 51);
}
