#include "Vimbra/StyledControls/TrackingSlider.hpp"

#include "Vimbra/ControlActions.hpp"
#include "Vimbra/ViewExtensions.hpp"
#include "core/Log.hpp"
#include "ui/Application.hpp"

#include <cmath>
#include <limits>

namespace vimbra {

namespace {

constexpr const char* panAction = "handlePanGesture:";

// Truncates toward zero into Int's range, saturating at its ends (NaN gives 0).
template <class Int> Int saturated(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    // The limits as doubles: the maximum's neighbour above is exactly 2^(digits), never reached here.
    constexpr double above = static_cast<double>(std::numeric_limits<Int>::max()) + 1.0;
    constexpr double lowest = static_cast<double>(std::numeric_limits<Int>::min());
    if (value >= above) {
        return std::numeric_limits<Int>::max();
    }
    if (value <= lowest) {
        return std::numeric_limits<Int>::min();
    }
    return static_cast<Int>(value);
}

} // namespace

std::optional<TrackingSlider::MovementDirection>
TrackingSlider::movementDirectionFromRawValue(std::int64_t raw) {
    if (raw == 0) {
        return MovementDirection::horizontal;
    }
    if (raw == 1) {
        return MovementDirection::vertical;
    }
    return std::nullopt;
}

TrackingSlider::TrackingSlider(const graphics::Rect& frame)
    : ClickableImageView(frame), incrementBy_(LibraryDefaults::sliderIncrement()),
      maximumValue_(LibraryDefaults::sliderMaximumValue()), cursor_(LibraryDefaults::trackingSliderCursor()),
      minimumPanVelocity_(LibraryDefaults::minimumPanVelocity()) {
    setActionHandler(panAction,
                     [this](const std::shared_ptr<ui::Object>& sender) { handlePanGesture(sender); });
    addGestureRecognizer(panGestureRecognizer());
}

std::shared_ptr<TrackingSlider> TrackingSlider::make(const graphics::Rect& frame) {
    auto slider = std::make_shared<TrackingSlider>(frame);
    slider->bindPanRecognizer();
    slider->clickGestureRecognizer(); // aims the click recogniser at the slider
    return slider;
}

std::shared_ptr<TrackingSlider> TrackingSlider::imageViewWithImage(graphics::ImageRef image) {
    const graphics::Size size = image ? image->size() : graphics::Size{};
    auto slider = make(graphics::Rect(0, 0, size.width, size.height));
    slider->setImage(std::move(image));
    return slider;
}

const std::shared_ptr<ui::PanGestureRecognizer>& TrackingSlider::panGestureRecognizer() {
    if (!panGestureRecognizer_) {
        panGestureRecognizer_ = std::make_shared<ui::PanGestureRecognizer>(nullptr, panAction);
    }
    bindPanRecognizer();
    return panGestureRecognizer_;
}

void TrackingSlider::bindPanRecognizer() {
    // In the constructor the view is not yet owned; the target is set on the first chance afterwards.
    if (panGestureRecognizer_ && !panGestureRecognizer_->target()) {
        if (auto self = weak_from_this().lock()) {
            panGestureRecognizer_->setTarget(self);
        }
    }
}

void TrackingSlider::viewDidMoveToWindow() {
    ClickableImageView::viewDidMoveToWindow();
    bindPanRecognizer();
}

void TrackingSlider::setDoubleValue(double value) {
    if (std::isnan(minimumValue_) || std::isnan(maximumValue_) || minimumValue_ > maximumValue_) {
        core::fatal("TrackingSlider: the value's bounds are unordered or not numbers");
    }
    currentValue_ = std::isnan(value) ? minimumValue_ : std::clamp(value, minimumValue_, maximumValue_);
}

std::int32_t TrackingSlider::intValue() const {
    return saturated<std::int32_t>(currentValue_);
}

long long TrackingSlider::integerValue() const {
    return saturated<long long>(currentValue_);
}

void TrackingSlider::setObjectValue(std::any value) {
    if (const auto* d = std::any_cast<double>(&value)) {
        setDoubleValue(*d);
    } else if (const auto* f = std::any_cast<float>(&value)) {
        setDoubleValue(*f);
    } else if (const auto* i = std::any_cast<int>(&value)) {
        setDoubleValue(*i);
    } else if (const auto* l = std::any_cast<long long>(&value)) {
        setDoubleValue(static_cast<double>(*l));
    }
}

void TrackingSlider::sendOwnAction() {
    if (!action().empty()) {
        ui::Application::shared()->sendAction(action(), target(), sharedAs<ui::Object>());
    }
}

void TrackingSlider::step(double amount, bool sendsAction) {
    if (amount == 0) {
        return;
    }
    valueWasEdited_ = true;
    setDoubleValue(amount > 0 ? doubleValue() + incrementBy_ : doubleValue() - incrementBy_);
    if (sendsAction) {
        sendOwnAction();
    }
}

void TrackingSlider::handlePanGesture(const std::shared_ptr<ui::Object>&) {
    if (!isEnabled() || !panGestureRecognizer_) {
        return;
    }
    auto self = sharedAs<TrackingSlider>(); // callbacks and actions may release the view
    auto recognizer = panGestureRecognizer_;
    using S = ui::GestureRecognizerState;
    switch (recognizer->state()) {
    case S::began:
    case S::cancelled:
    case S::failed:
        valueWasEdited_ = false;
        recognizer->setTranslation({bounds().midX(), bounds().midY()}, this);
        if (clicked()) {
            clicked()->send(Void{});
        }
        if (recognizer->state() == S::began && onSlideStarted_) {
            onSlideStarted_(doubleValue());
        }
        break;
    case S::changed: {
        const graphics::Point velocity = recognizer->velocityInView(this);
        const double along = movementDirection_ == MovementDirection::vertical ? velocity.y : velocity.x;
        if (std::abs(along) > minimumPanVelocity_) {
            step(along, isContinuous());
        }
        break;
    }
    case S::ended:
        sendOwnAction();
        if (onSlideComplete_) {
            onSlideComplete_(doubleValue());
        }
        break;
    case S::possible:
        break;
    }
}

core::Publisher<double> TrackingSlider::valuePublisher() {
    return doubleValuePublisher(sharedAs<ui::Control>());
}

void TrackingSlider::scrollWheel(const ui::Event& event) {
    auto self = sharedAs<TrackingSlider>();
    ClickableImageView::scrollWheel(event);
    if (!isEnabled()) {
        return;
    }
    double amount = 0;
    if (movementDirection_ == MovementDirection::vertical) {
        amount = event.isDirectionInvertedFromDevice ? -event.scrollingDeltaY : event.scrollingDeltaY;
    } else {
        amount = event.scrollingDeltaX;
    }
    step(amount, true);
}

void TrackingSlider::updateTrackingAreas() {
    ClickableImageView::updateTrackingAreas();
    replaceBoundsTrackingArea(*this, trackingArea_);
}

void TrackingSlider::mouseEntered(const ui::Event& event) {
    ClickableImageView::mouseEntered(event);
    cursor_->push();
}

void TrackingSlider::mouseExited(const ui::Event& event) {
    ClickableImageView::mouseExited(event);
    ui::Cursor::pop();
}

} // namespace vimbra
