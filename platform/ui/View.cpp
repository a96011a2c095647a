#include "ui/View.hpp"

#include "ui/Application.hpp"
#include "ui/Cursor.hpp"
#include "ui/GestureRecognizer.hpp"
#include "ui/Menu.hpp"
#include "ui/Window.hpp"

#include <algorithm>

namespace ui {

using graphics::AffineTransform;
using graphics::Point;
using graphics::Rect;
using graphics::Size;

View::View(const Rect& frame) : frame_(frame) {}

View::~View() {
    if (layer_) {
        layer_->view_ = nullptr;
    }
    for (auto& recognizer : gestureRecognizers_) {
        recognizer->view_ = nullptr;
    }
}

void Layer::setOpacity(double opacity) {
    opacity = std::clamp(opacity, 0.0, 1.0);
    if (opacity != opacity_) {
        opacity_ = opacity;
        if (view_) {
            view_->setNeedsDisplay();
        }
    }
}

void Layer::setBackgroundColor(graphics::ColorRef color) {
    backgroundColor_ = std::move(color);
    if (view_) {
        view_->setNeedsDisplay();
    }
}

void View::addSubview(const std::shared_ptr<View>& view) {
    addSubview(view, Ordering::above, nullptr);
}

void View::addSubview(const std::shared_ptr<View>& view, Ordering place,
                      const std::shared_ptr<View>& relativeTo) {
    if (!view || view.get() == this || isDescendantOf(*view)) {
        return; // a view cannot contain itself or its own ancestor
    }
    auto self = sharedAs<View>();
    auto newWindow = window();
    const bool windowChanges = view->window() != newWindow;
    if (view->superview().get() != this) {
        view->viewWillMoveToSuperview(self);
    }
    if (windowChanges) {
        view->notifyWillMoveToWindow(newWindow);
    }
    if (auto old = view->superview()) {
        // Leave the old place without the removal hooks: this is a move. What the view drew there may
        // reach past the old superview's area.
        view->setNeedsDisplay();
        old->willRemoveSubview(view);
        auto& siblings = old->subviews_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), view), siblings.end());
        old->setNeedsDisplay();
    }
    auto at = std::find(subviews_.begin(), subviews_.end(), relativeTo);
    if (!relativeTo || at == subviews_.end()) {
        at = place == Ordering::above ? subviews_.end() : subviews_.begin();
    } else if (place == Ordering::above) {
        ++at;
    }
    subviews_.insert(at, view);
    view->superview_ = self;
    view->setNextResponder(self);
    if (windowChanges) {
        view->setWindowAndNotifyDidMove(newWindow);
    }
    view->viewDidMoveToSuperview();
    didAddSubview(view);
    view->setNeedsDisplay();
}

void View::removeFromSuperview() {
    auto parent = superview();
    if (!parent) {
        return;
    }
    auto self = sharedAs<View>(); // keep alive through the hooks
    viewWillMoveToSuperview(nullptr);
    const bool hadWindow = window() != nullptr;
    if (hadWindow) {
        setNeedsDisplay(); // what it drew may reach past the superview's area
        exitTrackingAreas();
        notifyWillMoveToWindow(nullptr);
        if (auto w = window()) {
            w->viewWillLeaveWindow(*this);
        }
    }
    parent->willRemoveSubview(self);
    auto& siblings = parent->subviews_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), self), siblings.end());
    superview_.reset();
    setNextResponder(nullptr);
    parent->setNeedsDisplay();
    if (hadWindow) {
        setWindowAndNotifyDidMove(nullptr);
    }
    viewDidMoveToSuperview();
}

bool View::isDescendantOf(const View& ancestor) const {
    for (auto v = this; v;) {
        if (v == &ancestor) {
            return true;
        }
        auto parent = v->superview_.lock();
        v = parent.get();
    }
    return false;
}

