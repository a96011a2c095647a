// The declarative slider: its model's arithmetic and notifications, and the view driven by real pointer
// events (press, drag, Shift-drag, Option-click, the end icons) with what it draws.
#include "ComponentsTestSupport.hpp"
#include "Vimbra/FieldsAndComponents/Slider.hpp"

#include <cmath>
#include <gtest/gtest.h>

using namespace componentstest;
using vimbra::SliderIconClickBehaviour;
using vimbra::SornSlider;
using vimbra::SornSliderModel;

namespace {

std::shared_ptr<SornSliderModel>
makeModel(std::vector<double> starting, double increment = 10, bool snap = false,
          SliderIconClickBehaviour behaviour = SliderIconClickBehaviour::increment) {
    return std::make_shared<SornSliderModel>(std::move(starting), 0, 100, increment, snap, 25, behaviour);
}

// Every callback as "started 20", "ongoing 30", "complete 30".
struct Calls {
    std::vector<std::string> log;
    void attach(SornSliderModel& model) {
        const auto record = [this](const char* what) {
            return [this, what](double v) {
                log.push_back(std::string(what) + " " +
                              (std::isnan(v) ? "nan" : std::to_string(std::lround(v))));
            };
        };
        model.onSlideStarted = record("started");
        model.onSlideOngoing = record("ongoing");
        model.onSlideComplete = record("complete");
    }
};

// A slider filling a 132-point-wide host: icons at 0...16 and 116...132 (with the 2-point padding), the
// track at 16...116 (100 points, so track x is the percentage of the 0...100 range), 8...32 high.
constexpr double trackLeft = 16;
constexpr double trackMidY = 20;
Point onTrack(double x) {
    return {trackLeft + x, trackMidY};
}

struct SliderHost {
    std::shared_ptr<SornSliderModel> model;
    Calls calls;
    Host host;
    explicit SliderHost(std::shared_ptr<SornSliderModel> m)
        : model(std::move(m)), host(View(SornSlider{model, nullptr, nullptr}), {132, 40}) {
        calls.attach(*model);
    }
};

} // namespace

TEST(SornSliderModel, StartsFromTheOneDistinctValueAndSnapsToWholeSteps) {
    EXPECT_EQ(makeModel({3, 3, 3})->value.get(), 3.0);
    EXPECT_EQ(makeModel({0.0, -0.0})->value.get(), 0.0);
    EXPECT_EQ(makeModel({3, 4})->value.get(), std::nullopt);
    EXPECT_EQ(makeModel({})->value.get(), std::nullopt);

    auto model = makeModel({});
    EXPECT_EQ(model->snapped(54.9), 50);
    EXPECT_EQ(model->snapped(55), 60);
    EXPECT_EQ(model->snapped(-7), 0);
    EXPECT_EQ(model->snapped(1000), 100);
    EXPECT_EQ(model->range(), std::make_pair(0.0, 100.0));

    // Equal ends: no NaN, above is 1 and below is 0.
    SornSliderModel flat({}, 5, 5, 1, false, 5, SliderIconClickBehaviour::maxMin);
    EXPECT_EQ(flat.normalisedValue(5.0), 0);
    EXPECT_EQ(flat.normalisedValue(6.0), 1);
    EXPECT_EQ(flat.normalisedValue(4.0), 0);

    // Normalised positions are limited to the range both ways.
    model->setNormalisedValue(1.5);
    EXPECT_EQ(model->value.get(), 100.0);
    EXPECT_EQ(model->normalisedValue(), 1.0);
    model->setNormalisedValue(std::nullopt);
    EXPECT_EQ(model->normalisedValue(), std::nullopt);
}

TEST(SornSliderModel, AStepThatIsNotPositiveSnapsNothing) {
    for (double step : {0.0, -5.0}) {
        auto model = makeModel({}, step);
        EXPECT_EQ(model->snapped(54.9), 54.9) << step;
        EXPECT_EQ(model->snapped(-7), 0) << step;
        EXPECT_EQ(model->snapped(1000), 100) << step;
    }
}

