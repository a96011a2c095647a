#pragma once

// Segmented controls: a row of segments, each with a label and/or an image, a width, an enabled flag
// and a selected flag, of which the tracking mode says how clicks select (AppKit's raw values). The
// cell keeps the segments, lays them out, tracks the mouse per segment and draws each segment through
// drawSegment, which styled cells replace; the control forwards to it and handles the keyboard: left and
// right move the key segment (the one with keyboard focus), space clicks it.

#include "graphics/Image.hpp"
#include "ui/Cell.hpp"
#include "ui/Control.hpp"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ui {

enum class SegmentSwitchTracking {
    selectOne = 0, // one segment at most is selected; a click selects the clicked one
    selectAny = 1, // any segments may be selected; a click toggles the clicked one
    momentary = 2, // a click selects nothing; the clicked segment is selected while its action runs
};

// What a segment shows now, as the cell reports it per segment: at rest, pressed, selected at rest or
// selected and pressed. 3 is never reported here; drawing code counts it as pressed.
namespace SegmentHighlight {
inline constexpr int rest = 1;
inline constexpr int pressed = 2;
inline constexpr int selected = 4;
inline constexpr int selectedPressed = 5;
} // namespace SegmentHighlight

class SegmentedCell : public Cell {
public:
    SegmentedCell();

    int segmentCount() const { return static_cast<int>(segments_.size()); }
    // New segments are unlabelled, enabled, unselected and of automatic width; dropped ones take their
    // selection with them.
    void setSegmentCount(int count);

    // A width of 0 is automatic: the label's (or the image's) width plus a margin on each side. Every
    // width change goes through setWidthForSegment, which subclasses may override to choose the width.
    double widthForSegment(int segment) const;
    virtual void setWidthForSegment(double width, int segment);
    // The width the segment takes: its width, or the automatic one.
    double effectiveWidthForSegment(int segment) const;

    std::optional<std::string> labelForSegment(int segment) const;
    void setLabelForSegment(std::optional<std::string> label, int segment);
    graphics::ImageRef imageForSegment(int segment) const;
    void setImageForSegment(graphics::ImageRef image, int segment);
    bool isEnabledForSegment(int segment) const;
    void setEnabledForSegment(bool enabled, int segment);

    SegmentSwitchTracking trackingMode() const { return trackingMode_; }
    // Narrowing to select-one keeps only the selected segment; momentary keeps none.
    void setTrackingMode(SegmentSwitchTracking mode);

    bool isSelectedForSegment(int segment) const;
    // Selecting a segment in select-one (or momentary) mode deselects the others.
    void setSelectedForSegment(bool selected, int segment);
    // The selected segment (in select-any mode the one selected last that still is, else the first
    // selected one); in momentary mode the clicked segment while its action runs; -1 for none.
    int selectedSegment() const;
    // Selects the segment (as setSelectedForSegment); -1 or an index out of range deselects all.
    void setSelectedSegment(int segment);

    // The segment with keyboard focus: the one last moved to or clicked, else the selected one, else
    // the first; -1 without segments.
    int keySegment() const;
    void setKeySegment(int segment);
    // Moves the key segment to the next (or previous) enabled segment; false at the end of the row.
    bool moveKeySegment(int direction);

    // Per-segment highlight while pressed: a SegmentHighlight value. Subclasses may answer others.
    virtual int segmentHighlightState(int segment) const;
    // The segment pressed now (the mouse down in it and still inside), or -1.
    int pressedSegment() const { return pressedInside_ ? trackedSegment_ : -1; }

    // Geometry: segments side by side from the frame's left edge, each its effective width wide and the
    // frame's height high.
    graphics::Rect frameForSegment(int segment, const graphics::Rect& frame) const;
    // The segment under a point of the frame's coordinates, or -1.
    int segmentAtPoint(const graphics::Point& point, const graphics::Rect& frame) const;
    // The segments' total width by the height for the control size.
    graphics::Size cellSize() const override;

