#pragma once

// Retained views: a tree of rectangles that draw themselves. Coordinates follow AppKit: a view's frame
// is in its superview's coordinate system, its bounds in its own; y grows upwards unless the view is
// flipped (origin at the top-left, y down).

#include "graphics/Color.hpp"
#include "graphics/Geometry.hpp"
#include "graphics/GraphicsContext.hpp"
#include "ui/LayoutConstraint.hpp"
#include "ui/Responder.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace graphics {
class ImageRep;
}

namespace ui {

class Cursor;
class GestureRecognizer;
class Menu;
class ScrollView;
class TrackingArea;
class Window;

// The kind of background a view or cell draws on, which its content (text colours) adapts to.
enum class BackgroundStyle { normal = 0, emphasized = 1, raised = 2, lowered = 3 };

// Whether the window draws a keyboard-focus ring around the view that has keyboard focus.
enum class FocusRingType { defaultType = 0, none = 1, exterior = 2 };

// What a layer-backed view is composited with: an opacity that multiplies the view's alpha value
// (the view and its subviews are drawn as one group at the product) and a background colour painted
// over the view's bounds under its own drawing. Changes redraw the view.
class Layer {
public:
    double opacity() const { return opacity_; }
    void setOpacity(double opacity);
    graphics::ColorRef backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(graphics::ColorRef color);

private:
    friend class View;
    explicit Layer(View* view) : view_(view) {}
    View* view_; // the owner; cleared when the view goes
    double opacity_ = 1.0;
    graphics::ColorRef backgroundColor_;
};

class View : public Responder {
public:
    // The value of either dimension of intrinsicContentSize that a view does not define.
    static constexpr double noIntrinsicMetric = -1;

    enum class Ordering { below = -1, above = 1 };

    explicit View(const graphics::Rect& frame = {});
    ~View() override;

    // Tree.
    std::shared_ptr<View> superview() const { return superview_.lock(); }
    const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
    // Adds on top of the existing subviews (a view already elsewhere leaves its old superview first).
    void addSubview(const std::shared_ptr<View>& view);
    // Adds above or below `relativeTo` (on top or at the bottom when relativeTo is null or no subview).
    void addSubview(const std::shared_ptr<View>& view, Ordering place,
                    const std::shared_ptr<View>& relativeTo);
    void removeFromSuperview();
    // True for the view itself and every view below it.
    bool isDescendantOf(const View& ancestor) const;
    std::shared_ptr<Window> window() const { return window_.lock(); }

    // Hooks, in AppKit's order: willMoveToSuperview / willMoveToWindow run before the change,
    // didMove... after it. Removal calls them with null.
    virtual void viewWillMoveToSuperview(const std::shared_ptr<View>& newSuperview);
    virtual void viewDidMoveToSuperview();
    virtual void viewWillMoveToWindow(const std::shared_ptr<Window>& newWindow);
    virtual void viewDidMoveToWindow();
    virtual void didAddSubview(const std::shared_ptr<View>& subview);
    virtual void willRemoveSubview(const std::shared_ptr<View>& subview);

    // Geometry. The bounds size always follows the frame size; the bounds origin may move (scrolling).
    const graphics::Rect& frame() const { return frame_; }
    virtual void setFrame(const graphics::Rect& frame);
    void setFrameOrigin(const graphics::Point& origin);
    void setFrameSize(const graphics::Size& size);
    graphics::Rect bounds() const { return {boundsOrigin_, frame_.size}; }
    void setBoundsOrigin(const graphics::Point& origin);
    virtual bool isFlipped() const { return false; }

    // Conversion between this view's coordinates and another view's; null means window coordinates.
    // Views in different windows (or trees) are related through their top-level coordinates.
    graphics::Point convertPointToView(const graphics::Point& point, const View* view) const;
    graphics::Point convertPointFromView(const graphics::Point& point, const View* view) const;
    graphics::Rect convertRectToView(const graphics::Rect& rect, const View* view) const;
    graphics::Rect convertRectFromView(const graphics::Rect& rect, const View* view) const;
    // Maps this view's coordinates into its superview's (window coordinates for a top-level view).
    graphics::AffineTransform transformToSuperview() const;
    // Maps this view's coordinates into window coordinates.
    graphics::AffineTransform transformToWindow() const;