TEST(SornSliderModel, IconsAndResetCompleteWithTheNewValue) {
    auto model = makeModel({});
    Calls calls;
    calls.attach(*model);
    model->leftIconClicked(); // from the default 25
    EXPECT_EQ(model->value.get(), 15.0);
    model->value.set(5);
    model->leftIconClicked();
    EXPECT_EQ(model->value.get(), 0.0);
    model->value.set(95);
    model->rightIconClicked();
    EXPECT_EQ(model->value.get(), 100.0);

    auto ends = makeModel({100}, 10, false, SliderIconClickBehaviour::maxMin);
    calls.attach(*ends);
    ends->rightIconClicked(); // already there: still completes
    ends->leftIconClicked();
    EXPECT_EQ(ends->value.get(), 0.0);
    // The reset is not limited to the range.
    SornSliderModel outside({}, 0, 10, 1, false, 25, SliderIconClickBehaviour::maxMin);
    calls.attach(outside);
    outside.resetToDefault();
    EXPECT_EQ(outside.value.get(), 25.0);
    EXPECT_EQ(calls.log, (std::vector<std::string>{"complete 15", "complete 0", "complete 100",
                                                   "complete 100", "complete 0", "complete 25"}));
}

TEST(SornSliderModel, PropertiesNotifyOnlyOnAChange) {
    auto model = makeModel({3, 4});
    int changes = 0;
    auto value = model->value.observe([&](const std::optional<double>&) { ++changes; });
    auto starting = model->startingValues.observe([&](const std::vector<double>&) { ++changes; });
    model->value.set(std::nullopt);
    model->startingValues.set({3, 4});
    EXPECT_EQ(changes, 0);
    model->startingValues.set({3, 5});
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(model->value.get(), std::nullopt); // new starting values leave the value alone
    model->value.set(7);
    model->value.set(7);
    EXPECT_EQ(changes, 2);
}

TEST(SornSliderModelDeathTest, ABrokenRangeStopsTheProcess) {
    EXPECT_DEATH(SornSliderModel({}, 10, 0, 1, false, 0, SliderIconClickBehaviour::maxMin).snapped(5),
                 "range");
    EXPECT_DEATH(SornSliderModel({}, NAN, 0, 1, false, 0, SliderIconClickBehaviour::maxMin).leftIconClicked(),
                 "range");
}

TEST(SornSlider, PressingOffTheKnobJumpsThereAndDraggingFollows) {
    SliderHost s(makeModel({50}));
    s.host.down(onTrack(20));
    EXPECT_EQ(s.model->value.get(), 20.0);
    s.host.drag(onTrack(30));
    s.host.up(onTrack(30));
    EXPECT_EQ(s.calls.log, (std::vector<std::string>{"started 20", "ongoing 30", "complete 30"}));

    // The 8-point end zones land exactly on the ends.
    s.calls.log.clear();
    s.host.click(onTrack(5));
    EXPECT_EQ(s.model->value.get(), 0.0);
    s.host.click(onTrack(97));
    EXPECT_EQ(s.model->value.get(), 100.0);
    EXPECT_EQ(s.calls.log,
              (std::vector<std::string>{"started 0", "complete 0", "started 100", "complete 100"}));
}

TEST(SornSlider, AGrabbedKnobWaitsForTwentyPointsOfTravel) {
    SliderHost s(makeModel({50}));
    s.host.down(onTrack(54)); // on the knob, 4 points right of its centre
    EXPECT_EQ(s.model->value.get(), 50.0);
    // The knob shows pressed while dragging.
    bool pressedKnob = false;
    for (const auto& image : s.host.images()) {
        pressedKnob = pressedKnob || image.name == "qel-customslider-handle-down";
    }
    EXPECT_TRUE(pressedKnob);
    s.host.drag(onTrack(60));
    s.host.drag(onTrack(64)); // 6 + 10 points travelled
    EXPECT_EQ(s.model->value.get(), 50.0);
    s.host.drag(onTrack(66)); // + 12: past 20; the knob keeps the grab offset
    EXPECT_EQ(s.model->value.get(), 62.0);
    s.host.up(onTrack(66));
    EXPECT_EQ(s.calls.log, (std::vector<std::string>{"started 50", "ongoing 62", "complete 62"}));

    // The next drag starts afresh: no offset, no travel.
    s.calls.log.clear();
    s.host.click(onTrack(30));
    EXPECT_EQ(s.calls.log, (std::vector<std::string>{"started 30", "complete 30"}));
}