void View::viewWillMoveToSuperview(const std::shared_ptr<View>&) {}
void View::viewDidMoveToSuperview() {}
void View::viewWillMoveToWindow(const std::shared_ptr<Window>&) {}
void View::viewDidMoveToWindow() {}
void View::didAddSubview(const std::shared_ptr<View>&) {}
void View::willRemoveSubview(const std::shared_ptr<View>&) {}

void View::moveToWindow(const std::shared_ptr<Window>& window) {
    if (this->window() == window) {
        return;
    }
    if (this->window()) {
        exitTrackingAreas();
    }
    notifyWillMoveToWindow(window);
    if (auto old = this->window()) {
        old->viewWillLeaveWindow(*this);
    }
    setWindowAndNotifyDidMove(window);
}

void View::notifyWillMoveToWindow(const std::shared_ptr<Window>& window) {
    viewWillMoveToWindow(window);
    for (auto& sub : std::vector(subviews_)) {
        sub->notifyWillMoveToWindow(window);
    }
}

void View::setWindowAndNotifyDidMove(const std::shared_ptr<Window>& window) {
    window_ = window;
    for (auto& sub : std::vector(subviews_)) {
        sub->setWindowAndNotifyDidMove(window);
    }
    viewDidMoveToWindow();
    if (window) {
        cursorRectsValid_ = false;
        updateTrackingAreas();
        setNeedsDisplay();
    }
}

void View::setFrame(const Rect& frame) {
    if (frame == frame_) {
        return;
    }
    if (auto parent = superview()) {
        parent->setNeedsDisplay();
    }
    // Where the view drew until now (an overhang may reach past the superview's area).
    setNeedsDisplay();
    const bool resized = frame.size != frame_.size;
    frame_ = frame;
    setNeedsDisplay();
    if (resized && !constraints_.empty()) {
        setNeedsLayout();
    }
    if (resized && window()) {
        updateTrackingAreas();
    }
}

void View::setFrameOrigin(const Point& origin) {
    setFrame({origin, frame_.size});
}

void View::setFrameSize(const Size& size) {
    setFrame({frame_.origin, size});
}

void View::setBoundsOrigin(const Point& origin) {
    if (origin == boundsOrigin_) {
        return;
    }
    boundsOrigin_ = origin;
    setNeedsDisplay();
}

AffineTransform View::transformToSuperview() const {
    // A child whose orientation differs from its parent's is mirrored inside its frame.
    auto parent = superview();
    const bool parentFlipped = parent ? parent->isFlipped() : false;
    AffineTransform t = AffineTransform::makeTranslation(-boundsOrigin_.x, -boundsOrigin_.y);
    if (isFlipped() != parentFlipped) {
        t = t.concatenating(AffineTransform::makeScale(1, -1))
                .concatenating(AffineTransform::makeTranslation(0, frame_.size.height));
    }
    return t.concatenating(AffineTransform::makeTranslation(frame_.origin.x, frame_.origin.y));
}

AffineTransform View::transformToWindow() const {
    AffineTransform t = transformToSuperview();
    for (auto v = superview(); v; v = v->superview()) {
        t = t.concatenating(v->transformToSuperview());
    }
    return t;
}

Point View::convertPointToView(const Point& point, const View* view) const {
    Point p = transformToWindow().apply(point);
    return view ? view->transformToWindow().inverted().apply(p) : p;
}

Point View::convertPointFromView(const Point& point, const View* view) const {
    Point p = view ? view->transformToWindow().apply(point) : point;
    return transformToWindow().inverted().apply(p);
}

Rect View::convertRectToView(const Rect& rect, const View* view) const {
    Rect r = transformToWindow().apply(rect);
    return view ? view->transformToWindow().inverted().apply(r) : r;
}

Rect View::convertRectFromView(const Rect& rect, const View* view) const {
    Rect r = view ? view->transformToWindow().apply(rect) : rect;
    return transformToWindow().inverted().apply(r);
}

void View::setNeedsDisplay(bool flag) {
    needsDisplay_ = flag;
    if (flag) {
        if (auto w = window()) {
            w->setNeedsDisplayInRect(convertRectToView(redrawRect(), nullptr));
        }
    }
}

