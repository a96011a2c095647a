#include "ui/ScrollView.hpp"

#include "core/NotificationCenter.hpp"
#include "ui/TableView.hpp"

#include <algorithm>

namespace ui {

using graphics::Point;
using graphics::Rect;
using graphics::Size;

std::shared_ptr<ScrollView> View::enclosingScrollView() const {
    for (auto v = superview(); v; v = v->superview()) {
        if (auto scroll = std::dynamic_pointer_cast<ScrollView>(v)) {
            return scroll;
        }
    }
    return nullptr;
}

// MARK: - ClipView

ClipView::ClipView(const Rect& frame)
    : View(frame), backgroundColor_(graphics::Color::controlBackgroundColor()) {}

void ClipView::setDocumentView(const std::shared_ptr<View>& view) {
    if (view == documentView_) {
        return;
    }
    if (documentView_) {
        documentView_->removeFromSuperview();
    }
    documentView_ = view;
    if (view) {
        addSubview(view);
        setBoundsOrigin(constrainBoundsOrigin(view->frame().origin));
    } else {
        setBoundsOrigin({0, 0});
    }
    boundsDidChange();
}

bool ClipView::isFlipped() const {
    return documentView_ ? documentView_->isFlipped() : false;
}

Point ClipView::constrainBoundsOrigin(const Point& proposed) const {
    if (!documentView_) {
        return proposed;
    }
    const Rect doc = documentView_->frame();
    const Size size = bounds().size;
    const double x = std::clamp(proposed.x, doc.minX(), std::max(doc.minX(), doc.maxX() - size.width));
    const double y = std::clamp(proposed.y, doc.minY(), std::max(doc.minY(), doc.maxY() - size.height));
    return {x, y};
}

void ClipView::scrollToPoint(const Point& point) {
    const Point origin = constrainBoundsOrigin(point);
    if (origin == bounds().origin) {
        return;
    }
    setBoundsOrigin(origin);
    boundsDidChange();
}

Rect ClipView::documentVisibleRect() const {
    if (!documentView_) {
        return bounds();
    }
    return documentView_->convertRectFromView(bounds(), this).intersection(documentView_->bounds());
}

void ClipView::boundsDidChange() {
    auto self = sharedAs<ClipView>();
    if (documentView_) {
        documentView_->setNeedsLayout();
    }
    if (postsBounds_) {
        core::NotificationCenter::defaultCenter().post("NSViewBoundsDidChangeNotification", this);
    }
    if (auto scroll = std::dynamic_pointer_cast<ScrollView>(superview())) {
        scroll->reflectScrolledClipView(*this);
    }
}

void ClipView::setFrame(const Rect& frame) {
    if (frame == this->frame()) {
        return;
    }
    View::setFrame(frame);
    if (postsFrame_) {
        core::NotificationCenter::defaultCenter().post("NSViewFrameDidChangeNotification", this);
    }
    const Point origin = constrainBoundsOrigin(bounds().origin);
    if (origin != bounds().origin) {
        setBoundsOrigin(origin);
        boundsDidChange();
    } else if (documentView_) {
        documentView_->setNeedsLayout();
    }
}

void ClipView::setDrawsBackground(bool flag) {
    drawsBackground_ = flag;
    setNeedsDisplay();
}

void ClipView::setBackgroundColor(graphics::ColorRef color) {
    backgroundColor_ = std::move(color);
    setNeedsDisplay();
}

void ClipView::draw(const Rect& dirtyRect) {
    if (drawsBackground_ && backgroundColor_) {
        if (auto* context = graphics::GraphicsContext::current()) {
            context->fillRect(dirtyRect, backgroundColor_);
        }
    }
}

// MARK: - ScrollView

ScrollView::ScrollView(const Rect& frame) : View(frame), contentView_(std::make_shared<ClipView>()) {}

void ScrollView::setDocumentView(const std::shared_ptr<View>& view) {
    contentView_->setDocumentView(view);
    tile();
}

void ScrollView::setHasVerticalScroller(bool flag) {
    hasVerticalScroller_ = flag;
    tile();
}

void ScrollView::setHasHorizontalScroller(bool flag) {
    hasHorizontalScroller_ = flag;
    tile();
}

void ScrollView::setFrame(const Rect& frame) {
    View::setFrame(frame);
    tile();
}

void ScrollView::viewDidMoveToSuperview() {
    View::viewDidMoveToSuperview();
    tile(); // the first moment the scroll view is owned: its clip view goes in
}

void ScrollView::layout() {
    View::layout();
    tile();
}

void ScrollView::tile() {
    if (weak_from_this().expired()) {
        return; // not owned yet: the subviews are placed once it is
    }
    if (contentView_->superview().get() != this) {
        addSubview(contentView_);
    }
    const Rect b = bounds();
    auto table = std::dynamic_pointer_cast<TableView>(documentView());
    auto header = table ? table->headerView() : nullptr;
    const double headerHeight = header ? header->frame().height() : 0;
    if (header) {
        if (!headerClipView_) {
            headerClipView_ = std::make_shared<ClipView>();
        }
        if (headerClipView_->superview().get() != this) {
            addSubview(headerClipView_);
        }
        headerClipView_->setDocumentView(header);
        headerClipView_->setFrame(Rect(b.minX(), b.minY(), b.width(), headerHeight));
    } else if (headerClipView_) {
        headerClipView_->removeFromSuperview();
        headerClipView_.reset();
    }
    const double sw = hasVerticalScroller_ ? Scroller::width : 0;
    const double sh = hasHorizontalScroller_ ? Scroller::width : 0;
    const Rect content(b.minX(), b.minY() + headerHeight, std::max(0.0, b.width() - sw),
                       std::max(0.0, b.height() - headerHeight - sh));
    contentView_->setFrame(content);
    auto place = [&](std::shared_ptr<Scroller>& scroller, bool wanted, bool vertical, const Rect& frame) {
        if (!wanted) {
            if (scroller) {
                scroller->removeFromSuperview();
                scroller.reset();
            }
            return;
        }
        if (!scroller) {
            scroller = std::make_shared<Scroller>(vertical);
        }
        if (scroller->superview().get() != this) {
            addSubview(scroller);
        }
        scroller->setFrame(frame);
    };
    place(verticalScroller_, hasVerticalScroller_, true,
          Rect(content.maxX(), content.minY(), sw, content.height()));
    place(horizontalScroller_, hasHorizontalScroller_, false,
          Rect(content.minX(), content.maxY(), content.width(), sh));
    if (table) {
        table->tile();
    }
    reflectScrolledClipView(*contentView_);
}

void ScrollView::reflectScrolledClipView(ClipView& clipView) {
    if (&clipView != contentView_.get()) {
        return;
    }
    auto doc = documentView();
    if (headerClipView_) {
        headerClipView_->scrollToPoint({contentView_->bounds().minX(), headerClipView_->bounds().minY()});
    }
    if (!doc) {
        return;
    }
    const Rect whole = doc->frame();
    const Rect shown = contentView_->bounds();
    auto ratio = [](double offset, double range) {
        return range > 0 ? std::clamp(offset / range, 0.0, 1.0) : 0.0;
    };
    auto proportion = [](double part, double all) { return all > 0 ? std::min(1.0, part / all) : 1.0; };
    if (horizontalScroller_) {
        horizontalScroller_->setValue(ratio(shown.minX() - whole.minX(), whole.width() - shown.width()),
                                      proportion(shown.width(), whole.width()));
    }
    if (verticalScroller_) {
        double value = ratio(shown.minY() - whole.minY(), whole.height() - shown.height());
        if (!contentView_->isFlipped()) {
            value = 1 - value; // the top of an unflipped document is its maximum y
        }
        verticalScroller_->setValue(value, proportion(shown.height(), whole.height()));
    }
}

void ScrollView::scrollWheel(const Event& event) {
    auto doc = documentView();
    if (!doc) {
        View::scrollWheel(event);
        return;
    }
    const double step = event.hasPreciseScrollingDeltas ? 1.0 : lineScroll_;
    const double dx = event.scrollingDeltaX * step;
    const double dy = event.scrollingDeltaY * step;
    const Point origin = contentView_->bounds().origin;
    // Positive y turns the wheel away from the user: the content moves down, showing what is above.
    const Point wanted(origin.x - dx, contentView_->isFlipped() ? origin.y - dy : origin.y + dy);
    const Point reached = contentView_->constrainBoundsOrigin(wanted);
    if (reached == origin) {
        View::scrollWheel(event); // at the edge: an enclosing scroll view may move instead
        return;
    }
    contentView_->scrollToPoint(reached);
}

// MARK: - Scroller

Scroller::Scroller(bool vertical) : vertical_(vertical) {}

void Scroller::setValue(double value, double knobProportion) {
    value = std::clamp(value, 0.0, 1.0);
    knobProportion = std::clamp(knobProportion, 0.0, 1.0);
    if (value == value_ && knobProportion == proportion_) {
        return;
    }
    value_ = value;
    proportion_ = knobProportion;
    setNeedsDisplay();
}

Rect Scroller::knobRect() const {
    const Rect b = bounds().insetBy(2, 2);
    const double track = vertical_ ? b.height() : b.width();
    const double length = std::max(std::min(track, 16.0), track * proportion_);
    const double offset = (track - length) * value_;
    return vertical_ ? Rect(b.minX(), b.minY() + offset, b.width(), length)
                     : Rect(b.minX() + offset, b.minY(), length, b.height());
}

void Scroller::draw(const Rect&) {
    auto* context = graphics::GraphicsContext::current();
    if (!context) {
        return;
    }
    context->fillRect(bounds(), graphics::Color::controlBackgroundColor());
    if (proportion_ >= 1) {
        return; // everything is visible: no knob
    }
    const Rect knob = knobRect();
    const double radius = std::min(knob.width(), knob.height()) / 2;
    context->fillPath(graphics::BezierPath::roundedRect(knob, radius, radius),
                      graphics::Color::white(0.5, 0.8), graphics::CompositingOperation::sourceOver);
}

void Scroller::mouseDown(const Event& event) {
    if (proportion_ >= 1) {
        return;
    }
    const Point p = convertPointFromView(event.locationInWindow, nullptr);
    const Rect knob = knobRect();
    if (knob.contains(p)) {
        dragOffset_ = vertical_ ? p.y - knob.minY() : p.x - knob.minX();
        return;
    }
    // A click in the track centres the knob there.
    dragOffset_ = (vertical_ ? knob.height() : knob.width()) / 2;
    mouseDragged(event);
}

void Scroller::mouseDragged(const Event& event) {
    if (proportion_ >= 1) {
        return;
    }
    const Point p = convertPointFromView(event.locationInWindow, nullptr);
    const Rect b = bounds().insetBy(2, 2);
    const Rect knob = knobRect();
    const double travel = vertical_ ? b.height() - knob.height() : b.width() - knob.width();
    const double position = (vertical_ ? p.y - b.minY() : p.x - b.minX()) - dragOffset_;
    scrollToValue(travel > 0 ? position / travel : 0);
}

void Scroller::scrollToValue(double value) {
    auto scroll = std::dynamic_pointer_cast<ScrollView>(superview());
    auto doc = scroll ? scroll->documentView() : nullptr;
    if (!doc) {
        return;
    }
    value = std::clamp(value, 0.0, 1.0);
    auto clip = scroll->contentView();
    const Rect whole = doc->frame();
    const Rect shown = clip->bounds();
    Point origin = shown.origin;
    if (vertical_) {
        const double v = clip->isFlipped() ? value : 1 - value;
        origin.y = whole.minY() + v * std::max(0.0, whole.height() - shown.height());
    } else {
        origin.x = whole.minX() + value * std::max(0.0, whole.width() - shown.width());
    }
    clip->scrollToPoint(origin);
}

} // namespace ui
