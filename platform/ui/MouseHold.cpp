// Press-and-hold: a window waits for the mouse-up of a press on a timer that the mouse-up cancels.

#include "core/RunLoop.hpp"
#include "ui/Application.hpp"
#include "ui/Window.hpp"

#include <chrono>

namespace ui {

void Window::waitForMouseUp(const std::shared_ptr<View>& view, std::function<void()> onRelease,
                            std::function<void()> onHold) {
    cancelMouseHold();
    if (!view || closed_) {
        return;
    }
    auto hold = std::make_unique<MouseHold>();
    hold->view = view;
    hold->onRelease = std::move(onRelease);
    hold->onHold = std::move(onHold);
    const auto interval = std::chrono::duration_cast<core::Clock::Duration>(
        std::chrono::duration<double>(Event::doubleClickInterval()));
    std::weak_ptr<Window> weak = sharedAs<Window>();
    hold->timer = animationRunLoop().scheduleOnce(interval, [weak] {
        if (auto window = weak.lock()) {
            window->mouseHoldTimedOut();
        }
    });
    mouseHold_ = std::move(hold);
}

void Window::cancelMouseHold() {
    if (auto hold = std::move(mouseHold_)) {
        hold->timer->invalidate();
    }
}

void Window::mouseHoldTimedOut() {
    auto hold = std::move(mouseHold_);
    if (!hold) {
        return;
    }
    auto self = sharedAs<Window>(); // the handler may close the window
    if (hold->onHold) {
        hold->onHold();
    }
}

bool Window::holdMouseEvent(const Event& event) {
    if (!mouseHold_) {
        return false;
    }
    if (event.type == EventType::leftMouseDragged) {
        mouseHold_->heldDrags.push_back(event);
        return true;
    }
    if (event.type != EventType::leftMouseUp) {
        return false;
    }
    auto hold = std::move(mouseHold_);
    hold->timer->invalidate();
    auto view = hold->view.lock();
    if (hold->onRelease) {
        hold->onRelease();
    }
    if (view && trackingView_.lock() == view) {
        for (const auto& drag : hold->heldDrags) {
            Application::CurrentEventScope scope(*Application::shared(), drag);
            view->mouseDragged(drag);
        }
    }
    return false; // the up itself goes on to the view
}

} // namespace ui