Rect View::drawingRect() const {
    const graphics::EdgeInsets o = paintOverhang();
    return bounds().insetBy(graphics::EdgeInsets{-o.top, -o.left, -o.bottom, -o.right}, isFlipped());
}

Rect View::redrawRect() const {
    Rect reach = drawingRect();
    if (clipsDescendants()) {
        return reach;
    }
    for (const auto& sub : subviews_) {
        if (sub->hidden_) {
            continue;
        }
        const Rect subReach = sub->redrawRect();
        if (!subReach.isEmpty()) {
            reach = reach.unionWith(sub->transformToSuperview().apply(subReach));
        }
    }
    return reach;
}

graphics::EdgeInsets View::overhangOf(const Rect& drawn) const {
    const Rect b = bounds().standardized();
    const Rect r = drawn.standardized();
    if (r.isNull() || r.isEmpty()) {
        return {};
    }
    const double left = std::max(0.0, b.minX() - r.minX());
    const double right = std::max(0.0, r.maxX() - b.maxX());
    const double below = std::max(0.0, b.minY() - r.minY());
    const double above = std::max(0.0, r.maxY() - b.maxY());
    return isFlipped() ? graphics::EdgeInsets{below, left, above, right}
                       : graphics::EdgeInsets{above, left, below, right};
}

void View::setNeedsDisplayInRect(const Rect& rect) {
    needsDisplay_ = true;
    if (auto w = window()) {
        w->setNeedsDisplayInRect(convertRectToView(rect.intersection(redrawRect()), nullptr));
    }
}

void View::draw(const Rect&) {}

void View::displayTree(graphics::GraphicsContext& context, const Rect& dirtyRectInSuperview) {
    // A layer's opacity multiplies the alpha value: both fade the view and its subviews as one group.
    const double opacity = alpha_ * (layer_ ? layer_->opacity() : 1.0);
    if (hidden_ || opacity <= 0) {
        return;
    }
    const AffineTransform toSuperview = transformToSuperview();
    const Rect visible = drawingRect();
    const bool clips = clipsDescendants();
    Rect dirty = toSuperview.inverted().apply(dirtyRectInSuperview);
    const Rect ownDirty = dirty.intersection(visible);
    if (clips) {
        dirty = ownDirty;
    } else if (ownDirty.isNull()) {
        // Only the subviews' drawing past the drawing rect may need it.
        dirty = dirty.intersection(redrawRect());
    }
    if (dirty.isNull()) {
        return;
    }
    graphics::GraphicsContext::StateGuard guard(context);
    context.concat(toSuperview);
    context.setFlipped(isFlipped());
    if (clips) {
        context.clipToRect(visible);
    }
    const bool layered = opacity < 1.0;
    if (layered) {
        context.beginTransparencyLayer(opacity);
    }
    if (!ownDirty.isNull()) {
        graphics::GraphicsContext::StateGuard drawGuard(context);
        context.clipToRect(visible);
        if (layer_ && layer_->backgroundColor()) {
            context.fillRect(visible, layer_->backgroundColor());
        }
        draw(ownDirty);
    }
    for (auto& sub : std::vector(subviews_)) {
        if (displaysSubviewAfterContent(*sub)) {
            sub->displayTree(context, dirty);
        }
    }
    if (layered) {
        context.endTransparencyLayer();
    }
}

void View::clearNeedsDisplayTree() {
    needsDisplay_ = false;
    for (auto& sub : subviews_) {
        sub->clearNeedsDisplayTree();
    }
}

void View::setHidden(bool hidden) {
    if (hidden == hidden_) {
        return;
    }
    if (hidden) {
        // A hidden view cannot keep keyboard focus, nor the pointer.
        if (auto w = window()) {
            exitTrackingAreas();
            w->viewWillLeaveWindow(*this);
        }
    }
    if (hidden) {
        setNeedsDisplay(); // what it drew may reach past the superview's area
    }
    hidden_ = hidden;
    if (!hidden && window() && !isHiddenOrHasHiddenAncestor()) {
        refreshTrackingAreas();
    }
    if (auto parent = superview()) {
        parent->setNeedsDisplay();
    } else if (!hidden) {
        setNeedsDisplay();
    }
}

