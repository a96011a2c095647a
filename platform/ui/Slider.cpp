#include "ui/Slider.hpp"

#include "graphics/BezierPath.hpp"
#include "graphics/GraphicsContext.hpp"

#include <algorithm>
#include <cmath>

namespace ui {

using graphics::Point;
using graphics::Rect;
using graphics::Size;

namespace {

constexpr double defaultKnobThickness = 16;
constexpr double barThickness = 4;
constexpr double tickLength = 4;
constexpr double tickGap = 2;
constexpr double keyStepsPerRange = 20;
constexpr double wheelStepPerPoint = 0.0025; // of the range

} // namespace

SliderCell::SliderCell() {
    setContinuous(true);
    Cell::setObjectValue(0.0);
}

void SliderCell::setMinValue(double value) {
    minValue_ = value;
    setObjectValue(doubleValue());
}

void SliderCell::setMaxValue(double value) {
    maxValue_ = value;
    setObjectValue(doubleValue());
}

void SliderCell::setObjectValue(std::any value) {
    Cell::setObjectValue(std::move(value));
    double v = Cell::doubleValue();
    if (std::isnan(v) || maxValue_ < minValue_) {
        v = minValue_;
    }
    Cell::setObjectValue(std::clamp(v, minValue_, std::max(minValue_, maxValue_)));
}

void SliderCell::setNumberOfTickMarks(int count) {
    tickMarks_ = std::max(0, count);
}

double SliderCell::tickMarkValueAtIndex(int index) const {
    if (tickMarks_ <= 1) {
        return (minValue_ + maxValue_) * 0.5;
    }
    return minValue_ + (maxValue_ - minValue_) * static_cast<double>(std::clamp(index, 0, tickMarks_ - 1)) /
                           static_cast<double>(tickMarks_ - 1);
}

double SliderCell::closestTickMarkValueToValue(double value) const {
    if (tickMarks_ == 0) {
        return value;
    }
    if (tickMarks_ == 1 || maxValue_ <= minValue_) {
        return tickMarkValueAtIndex(0);
    }
    const double step = (maxValue_ - minValue_) / static_cast<double>(tickMarks_ - 1);
    const double index = std::round((value - minValue_) / step);
    return tickMarkValueAtIndex(
        static_cast<int>(std::clamp(index, 0.0, static_cast<double>(tickMarks_ - 1))));
}

double SliderCell::fractionOf(double value) const {
    if (!(maxValue_ > minValue_)) {
        return 0;
    }
    return std::clamp((value - minValue_) / (maxValue_ - minValue_), 0.0, 1.0);
}

bool SliderCell::controlViewIsFlipped() const {
    auto view = controlView();
    return view && view->isFlipped();
}

double SliderCell::knobThickness() const {
    return defaultKnobThickness;
}

Rect SliderCell::barRectFlipped(bool) const {
    auto view = controlView();
    if (!view) {
        return {};
    }
    const Rect d = drawingRectForBounds(view->bounds());
    if (isVertical()) {
        return Rect(std::round(d.midX() - barThickness * 0.5), d.minY(), barThickness, d.height());
    }
    return Rect(d.minX(), std::round(d.midY() - barThickness * 0.5), d.width(), barThickness);
}

void SliderCell::travel(bool flipped, double& start, double& length) const {
    const Rect bar = barRectFlipped(flipped);
    const double knob = knobThickness();
    const double barLength = isVertical() ? bar.height() : bar.width();
    // A knob as long as the bar or longer has nowhere to go.
    length = std::max(0.0, barLength - knob);
    if (!isVertical()) {
        start = bar.minX() + knob * 0.5;
    } else if (flipped) {
        start = bar.maxY() - knob * 0.5; // values grow towards smaller y
    } else {
        start = bar.minY() + knob * 0.5;
    }
}

Rect SliderCell::knobRectFlipped(bool flipped) const {
    if (!controlView()) {
        return {};
    }
    const Rect bar = barRectFlipped(flipped);
    const double knob = knobThickness();
    double start = 0;
    double length = 0;
    travel(flipped, start, length);
    const double along = fractionOf(doubleValue()) * length;
    if (!isVertical()) {
        const double centre = start + along;
        return Rect(centre - knob * 0.5, bar.midY() - knob * 0.5, knob, knob);
    }
    const double centre = flipped ? start - along : start + along;
    return Rect(bar.midX() - knob * 0.5, centre - knob * 0.5, knob, knob);
}

double SliderCell::valueForKnobCentre(const Point& point, bool flipped) const {
    double start = 0;
    double length = 0;
    travel(flipped, start, length);
    if (length <= 0 || !(maxValue_ > minValue_)) {
        return minValue_;
    }
    double offset = 0;
    if (!isVertical()) {
        offset = point.x - start;
    } else {
        offset = flipped ? start - point.y : point.y - start;
    }
    const double fraction = std::clamp(offset / length, 0.0, 1.0);
    const double value = minValue_ + fraction * (maxValue_ - minValue_);
    return tickValuesOnly_ ? closestTickMarkValueToValue(value) : value;
}

Rect SliderCell::rectOfTickMarkAtIndex(int index) const {
    if (tickMarks_ == 0 || index < 0 || index >= tickMarks_) {
        return {};
    }
    const bool flipped = controlViewIsFlipped();
    const Rect bar = barRectFlipped(flipped);
    double start = 0;
    double length = 0;
    travel(flipped, start, length);
    const double along = fractionOf(tickMarkValueAtIndex(index)) * length;
    if (!isVertical()) {
        const double x = std::round(start + along);
        // Below the bar on screen.
        const double y = flipped ? bar.maxY() + tickGap : bar.minY() - tickGap - tickLength;
        return Rect(x - 0.5, y, 1, tickLength);
    }
    const double y = std::round(flipped ? start - along : start + along);
    return Rect(bar.maxX() + tickGap, y - 0.5, tickLength, 1);
}

void SliderCell::drawBarInside(const Rect& rect, bool flipped) {
    auto* context = graphics::GraphicsContext::current();
    if (!context || rect.isEmpty()) {
        return;
    }
    const double radius = std::min(rect.width(), rect.height()) * 0.5;
    const double alpha = isEnabled() ? 1.0 : 0.5;
    context->fillPath(graphics::BezierPath::roundedRect(rect, radius, radius),
                      graphics::Color::white(0.35, alpha), graphics::CompositingOperation::sourceOver);
    // The part from the minimum to the knob's centre, in the accent colour.
    const Rect knob = knobRectFlipped(flipped);
    Rect filled;
    if (!isVertical()) {
        filled = Rect(rect.minX(), rect.minY(), std::max(0.0, knob.midX() - rect.minX()), rect.height());
    } else if (flipped) {
        filled = Rect(rect.minX(), knob.midY(), rect.width(), std::max(0.0, rect.maxY() - knob.midY()));
    } else {
        filled = Rect(rect.minX(), rect.minY(), rect.width(), std::max(0.0, knob.midY() - rect.minY()));
    }
    if (!filled.isEmpty()) {
        context->fillPath(graphics::BezierPath::roundedRect(filled, radius, radius),
                          graphics::Color::controlAccentColor()->withAlphaComponent(alpha),
                          graphics::CompositingOperation::sourceOver);
    }
}

void SliderCell::drawKnob(const Rect& knobRect) {
    auto* context = graphics::GraphicsContext::current();
    if (!context || knobRect.isEmpty()) {
        return;
    }
    const double alpha = isEnabled() ? 1.0 : 0.5;
    const Rect disc = knobRect.insetBy(1, 1);
    context->fillPath(graphics::BezierPath::oval(disc),
                      graphics::Color::white(isHighlighted() ? 0.75 : 0.92, alpha),
                      graphics::CompositingOperation::sourceOver);
    auto rim = graphics::BezierPath::oval(disc.insetBy(0.5, 0.5));
    rim.setLineWidth(1);
    context->strokePath(rim, graphics::Color::white(0.2, 0.6 * alpha));
}

void SliderCell::drawKnob() {
    drawKnob(knobRectFlipped(controlViewIsFlipped()));
}

void SliderCell::drawTickMarks() {
    auto* context = graphics::GraphicsContext::current();
    if (!context) {
        return;
    }
    const auto color = graphics::Color::white(0.6, isEnabled() ? 1.0 : 0.5);
    for (int i = 0; i < tickMarks_; ++i) {
        context->fillRect(rectOfTickMarkAtIndex(i), color);
    }
}

void SliderCell::drawInteriorWithFrame(const Rect&, View& controlView) {
    const bool flipped = controlView.isFlipped();
    drawBarInside(barRectFlipped(flipped), flipped);
    drawTickMarks();
    drawKnob();
}

Size SliderCell::cellSize() const {
    const double across =
        std::max(knobThickness(), defaultKnobThickness) + 4 + (tickMarks_ > 0 ? tickGap + tickLength : 0.0);
    return isVertical() ? Size{across, View::noIntrinsicMetric} : Size{View::noIntrinsicMetric, across};
}

// The control.

Slider::Slider(const Rect& frame, std::shared_ptr<SliderCell> cell)
    : Control(frame, cell ? std::move(cell) : std::make_shared<SliderCell>()) {}

std::shared_ptr<SliderCell> Slider::sliderCell() const {
    return std::static_pointer_cast<SliderCell>(cell());
}

void Slider::setCell(std::shared_ptr<Cell> cell) {
    if (std::dynamic_pointer_cast<SliderCell>(cell)) {
        Control::setCell(std::move(cell));
    }
}

void Slider::setMinValue(double value) {
    sliderCell()->setMinValue(value);
    setNeedsDisplay();
}

void Slider::setMaxValue(double value) {
    sliderCell()->setMaxValue(value);
    setNeedsDisplay();
}

void Slider::setVertical(bool vertical) {
    sliderCell()->setVertical(vertical);
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void Slider::setSliderType(SliderType type) {
    sliderCell()->setSliderType(type);
    setNeedsDisplay();
}

void Slider::setNumberOfTickMarks(int count) {
    sliderCell()->setNumberOfTickMarks(count);
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

bool Slider::changeValue(double value) {
    const double before = doubleValue();
    setDoubleValue(value);
    return doubleValue() != before;
}

void Slider::stepByKey(int direction) {
    if (direction == 0) {
        return;
    }
    auto c = sliderCell();
    const double value = doubleValue();
    double next = value;
    if (c->numberOfTickMarks() > 1) {
        // The neighbouring mark in the direction, from wherever the value is now.
        const int marks = c->numberOfTickMarks();
        if (direction > 0) {
            for (int i = 0; i < marks && next == value; ++i) {
                next = c->tickMarkValueAtIndex(i) > value ? c->tickMarkValueAtIndex(i) : next;
            }
        } else {
            for (int i = marks - 1; i >= 0 && next == value; --i) {
                next = c->tickMarkValueAtIndex(i) < value ? c->tickMarkValueAtIndex(i) : next;
            }
        }
    } else {
        next = value + (direction > 0 ? 1.0 : -1.0) * (maxValue() - minValue()) / keyStepsPerRange;
    }
    if (changeValue(next)) {
        sendAction();
    }
}

void Slider::stepByWheel(double delta) {
    if (delta == 0 || !std::isfinite(delta)) {
        return;
    }
    if (allowsTickMarkValuesOnly() && numberOfTickMarks() > 0) {
        stepByKey(delta > 0 ? 1 : -1);
        return;
    }
    if (changeValue(doubleValue() + (maxValue() - minValue()) * delta * wheelStepPerPoint)) {
        sendAction();
    }
}

void Slider::setEnabled(bool enabled) {
    if (!enabled && tracking_) {
        tracking_ = false;
        sliderCell()->setHighlighted(false);
    }
    Control::setEnabled(enabled);
}

bool Slider::trackTo(const Event& event) {
    Point p = convertPointFromView(event.locationInWindow, nullptr);
    if (isVertical()) {
        p.y -= grabOffset_;
    } else {
        p.x -= grabOffset_;
    }
    return changeValue(sliderCell()->valueForKnobCentre(p, isFlipped()));
}

void Slider::mouseDown(const Event& event) {
    if (!isEnabled()) {
        return;
    }
    auto self = sharedAs<Slider>(); // the action may release the slider
    auto c = sliderCell();
    const Point p = convertPointFromView(event.locationInWindow, nullptr);
    const Rect knob = c->knobRectFlipped(isFlipped());
    grabOffset_ = 0;
    if (knob.contains(p)) {
        grabOffset_ = isVertical() ? p.y - knob.midY() : p.x - knob.midX();
    }
    tracking_ = true;
    c->setHighlighted(true);
    trackTo(event);
    setNeedsDisplay();
    if (c->isContinuous()) {
        sendAction();
    }
}

void Slider::mouseDragged(const Event& event) {
    if (!tracking_) {
        return;
    }
    auto self = sharedAs<Slider>();
    trackTo(event);
    if (tracking_ && isContinuous()) {
        sendAction();
    }
}

void Slider::mouseUp(const Event& event) {
    if (!tracking_) {
        return;
    }
    auto self = sharedAs<Slider>();
    trackTo(event);
    tracking_ = false;
    sliderCell()->setHighlighted(false);
    setNeedsDisplay();
    sendAction();
}

void Slider::keyDown(const Event& event) {
    if (!isEnabled()) {
        Control::keyDown(event);
        return;
    }
    switch (event.specialKey().value_or(0)) {
    case SpecialKey::rightArrow:
    case SpecialKey::upArrow:
        stepByKey(1);
        break;
    case SpecialKey::leftArrow:
    case SpecialKey::downArrow:
        stepByKey(-1);
        break;
    default:
        Control::keyDown(event);
        break;
    }
}

void Slider::scrollWheel(const Event& event) {
    if (!isEnabled()) {
        Control::scrollWheel(event);
        return;
    }
    double delta = event.scrollingDeltaY;
    if (!isVertical()) {
        delta = layoutDirection_ == UserInterfaceLayoutDirection::rightToLeft
                    ? event.scrollingDeltaY + event.scrollingDeltaX
                    : event.scrollingDeltaY - event.scrollingDeltaX;
    }
    if (event.isDirectionInvertedFromDevice) {
        delta = -delta;
    }
    stepByWheel(delta);
}

} // namespace ui
