#pragma once

// An image view that works as a value control without a visible track: drags across it (or scrolling over
// it) step a bounded value up or down by a fixed increment, one step for each sufficiently fast movement.

#include "Vimbra/StyledControls/ClickableImageView.hpp"
#include "core/Publisher.hpp"
#include "ui/Cursor.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace vimbra {

// It draws only the image its client gives it, shows its own cursor while the pointer is over it, sends
// on `clicked` when a drag starts, and reports a drag's start and end through callbacks and its target and
// action. Value setters clamp to [minimumValue, maximumValue] and neither redraw nor send; the bounds must
// stay ordered and not NaN (a setter stops the process otherwise). Main thread only.
class TrackingSlider : public ClickableImageView {
public:
    enum class MovementDirection { horizontal = 0, vertical = 1 };
    // The direction of a raw value; none for values other than 0 and 1.
    static std::optional<MovementDirection> movementDirectionFromRawValue(std::int64_t raw);

    explicit TrackingSlider(const graphics::Rect& frame = {});
    static std::shared_ptr<TrackingSlider> make(const graphics::Rect& frame = {});
    // A slider the size of the image, showing it.
    static std::shared_ptr<TrackingSlider> imageViewWithImage(graphics::ImageRef image);

    bool isHorizontal() const { return movementDirection_ == MovementDirection::horizontal; }
    void setHorizontal(bool horizontal) {
        movementDirection_ = horizontal ? MovementDirection::horizontal : MovementDirection::vertical;
    }
    MovementDirection movementDirection() const { return movementDirection_; }
    void setMovementDirection(MovementDirection direction) { movementDirection_ = direction; }
    double incrementBy() const { return incrementBy_; }
    void setIncrementBy(double increment) { incrementBy_ = increment; }
    double minimumValue() const { return minimumValue_; }
    void setMinimumValue(double value) { minimumValue_ = value; }
    double maximumValue() const { return maximumValue_; }
    void setMaximumValue(double value) { maximumValue_ = value; }
    bool valueWasEdited() const { return valueWasEdited_; }
    void setValueWasEdited(bool edited) { valueWasEdited_ = edited; }
    double minimumPanVelocity() const { return minimumPanVelocity_; }
    void setMinimumPanVelocity(double velocity) { minimumPanVelocity_ = velocity; }

    using SlideCallback = std::function<void(double)>;
    const SlideCallback& onSlideStarted() const { return onSlideStarted_; }
    void setOnSlideStarted(SlideCallback callback) { onSlideStarted_ = std::move(callback); }
    const SlideCallback& onSlideComplete() const { return onSlideComplete_; }
    void setOnSlideComplete(SlideCallback callback) { onSlideComplete_ = std::move(callback); }

    // The cursor shown while the pointer is over the view, and the area that says when it is.
    const std::shared_ptr<ui::Cursor>& cursor() const { return cursor_; }
    const std::shared_ptr<ui::TrackingArea>& trackingArea() const { return trackingArea_; }

    // The drag recogniser, made on first read: its action is handlePanGesture:, aimed at this view.
    const std::shared_ptr<ui::PanGestureRecognizer>& panGestureRecognizer();

    // Values: the integer readings truncate toward zero and saturate at the ends of their types.
    double doubleValue() const override { return currentValue_; }
    void setDoubleValue(double value) override;
    float floatValue() const { return static_cast<float>(currentValue_); }
    void setFloatValue(float value) { setDoubleValue(value); }
    std::int32_t intValue() const;
    void setIntValue(std::int32_t value) { setDoubleValue(value); }
    long long integerValue() const override;
    void setIntegerValue(long long value) override { setDoubleValue(static_cast<double>(value)); }
    // A number is stored as the value; anything else is ignored.
    void setObjectValue(std::any value) override;

    // One step of incrementBy up (amount > 0) or down (amount < 0); nothing for 0. Every step marks the
    // value edited and, when asked and the view has an action, sends it, even when the value is pinned
    // at an end.
    virtual void step(double amount, bool sendsAction);

    // The pan recogniser's action; nothing while disabled.
    virtual void handlePanGesture(const std::shared_ptr<ui::Object>& sender);

    // The value each time the view sends its action (its action publisher, which becomes its target).
    core::Publisher<double> valuePublisher();

    bool mouseDownCanMoveWindow() const { return false; }
    bool acceptsFirstResponder() const override { return false; }
    // Passed on first, then, when enabled, a step: by the vertical delta (negated when the device's
    // direction is inverted) or by the horizontal delta as it comes; the action is always sent.
    void scrollWheel(const ui::Event& event) override;
    void updateTrackingAreas() override;
    void mouseEntered(const ui::Event& event) override;
    void mouseExited(const ui::Event& event) override;
    void viewDidMoveToWindow() override;

private:
    void bindPanRecognizer();
    void sendOwnAction();

    MovementDirection movementDirection_ = MovementDirection::vertical;
    double incrementBy_;
    double minimumValue_ = 0.0;
    double maximumValue_;
    bool valueWasEdited_ = false;
    SlideCallback onSlideStarted_;
    SlideCallback onSlideComplete_;
    std::shared_ptr<ui::TrackingArea> trackingArea_;
    std::shared_ptr<ui::Cursor> cursor_;
    std::shared_ptr<ui::PanGestureRecognizer> panGestureRecognizer_;
    double currentValue_ = 0.0;
    double minimumPanVelocity_;
};

} // namespace vimbra