bool View::isHiddenOrHasHiddenAncestor() const {
    for (auto v = this; v;) {
        if (v->hidden_) {
            return true;
        }
        auto parent = v->superview_.lock();
        v = parent.get();
    }
    return false;
}

void View::setAlphaValue(double alpha) {
    alpha = std::clamp(alpha, 0.0, 1.0);
    if (alpha == alpha_) {
        return;
    }
    alpha_ = alpha;
    setNeedsDisplay();
}

void View::setWantsLayer(bool flag) {
    if (flag == wantsLayer()) {
        return;
    }
    if (flag) {
        layer_.reset(new Layer(this));
    } else {
        layer_->view_ = nullptr;
        layer_.reset();
    }
    setNeedsDisplay();
}

void View::setFocusRingType(FocusRingType type) {
    if (type != focusRingType_) {
        focusRingType_ = type;
        noteFocusRingMaskChanged();
    }
}

void View::drawFocusRingMask() {
    const Rect mask = focusRingMaskBounds();
    auto* context = graphics::GraphicsContext::current();
    if (context && !mask.isEmpty()) {
        context->fillRect(mask, graphics::Color::black());
    }
}

void View::noteFocusRingMaskChanged() {
    // The ring reaches beyond the view's bounds, so the area around the mask is drawn again too.
    if (auto w = window()) {
        const Rect mask = focusRingMaskBounds();
        if (!mask.isEmpty()) {
            w->setNeedsDisplayInRect(
                convertRectToView(mask.insetBy(-focusRingWidth - 1, -focusRingWidth - 1), nullptr));
        }
    }
}

void View::setTranslatesAutoresizingMaskIntoConstraints(bool flag) {
    translatesAutoresizingMask_ = flag;
    if (auto parent = superview()) {
        parent->setNeedsLayout();
    }
}

void View::addConstraint(const std::shared_ptr<LayoutConstraint>& constraint) {
    if (constraint && std::find(constraints_.begin(), constraints_.end(), constraint) == constraints_.end()) {
        constraints_.push_back(constraint);
        setNeedsLayout();
    }
}

void View::removeConstraint(const std::shared_ptr<LayoutConstraint>& constraint) {
    const auto before = constraints_.size();
    std::erase(constraints_, constraint);
    if (constraints_.size() != before) {
        setNeedsLayout();
    }
}

void View::setNeedsLayout(bool flag) {
    needsLayout_ = flag;
    if (flag) {
        // Layout runs in the window's next display pass.
        if (auto w = window()) {
            w->setViewsNeedDisplay(true);
        }
    }
}

void View::layoutSubtreeIfNeeded() {
    if (needsLayout_) {
        needsLayout_ = false;
        layout();
    }
    for (auto& sub : std::vector(subviews_)) {
        sub->layoutSubtreeIfNeeded();
    }
}

void View::layout() {
    solveConstraints(*this);
}

Size View::intrinsicContentSize() const {
    return {noIntrinsicMetric, noIntrinsicMetric};
}

std::shared_ptr<View> View::hitTest(const Point& pointInSuperview) {
    if (hidden_) {
        return nullptr;
    }
    const Point local = transformToSuperview().inverted().apply(pointInSuperview);
    if (!bounds().contains(local)) {
        return nullptr;
    }
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        if (auto hit = (*it)->hitTest(local)) {
            return hit;
        }
    }
    return sharedAs<View>();
}

bool View::acceptsFirstMouse(const Event*) const {
    return false;
}

std::shared_ptr<Menu> View::menuForEvent(const Event& event) {
    const bool secondary =
        event.type == EventType::rightMouseDown ||
        (event.type == EventType::leftMouseDown && (event.modifierFlags & Modifier::control));
    return secondary ? menu_ : nullptr;
}