    // Drawing: drawWithFrame draws the border and then the interior; the interior asks drawSegment for
    // each segment in its frame.
    void drawWithFrame(const graphics::Rect& frame, View& controlView) override;
    void drawInteriorWithFrame(const graphics::Rect& frame, View& controlView) override;
    virtual void drawSegment(int segment, const graphics::Rect& frame, View& controlView);
    // The background a segment's content sits on (the cell's interior background by default).
    virtual BackgroundStyle interiorBackgroundStyleForSegment(int segment) const;

    // The window's focus ring surrounds the key segment.
    graphics::Rect focusRingMaskBoundsForFrame(const graphics::Rect& frame, View& controlView) const override;

    // Tracking: a press on an enabled segment of an enabled cell makes it the key segment and highlights
    // it while the pointer stays in it; a release in it completes a click on it (see takeClickedSegment).
    bool startTracking(const graphics::Point& point, View& controlView) override;
    bool continueTracking(const graphics::Point& last, const graphics::Point& current,
                          View& controlView) override;
    void stopTracking(const graphics::Point& last, const graphics::Point& current, View& controlView,
                      bool mouseIsUp) override;
    // The segment of the last completed click, once (-1 afterwards or without one).
    int takeClickedSegment();

    // A click on a segment, by the tracking mode: select-one selects it, select-any toggles it,
    // momentary selects it only while `whileSelected` runs (the action). Makes it the key segment.
    // False, doing nothing, for a disabled cell or segment or an index out of range.
    bool clickSegment(int segment, const std::function<void()>& whileSelected);

private:
    struct Segment {
        double width = 0;
        std::optional<std::string> label;
        graphics::ImageRef image;
        bool enabled = true;
        bool selected = false;
    };
    bool valid(int segment) const { return segment >= 0 && segment < segmentCount(); }
    void deselectAllBut(int segment);

    std::vector<Segment> segments_;
    SegmentSwitchTracking trackingMode_ = SegmentSwitchTracking::selectOne;
    int lastSelected_ = -1;
    int momentarySegment_ = -1;
    int keySegment_ = -1;
    int trackedSegment_ = -1;
    bool pressedInside_ = false;
    int clickedSegment_ = -1;
};

class SegmentedControl : public Control {
public:
    explicit SegmentedControl(const graphics::Rect& frame = {},
                              std::shared_ptr<SegmentedCell> cell = nullptr);

    std::shared_ptr<SegmentedCell> segmentedCell() const;

    // Forwarded to the cell; setters redraw (and resize where the size may change).
    int segmentCount() const { return segmentedCell()->segmentCount(); }
    void setSegmentCount(int count);
    double widthForSegment(int segment) const { return segmentedCell()->widthForSegment(segment); }
    void setWidthForSegment(double width, int segment);
    std::optional<std::string> labelForSegment(int segment) const {
        return segmentedCell()->labelForSegment(segment);
    }
    void setLabelForSegment(std::optional<std::string> label, int segment);
    graphics::ImageRef imageForSegment(int segment) const {
        return segmentedCell()->imageForSegment(segment);
    }
    void setImageForSegment(graphics::ImageRef image, int segment);
    bool isEnabledForSegment(int segment) const { return segmentedCell()->isEnabledForSegment(segment); }
    void setEnabledForSegment(bool enabled, int segment);
    bool isSelectedForSegment(int segment) const { return segmentedCell()->isSelectedForSegment(segment); }
    void setSelectedForSegment(bool selected, int segment);
    int selectedSegment() const { return segmentedCell()->selectedSegment(); }
    void setSelectedSegment(int segment);
    SegmentSwitchTracking trackingMode() const { return segmentedCell()->trackingMode(); }
    void setTrackingMode(SegmentSwitchTracking mode);
    int keySegment() const { return segmentedCell()->keySegment(); }

    // Clicks a segment as the mouse would (by the tracking mode) and sends the action; nothing for a
    // disabled control or segment.
    void performClickOnSegment(int segment);

    // Left and right arrows move the key segment, space clicks it; other keys travel on.
    void keyDown(const Event& event) override;
    // A press moves the key segment to the pressed one.
    void mouseDown(const Event& event) override;

protected:
    // A completed mouse click on a segment.
    void didClick() override;

private:
    // Redraws the control and the window's ring around the key segment.
    void keySegmentWillChange();
};

} // namespace ui