    // Display. Marking a view also marks what it draws in its window (its drawing rect), which
    // schedules a display pass.
    bool needsDisplay() const { return needsDisplay_; }
    void setNeedsDisplay(bool flag = true);
    // How far the view's drawing reaches beyond its bounds on each side (positive insets reach out): a
    // bezel or a shadow that overhangs the frame. None by default.
    virtual graphics::EdgeInsets paintOverhang() const { return {}; }
    // The bounds grown by paintOverhang(): what display lets the view's own content draw.
    graphics::Rect drawingRect() const;
    // Whether the view keeps what its descendants draw inside its drawing rect. Clip views, scroll views
    // and a view at the top of its tree (a window's content view) do; any other view lets its subviews
    // draw past its bounds, so an overhang at its edge shows whole.
    virtual bool clipsDescendants() const { return superview_.expired(); }
    // The drawing rect, grown by what the visible subviews reach unless the view clips its descendants:
    // what display lets the view and its subviews draw, and what marking the view redraws.
    graphics::Rect redrawRect() const;
    // The overhang that lets a rect drawn in the view's coordinates show whole: how far it reaches
    // beyond the bounds on each side (nothing on a side where it stays within them).
    graphics::EdgeInsets overhangOf(const graphics::Rect& drawn) const;
    void setNeedsDisplayInRect(const graphics::Rect& rect);
    // Draws the view's own content; the current graphics context is set up in the view's coordinates,
    // clipped to its drawing rect. The base view draws nothing.
    virtual void draw(const graphics::Rect& dirtyRect);
    // Draws this view and its visible subviews into a context whose user space is this view's
    // superview's coordinate system (window coordinates for the content view).
    void displayTree(graphics::GraphicsContext& context, const graphics::Rect& dirtyRectInSuperview);
    // Whether displayTree draws this subview after the view's own content. A view whose draw() paints
    // some of its subviews itself, in its own stacking order, answers false for those.
    virtual bool displaysSubviewAfterContent(const View& subview) const {
        (void)subview;
        return true;
    }

    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    bool isHiddenOrHasHiddenAncestor() const;
    double alphaValue() const { return alpha_; }
    virtual void setAlphaValue(double alpha);

    // Layer backing. A view has no layer until it wants one; dropping the wish drops the layer (and
    // its opacity and background).
    bool wantsLayer() const { return layer_ != nullptr; }
    void setWantsLayer(bool flag);
    Layer* layer() const { return layer_.get(); }

    // Keyboard-focus ring. While the view has keyboard focus in the key window (it is the first
    // responder, or the field editor editing it is), the window's display pass draws a ring around the
    // shape drawFocusRingMask draws, in view coordinates, unless focusRingType is none. The base view's
    // mask bounds are empty and its mask fills them, so plain views get no ring; a mask that draws
    // nothing gives no ring either. Only the mask's coverage counts, not its colour; draw it under the
    // context's compositing operation (the window draws it more than once to shape the ring).
    virtual FocusRingType focusRingType() const { return focusRingType_; }
    virtual void setFocusRingType(FocusRingType type);
    virtual graphics::Rect focusRingMaskBounds() const { return {}; }
    virtual void drawFocusRingMask();
    // Redraws the ring after the mask's shape changed.
    void noteFocusRingMaskChanged();
    // How far outside the mask the window's ring reaches (points).
    static constexpr double focusRingWidth = 3;

    // Constraint layout. A view that does not translate its autoresizing mask into constraints is
    // placed by the constraints that mention it, when its superview lays out.
    bool translatesAutoresizingMaskIntoConstraints() const { return translatesAutoresizingMask_; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool flag);
    LayoutAnchor leadingAnchor() { return anchor(LayoutAttribute::leading); }
    LayoutAnchor trailingAnchor() { return anchor(LayoutAttribute::trailing); }
    LayoutAnchor leftAnchor() { return anchor(LayoutAttribute::left); }
    LayoutAnchor rightAnchor() { return anchor(LayoutAttribute::right); }
    LayoutAnchor topAnchor() { return anchor(LayoutAttribute::top); }
    LayoutAnchor bottomAnchor() { return anchor(LayoutAttribute::bottom); }
    LayoutAnchor widthAnchor() { return anchor(LayoutAttribute::width); }
    LayoutAnchor heightAnchor() { return anchor(LayoutAttribute::height); }
    LayoutAnchor centerXAnchor() { return anchor(LayoutAttribute::centerX); }
    LayoutAnchor centerYAnchor() { return anchor(LayoutAttribute::centerY); }
    // The active constraints installed on this view (those whose nearest common ancestor it is), in
    // activation order.
    const std::vector<std::shared_ptr<LayoutConstraint>>& constraints() const { return constraints_; }
    void addConstraint(const std::shared_ptr<LayoutConstraint>& constraint);
    void removeConstraint(const std::shared_ptr<LayoutConstraint>& constraint);
    bool needsLayout() const { return needsLayout_; }
    void setNeedsLayout(bool flag = true);
    // Lays out this view and every view below it that needs it (windows do this before drawing).
    void layoutSubtreeIfNeeded();
    // Places the subviews; the base solves the constraints installed here.
    virtual void layout();

