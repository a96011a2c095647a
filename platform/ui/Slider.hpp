#pragma once

// Sliders: a control whose knob moves along a bar between a minimum and a maximum value, by dragging it,
// with the arrow keys or with the scroll wheel, and the cell that lays the bar and knob out and draws them.

#include "ui/Control.hpp"

namespace ui {

// AppKit's raw values. The toolkit lays out and tracks every slider as linear; the type is kept for the
// cells and clients that ask.
enum class SliderType { linear = 0, circular = 1 };

// Which way the slider's values grow along a horizontal bar.
enum class UserInterfaceLayoutDirection { leftToRight = 0, rightToLeft = 1 };

// The slider's geometry, in the control view's coordinates: the bar runs along the cell's drawing rect;
// the knob, knobThickness() long along the bar, travels the bar's length less its own, its centre
// following the value (the travel is never negative: a knob as long as the bar or longer stays at the
// bar's start). Horizontal values grow to the right, vertical ones upwards on screen (in a flipped view,
// towards smaller y).
class SliderCell : public Cell {
public:
    SliderCell();

    // The range; the value is kept inside it (a range whose maximum is below its minimum pins the value
    // at the minimum).
    double minValue() const { return minValue_; }
    void setMinValue(double value);
    double maxValue() const { return maxValue_; }
    void setMaxValue(double value);
    // Every value set is read as a number and clamped to the range (NaN gives the minimum).
    void setObjectValue(std::any value) override;

    virtual bool isVertical() const { return vertical_; }
    virtual void setVertical(bool vertical) { vertical_ = vertical; }
    virtual SliderType sliderType() const { return type_; }
    virtual void setSliderType(SliderType type) { type_ = type; }

    // Tick marks: none by default. With n marks, mark i stands for min + i (max - min) / (n - 1) (one
    // mark stands for the middle). Only-tick-mark values make dragging, keys and the wheel stop on marks.
    int numberOfTickMarks() const { return tickMarks_; }
    void setNumberOfTickMarks(int count);
    bool allowsTickMarkValuesOnly() const { return tickValuesOnly_; }
    void setAllowsTickMarkValuesOnly(bool flag) { tickValuesOnly_ = flag; }
    double tickMarkValueAtIndex(int index) const;
    // The value of the mark nearest to value; value itself when there are no marks.
    double closestTickMarkValueToValue(double value) const;
    // Where mark i is drawn: a short line across the bar's far side.
    graphics::Rect rectOfTickMarkAtIndex(int index) const;

    // The knob's length along the bar.
    virtual double knobThickness() const;
    // The bar and the knob in the control view's bounds, for a flipped or unflipped view; empty without a
    // control view.
    virtual graphics::Rect barRectFlipped(bool flipped) const;
    virtual graphics::Rect knobRectFlipped(bool flipped) const;
    // The value the knob would show with its centre at point (in a flipped or unflipped view), clamped
    // to the range and, with only-tick-mark values, moved to the nearest mark.
    double valueForKnobCentre(const graphics::Point& point, bool flipped) const;

    // Drawing: drawInteriorWithFrame draws the bar, then the tick marks, then the knob.
    virtual void drawBarInside(const graphics::Rect& rect, bool flipped);
    virtual void drawKnob(const graphics::Rect& knobRect);
    void drawKnob();
    virtual void drawTickMarks();
    void drawInteriorWithFrame(const graphics::Rect& frame, View& controlView) override;

    // Along the bar no intrinsic length; across it room for the knob (and the tick marks).
    graphics::Size cellSize() const override;

protected:
    bool controlViewIsFlipped() const;

private:
    double fractionOf(double value) const;
    // The knob centre's first position and its travel along the bar (never negative).
    void travel(bool flipped, double& start, double& length) const;

    double minValue_ = 0;
    double maxValue_ = 1;
    bool vertical_ = false;
    SliderType type_ = SliderType::linear;
    int tickMarks_ = 0;
    bool tickValuesOnly_ = false;
};

// The slider control. A press on the knob grabs it where it was hit; a press elsewhere on the bar moves
// the knob's centre there. The drag goes on until the button goes up, wherever the pointer goes. The
// knob shows pressed (the cell highlighted) from down to up. A continuous slider (the default) sends its
// action on the down, on every drag and on the up; one that is not sends it on the up only. The
// arrow keys (with keyboard focus) and the scroll wheel step the value and send the action when it
// changed. A disabled slider ignores the mouse and the keys and passes the wheel on.
class Slider : public Control {
public:
    explicit Slider(const graphics::Rect& frame = {}, std::shared_ptr<SliderCell> cell = nullptr);

    std::shared_ptr<SliderCell> sliderCell() const;
    // Only slider cells are taken; others are ignored.
    void setCell(std::shared_ptr<Cell> cell) override;

    double minValue() const { return sliderCell()->minValue(); }
    void setMinValue(double value);
    double maxValue() const { return sliderCell()->maxValue(); }
    void setMaxValue(double value);
    bool isVertical() const { return sliderCell()->isVertical(); }
    void setVertical(bool vertical);
    SliderType sliderType() const { return sliderCell()->sliderType(); }
    void setSliderType(SliderType type);
    int numberOfTickMarks() const { return sliderCell()->numberOfTickMarks(); }
    void setNumberOfTickMarks(int count);
    bool allowsTickMarkValuesOnly() const { return sliderCell()->allowsTickMarkValuesOnly(); }
    void setAllowsTickMarkValuesOnly(bool flag) { sliderCell()->setAllowsTickMarkValuesOnly(flag); }

    UserInterfaceLayoutDirection userInterfaceLayoutDirection() const { return layoutDirection_; }
    void setUserInterfaceLayoutDirection(UserInterfaceLayoutDirection direction) {
        layoutDirection_ = direction;
    }

    // One arrow-key step: to the neighbouring tick mark when there are marks, else a twentieth of the
    // range. delta's sign gives the direction.
    void stepByKey(int direction);
    // One wheel step: a quarter of a percent of the range per point of delta (one tick mark per event
    // with only-tick-mark values).
    void stepByWheel(double delta);

    void setEnabled(bool enabled) override;
    bool isTracking() const override { return tracking_; }
    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void mouseUp(const Event& event) override;
    void keyDown(const Event& event) override;
    // Vertical sliders step by the vertical delta; horizontal ones by vertical minus horizontal (plus, right
    // to left); the deltas are negated when the device's direction is inverted.
    void scrollWheel(const Event& event) override;

private:
    // Moves the knob's centre to point less the grab offset; true when the value changed.
    bool trackTo(const Event& event);
    // Sets the value and redraws when it changed; true when it did.
    bool changeValue(double value);

    bool tracking_ = false;
    double grabOffset_ = 0; // along the bar, from the knob's centre to where it was pressed
    UserInterfaceLayoutDirection layoutDirection_ = UserInterfaceLayoutDirection::leftToRight;
};

} // namespace ui
