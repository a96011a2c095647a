#include "Vimbra/StyledControls/StyledSlider.hpp"

#include "Vimbra/ImageOps.hpp"
#include "Vimbra/StyledControls/CellControlState.hpp"
#include "Vimbra/StyledControls/StyledButton.hpp"
#include "ui/Application.hpp"

#include <algorithm>
#include <cmath>

namespace vimbra {

using graphics::Rect;

namespace {

constexpr const char* valueChangedAction = "sliderValueChanged:";
constexpr double barEndInset = 2;
constexpr double knobEndAllowance = 12;
constexpr double wheelStepPerPoint = 0.25 / 100;

} // namespace

std::shared_ptr<SliderCellStyle> StyledSliderCell::sharedSliderStyle() {
    static const auto shared = [] {
        auto style = std::make_shared<SliderCellStyle>();
        style->backgroundColor = graphics::Color::clear();
        return style;
    }();
    return shared;
}

StyledControlState StyledSliderCell::controlState() const {
    return sliderCellControlState(*this);
}

graphics::ImageRef StyledSliderCell::barImage() const {
    return style()->barImageFor(controlState());
}

graphics::ImageRef StyledSliderCell::knobImage() const {
    return style()->knobImageFor(controlState());
}

double StyledSliderCell::knobThickness() const {
    if (auto bar = barImage(); bar && !isVertical()) {
        return bar->size().width;
    }
    return ui::SliderCell::knobThickness();
}

Rect StyledSliderCell::barRectFlipped(bool flipped) const {
    const Rect inherited = ui::SliderCell::barRectFlipped(flipped);
    auto view = controlView();
    auto bar = barImage();
    if (!view || !bar) {
        return inherited;
    }
    const Rect d = drawingRectForBounds(view->bounds());
    const double h = bar->size().height;
    const Rect placed = Rect(inherited.x(), std::round(d.midY() - h * 0.5), inherited.width(), h).integral();
    return Rect(placed.x() + barEndInset, placed.y(), placed.width() - 2 * barEndInset, placed.height())
        .integral();
}

Rect StyledSliderCell::knobRectFlipped(bool flipped) const {
    const Rect k = ui::SliderCell::knobRectFlipped(flipped);
    auto knob = knobImage();
    if (!knob) {
        return k;
    }
    const graphics::Size size = tinted(knob, graphics::Color::controlTextColor())->size();
    const Rect b = barRectFlipped(flipped);
    const double limit = std::max(b.width() - knobEndAllowance, 1.0);
    const double x = std::clamp(std::round(k.midX() - size.width * 0.5), 0.0, limit);
    const Rect sized = Rect(x, 0, size.width, size.height).integral();
    const double y = std::round(b.midY() - sized.height() * 0.5);
    return Rect(sized.x(), y, sized.width(), sized.height()).integral();
}

void StyledSliderCell::drawBarInside(const Rect& rect, bool flipped) {
    auto* context = graphics::GraphicsContext::current();
    auto alley = style()->barImageFor(StyledControlState::default_);
    auto view = controlView();
    if (!alley || !context || !view) {
        return;
    }
    // Upright in a flipped view: the images are drawn unflipped through a mirrored context.
    const Rect d = drawingRectForBounds(view->bounds());
    const double fraction = isEnabled() ? 1.0 : 0.5;
    graphics::GraphicsContext::StateGuard guard(*context);
    if (flipped) {
        flipAboutMiddle(d);
    }
    const auto draw = [&](const graphics::ImageRef& image, const Rect& target) {
        tinted(image, graphics::Color::controlTextColor())
            ->drawInRect(target, {}, graphics::CompositingOperation::sourceOver, fraction, false);
    };
    draw(alley, rect);
    if (auto fill = style()->barImageFor(StyledControlState::highlighted)) {
        const Rect knob = knobRectFlipped(flipped);
        draw(fill, Rect(rect.minX(), rect.minY(), std::max(0.0, knob.midX() - rect.minX()), rect.height())
                       .integral());
    }
}

void StyledSliderCell::drawKnob(const Rect& knobRect) {
    auto knob = knobImage();
    if (!knob || !graphics::GraphicsContext::current()) {
        return;
    }
    tinted(knob, graphics::Color::controlTextColor())
        ->drawInRect(knobRect, {}, graphics::CompositingOperation::sourceOver, isEnabled() ? 1.0 : 0.5, true);
}

Rect StyledSliderCell::focusRingMaskBoundsForFrame(const Rect& frame, ui::View&) const {
    return isBezeled() || isBordered() ? frame : drawingRectForBounds(frame);
}

ui::BackgroundStyle StyledSliderCell::interiorBackgroundStyle() const {
    return static_cast<ui::BackgroundStyle>(style()->interiorBackgroundStyle);
}

// The slider.

StyledSlider::StyledSlider(const Rect& frame) : StyledSlider(frame, std::make_shared<StyledSliderCell>()) {}

StyledSlider::StyledSlider(const Rect& frame, std::shared_ptr<StyledSliderCell> cell)
    : ui::Slider(frame, std::move(cell)) {
    setActionHandler(valueChangedAction,
                     [this](const std::shared_ptr<ui::Object>& sender) { sliderValueChanged(sender); });
    setAction(valueChangedAction);
}

std::shared_ptr<StyledSlider> StyledSlider::make(const Rect& frame) {
    auto slider = std::make_shared<StyledSlider>(frame);
    slider->bindTarget();
    return slider;
}

void StyledSlider::bindTarget() {
    if (targetBound_) {
        return;
    }
    if (auto self = weak_from_this().lock()) {
        targetBound_ = true;
        if (!target() && action() == valueChangedAction) {
            setTarget(self);
        }
    }
}

void StyledSlider::viewDidMoveToWindow() {
    ui::Slider::viewDidMoveToWindow();
    bindTarget();
}

void StyledSlider::sliderValueChanged(const std::shared_ptr<ui::Object>&) {
    const ui::Event* event = ui::Application::shared()->currentEvent();
    if (!event) {
        return;
    }
    const SlideCallback* callback = nullptr;
    switch (event->type) {
    case ui::EventType::leftMouseDown:
        callback = &onSlideStarted_;
        break;
    case ui::EventType::leftMouseDragged:
        callback = &onSlideOngoing_;
        break;
    case ui::EventType::leftMouseUp:
        callback = &onSlideComplete_;
        break;
    default:
        return;
    }
    if (*callback) {
        (*callback)(doubleValue());
    }
}

graphics::Size StyledSlider::intrinsicContentSize() const {
    const graphics::Size own = ui::Slider::intrinsicContentSize();
    if (!fixedWidth_) {
        return own;
    }
    double width = *fixedWidth_;
    double height = own.height;
    if (auto cell = std::dynamic_pointer_cast<StyledSliderCell>(this->cell())) {
        const auto state = cell->controlState();
        auto bar = StyledSliderCell::sharedSliderStyle()->barImageFor(state);
        auto knob = StyledSliderCell::sharedSliderStyle()->knobImageFor(state);
        if (bar) {
            width = std::max(width, bar->size().width);
        }
        if (bar && knob) {
            height = std::max(knob->size().height, bar->size().height);
        }
    }
    return {width, height};
}

std::shared_ptr<StyledScrollableSlider> StyledScrollableSlider::make(const Rect& frame) {
    auto slider = std::make_shared<StyledScrollableSlider>(frame);
    slider->bindTarget();
    return slider;
}

void StyledScrollableSlider::scrollWheel(const ui::Event& event) {
    if (!isEnabled()) {
        return; // neither used nor passed on
    }
    const double range = maxValue() - minValue();
    double delta = 0;
    if (isVertical() && sliderType() == ui::SliderType::linear) {
        delta = event.scrollingDeltaY;
    } else if (userInterfaceLayoutDirection() == ui::UserInterfaceLayoutDirection::rightToLeft) {
        delta = event.scrollingDeltaY + event.scrollingDeltaX;
    } else {
        delta = event.scrollingDeltaY - event.scrollingDeltaX;
    }
    if (event.isDirectionInvertedFromDevice) {
        delta = -delta;
    }
    const double step = range * delta * wheelStepPerPoint;
    double value = doubleValue() + step;
    if (sliderType() == ui::SliderType::circular) {
        if (value < minValue()) {
            value = maxValue() - std::abs(step);
        } else if (value > maxValue()) {
            value = minValue() + std::abs(step);
        }
    }
    auto self = sharedAs<StyledScrollableSlider>();
    setDoubleValue(value);
    sendAction();
}

} // namespace vimbra