    // How strongly the view resists growing beyond (hugging) or shrinking below (compression resistance)
    // its intrinsic size along an axis: 250 and 750 unless set.
    LayoutPriority contentHuggingPriority(LayoutConstraintOrientation orientation) const {
        return hugging_[static_cast<int>(orientation)];
    }
    void setContentHuggingPriority(LayoutPriority priority, LayoutConstraintOrientation orientation);
    LayoutPriority contentCompressionResistancePriority(LayoutConstraintOrientation orientation) const {
        return compressionResistance_[static_cast<int>(orientation)];
    }
    void setContentCompressionResistancePriority(LayoutPriority priority,
                                                 LayoutConstraintOrientation orientation);

    // Layout information.
    virtual graphics::Size intrinsicContentSize() const;
    virtual void invalidateIntrinsicContentSize() {}
    virtual graphics::EdgeInsets alignmentRectInsets() const { return {}; }
    // Where text lines up with neighbours: the first baseline's distance below the top of the alignment
    // rect and the last baseline's above its bottom (points). Views without text answer 0.
    virtual double firstBaselineOffsetFromTop() const { return 0; }
    virtual double lastBaselineOffsetFromBottom() const { return 0; }

    // The deepest visible view under a point given in the superview's coordinates (window coordinates
    // for the content view); the topmost subview wins. Null when the point is outside or the view hidden.
    virtual std::shared_ptr<View> hitTest(const graphics::Point& pointInSuperview);
    // The press this view was tracking ended without a mouse up (the window lost key status and with it
    // the pointer grab). The base does nothing.
    virtual void mouseTrackingCancelled() {}
    // Whether a click into an inactive window is also delivered to this view.
    virtual bool acceptsFirstMouse(const Event* event) const;

    // Context menu: the view's menu, shown on a right-click or Control-click. menuForEvent picks the
    // menu for such an event (the view's menu by default; null shows none).
    std::shared_ptr<Menu> menu() const { return menu_; }
    virtual void setMenu(std::shared_ptr<Menu> menu) { menu_ = std::move(menu); }
    virtual std::shared_ptr<Menu> menuForEvent(const Event& event);
    // Pops up menuForEvent's menu; without one the event travels on.
    void rightMouseDown(const Event& event) override;

    // Tracking areas: the window reports the pointer entering, leaving and moving in them to their owners.
    const std::vector<std::shared_ptr<TrackingArea>>& trackingAreas() const { return trackingAreas_; }
    void addTrackingArea(const std::shared_ptr<TrackingArea>& area);
    void removeTrackingArea(const std::shared_ptr<TrackingArea>& area);
    // The place to replace areas after the view's geometry changed: it runs when the view moves into
    // a window, when its size changes there, and when it or an ancestor is shown again. The base does
    // nothing. A view that is hidden or leaves its window while the pointer is in one of its areas
    // hears mouseExited for that area.
    virtual void updateTrackingAreas() {}

    // Gesture recognisers: they watch the mouse events of presses that start on this view or a view
    // below it, before the views handle them (see GestureRecognizer). The view keeps them.
    const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const {
        return gestureRecognizers_;
    }
    void addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
    void removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);

