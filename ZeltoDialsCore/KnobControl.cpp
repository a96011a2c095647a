#include "ZeltoDialsCore/KnobControl.hpp"

#include "ZeltoCore/KitExtensions.hpp"
#include "ZeltoCore/KitResources.hpp"

#include <cmath>

namespace zelto {

namespace {
// ln 0.5, as the single-precision constant the mapping uses.
constexpr float lnOneHalf = -0.6931472f;
} // namespace

std::optional<float> midpointExponent(float lo, float hi, float midpoint) {
    if (!(lo > 0.0f && hi > 0.0f && lo < midpoint && midpoint < hi)) {
        return std::nullopt;
    }
    const float x = std::log(midpoint / lo) / std::log(hi / lo);
    if (!(x > 0.0f && x < 1.0f)) {
        return std::nullopt;
    }
    return lnOneHalf / std::log(x);
}

KnobMapping::KnobMapping(const AudioParameter& param)
    : KnobMapping(param.valueRange(), param.valueIncrement()) {}

KnobMapping::KnobMapping(AudioParameter::ValueRange range, AudioParameter::ValueIncrement increment)
    : lo_(range.lowerBound), hi_(range.upperBound) {
    usable_ = std::isfinite(lo_) && std::isfinite(hi_) && lo_ < hi_;
    logarithmic_ = usable_ && increment.isLogarithmic() && lo_ > 0.0f && hi_ > 0.0f;
    if (logarithmic_ && increment.midpoint) {
        exponent_ = midpointExponent(lo_, hi_, *increment.midpoint);
    }
}

float KnobMapping::position(float value) const {
    if (!usable_) {
        return 0.0f;
    }
    if (logarithmic_) {
        const float t = std::log(value / lo_) / std::log(hi_ / lo_);
        return exponent_ ? std::pow(t, *exponent_) : t;
    }
    return (value - lo_) / (hi_ - lo_);
}

float KnobMapping::value(float position) const {
    if (!usable_) {
        return lo_;
    }
    if (logarithmic_) {
        const float u = exponent_ ? std::pow(position, 1.0f / *exponent_) : position;
        return lo_ * std::pow(hi_ / lo_, u);
    }
    return lo_ + position * (hi_ - lo_);
}

int KnobMapping::frameNumber(float value, int imageCount) const {
    if (imageCount <= 1) {
        return 1;
    }
    const float n = std::round(position(value) * static_cast<float>(imageCount - 1) + 1.0f);
    // A value outside the range (or NaN) must not reach the integer conversion unbounded.
    return static_cast<int>(clamped(n, 1.0f, static_cast<float>(imageCount)));
}

void knobDragChanged(AudioParameter& param, KnobDragState& drag, double y, float scaleFactor) {
    if (!drag.lastDragValue) {
        param.setIsBeingInteractivelyEdited(true);
        drag.continuousDragValue = param.value();
        param.setValue(param.value(), ParameterEditor::ui, ParameterEditorState::beginInteractive);
        drag.lastDragValue = y;
        return;
    }
    const KnobMapping mapping(param);
    const auto delta = static_cast<float>(*drag.lastDragValue - y);
    drag.lastDragValue = y;
    if (!mapping.isUsable()) {
        return; // no travel to make on a range without positions
    }
    const float base = drag.continuousDragValue.value_or(param.value());
    const float p = clamped(mapping.position(base) + delta * scaleFactor, 0.0f, 1.0f);
    const float w = param.clamped(mapping.value(p));
    drag.continuousDragValue = w;
    const float sent = param.isIndexed() ? std::round(w) : w;
    drag.lastSentValue = sent;
    param.setValue(sent, ParameterEditor::ui, ParameterEditorState::change);
}

void knobDragEnded(AudioParameter& param, KnobDragState& drag) {
    const float value = drag.lastSentValue.value_or(param.value());
    drag = KnobDragState{};
    param.setIsBeingInteractivelyEdited(false);
    param.setValue(value, ParameterEditor::ui, ParameterEditorState::endInteractive);
}

void knobReset(AudioParameter& param) {
    param.setValue(param.defaultValue(), ParameterEditor::ui, ParameterEditorState::change);
}

declarative::View KnobControl::body(declarative::Context& context) const {
    using namespace declarative;
    auto& slot = context.nextSlot();
    if (!slot) {
        slot = std::make_shared<KnobDragState>();
    }
    const auto drag = std::static_pointer_cast<KnobDragState>(slot);
    const auto p = param;
    if (!p || !content) {
        return View();
    }
    // Reading the value here is what makes the frame follow it.
    const int frame = KnobMapping(*p).frameNumber(p->value(), imageCount);
    const float scale = knobDragScaleFactor;
    return content(frame)
        .gesture(DragGesture{
            knobMinDrag,
            [p, drag, scale](const DragValue& v) { knobDragChanged(*p, *drag, v.location.y, scale); },
            [p, drag](const DragValue&) { knobDragEnded(*p, *drag); },
            // A drag that stops without ending (grab lost, view gone) must not leave the
            // parameter marked as being edited, nor the host without its release.
            [p, drag] {
                if (drag->lastDragValue) {
                    knobDragEnded(*p, *drag);
                }
            }})
        .simultaneousGesture(TapGesture{2, std::nullopt, [p] { knobReset(*p); }})
        .simultaneousGesture(TapGesture{1, ui::Modifier::option, [p] { knobReset(*p); }});
}

} // namespace zelto
