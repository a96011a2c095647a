#include "ui/GestureRecognizer.hpp"

#include "ui/Application.hpp"
#include "ui/View.hpp"
#include "ui/Window.hpp"

#include <cmath>
#include <utility>

namespace ui {

using graphics::Point;

GestureRecognizer::GestureRecognizer(const std::shared_ptr<Object>& target, Selector action)
    : target_(target), action_(std::move(action)) {}

GestureRecognizer::~GestureRecognizer() = default;

void GestureRecognizer::setEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    if (!enabled) {
        cancelPress();
    }
    enabled_ = enabled;
}

Point GestureRecognizer::locationInView(const View* view) const {
    return view ? view->convertPointFromView(lastEvent_.locationInWindow, nullptr)
                : lastEvent_.locationInWindow;
}

void GestureRecognizer::mouseDown(const Event&) {}
void GestureRecognizer::mouseDragged(const Event&) {}
void GestureRecognizer::mouseUp(const Event&) {}
void GestureRecognizer::rightMouseDown(const Event&) {}
void GestureRecognizer::rightMouseDragged(const Event&) {}
void GestureRecognizer::rightMouseUp(const Event&) {}

void GestureRecognizer::setState(GestureRecognizerState state) {
    using S = GestureRecognizerState;
    if (state_ == S::ended || state_ == S::cancelled || state_ == S::failed) {
        return; // finished until the press is over
    }
    state_ = state;
    if (state == S::began || state == S::changed || state == S::ended || state == S::cancelled) {
        if (!action_.empty()) {
            auto self = sharedAs<Object>(); // the action may drop the recogniser
            Application::shared()->sendAction(action_, target(), self);
        }
    }
}

void GestureRecognizer::reset() {}

void GestureRecognizer::handleEvent(const Event& event) {
    if (!enabled_) {
        return;
    }
    lastEvent_ = event;
    switch (event.type) {
    case EventType::leftMouseDown:
        mouseDown(event);
        break;
    case EventType::leftMouseDragged:
        mouseDragged(event);
        break;
    case EventType::leftMouseUp:
        mouseUp(event);
        break;
    case EventType::rightMouseDown:
        rightMouseDown(event);
        break;
    case EventType::rightMouseDragged:
        rightMouseDragged(event);
        break;
    case EventType::rightMouseUp:
        rightMouseUp(event);
        break;
    default:
        break;
    }
}

void GestureRecognizer::finishPress() {
    using S = GestureRecognizerState;
    // A gesture the press left unfinished: a continuous one is cancelled, a pending one fails.
    if (state_ == S::began || state_ == S::changed) {
        setState(S::cancelled);
    } else if (state_ == S::possible) {
        setState(S::failed);
    }
    state_ = S::possible;
    reset();
}

void GestureRecognizer::cancelPress() {
    using S = GestureRecognizerState;
    if (state_ == S::began || state_ == S::changed) {
        setState(S::cancelled);
    }
    finishPress();
}

void ClickGestureRecognizer::mouseDown(const Event& event) {
    pressed_ = true;
    downLocation_ = event.locationInWindow;
}

bool ClickGestureRecognizer::tooFar(const Event& event) const {
    return std::hypot(event.locationInWindow.x - downLocation_.x,
                      event.locationInWindow.y - downLocation_.y) > allowableMovement;
}

void ClickGestureRecognizer::mouseDragged(const Event& event) {
    if (pressed_ && tooFar(event)) {
        setState(GestureRecognizerState::failed);
    }
}

void ClickGestureRecognizer::mouseUp(const Event& event) {
    if (!pressed_) {
        return;
    }
    pressed_ = false;
    setState(tooFar(event) ? GestureRecognizerState::failed : GestureRecognizerState::ended);
}

void ClickGestureRecognizer::reset() {
    GestureRecognizer::reset();
    pressed_ = false;
}

