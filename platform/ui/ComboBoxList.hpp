#pragma once

// The list a combo box pops up: one view that draws the rows in sight (never a view per item), a
// highlight that follows the pointer and the arrows, a scroller when there are more items than rows,
// and wheel scrolling. A release on a row chooses its item.

#include "ui/View.hpp"

#include <memory>

namespace ui {

class ComboBox;

class ComboBoxListView : public View {
public:
    // Width of the scroller at the trailing edge, and the margin above and below the rows.
    static constexpr double scrollerWidth = 8;
    static constexpr double margin = 2;

    ComboBoxListView(const graphics::Rect& frame, std::weak_ptr<ComboBox> comboBox);

    // The height of a list that shows `rows` rows of the given height.
    static double heightFor(long rows, double itemHeight) {
        return static_cast<double>(rows) * itemHeight + 2 * margin;
    }

    // The highlighted item (-1 for none); setting it scrolls it into sight.
    long highlightedIndex() const { return highlighted_; }
    void setHighlightedIndex(long index);
    // Moves the highlight by delta items, staying within the list (from nothing, down starts at the first).
    void moveHighlight(long delta);
    // The first item in sight; scrolling keeps a full page in sight.
    long firstVisibleIndex() const { return first_; }
    void scrollToIndex(long first);
    // After the items changed: the first row in sight moves back so the rows in sight are all items.
    void itemsDidChange();
    // How many rows are in sight, and how many were drawn by the last display pass (tests and benches).
    long visibleRowCount() const;
    long rowsDrawn() const { return rowsDrawn_; }
    // The item under a point in the view's coordinates, or -1.
    long indexAtPoint(graphics::Point point) const;
    // The frame of an item's row (flipped view coordinates), wherever it is scrolled to.
    graphics::Rect rectOfIndex(long index) const;
    bool showsScroller() const;

    bool isFlipped() const override { return true; }
    bool acceptsFirstMouse(const Event*) const override { return true; }
    void draw(const graphics::Rect& dirtyRect) override;
    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void mouseMoved(const Event& event) override;
    void mouseUp(const Event& event) override;
    void scrollWheel(const Event& event) override;

    static graphics::ColorRef backgroundColor();
    static graphics::ColorRef highlightColor();

private:
    long itemCount() const;
    double itemHeight() const;
    void followPointer(const Event& event);
    // The scroller's track and knob (view coordinates).
    graphics::Rect knobRect() const;

    std::weak_ptr<ComboBox> comboBox_;
    long highlighted_ = -1;
    long first_ = 0;
    long rowsDrawn_ = 0;
    double wheelRemainder_ = 0;
    // The press started on the scroller: drags move the knob, the release chooses nothing.
    bool draggingKnob_ = false;
    double knobGrabOffset_ = 0;
};

} // namespace ui
