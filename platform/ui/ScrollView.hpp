#pragma once

// Scrolling: a clip view shows part of a document view by moving its bounds origin; a scroll view
// holds the clip view, simple scrollers and (for a table) the table's header above the content.

#include "graphics/Color.hpp"
#include "ui/View.hpp"

#include <memory>

namespace ui {

class Scroller;

class ClipView : public View {
public:
    explicit ClipView(const graphics::Rect& frame = {});

    std::shared_ptr<View> documentView() const { return documentView_; }
    void setDocumentView(const std::shared_ptr<View>& view);

    // Follows the document view's orientation, so the document's origin is where the scrolling starts.
    bool isFlipped() const override;
    bool clipsDescendants() const override { return true; }
    // Scrolls so that point (document coordinates) is at the bounds origin, constrained to the document.
    void scrollToPoint(const graphics::Point& point);
    // The bounds origin moved into the document: x in [minX, maxX - width], y likewise (the document's
    // origin when it is smaller than the clip view).
    graphics::Point constrainBoundsOrigin(const graphics::Point& proposed) const;
    // The part of the document shown, in the document view's coordinates.
    graphics::Rect documentVisibleRect() const;

    bool drawsBackground() const { return drawsBackground_; }
    void setDrawsBackground(bool flag);
    graphics::ColorRef backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(graphics::ColorRef color);

    // With these on, bounds and frame changes post "NSViewBoundsDidChangeNotification" and
    // "NSViewFrameDidChangeNotification" (object: this clip view) on the default centre.
    bool postsBoundsChangedNotifications() const { return postsBounds_; }
    void setPostsBoundsChangedNotifications(bool flag) { postsBounds_ = flag; }
    bool postsFrameChangedNotifications() const { return postsFrame_; }
    void setPostsFrameChangedNotifications(bool flag) { postsFrame_ = flag; }

    void setFrame(const graphics::Rect& frame) override;
    void draw(const graphics::Rect& dirtyRect) override;

private:
    void boundsDidChange();

    std::shared_ptr<View> documentView_;
    bool drawsBackground_ = true;
    graphics::ColorRef backgroundColor_;
    bool postsBounds_ = false;
    bool postsFrame_ = false;
};

class ScrollView : public View {
public:
    explicit ScrollView(const graphics::Rect& frame = {});

    std::shared_ptr<ClipView> contentView() const { return contentView_; }
    std::shared_ptr<View> documentView() const { return contentView_->documentView(); }
    void setDocumentView(const std::shared_ptr<View>& view);
    graphics::Rect documentVisibleRect() const { return contentView_->documentVisibleRect(); }
    // The size of the content area (without scrollers and header).
    graphics::Size contentSize() const { return contentView_->frame().size; }

    bool hasVerticalScroller() const { return hasVerticalScroller_; }
    void setHasVerticalScroller(bool flag);
    bool hasHorizontalScroller() const { return hasHorizontalScroller_; }
    void setHasHorizontalScroller(bool flag);
    std::shared_ptr<Scroller> verticalScroller() const { return verticalScroller_; }
    std::shared_ptr<Scroller> horizontalScroller() const { return horizontalScroller_; }

    // Drawn behind the document by the clip view.
    bool drawsBackground() const { return contentView_->drawsBackground(); }
    void setDrawsBackground(bool flag) { contentView_->setDrawsBackground(flag); }
    graphics::ColorRef backgroundColor() const { return contentView_->backgroundColor(); }
    void setBackgroundColor(graphics::ColorRef color) { contentView_->setBackgroundColor(std::move(color)); }

    // Points scrolled per wheel step (line deltas; precise deltas scroll by their own amount).
    double lineScroll() const { return lineScroll_; }
    void setLineScroll(double points) { lineScroll_ = points; }

    // The clip view holding a table's header (null without a table with a header).
    std::shared_ptr<ClipView> headerClipView() const { return headerClipView_; }

    // Lays out the header, the content and the scrollers.
    void tile();
    // The clip view scrolled: scrollers and header follow.
    void reflectScrolledClipView(ClipView& clipView);

    // Scroll views lay out top-down.
    bool isFlipped() const override { return true; }
    bool clipsDescendants() const override { return true; }
    void setFrame(const graphics::Rect& frame) override;
    void scrollWheel(const Event& event) override;
    void layout() override;
    void viewDidMoveToSuperview() override;

private:
    std::shared_ptr<ClipView> contentView_;
    std::shared_ptr<ClipView> headerClipView_;
    std::shared_ptr<Scroller> verticalScroller_;
    std::shared_ptr<Scroller> horizontalScroller_;
    bool hasVerticalScroller_ = false;
    bool hasHorizontalScroller_ = false;
    double lineScroll_ = 10;
};

// A scroller: a track with a knob whose length is the visible proportion and whose place is the value
// (0 at the start, 1 at the end). Dragging the knob scrolls its scroll view.
class Scroller : public View {
public:
    static constexpr double width = 11;

    explicit Scroller(bool vertical);
    bool isVertical() const { return vertical_; }
    double doubleValue() const { return value_; }
    double knobProportion() const { return proportion_; }
    void setValue(double value, double knobProportion);
    // The knob in the scroller's coordinates.
    graphics::Rect knobRect() const;

    bool isFlipped() const override { return true; }
    void draw(const graphics::Rect& dirtyRect) override;
    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;

private:
    void scrollToValue(double value);

    bool vertical_;
    double value_ = 0;
    double proportion_ = 1;
    double dragOffset_ = 0;
};

} // namespace ui