namespace {

// A window-coordinate vector in view's coordinates (unchanged for null), and back.
Point vectorInView(Point vector, const View* view) {
    if (!view) {
        return vector;
    }
    const Point a = view->convertPointFromView(Point{0, 0}, nullptr);
    const Point b = view->convertPointFromView(vector, nullptr);
    return Point{b.x - a.x, b.y - a.y};
}

Point vectorInWindow(Point vector, const View* view) {
    if (!view) {
        return vector;
    }
    const Point a = view->convertPointToView(Point{0, 0}, nullptr);
    const Point b = view->convertPointToView(vector, nullptr);
    return Point{b.x - a.x, b.y - a.y};
}

} // namespace

Point PanGestureRecognizer::translationInView(const View* view) const {
    const Point now = lastEvent().locationInWindow;
    return vectorInView(Point{now.x - origin_.x, now.y - origin_.y}, view);
}

void PanGestureRecognizer::setTranslation(Point translation, const View* view) {
    const Point now = lastEvent().locationInWindow;
    const Point inWindow = vectorInWindow(translation, view);
    origin_ = Point{now.x - inWindow.x, now.y - inWindow.y};
}

Point PanGestureRecognizer::velocityInView(const View* view) const {
    if (samples_.size() < 2) {
        return {};
    }
    const Sample& newest = samples_.back();
    // From the oldest sample inside the window, or from the one before the newest when that is older.
    std::size_t first = samples_.size() - 2;
    while (first > 0 && newest.time - samples_[first - 1].time <= velocityWindow) {
        --first;
    }
    const Sample& oldest = samples_[first];
    const double elapsed = newest.time - oldest.time;
    if (!(elapsed > 0)) {
        return {};
    }
    return vectorInView(Point{(newest.location.x - oldest.location.x) / elapsed,
                              (newest.location.y - oldest.location.y) / elapsed},
                        view);
}

void PanGestureRecognizer::addSample(const Event& event) {
    // Only the window's worth is needed; the bound keeps a long press from growing the list.
    constexpr std::size_t maximumSamples = 64;
    if (samples_.size() == maximumSamples) {
        samples_.erase(samples_.begin());
    }
    samples_.push_back({event.locationInWindow, event.timestamp});
}

void PanGestureRecognizer::mouseDown(const Event& event) {
    pressed_ = true;
    downLocation_ = event.locationInWindow;
    origin_ = downLocation_;
    samples_.clear();
    addSample(event);
}

void PanGestureRecognizer::mouseDragged(const Event& event) {
    if (!pressed_) {
        return;
    }
    addSample(event);
    using S = GestureRecognizerState;
    if (state() == S::possible) {
        if (std::hypot(event.locationInWindow.x - downLocation_.x,
                       event.locationInWindow.y - downLocation_.y) > minimumMovement) {
            setState(S::began);
        }
    } else if (state() == S::began || state() == S::changed) {
        setState(S::changed);
    }
}

void PanGestureRecognizer::mouseUp(const Event& event) {
    if (!pressed_) {
        return;
    }
    pressed_ = false;
    addSample(event);
    using S = GestureRecognizerState;
    if (state() == S::began || state() == S::changed) {
        setState(S::ended);
    } else if (state() == S::possible) {
        setState(S::failed);
    }
}

void PanGestureRecognizer::reset() {
    GestureRecognizer::reset();
    pressed_ = false;
}

// The window's side: which recognisers watch the current press.

void Window::beginPressGestures(const std::shared_ptr<View>& hit, const Event& event) {
    endPressGestures();
    for (View* v = hit.get(); v;) {
        for (const auto& recognizer : v->gestureRecognizers()) {
            if (recognizer->isEnabled()) {
                pressRecognizers_.push_back(recognizer);
            }
        }
        auto parent = v->superview();
        v = parent.get();
    }
    feedPressGestures(event);
}

void Window::feedPressGestures(const Event& event) {
    for (const auto& recognizer : std::vector(pressRecognizers_)) {
        recognizer->handleEvent(event);
    }
}

void Window::endPressGestures() {
    auto recognizers = std::exchange(pressRecognizers_, {});
    for (const auto& recognizer : recognizers) {
        recognizer->finishPress();
    }
}

void Window::cancelPressGestures() {
    auto recognizers = std::exchange(pressRecognizers_, {});
    for (const auto& recognizer : recognizers) {
        recognizer->cancelPress();
    }
}

} // namespace ui
