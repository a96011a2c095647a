#pragma once

// The library's segmented control and its cell, drawn entirely from the segmented style: each segment
// gets its state's bezel image at the image's natural height, centred in the segment, a centred label in
// the style's font and state colour, and a rounded focus ring on the key segment while the control has
// keyboard focus. The selected segment looks like the others until hideSelection is turned off.
// Main thread only.

#include "Vimbra/Protocols.hpp"
#include "Vimbra/Style.hpp"
#include "ui/SegmentedControl.hpp"

#include <map>
#include <memory>

namespace vimbra {

class StyledSegmentedCell : public ui::SegmentedCell,
                            public StyledControl,
                            public StyledView<SegmentedCellStyle> {
public:
    StyledSegmentedCell() = default;

    // The one shared style of the class, made on first use; subclasses cannot replace it.
    static std::shared_ptr<SegmentedCellStyle> sharedStyle();
    std::shared_ptr<SegmentedCellStyle> style() const final { return sharedStyle(); }

    // While true (the default) no segment ever carries the selected bit.
    virtual bool hideSelection() const { return hideSelection_; }
    virtual void setHideSelection(bool hide) { hideSelection_ = hide; }

    // The state a segment is drawn in: default, + disabled for a disabled cell, + highlighted while the
    // segment's highlight state says pressed (enabled or not), + selected for a selected segment unless
    // the selection is hidden.
    virtual StyledControlState segmentState(int segment) const;
    // The cell's own state (the generic rule): the focus ring's colour and the control's intrinsic size.
    StyledControlState controlState() const override;

    // Where a segment's bezel and label go: the state's bezel image at its natural height less the
    // style's margin, centred vertically in the segment's frame, inset horizontally by the margin.
    virtual graphics::Rect bezelRectForSegment(int segment, const graphics::Rect& frame) const;

    // The frame each segment was last drawn in.
    const std::map<int, graphics::Rect>& cachedSegmentFrames() const { return cachedSegmentFrames_; }

    // A labelled segment is as wide as its label in the cell's font plus the style's padding, whatever
    // width is asked for; an unlabelled one takes the width asked.
    void setWidthForSegment(double width, int segment) override;

    // Only the segments: no border of the toolkit's own.
    void drawWithFrame(const graphics::Rect& frame, ui::View& controlView) override;
    void drawSegment(int segment, const graphics::Rect& frame, ui::View& controlView) override;

    // No window-drawn ring (the cell draws its own); its area is the key segment's bezel rect once that
    // segment has been drawn, else empty.
    void drawFocusRingMaskWithFrame(const graphics::Rect&, ui::View&) override {}
    graphics::Rect focusRingMaskBoundsForFrame(const graphics::Rect& frame,
                                               ui::View& controlView) const override;

    ui::BackgroundStyle interiorBackgroundStyle() const override;
    ui::BackgroundStyle interiorBackgroundStyleForSegment(int segment) const override;

    // The label's attributes in a state: the style's font and state text colour, centred.
    graphics::TextAttributes labelAttributes(StyledControlState state) const;

private:
    bool hideSelection_ = true;
    std::map<int, graphics::Rect> cachedSegmentFrames_;
};

class StyledSegmentedControl : public ui::SegmentedControl {
public:
    explicit StyledSegmentedControl(const graphics::Rect& frame = {});

    // The styled cell's flag (false for a cell of another class, which also drops the write); a write
    // always redraws.
    bool hideSelection() const;
    void setHideSelection(bool hide);

    // The toolkit's size, grown to the bezel image of the cell's state where the style has one.
    graphics::Size intrinsicContentSize() const override;
};

} // namespace vimbra
