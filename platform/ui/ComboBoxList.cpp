#include "ui/ComboBoxList.hpp"

#include "graphics/AttributedString.hpp"
#include "graphics/BezierPath.hpp"
#include "ui/ComboBox.hpp"

#include <algorithm>
#include <cmath>

namespace ui {

using graphics::Point;
using graphics::Rect;

ComboBoxListView::ComboBoxListView(const Rect& frame, std::weak_ptr<ComboBox> comboBox)
    : View(frame), comboBox_(std::move(comboBox)) {}

graphics::ColorRef ComboBoxListView::backgroundColor() {
    return graphics::Color::white(0.17);
}

graphics::ColorRef ComboBoxListView::highlightColor() {
    return graphics::Color::controlAccentColor();
}

long ComboBoxListView::itemCount() const {
    auto box = comboBox_.lock();
    return box ? box->numberOfItems() : 0;
}

double ComboBoxListView::itemHeight() const {
    auto box = comboBox_.lock();
    return box ? box->itemHeight() : 18;
}

long ComboBoxListView::visibleRowCount() const {
    const long fit = static_cast<long>(std::floor((bounds().height() - 2 * margin) / itemHeight() + 1e-6));
    return std::clamp(fit, 0L, itemCount());
}

bool ComboBoxListView::showsScroller() const {
    auto box = comboBox_.lock();
    return box && box->hasVerticalScroller() && itemCount() > visibleRowCount();
}

void ComboBoxListView::scrollToIndex(long first) {
    const long last = std::max(0L, itemCount() - visibleRowCount());
    first = std::clamp(first, 0L, last);
    if (first != first_) {
        first_ = first;
        setNeedsDisplay();
    }
}

void ComboBoxListView::itemsDidChange() {
    scrollToIndex(first_);
    setNeedsDisplay();
}

void ComboBoxListView::setHighlightedIndex(long index) {
    if (index < 0 || index >= itemCount()) {
        index = -1;
    }
    if (index >= 0) {
        if (index < first_) {
            scrollToIndex(index);
        } else if (index >= first_ + visibleRowCount()) {
            scrollToIndex(index - visibleRowCount() + 1);
        }
    }
    if (index != highlighted_) {
        highlighted_ = index;
        setNeedsDisplay();
    }
}

void ComboBoxListView::moveHighlight(long delta) {
    const long count = itemCount();
    if (count == 0) {
        return;
    }
    const long from = highlighted_ < 0 ? (delta > 0 ? -1 : count) : highlighted_;
    setHighlightedIndex(std::clamp(from + delta, 0L, count - 1));
}

Rect ComboBoxListView::rectOfIndex(long index) const {
    const double width = bounds().width() - (showsScroller() ? scrollerWidth : 0);
    return Rect(0, margin + static_cast<double>(index - first_) * itemHeight(), width, itemHeight());
}

long ComboBoxListView::indexAtPoint(Point point) const {
    const double width = bounds().width() - (showsScroller() ? scrollerWidth : 0);
    if (point.x < 0 || point.x >= width || point.y < margin) {
        return -1;
    }
    const long row = static_cast<long>(std::floor((point.y - margin) / itemHeight()));
    if (row >= visibleRowCount()) {
        return -1;
    }
    const long index = first_ + row;
    return index < itemCount() ? index : -1;
}

Rect ComboBoxListView::knobRect() const {
    const long count = itemCount();
    const double track = bounds().height() - 2 * margin;
    if (count == 0) {
        return {};
    }
    const double length =
        std::max(12.0, track * static_cast<double>(visibleRowCount()) / static_cast<double>(count));
    const long scrollable = std::max(1L, count - visibleRowCount());
    const double y =
        margin + (track - length) * static_cast<double>(first_) / static_cast<double>(scrollable);
    return Rect(bounds().width() - scrollerWidth + 1, y, scrollerWidth - 3, length);
}

void ComboBoxListView::draw(const Rect& dirtyRect) {
    auto* context = graphics::GraphicsContext::current();
    auto box = comboBox_.lock();
    rowsDrawn_ = 0;
    if (!context || !box) {
        return;
    }
    context->fillRect(bounds(), backgroundColor());
    auto border = graphics::BezierPath::rect(bounds().insetBy(0.5, 0.5));
    border.setLineWidth(1);
    context->strokePath(border, graphics::Color::white(0.38));

    graphics::TextAttributes attributes;
    attributes.font = box->font();
    attributes.paragraphStyle.lineBreakMode = graphics::LineBreakMode::truncatingTail;
    const double lineHeight = attributes.font ? attributes.font->lineHeight() : 16;
    // Only the rows in sight and in the dirty rect are laid out and drawn (never past the last item, even
    // when the cell lost items behind the box's back).
    const long rows = std::min(visibleRowCount(), itemCount() - first_);
    for (long row = 0; row < rows; ++row) {
        const long index = first_ + row;
        const Rect rowRect = rectOfIndex(index);
        if (!rowRect.intersects(dirtyRect)) {
            continue;
        }
        const bool highlighted = index == highlighted_;
        if (highlighted) {
            context->fillRect(rowRect.insetBy(1, 0), highlightColor());
        }
        attributes.foregroundColor =
            highlighted ? graphics::Color::whiteColor() : graphics::Color::controlTextColor();
        const Rect textRect(rowRect.x() + 6, rowRect.y() + std::round((rowRect.height() - lineHeight) * 0.5),
                            rowRect.width() - 10, lineHeight);
        graphics::AttributedString(ComboBoxCell::stringForItem(box->itemObjectValueAtIndex(index)),
                                   attributes)
            .draw(textRect);
        ++rowsDrawn_;
    }
    if (showsScroller()) {
        auto knob = graphics::BezierPath::roundedRect(knobRect(), 2.5, 2.5);
        context->fillPath(knob, graphics::Color::white(0.55), context->compositingOperation());
    }
}

void ComboBoxListView::followPointer(const Event& event) {
    const Point p = convertPointFromView(event.locationInWindow, nullptr);
    if (const long index = indexAtPoint(p); index >= 0) {
        setHighlightedIndex(index);
    }
}

void ComboBoxListView::mouseDown(const Event& event) {
    const Point p = convertPointFromView(event.locationInWindow, nullptr);
    draggingKnob_ = showsScroller() && p.x >= bounds().width() - scrollerWidth;
    if (draggingKnob_) {
        const Rect knob = knobRect();
        if (p.y < knob.minY() || p.y > knob.maxY()) {
            // A press on the track pages towards it.
            scrollToIndex(first_ + (p.y < knob.minY() ? -visibleRowCount() : visibleRowCount()));
        }
        knobGrabOffset_ = p.y - knobRect().minY();
        return;
    }
    followPointer(event);
}

void ComboBoxListView::mouseDragged(const Event& event) {
    if (!draggingKnob_) {
        followPointer(event);
        return;
    }
    const Point p = convertPointFromView(event.locationInWindow, nullptr);
    const double track = bounds().height() - 2 * margin - knobRect().height();
    const long scrollable = std::max(0L, itemCount() - visibleRowCount());
    if (track > 0) {
        const double fraction = std::clamp((p.y - knobGrabOffset_ - margin) / track, 0.0, 1.0);
        scrollToIndex(static_cast<long>(std::lround(fraction * static_cast<double>(scrollable))));
    }
}

void ComboBoxListView::mouseMoved(const Event& event) {
    followPointer(event);
}

void ComboBoxListView::mouseUp(const Event& event) {
    if (draggingKnob_) {
        draggingKnob_ = false;
        return;
    }
    const long index = indexAtPoint(convertPointFromView(event.locationInWindow, nullptr));
    if (auto box = comboBox_.lock(); box && index >= 0) {
        box->chooseItemAtIndex(index);
    }
}

void ComboBoxListView::scrollWheel(const Event& event) {
    // A line of wheel movement is a row; precise deltas are in points. A delta that is no number is
    // ignored, and no turn of the wheel moves further than the whole list.
    const double rows =
        event.hasPreciseScrollingDeltas ? event.scrollingDeltaY / itemHeight() : event.scrollingDeltaY;
    if (!std::isfinite(rows)) {
        return;
    }
    wheelRemainder_ += rows;
    const double whole = std::trunc(wheelRemainder_);
    wheelRemainder_ -= whole;
    const auto count = static_cast<double>(itemCount());
    if (const long step = static_cast<long>(std::clamp(whole, -count, count)); step != 0) {
        scrollToIndex(first_ - step);
    }
}

} // namespace ui