TEST(SornSlider, ShiftDragsInWholeStepsAndReportsOnlyStepChanges) {
    SliderHost s(makeModel({50}));
    s.host.down(onTrack(20));
    for (double x : {23.0, 27.0, 33.0, 36.0}) {
        s.host.drag(onTrack(x), ui::Modifier::shift);
    }
    s.host.up(onTrack(36), ui::Modifier::shift);
    EXPECT_EQ(s.calls.log,
              (std::vector<std::string>{"started 20", "ongoing 30", "ongoing 40", "complete 40"}));

    // A snapping model steps from the press on.
    SliderHost snapping(makeModel({50}, 10, true));
    snapping.host.down(onTrack(23));
    snapping.host.drag(onTrack(24));
    snapping.host.drag(onTrack(26));
    snapping.host.up(onTrack(26));
    EXPECT_EQ(snapping.calls.log, (std::vector<std::string>{"started 20", "ongoing 30", "complete 30"}));
}

TEST(SornSlider, OptionClickResetsWithoutADragAndTheIconsStep) {
    SliderHost s(makeModel({50}));
    s.host.click(onTrack(20), ui::Modifier::option);
    EXPECT_EQ(s.model->value.get(), 25.0);
    EXPECT_EQ(s.calls.log, (std::vector<std::string>{"complete 25"}));

    s.calls.log.clear();
    s.host.click({8, trackMidY});
    EXPECT_EQ(s.model->value.get(), 15.0);
    s.host.click({124, trackMidY});
    s.host.click({124, trackMidY});
    EXPECT_EQ(s.model->value.get(), 35.0);
    EXPECT_EQ(s.calls.log, (std::vector<std::string>{"complete 15", "complete 25", "complete 35"}));
}

TEST(SornSlider, ADragOnATrackWithoutWidthIsIgnored) {
    // A mixed selection draws no fill, so nothing holds the track open.
    SliderHost s(makeModel({10, 70}));
    s.host.down(onTrack(12)); // grabs the first value's knob
    // The slider is squeezed to its icons mid-drag: the track has no width left.
    s.host.resize({32, 40});
    s.host.drag({0, trackMidY});
    s.host.drag({30, trackMidY});
    s.host.up({30, trackMidY});
    EXPECT_EQ(s.model->value.get(), std::nullopt);
    EXPECT_TRUE(s.calls.log.empty()) << s.calls.log.front();
}

TEST(SornSlider, DrawsAFilledKnobOneFaintKnobPerMixedValueOrAFullFill) {
    const auto drawn = [](const std::vector<double>& starting) {
        SliderHost s(makeModel(starting));
        std::vector<DrawnImage> pieces;
        for (auto& image : s.host.images()) {
            if (image.name.rfind("qel-customslider", 0) == 0 && image.opacity > 0) {
                pieces.push_back(image);
            }
        }
        return pieces;
    };
    // One value: the fill from the track's start to the value, the knob centred on it at full opacity.
    auto single = drawn({40});
    ASSERT_EQ(single.size(), 2u);
    EXPECT_EQ(single[0].name, "qel-customslider-on");
    EXPECT_EQ(single[0].rect.minX(), trackLeft);
    EXPECT_EQ(single[0].rect.width(), 40);
    EXPECT_EQ(single[1].name, "qel-customslider-handle");
    EXPECT_EQ(single[1].rect.midX(), trackLeft + 40);
    EXPECT_EQ(single[1].rect.midY(), trackMidY);
    EXPECT_EQ(single[1].opacity, 1);

    // Two values: two faint knobs and no fill.
    auto two = drawn({10, 70});
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].rect.midX(), trackLeft + 10);
    EXPECT_EQ(two[1].rect.midX(), trackLeft + 70);
    for (const auto& knob : two) {
        EXPECT_EQ(knob.name, "qel-customslider-handle");
        EXPECT_DOUBLE_EQ(knob.opacity, 0.3);
    }

    // Six values: a full fill and no knob.
    auto six = drawn({1, 2, 3, 4, 5, 6});
    ASSERT_EQ(six.size(), 1u);
    EXPECT_EQ(six[0].name, "qel-customslider-on");
    EXPECT_EQ(six[0].rect.width(), 100);
}

TEST(SornSlider, ANarrowTrackDrawsNoFillAndPutsTheKnobAtItsStart) {
    auto model = makeModel({60});
    Host host(View(SornSlider{model, nullptr, nullptr}), {40, 40}); // a track 8 points wide
    for (const auto& image : host.images()) {
        if (image.name == "qel-customslider-on") {
            EXPECT_EQ(image.opacity, 0);
        }
        if (image.name == "qel-customslider-handle") {
            EXPECT_EQ(image.rect.midX(), trackLeft);
        }
    }
}
