#include "ui/Control.hpp"

#include "ui/Application.hpp"

namespace ui {

using graphics::Point;
using graphics::Rect;

Control::Control(const Rect& frame, std::shared_ptr<Cell> cell)
    : View(frame), cell_(cell ? std::move(cell) : std::make_shared<Cell>()) {
    setTag(0);
}

Control::~Control() = default;

std::shared_ptr<Cell> Control::cell() const {
    // The back link cannot be made in the constructor (no shared owner yet); make it on first use.
    if (cell_->controlView().get() != this) {
        if (auto self =
                std::dynamic_pointer_cast<View>(std::const_pointer_cast<Object>(weak_from_this().lock()))) {
            cell_->setControlView(self);
        }
    }
    return cell_;
}

void Control::setCell(std::shared_ptr<Cell> cell) {
    if (!cell) {
        return; // a control always has a cell
    }
    cell_ = std::move(cell);
    if (auto self = weak_from_this().lock()) {
        cell_->setControlView(std::static_pointer_cast<View>(self));
    }
    setNeedsDisplay();
}

bool Control::sendAction(std::string_view action, const std::shared_ptr<Object>& target) {
    if (action.empty()) {
        return false;
    }
    return Application::shared()->sendAction(action, target, sharedAs<Object>());
}

void Control::performClick() {
    if (!isEnabled()) {
        return;
    }
    auto self = sharedAs<Control>(); // the action may release the control
    didClick();
    setNeedsDisplay();
}

void Control::didClick() {
    sendAction();
}

void Control::setEnabled(bool enabled) {
    if (enabled == cell_->isEnabled()) {
        return;
    }
    cell_->setEnabled(enabled);
    if (!enabled && tracking_) {
        tracking_ = false;
        cell_->setHighlighted(false);
    }
    setNeedsDisplay();
}

void Control::setHighlighted(bool highlighted) {
    cell_->setHighlighted(highlighted);
    setNeedsDisplay();
}

void Control::setState(int state) {
    cell_->setState(state);
    setNeedsDisplay();
}

void Control::setControlSize(ControlSize size) {
    cell_->setControlSize(size);
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void Control::setObjectValue(std::any value) {
    cell_->setObjectValue(std::move(value));
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void Control::setFont(graphics::FontRef font) {
    cell_->setFont(std::move(font));
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void Control::setAlignment(graphics::TextAlignment alignment) {
    cell_->setAlignment(alignment);
    setNeedsDisplay();
}

void Control::setLineBreakMode(graphics::LineBreakMode mode) {
    cell_->setLineBreakMode(mode);
    setNeedsDisplay();
}

void Control::setFocusRingType(FocusRingType type) {
    cell_->setFocusRingType(type);
    View::setFocusRingType(type);
}

Rect Control::focusRingMaskBounds() const {
    auto self = std::const_pointer_cast<Control>(sharedAs<Control>());
    return cell()->focusRingMaskBoundsForFrame(bounds(), *self);
}

void Control::drawFocusRingMask() {
    cell()->drawFocusRingMaskWithFrame(bounds(), *this);
}

bool Control::acceptsFirstResponder() const {
    return cell_->acceptsFirstResponder();
}

graphics::Size Control::intrinsicContentSize() const {
    return cell()->cellSize();
}

void Control::sizeToFit() {
    setFrameSize(cell()->cellSize());
}

void Control::draw(const Rect&) {
    cell()->drawWithFrame(bounds(), *this);
}

Point Control::localPoint(const Event& event) const {
    return convertPointFromView(event.locationInWindow, nullptr);
}

void Control::mouseDown(const Event& event) {
    if (!isEnabled()) {
        return;
    }
    auto self = sharedAs<Control>();
    auto c = cell();
    const Point p = localPoint(event);
    lastPoint_ = p;
    tracking_ = c->startTracking(p, *this);
    if (!tracking_) {
        return;
    }
    c->highlight(true, bounds(), *this);
    if (c->isContinuous()) {
        sendAction();
    }
}

void Control::mouseDragged(const Event& event) {
    if (!tracking_) {
        return;
    }
    auto self = sharedAs<Control>();
    auto c = cell();
    const Point p = localPoint(event);
    const bool inside = bounds().contains(p);
    c->highlight(inside, bounds(), *this);
    if (!c->continueTracking(lastPoint_, p, *this)) {
        tracking_ = false;
        c->stopTracking(lastPoint_, p, *this, false);
        c->highlight(false, bounds(), *this);
        return;
    }
    lastPoint_ = p;
    if (inside && c->isContinuous()) {
        sendAction();
    }
}

void Control::mouseUp(const Event& event) {
    if (!tracking_) {
        return;
    }
    auto self = sharedAs<Control>();
    auto c = cell();
    tracking_ = false;
    const Point p = localPoint(event);
    c->stopTracking(lastPoint_, p, *this, true);
    c->highlight(false, bounds(), *this);
    if (bounds().contains(p) && isEnabled()) {
        didClick();
    }
}

} // namespace ui
