#include "ui/Popover.hpp"

#include "core/Log.hpp"
#include "ui/Event.hpp"
#include "ui/Screen.hpp"
#include "ui/View.hpp"
#include "ui/ViewController.hpp"
#include "ui/Window.hpp"
#include "ui/WindowBackend.hpp"

#include <algorithm>

namespace ui {

using graphics::Point;
using graphics::Rect;
using graphics::Size;

namespace {

RectEdge opposite(RectEdge edge) {
    switch (edge) {
    case RectEdge::minX:
        return RectEdge::maxX;
    case RectEdge::maxX:
        return RectEdge::minX;
    case RectEdge::minY:
        return RectEdge::maxY;
    case RectEdge::maxY:
        return RectEdge::minY;
    }
    return edge;
}

// The popover's frame on one edge of the anchor, centred along it.
Rect frameOnEdge(const Rect& anchor, const Size& size, RectEdge edge) {
    switch (edge) {
    case RectEdge::minX:
        return Rect(anchor.minX() - Popover::gap - size.width, anchor.midY() - size.height / 2, size.width,
                    size.height);
    case RectEdge::maxX:
        return Rect(anchor.maxX() + Popover::gap, anchor.midY() - size.height / 2, size.width, size.height);
    case RectEdge::minY:
        return Rect(anchor.midX() - size.width / 2, anchor.minY() - Popover::gap - size.height, size.width,
                    size.height);
    case RectEdge::maxY:
        return Rect(anchor.midX() - size.width / 2, anchor.maxY() + Popover::gap, size.width, size.height);
    }
    return {};
}

// Whether the frame keeps within the visible area across the edge it sits on.
bool fits(const Rect& frame, RectEdge edge, const Rect& visible) {
    if (edge == RectEdge::minX || edge == RectEdge::maxX) {
        return frame.minX() >= visible.minX() && frame.maxX() <= visible.maxX();
    }
    return frame.minY() >= visible.minY() && frame.maxY() <= visible.maxY();
}

double clampInto(double origin, double length, double low, double high) {
    return std::max(low, std::min(origin, high - length));
}

} // namespace

Popover::Popover() : backgroundColor_(graphics::Color::windowBackgroundColor()) {}

Popover::~Popover() {
    close();
}

void Popover::setContentViewController(std::shared_ptr<ViewController> controller) {
    contentViewController_ = std::move(controller);
    if (window_ && contentViewController_) {
        window_->setContentViewController(contentViewController_);
        place();
    }
}

void Popover::setContentSize(const Size& size) {
    contentSize_ = size;
    if (window_) {
        place();
    }
}

void Popover::setBehavior(PopoverBehavior behavior) {
    behavior_ = behavior;
    if (window_) {
        dismissal_.cancel();
        if (auto anchorWindow = anchorWindow_.lock()) {
            watchForDismissal(*anchorWindow);
        }
    }
}

void Popover::setBackgroundColor(graphics::ColorRef color) {
    backgroundColor_ = std::move(color);
    if (window_) {
        window_->setBackgroundColor(backgroundColor_);
    }
}

Rect Popover::frameBeside(const Rect& anchor, const Size& size, RectEdge edge, const Rect& visible,
                          RectEdge* usedEdge) {
    Rect frame = frameOnEdge(anchor, size, edge);
    if (!visible.isEmpty()) {
        if (!fits(frame, edge, visible)) {
            const Rect other = frameOnEdge(anchor, size, opposite(edge));
            if (fits(other, opposite(edge), visible)) {
                frame = other;
                edge = opposite(edge);
            }
        }
        if (edge == RectEdge::minX || edge == RectEdge::maxX) {
            frame.origin.y = clampInto(frame.minY(), size.height, visible.minY(), visible.maxY());
        } else {
            frame.origin.x = clampInto(frame.minX(), size.width, visible.minX(), visible.maxX());
        }
    }
    if (usedEdge) {
        *usedEdge = edge;
    }
    return frame;
}

void Popover::show(const Rect& rect, const std::shared_ptr<View>& view, RectEdge preferredEdge) {
    auto anchorWindow = view ? view->window() : nullptr;
    if (!anchorWindow) {
        core::log("A popover was shown beside a view that is in no window");
        return;
    }
    positioningView_ = view;
    positioningRect_ = rect;
    preferredEdge_ = preferredEdge;
    if (!window_) {
        window_ =
            Window::make(Rect({}, contentSize_), WindowStyle::borderless | WindowStyle::nonactivatingPanel);
        window_->setBackgroundColor(backgroundColor_);
        window_->setAppearanceName(appearanceName_.empty() ? anchorWindow->effectiveAppearanceName()
                                                           : appearanceName_);
        window_->setBackingScaleFactor(anchorWindow->backingScaleFactor());
        if (contentViewController_) {
            window_->setContentViewController(contentViewController_);
        }
        if (auto backend = anchorWindow->backend()) {
            window_->setBackend(backend->makeBackend(window_));
        }
    }
    if (anchorWindow_.lock() != anchorWindow) {
        watchAnchorWindow(*anchorWindow);
    }
    place();
    window_->orderFront();
}

void Popover::place() {
    auto view = positioningView();
    auto anchorWindow = view ? view->window() : nullptr;
    if (!window_ || !anchorWindow) {
        return;
    }
    const Rect anchor = anchorWindow->convertRectToScreen(view->convertRectToView(positioningRect_, nullptr));
    // Edges are the view's: in a flipped view the maximum-y edge is the lower one on the screen.
    RectEdge screenEdge = preferredEdge_;
    const bool vertical = preferredEdge_ == RectEdge::minY || preferredEdge_ == RectEdge::maxY;
    if (vertical && view->isFlipped()) {
        screenEdge = opposite(screenEdge);
    }
    Rect visible;
    if (auto screen = anchorWindow->screen()) {
        visible = screen->visibleFrame();
    }
    RectEdge used = screenEdge;
    const Rect frame = frameBeside(anchor, contentSize_, screenEdge, visible, &used);
    shownEdge_ = vertical && view->isFlipped() ? opposite(used) : used;
    if (window_->contentAreaRect().size != frame.size) {
        window_->setContentSize(frame.size);
    }
    window_->setFrameOrigin(frame.origin);
}

void Popover::watchAnchorWindow(Window& anchorWindow) {
    anchorWindow_ = anchorWindow.sharedAs<Window>();
    anchorOrderOut_ = anchorWindow.observeOrderOut([this] {
        auto self = weak_from_this().lock(); // the owner may let go of it when it closes
        close();
    });
    dismissal_.cancel();
    watchForDismissal(anchorWindow);
}

void Popover::watchForDismissal(Window& anchorWindow) {
    if (behavior_ == PopoverBehavior::applicationDefined) {
        return;
    }
    dismissal_ = anchorWindow.addEventMonitor([this](const Event& event) {
        const bool escape = event.type == EventType::keyDown && event.specialKey() == SpecialKey::escape;
        const bool press = event.type == EventType::leftMouseDown ||
                           event.type == EventType::rightMouseDown || event.type == EventType::otherMouseDown;
        if (escape || press) {
            auto self = weak_from_this().lock(); // the owner may let go of it when it closes
            performClose(nullptr);
        }
        return escape; // a press outside still reaches its window
    });
}

void Popover::close() {
    dismissal_.cancel();
    anchorOrderOut_.cancel();
    anchorWindow_.reset();
    if (!window_) {
        return;
    }
    auto window = std::move(window_);
    window->orderOut();
    window->close();
}

void Popover::performClose(const std::shared_ptr<Object>&) {
    close();
}

} // namespace ui
