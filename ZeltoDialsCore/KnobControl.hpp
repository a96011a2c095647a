#pragma once

// The interactive core of every dial: turns vertical drags into values of one parameter and picks which
// frame of an image-sequence knob to show. The skins supply the frame view for a frame number.

#include "ZeltoCore/AudioParameter.hpp"
#include "declarative/Declarative.hpp"

#include <functional>
#include <memory>
#include <optional>

namespace zelto {

// How a dial maps a parameter's values to positions from 0 to 1 and back, in single precision.
// Logarithmic when the increment says so and both bounds are above 0 (bent so that a midpoint inside the
// range lands at 0.5), linear otherwise. A range that is empty, reversed or not finite has no positions:
// every value sits at 0 and every position means the lower bound.
class KnobMapping {
public:
    explicit KnobMapping(const AudioParameter& param);
    KnobMapping(AudioParameter::ValueRange range, AudioParameter::ValueIncrement increment);

    float position(float value) const;
    float value(float position) const;
    // The frame showing value, from 1 (the lower bound) to imageCount (the upper bound).
    int frameNumber(float value, int imageCount) const;

    bool isUsable() const { return usable_; }
    bool isLogarithmic() const { return logarithmic_; }
    const std::optional<float>& exponent() const { return exponent_; }

private:
    float lo_ = 0;
    float hi_ = 0;
    bool usable_ = false;
    bool logarithmic_ = false;
    std::optional<float> exponent_;
};

// The power that puts midpoint at position 0.5 of a logarithmic lo...hi, when midpoint lies strictly
// inside the range.
std::optional<float> midpointExponent(float lo, float hi, float midpoint);

// Where a knob's drag stands between events.
struct KnobDragState {
    std::optional<double> lastDragValue;      // the pointer's y at the previous event; absent when idle
    std::optional<float> continuousDragValue; // the unrounded value the drag has reached
    std::optional<float> lastSentValue;       // the value of the drag's latest change
};

// One change event of a drag at pointer height y (local, growing downwards). The first event only
// begins the edit; later ones move the value by (previous y - y) * scaleFactor of the position.
void knobDragChanged(AudioParameter& param, KnobDragState& drag, double y, float scaleFactor);
// The end of a drag, and of a drag that was cancelled after it began. The end carries the drag's latest
// value: the parameter's observed value lags a main-queue turn behind, and a release that arrives in the
// same turn as the last move must not send the host back to the value before it.
void knobDragEnded(AudioParameter& param, KnobDragState& drag);
// Double tap and option-click: back to the default value.
void knobReset(AudioParameter& param);

// The knob view: content(frame) with the drag, double tap and option-click gestures. The frame follows
// the parameter's observed value.
struct KnobControl {
    std::shared_ptr<AudioParameter> param;
    double knobMinDrag = 6.0;
    float knobDragScaleFactor = 0.005f;
    int imageCount = 1;
    std::function<declarative::View(int frame)> content;

    declarative::View body(declarative::Context& context) const;
};

} // namespace zelto
