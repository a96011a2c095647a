#include "ui/Window.hpp"

#include "graphics/DrawRecorder.hpp"
#include "ui/Application.hpp"
#include "ui/Cursor.hpp"
#include "ui/Menu.hpp"
#include "ui/MenuTracking.hpp"

#include <cairo.h>
#include <utility>

namespace ui {

using graphics::Point;
using graphics::Rect;
using graphics::Size;

Window::Window(const Rect& contentRect)
    : frame_(contentRect), backgroundColor_(graphics::Color::windowBackgroundColor()) {}

Window::~Window() {
    if (contentView_) {
        // Views may outlive their window; they must not keep pointing at it.
        contentView_->setWindowAndNotifyDidMove(nullptr);
        contentView_->setNextResponder(nullptr);
    }
}

void Window::setUp() {
    Application::shared()->addWindow(sharedAs<Window>());
    setContentView(std::make_shared<View>(Rect({0, 0}, frame_.size)));
}

void Window::setContentView(const std::shared_ptr<View>& view) {
    if (view == contentView_) {
        return;
    }
    auto self = sharedAs<Window>();
    if (contentView_) {
        auto old = contentView_;
        old->moveToWindow(nullptr);
        old->setNextResponder(nullptr);
        contentView_.reset();
    }
    if (!view) {
        setViewsNeedDisplay(true);
        return;
    }
    view->removeFromSuperview();
    if (auto other = view->window(); other && other.get() != this) {
        other->setContentView(std::make_shared<View>(Rect({0, 0}, other->frame().size)));
    }
    contentView_ = view;
    view->setNextResponder(self);
    view->setFrame(Rect({0, 0}, frame_.size));
    view->moveToWindow(self);
    setViewsNeedDisplay(true);
}

void Window::resizeContent() {
    if (contentView_) {
        contentView_->setFrame(Rect({0, 0}, frame_.size));
    }
    setViewsNeedDisplay(true);
}

void Window::setFrame(const Rect& frame) {
    const bool resized = frame.size != frame_.size;
    frame_ = frame;
    if (resized) {
        if (backend_) {
            backend_->setContentSize(frame.size);
        }
        resizeContent();
    }
}

void Window::setFrameOrigin(const Point& origin) {
    frame_.origin = origin;
}

void Window::setContentSize(const Size& size) {
    setFrame(Rect(frame_.origin, size));
}

void Window::setTitle(const std::string& title) {
    title_ = title;
    if (backend_) {
        backend_->setTitle(title);
    }
}

void Window::setBackgroundColor(graphics::ColorRef color) {
    backgroundColor_ = std::move(color);
    setViewsNeedDisplay(true);
}

std::shared_ptr<Responder> Window::firstResponder() const {
    if (auto r = firstResponder_.lock()) {
        return r;
    }
    return std::const_pointer_cast<Window>(sharedAs<Window>());
}

bool Window::makeFirstResponder(const std::shared_ptr<Responder>& responder) {
    auto self = sharedAs<Window>();
    auto current = firstResponder();
    auto wanted = responder ? responder : std::static_pointer_cast<Responder>(self);
    if (current == wanted) {
        return true;
    }
    if (current != self && !current->resignFirstResponder()) {
        return false;
    }
    // The old responder has let go; until the new one accepts, the window holds the role.
    firstResponder_.reset();
    if (auto oldView = std::dynamic_pointer_cast<View>(current)) {
        oldView->setNeedsDisplay();
    }
    if (wanted == self) {
        return true;
    }
    if (auto view = std::dynamic_pointer_cast<View>(wanted);
        view && (view->window() != self || view->isHiddenOrHasHiddenAncestor())) {
        return false;
    }
    if (!wanted->acceptsFirstResponder() || !wanted->becomeFirstResponder()) {
        return false;
    }
    firstResponder_ = wanted;
    if (auto view = std::dynamic_pointer_cast<View>(wanted)) {
        view->setNeedsDisplay();
    }
    return true;
}

bool Window::isKeyWindow() const {
    return Application::shared()->keyWindow().get() == this;
}

void Window::makeKeyWindow() {
    if (closed_) {
        return;
    }
    Application::shared()->setKeyWindow(sharedAs<Window>());
}

void Window::makeKeyAndOrderFront() {
    orderFront();
    makeKeyWindow();
}

void Window::resignKey() {
    auto app = Application::shared();
    if (app->keyWindow().get() == this) {
        app->setKeyWindow(nullptr);
    }
}

void Window::becomeKeyWindow() {
    // Focus rings and key-dependent looks change.
    setViewsNeedDisplay(true);
    if (contentView_) {
        contentView_->setNeedsDisplay();
    }
}

void Window::resignKeyWindow() {
    // The pointer grab goes with key status: the view tracking a press hears that it ended.
    if (auto tracked = std::exchange(trackingView_, {}).lock()) {
        tracked->mouseTrackingCancelled();
    }
    setViewsNeedDisplay(true);
    if (contentView_) {
        contentView_->setNeedsDisplay();
    }
}

void Window::orderFront() {
    if (closed_) {
        return;
    }
    visible_ = true;
    if (backend_) {
        backend_->orderFront();
    }
    setViewsNeedDisplay(true);
}

void Window::close() {
    if (closed_) {
        return;
    }
    auto self = sharedAs<Window>(); // stay alive through the hooks
    windowWillClose();
    // A menu opened from the window goes with it (its pointer grab too).
    if (auto tracking = menuTracking_) {
        tracking->cancel();
        menuTracking_.reset();
    }
    closed_ = true;
    visible_ = false;
    trackingView_.reset();
    resignKey();
    Application::shared()->removeWindow(*this);
    if (auto backend = std::move(backend_)) {
        backend->close();
    }
}

void Window::performClose() {
    if (!closed_ && windowShouldClose()) {
        close();
    }
}

double Window::backingScaleFactor() const {
    return backend_ ? backend_->backingScaleFactor() : scale_;
}

void Window::setBackingScaleFactor(double scale) {
    if (scale > 0 && scale != scale_) {
        scale_ = scale;
        setViewsNeedDisplay(true);
    }
}

void Window::setBackend(std::shared_ptr<WindowBackend> backend) {
    backend_ = std::move(backend);
    if (backend_) {
        scale_ = backend_->backingScaleFactor();
        const Size size = backend_->size();
        if (size.width > 0 && size.height > 0 && size != frame_.size) {
            frame_.size = size;
            resizeContent();
        }
        backend_->setTitle(title_);
        if (visible_) {
            backend_->orderFront();
        }
        // The new back end has never been drawn, whatever the views think.
        viewsNeedDisplay_ = true;
        wholeWindowDirty_ = true;
        backend_->invalidate();
    }
}

void Window::backendDidResize(const Size& size) {
    if (size == frame_.size) {
        return;
    }
    frame_.size = size;
    resizeContent();
}

void Window::backendDidChangeScale(double scale) {
    if (scale > 0 && scale != scale_) {
        scale_ = scale;
        setViewsNeedDisplay(true);
    }
}

void Window::viewWillLeaveWindow(View& view) {
    if (auto r = std::dynamic_pointer_cast<View>(firstResponder_.lock()); r && r->isDescendantOf(view)) {
        firstResponder_.reset();
    }
    if (auto t = trackingView_.lock(); t && t->isDescendantOf(view)) {
        trackingView_.reset();
    }
}

void Window::setViewsNeedDisplay(bool flag) {
    if (flag && !viewsNeedDisplay_ && backend_ && !displaying_) {
        backend_->invalidate();
    }
    viewsNeedDisplay_ = flag;
    wholeWindowDirty_ = flag;
    if (!flag) {
        dirtyRect_ = Rect::null();
    }
}

void Window::setNeedsDisplayInRect(const Rect& rect) {
    if (rect.isNull() || rect.isEmpty()) {
        return;
    }
    if (!viewsNeedDisplay_ && backend_ && !displaying_) {
        backend_->invalidate();
    }
    viewsNeedDisplay_ = true;
    dirtyRect_ = dirtyRect_.isNull() ? rect : dirtyRect_.unionWith(rect);
}

Rect Window::dirtyRect() const {
    const Rect all({0, 0}, frame_.size);
    if (wholeWindowDirty_ || dirtyRect_.isNull()) {
        return all;
    }
    // Whole device pixels, so antialiased edges at the rect's border are drawn again in full.
    return dirtyRect_.integral().intersection(all);
}

void Window::displayIfNeeded() {
    if (viewsNeedDisplay_) {
        display();
    }
}

void Window::drawContent(graphics::GraphicsContext& context) {
    drawContent(context, Rect({0, 0}, frame_.size));
}

void Window::drawContent(graphics::GraphicsContext& context, const Rect& area) {
    graphics::GraphicsContext::CurrentScope current(context);
    graphics::GraphicsContext::StateGuard guard(context);
    const Rect all({0, 0}, frame_.size);
    if (area != all) {
        context.clipToRect(area);
    }
    if (backgroundColor_) {
        context.fillRect(area, backgroundColor_, graphics::CompositingOperation::copy);
    }
    if (contentView_) {
        contentView_->displayTree(context, area);
    }
}

void Window::display() {
    if (displaying_ || closed_) {
        return;
    }
    displaying_ = true;
    if (contentView_) {
        contentView_->layoutSubtreeIfNeeded();
    }
    cairo_surface_t* surface = backend_ ? backend_->surface() : nullptr;
    if (surface && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        cairo_t* cr = cairo_create(surface);
        std::shared_ptr<graphics::DrawBackend> drawing = std::make_shared<graphics::CairoBackend>(cr);
        if (auto recorder = backend_->recorder()) {
            drawing = std::make_shared<graphics::TeeBackend>(drawing, recorder);
        }
        {
            graphics::GraphicsContext context(drawing, frame_.size, backingScaleFactor(), false);
            drawContent(context, dirtyRect());
        }
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        backend_->flush();
    }
    if (contentView_) {
        contentView_->clearNeedsDisplayTree();
    }
    viewsNeedDisplay_ = false;
    wholeWindowDirty_ = false;
    dirtyRect_ = Rect::null();
    displaying_ = false;
}

void Window::dispatchMouseDown(const Event& event) {
    auto self = sharedAs<Window>();
    auto hit = contentView_ ? contentView_->hitTest(event.locationInWindow) : nullptr;
    const bool wasKey = isKeyWindow();
    if (!wasKey && canBecomeKeyWindow()) {
        makeKeyWindow();
    }
    if (!hit) {
        return;
    }
    if (!wasKey && !hit->acceptsFirstMouse(&event)) {
        return; // this click only activated the window
    }
    if (event.type == EventType::leftMouseDown && hit->acceptsFirstResponder()) {
        makeFirstResponder(hit);
    }
    // A Control-click is a secondary click: it shows the view's context menu when it has one.
    if (event.type == EventType::leftMouseDown && (event.modifierFlags & Modifier::control)) {
        if (auto menu = hit->menuForEvent(event)) {
            Menu::popUpContextMenu(menu, event, hit);
            return;
        }
    }
    trackingView_ = hit;
    trackingButtonDown_ = event.type;
    switch (event.type) {
    case EventType::leftMouseDown:
        hit->mouseDown(event);
        break;
    case EventType::rightMouseDown:
        hit->rightMouseDown(event);
        break;
    default:
        hit->otherMouseDown(event);
        break;
    }
}

void Window::sendEvent(const Event& event) {
    if (closed_) {
        return;
    }
    auto self = sharedAs<Window>(); // a handler may close and release the window
    auto app = Application::shared();
    Event routed = event;
    routed.window = self;
    Application::CurrentEventScope scope(*app, routed);
    app->noteEvent(routed);

    if (routed.isMouseEvent()) {
        updatePointer(routed);
    }
    auto tracked = trackingView_.lock();
    switch (routed.type) {
    case EventType::leftMouseDown:
    case EventType::rightMouseDown:
    case EventType::otherMouseDown:
        dispatchMouseDown(routed);
        break;
    case EventType::leftMouseDragged:
        if (tracked) {
            tracked->mouseDragged(routed);
        }
        break;
    case EventType::rightMouseDragged:
        if (tracked) {
            tracked->rightMouseDragged(routed);
        }
        break;
    case EventType::otherMouseDragged:
        if (tracked) {
            tracked->otherMouseDragged(routed);
        }
        break;
    case EventType::leftMouseUp:
    case EventType::rightMouseUp:
    case EventType::otherMouseUp:
        if (tracked) {
            trackingView_.reset();
            if (routed.type == EventType::leftMouseUp) {
                tracked->mouseUp(routed);
            } else if (routed.type == EventType::rightMouseUp) {
                tracked->rightMouseUp(routed);
            } else {
                tracked->otherMouseUp(routed);
            }
        }
        break;
    case EventType::mouseMoved:
        if (auto hit = contentView_ ? contentView_->hitTest(routed.locationInWindow) : nullptr) {
            hit->mouseMoved(routed);
        }
        break;
    case EventType::scrollWheel:
        if (auto hit = contentView_ ? contentView_->hitTest(routed.locationInWindow) : nullptr) {
            hit->scrollWheel(routed);
        }
        break;
    case EventType::keyDown:
        firstResponder()->keyDown(routed);
        break;
    case EventType::keyUp:
        firstResponder()->keyUp(routed);
        break;
    case EventType::flagsChanged:
        firstResponder()->flagsChanged(routed);
        break;
    default:
        break;
    }
}

std::shared_ptr<Cursor> Window::cursor() const {
    return cursor_ ? cursor_ : Cursor::arrowCursor();
}

void Window::setCursor(const std::shared_ptr<Cursor>& cursor) {
    cursor_ = cursor ? cursor : Cursor::arrowCursor();
    if (backend_) {
        backend_->setCursor(cursor_);
    }
}

void Window::pushCursor(const std::shared_ptr<Cursor>& cursor) {
    if (!cursor) {
        return;
    }
    cursorStack_.push_back(cursor);
    setCursor(cursor);
}

void Window::popCursor() {
    if (cursorStack_.empty()) {
        return;
    }
    cursorStack_.pop_back();
    setCursor(cursorStack_.empty() ? nullptr : cursorStack_.back());
}

void Window::invalidateCursorRects() {
    std::vector<View*> stack;
    if (contentView_) {
        stack.push_back(contentView_.get());
    }
    while (!stack.empty()) {
        View* v = stack.back();
        stack.pop_back();
        v->invalidateCursorRects();
        for (const auto& sub : v->subviews()) {
            stack.push_back(sub.get());
        }
    }
}

void Window::updatePointer(const Event& event) {
    if (!contentView_) {
        return;
    }
    auto self = sharedAs<Window>();
    const Point p = event.locationInWindow;
    const bool dragging = event.type == EventType::leftMouseDragged ||
                          event.type == EventType::rightMouseDragged ||
                          event.type == EventType::otherMouseDragged;
    const bool key = isKeyWindow();
    auto first = firstResponder();

    // Visible views, back to front (a later view lies on top of an earlier one).
    std::vector<std::shared_ptr<View>> views;
    std::vector<std::shared_ptr<View>> stack{contentView_};
    while (!stack.empty()) {
        auto v = stack.back();
        stack.pop_back();
        if (v->isHidden()) {
            continue;
        }
        views.push_back(v);
        for (auto it = v->subviews().rbegin(); it != v->subviews().rend(); ++it) {
            stack.push_back(*it);
        }
    }

    std::shared_ptr<Cursor> underPointer;
    struct Notice {
        std::shared_ptr<Responder> owner;
        std::shared_ptr<TrackingArea> area;
        EventType type;
    };
    std::vector<Notice> notices;
    for (const auto& v : views) {
        for (const auto& r : v->cursorRects()) {
            if (v->convertRectToView(r.rect, nullptr).contains(p)) {
                underPointer = r.cursor;
            }
        }
        for (const auto& area : std::vector(v->trackingAreas())) {
            const auto options = area->options();
            const bool active = (options & TrackingAreaOptions::activeAlways) ||
                                (options & TrackingAreaOptions::activeInActiveApp) ||
                                ((options & TrackingAreaOptions::activeInKeyWindow) && key) ||
                                ((options & TrackingAreaOptions::activeWhenFirstResponder) && first == v);
            if (!active || (dragging && !(options & TrackingAreaOptions::enabledDuringMouseDrag))) {
                continue;
            }
            const Rect local = (options & TrackingAreaOptions::inVisibleRect) ? v->bounds() : area->rect();
            const bool inside = v->convertRectToView(local, nullptr).contains(p);
            auto owner = area->owner();
            if (inside != area->isInside()) {
                area->setInside(inside);
                if (owner && (options & TrackingAreaOptions::mouseEnteredAndExited)) {
                    notices.push_back(
                        {owner, area, inside ? EventType::mouseEntered : EventType::mouseExited});
                }
            } else if (inside && owner && (options & TrackingAreaOptions::mouseMoved) &&
                       event.type == EventType::mouseMoved && owner != contentView_->hitTest(p)) {
                notices.push_back({owner, area, EventType::mouseMoved});
            }
        }
    }
    // Leaving a cursor rect gives back the pushed cursor or the arrow; entering one shows its cursor.
    if (underPointer != rectCursor_) {
        rectCursor_ = underPointer;
        setCursor(underPointer ? underPointer : cursorStack_.empty() ? nullptr : cursorStack_.back());
    }
    for (const auto& n : notices) {
        Event e = event;
        e.type = n.type;
        e.trackingArea = n.area;
        Application::CurrentEventScope scope(*Application::shared(), e);
        if (n.type == EventType::mouseEntered) {
            n.owner->mouseEntered(e);
        } else if (n.type == EventType::mouseExited) {
            n.owner->mouseExited(e);
        } else {
            n.owner->mouseMoved(e);
        }
    }
}

} // namespace ui
