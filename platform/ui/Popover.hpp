#pragma once

// Popovers: a view controller's view shown in a pop-up window beside a rect of a view, on the edge the
// program prefers (the opposite one when the screen has no room there). A popover never takes the
// keyboard: showing it leaves the key window and the first responder as they are.

#include "core/Cancellable.hpp"
#include "graphics/Color.hpp"
#include "graphics/Geometry.hpp"
#include "ui/Responder.hpp"

#include <memory>
#include <string>

namespace ui {

class View;
class ViewController;
class Window;

// An edge of a rect, in the coordinates of the view the rect belongs to (AppKit's raw values): in a
// flipped view maxY is the bottom edge on the screen.
enum class RectEdge { minX = 0, minY = 1, maxX = 2, maxY = 3 };

// Who closes a popover: the program alone (application-defined), or also the user by Escape or a click
// outside the popover in the window it was shown from (transient and semi-transient alike here).
enum class PopoverBehavior { applicationDefined = 0, transient = 1, semitransient = 2 };

class Popover : public Responder {
public:
    // Space between the positioning rect and the popover, in points.
    static constexpr double gap = 2;

    Popover();
    // Closes the popover.
    ~Popover() override;

    std::shared_ptr<ViewController> contentViewController() const { return contentViewController_; }
    void setContentViewController(std::shared_ptr<ViewController> controller);
    // The size of the content view while shown; a shown popover takes a new size at once.
    const graphics::Size& contentSize() const { return contentSize_; }
    void setContentSize(const graphics::Size& size);
    PopoverBehavior behavior() const { return behavior_; }
    void setBehavior(PopoverBehavior behavior);
    // Kept for callers; popovers appear and go at once.
    bool animates() const { return animates_; }
    void setAnimates(bool flag) { animates_ = flag; }
    // The appearance its window draws in (empty: the application's).
    const std::string& appearanceName() const { return appearanceName_; }
    void setAppearanceName(std::string name) { appearanceName_ = std::move(name); }
    // What fills the popover behind its content (the window background colour unless set).
    graphics::ColorRef backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(graphics::ColorRef color);

    bool isShown() const { return window_ != nullptr; }
    // Where it was last shown; the view is held weakly.
    std::shared_ptr<View> positioningView() const { return positioningView_.lock(); }
    const graphics::Rect& positioningRect() const { return positioningRect_; }
    RectEdge preferredEdge() const { return preferredEdge_; }
    // The edge of the positioning rect (in the view's coordinates) it is shown on, while shown.
    RectEdge shownEdge() const { return shownEdge_; }
    // The pop-up window while shown, else null.
    std::shared_ptr<Window> window() const { return window_; }

    // Shows the content beside rect (in view's coordinates) on preferredEdge, or moves a shown popover
    // there. Nothing happens when the view is in no window. The popover goes when that window is closed
    // or ordered out; a transient one also on Escape or a press in that window (the current anchor's).
    virtual void show(const graphics::Rect& rect, const std::shared_ptr<View>& view, RectEdge preferredEdge);
    // Takes the popover off the screen; nothing when it is not shown.
    virtual void close();
    // Closes the popover as the user would (there is nobody to ask first).
    void performClose(const std::shared_ptr<Object>& sender);

    // Where a popover of size goes beside anchor (screen coordinates, y up) on an edge given in screen
    // terms (maxY: above), inside visible when there is one (empty: no limit): on the opposite edge when
    // only that one has room, moved along the edge to stay on the screen. usedEdge receives the edge.
    static graphics::Rect frameBeside(const graphics::Rect& anchor, const graphics::Size& size, RectEdge edge,
                                      const graphics::Rect& visible, RectEdge* usedEdge = nullptr);

private:
    void place();
    void watchForDismissal(Window& anchorWindow);
    // Follows the window of the current positioning view: it closing or ordering out closes the popover.
    void watchAnchorWindow(Window& anchorWindow);

    std::shared_ptr<ViewController> contentViewController_;
    graphics::Size contentSize_;
    PopoverBehavior behavior_ = PopoverBehavior::applicationDefined;
    bool animates_ = true;
    std::string appearanceName_;
    graphics::ColorRef backgroundColor_;
    std::weak_ptr<View> positioningView_;
    graphics::Rect positioningRect_;
    RectEdge preferredEdge_ = RectEdge::maxY;
    RectEdge shownEdge_ = RectEdge::maxY;
    std::shared_ptr<Window> window_;
    core::Cancellable dismissal_;
    std::weak_ptr<Window> anchorWindow_;
    core::Cancellable anchorOrderOut_;
};

} // namespace ui
