// A window's event dispatch: mouse-downs and key status, sheets blocking input, and the pointer's cursor.
#include "ui/Application.hpp"
#include "ui/Cursor.hpp"
#include "ui/Menu.hpp"
#include "ui/MenuTracking.hpp"
#include "ui/Window.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ui {

using graphics::Point;
using graphics::Rect;

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
    cancelMouseHold();
    beginPressGestures(hit, event);
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

namespace {

// What a window with an attached sheet does not take.
bool blockedBySheet(const Event& event) {
    switch (event.type) {
    case EventType::leftMouseDown:
    case EventType::rightMouseDown:
    case EventType::otherMouseDown:
    case EventType::keyDown:
    case EventType::keyUp:
    case EventType::scrollWheel:
        return true;
    default:
        return false;
    }
}

} // namespace

void Window::sendEvent(const Event& event) {
    if (closed_) {
        return;
    }
    auto self = sharedAs<Window>(); // a handler may close and release the window
    if (!sheets_.empty() && (blockedBySheet(event))) {
        return;
    }
    if (runEventMonitors(event)) {
        return;
    }
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
    case EventType::leftMouseDragged:
    case EventType::rightMouseDragged:
    case EventType::leftMouseUp:
    case EventType::rightMouseUp:
        feedPressGestures(routed);
        break;
    default:
        break;
    }
    if (holdMouseEvent(routed)) {
        return;
    }
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
        endPressGestures();
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
