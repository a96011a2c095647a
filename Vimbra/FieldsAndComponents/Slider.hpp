#pragma once

// The library's declarative slider: a track with a fill and a round knob between two icon buttons,
// Option-click back to a default, Shift-drag in steps, and a mixed look of up to five faint knobs for a
// selection of different values. Its state lives in an observable model that the caller keeps and that
// reports the user's edits through three callbacks.

#include "core/Observation.hpp"
#include "declarative/Declarative.hpp"
#include "graphics/Image.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vimbra {

// What the end icons do: jump to the minimum and maximum, or step down and up by the model's increment.
enum class SliderIconClickBehaviour { maxMin, increment };

// The slider's value and range. Observed properties notify only on a change. The caller keeps
// minimumValue <= maximumValue, neither NaN: the operations that limit a value to the range stop the
// process otherwise.
class SornSliderModel {
public:
    using Callback = std::function<void(double)>;

    // The value is the one distinct starting value (-0 and 0 are one), else none (mixed).
    SornSliderModel(std::vector<double> startingValues, double minimumValue, double maximumValue,
                    double incrementBy, bool snap, double defaultValue,
                    SliderIconClickBehaviour iconClickBehaviour);
    SornSliderModel(const SornSliderModel&) = delete;
    SornSliderModel& operator=(const SornSliderModel&) = delete;

    // A drag began (with the value after the press), goes on (with the new value), ended; the last also
    // after an icon click or a reset, with the final value.
    Callback onSlideStarted;
    Callback onSlideOngoing;
    Callback onSlideComplete;

    core::Observed<double> incrementBy;
    core::Observed<double> minimumValue;
    core::Observed<double> maximumValue;
    // Every drag result moves to a whole step.
    core::Observed<bool> snap;
    // None while the selection holds several different values.
    core::Observed<std::optional<double>> value;
    // The selection's values when the model was made; drawn as knobs while the value is none. Setting
    // them later does not recompute the value.
    core::Observed<std::vector<double>> startingValues;
    const double defaultValue;
    const SliderIconClickBehaviour iconClickBehaviour;

    // The closed range minimumValue...maximumValue.
    std::pair<double, double> range() const;
    // (v - minimum) / (maximum - minimum), limited to 0...1; 0 where that is not a number.
    double normalisedValue(double v) const;
    // The value's normalised position, none while mixed. Setting p sets the value that far along the
    // range, limited to it; setting none makes the value none.
    std::optional<double> normalisedValue() const;
    void setNormalisedValue(std::optional<double> position);
    // The whole step from the minimum nearest to v (halves away from zero), limited to the range. A
    // step that is not positive snaps nothing: v is only limited to the range.
    double snapped(double v) const;

    // The end icons and the reset, each followed by onSlideComplete with the new value. The reset is
    // not limited to the range.
    void leftIconClicked();
    void rightIconClicked();
    void resetToDefault();

private:
    double limited(double v) const;
    void complete();
};

// The slider view. Each end button shows its icon in a 14 by 24 frame; the track takes the rest of the
// width, 24 points high, on a text-field bezel.
struct SornSlider {
    std::shared_ptr<SornSliderModel> model;
    graphics::ImageRef leftImage;
    graphics::ImageRef rightImage;

    // Vertical centre of the knobs in the track, and the most knobs the mixed look draws.
    static constexpr double knobYPosition = 12.0;
    static constexpr std::size_t maxKnobs = 5;

    declarative::View body(declarative::Context& context) const;
};

} // namespace vimbra