void View::rightMouseDown(const Event& event) {
    if (auto m = menuForEvent(event)) {
        Menu::popUpContextMenu(m, event, sharedAs<View>());
        return;
    }
    Responder::rightMouseDown(event);
}

void View::addTrackingArea(const std::shared_ptr<TrackingArea>& area) {
    if (area && std::find(trackingAreas_.begin(), trackingAreas_.end(), area) == trackingAreas_.end()) {
        trackingAreas_.push_back(area);
    }
}

void View::removeTrackingArea(const std::shared_ptr<TrackingArea>& area) {
    std::erase(trackingAreas_, area);
}

void View::exitTrackingAreas() {
    std::vector<std::pair<std::shared_ptr<Responder>, std::shared_ptr<TrackingArea>>> left;
    std::vector<View*> stack{this};
    while (!stack.empty()) {
        View* v = stack.back();
        stack.pop_back();
        for (const auto& area : v->trackingAreas_) {
            if (area->isInside()) {
                area->setInside(false);
                auto owner = area->owner();
                if (owner && (area->options() & TrackingAreaOptions::mouseEnteredAndExited)) {
                    left.emplace_back(std::move(owner), area);
                }
            }
        }
        for (const auto& sub : v->subviews_) {
            stack.push_back(sub.get());
        }
    }
    if (left.empty()) {
        return;
    }
    auto app = Application::shared();
    Event e = app->currentEvent() ? *app->currentEvent() : Event{};
    e.type = EventType::mouseExited;
    e.window = window();
    for (const auto& [owner, area] : left) {
        e.trackingArea = area;
        Application::CurrentEventScope scope(*app, e);
        owner->mouseExited(e);
    }
}

void View::refreshTrackingAreas() {
    if (hidden_) {
        return;
    }
    updateTrackingAreas();
    for (auto& sub : std::vector(subviews_)) {
        sub->refreshTrackingAreas();
    }
}

void View::addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer) {
    if (!recognizer || recognizer->view_ == this) {
        return;
    }
    if (recognizer->view_) {
        recognizer->view_->removeGestureRecognizer(recognizer);
    }
    recognizer->view_ = this;
    gestureRecognizers_.push_back(recognizer);
}

void View::removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer) {
    if (recognizer && recognizer->view_ == this) {
        recognizer->view_ = nullptr;
        std::erase(gestureRecognizers_, recognizer);
    }
}

void View::addCursorRect(const Rect& rect, const std::shared_ptr<Cursor>& cursor) {
    if (cursor && !rect.isEmpty()) {
        cursorRects_.push_back({rect, cursor});
    }
}

void View::discardCursorRects() {
    cursorRects_.clear();
}

const std::vector<View::CursorRect>& View::cursorRects() {
    if (!cursorRectsValid_) {
        cursorRectsValid_ = true;
        discardCursorRects();
        resetCursorRects();
    }
    return cursorRects_;
}

void View::setContentHuggingPriority(LayoutPriority priority, LayoutConstraintOrientation orientation) {
    hugging_[static_cast<int>(orientation)] = priority;
    invalidateIntrinsicContentSize();
}

void View::setContentCompressionResistancePriority(LayoutPriority priority,
                                                   LayoutConstraintOrientation orientation) {
    compressionResistance_[static_cast<int>(orientation)] = priority;
    invalidateIntrinsicContentSize();
}

void View::setAppearanceName(std::string name) {
    if (name != appearanceName_) {
        appearanceName_ = std::move(name);
        setNeedsDisplay(true);
    }
}

std::string View::effectiveAppearanceName() const {
    for (const View* view = this; view; view = view->superview_.lock().get()) {
        if (!view->appearanceName_.empty()) {
            return view->appearanceName_;
        }
    }
    if (const auto w = window()) {
        return w->effectiveAppearanceName();
    }
    return Application::shared()->effectiveAppearanceName();
}

} // namespace ui
