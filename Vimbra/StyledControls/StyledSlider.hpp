#pragma once

// The library's horizontal slider: its cell draws the bar and the knob from the slider style's images by
// control state, and the slider reports the phases of a drag (start, ongoing, end) through callbacks. The
// scrollable variant also steps its value with the scroll wheel. Main thread only.

#include "Vimbra/Protocols.hpp"
#include "Vimbra/Style.hpp"
#include "ui/Slider.hpp"

#include <functional>
#include <memory>
#include <optional>

namespace vimbra {

// Always a horizontal, linear slider without tick marks or focus ring. The knob's thickness is the bar
// image's width; the knob's travel never goes below nothing (the toolkit's cell clamps it), so the bar
// artwork is kept narrow and stretched along the bar.
class StyledSliderCell : public ui::SliderCell, public StyledControl, public StyledView<SliderCellStyle> {
public:
    StyledSliderCell() = default;

    // The shared style: the control style's defaults with a clear background; its image tables load from
    // the catalogue on first read.
    static std::shared_ptr<SliderCellStyle> sharedSliderStyle();
    std::shared_ptr<SliderCellStyle> style() const override { return sharedSliderStyle(); }

    // Default, + disabled when not enabled, + highlighted while pressed and enabled.
    StyledControlState controlState() const override;

    // Setting is passed on; reading always answers horizontal and linear.
    bool isVertical() const override { return false; }
    ui::SliderType sliderType() const override { return ui::SliderType::linear; }

    double knobThickness() const override;
    // The inherited bar, the bar image's height high, centred on the drawing rect and 2 points shorter at
    // each end.
    graphics::Rect barRectFlipped(bool flipped) const override;
    // The knob image's size, centred on the inherited knob's centre and on the bar, its x kept within
    // [0, max(bar width - 12, 1)].
    graphics::Rect knobRectFlipped(bool flipped) const override;
    // The alley (the default state's bar image), then the fill (the highlighted one) from the bar's start
    // to the knob's centre; upright in a flipped view, at half strength when disabled.
    void drawBarInside(const graphics::Rect& rect, bool flipped) override;
    // The state's knob image, tinted, at half strength when disabled.
    void drawKnob(const graphics::Rect& knobRect) override;
    void drawTickMarks() override {}

    graphics::Rect focusRingMaskBoundsForFrame(const graphics::Rect& frame,
                                               ui::View& controlView) const override;
    void drawFocusRingMaskWithFrame(const graphics::Rect&, ui::View&) override {}
    ui::BackgroundStyle interiorBackgroundStyle() const override;

private:
    graphics::ImageRef barImage() const;
    graphics::ImageRef knobImage() const;
};

class StyledSlider : public ui::Slider {
public:
    using SlideCallback = std::function<void(double)>;

    explicit StyledSlider(const graphics::Rect& frame = {});
    // A slider whose own target is itself (the constructor cannot aim it yet).
    static std::shared_ptr<StyledSlider> make(const graphics::Rect& frame = {});

    const SlideCallback& onSlideStarted() const { return onSlideStarted_; }
    void setOnSlideStarted(SlideCallback callback) { onSlideStarted_ = std::move(callback); }
    const SlideCallback& onSlideOngoing() const { return onSlideOngoing_; }
    void setOnSlideOngoing(SlideCallback callback) { onSlideOngoing_ = std::move(callback); }
    const SlideCallback& onSlideComplete() const { return onSlideComplete_; }
    void setOnSlideComplete(SlideCallback callback) { onSlideComplete_ = std::move(callback); }
    std::optional<double> fixedWidth() const { return fixedWidth_; }
    void setFixedWidth(std::optional<double> width) { fixedWidth_ = width; }

    // The slider's own action: the application's current event chooses the callback (a left mouse-down
    // the start, a drag the ongoing one, an up the end; any other event none), called with the value.
    // A client that replaces the target or action takes the action over and the callbacks stop.
    virtual void sliderValueChanged(const std::shared_ptr<ui::Object>& sender);

    // Without a fixed width the toolkit's; with one, at least the bar image's width, and as high as the
    // taller of the bar and knob images.
    graphics::Size intrinsicContentSize() const override;
    void viewDidMoveToWindow() override;

protected:
    StyledSlider(const graphics::Rect& frame, std::shared_ptr<StyledSliderCell> cell);
    // Aims the slider's action at itself once the slider is owned, unless a client took it over.
    void bindTarget();

private:
    SlideCallback onSlideStarted_;
    SlideCallback onSlideOngoing_;
    SlideCallback onSlideComplete_;
    std::optional<double> fixedWidth_;
    bool targetBound_ = false;
};

// Scrolling steps the value by a quarter of a percent of the range per point of delta, then sends the
// action; the wheel never travels on, and a disabled slider ignores it altogether.
class StyledScrollableSlider : public StyledSlider {
public:
    explicit StyledScrollableSlider(const graphics::Rect& frame = {}) : StyledSlider(frame) {}
    static std::shared_ptr<StyledScrollableSlider> make(const graphics::Rect& frame = {});

    void scrollWheel(const ui::Event& event) override;
};

} // namespace vimbra