    // Cursor rects (view coordinates): over one, the window shows its cursor. resetCursorRects adds
    // them (the base adds none); the window asks for them again after invalidateCursorRects.
    virtual void resetCursorRects() {}
    void addCursorRect(const graphics::Rect& rect, const std::shared_ptr<Cursor>& cursor);
    void discardCursorRects();
    void invalidateCursorRects() { cursorRectsValid_ = false; }
    struct CursorRect {
        graphics::Rect rect;
        std::shared_ptr<Cursor> cursor;
    };
    // The cursor rects, asking resetCursorRects for them first when they are not valid.
    const std::vector<CursorRect>& cursorRects();

    // The scroll view whose document this view is in, if any.
    std::shared_ptr<ScrollView> enclosingScrollView() const;

    // Key-view loop: Tab moves keyboard focus to the next view, Shift-Tab to the previous one. Setting
    // the next key view makes this view that view's previous key view. The valid neighbours skip views
    // that cannot become key views now, walking the loop until it comes round.
    std::shared_ptr<View> nextKeyView() const { return nextKeyView_.lock(); }
    void setNextKeyView(const std::shared_ptr<View>& view);
    std::shared_ptr<View> previousKeyView() const { return previousKeyView_.lock(); }
    std::shared_ptr<View> nextValidKeyView() const;
    std::shared_ptr<View> previousValidKeyView() const;
    // Whether keyboard focus can move here now: the view accepts first responder, is in a window and
    // neither it nor an ancestor is hidden.
    virtual bool canBecomeKeyView() const;

    // Snapshots: a bitmap for rect (view coordinates) at the window's backing scale (1 outside a
    // window), and the view tree drawn into such a bitmap (what the view and its subviews draw, without
    // the window's background).
    std::shared_ptr<graphics::ImageRep> bitmapImageRepForCachingDisplay(const graphics::Rect& rect) const;
    void cacheDisplay(const graphics::Rect& rect, graphics::ImageRep& rep);

    std::int64_t tag() const { return tag_; }
    void setTag(std::int64_t tag) { tag_ = tag; }
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }
    // The view's own appearance name (empty: inherited), and the one it draws in: its own, else the
    // nearest superview's, else its window's, else the application's.
    const std::string& appearanceName() const { return appearanceName_; }
    void setAppearanceName(std::string name);
    std::string effectiveAppearanceName() const;
    const std::string& toolTip() const { return toolTip_; }
    void setToolTip(std::string toolTip) { toolTip_ = std::move(toolTip); }

private:
    friend class Window;
    LayoutAnchor anchor(LayoutAttribute attribute) { return {sharedAs<View>(), attribute}; }

    // Sets the window of this subtree, calling the window hooks around the change.
    void moveToWindow(const std::shared_ptr<Window>& window);
    void notifyWillMoveToWindow(const std::shared_ptr<Window>& window);
    void setWindowAndNotifyDidMove(const std::shared_ptr<Window>& window);
    void clearNeedsDisplayTree();
    // Tells the owners of this subtree's areas that hold the pointer that it left them.
    void exitTrackingAreas();
    // Runs updateTrackingAreas on the visible views of this subtree.
    void refreshTrackingAreas();

    std::weak_ptr<View> superview_;
    std::weak_ptr<Window> window_;
    std::vector<std::shared_ptr<View>> subviews_;
    graphics::Rect frame_;
    graphics::Point boundsOrigin_;
    bool needsDisplay_ = true;
    bool hidden_ = false;
    double alpha_ = 1.0;
    std::int64_t tag_ = -1;
    bool translatesAutoresizingMask_ = true;
    bool needsLayout_ = false;
    std::vector<std::shared_ptr<LayoutConstraint>> constraints_;
    LayoutPriority hugging_[2] = {layoutPriorityDefaultLow, layoutPriorityDefaultLow};
    LayoutPriority compressionResistance_[2] = {layoutPriorityDefaultHigh, layoutPriorityDefaultHigh};
    std::string identifier_;
    std::string appearanceName_;
    std::string toolTip_;
    std::shared_ptr<Menu> menu_;
    std::vector<std::shared_ptr<TrackingArea>> trackingAreas_;
    std::vector<std::shared_ptr<GestureRecognizer>> gestureRecognizers_;
    std::unique_ptr<Layer> layer_;
    FocusRingType focusRingType_ = FocusRingType::defaultType;
    std::vector<CursorRect> cursorRects_;
    bool cursorRectsValid_ = false;
    std::weak_ptr<View> nextKeyView_;
    std::weak_ptr<View> previousKeyView_;
};

} // namespace ui
