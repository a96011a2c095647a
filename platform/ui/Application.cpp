#include "ui/Application.hpp"

#include "core/NotificationCenter.hpp"
#include "core/ScopeGuards.hpp"
#include "core/RunLoop.hpp"
#include "ui/Cursor.hpp"
#include "ui/MenuTracking.hpp"
#include "ui/MenuView.hpp"
#include "ui/Window.hpp"

#include <algorithm>

namespace ui {

std::shared_ptr<Application> Application::shared() {
    static const auto app = std::make_shared<Application>();
    return app;
}

std::vector<std::shared_ptr<Window>> Application::windows() const {
    std::vector<std::shared_ptr<Window>> result;
    for (const auto& weak : windows_) {
        if (auto w = weak.lock(); w && !w->isClosed()) {
            result.push_back(std::move(w));
        }
    }
    return result;
}

void Application::addWindow(const std::shared_ptr<Window>& window) {
    std::erase_if(windows_, [](const auto& w) { return w.expired(); });
    windows_.push_back(window);
}

void Application::removeWindow(const Window& window) {
    std::erase_if(windows_, [&](const auto& w) {
        auto locked = w.lock();
        return !locked || locked.get() == &window;
    });
    if (keyWindow_.lock().get() == &window) {
        keyWindow_.reset();
    }
}

void Application::setKeyWindow(const std::shared_ptr<Window>& window) {
    auto old = keyWindow();
    if (old == window) {
        return;
    }
    if (window && (window->isClosed() || !window->canBecomeKeyWindow())) {
        return;
    }
    keyWindow_ = window;
    auto& center = core::NotificationCenter::defaultCenter();
    if (old) {
        old->resignKeyWindow();
        center.post(windowDidResignKeyNotification, old.get());
    }
    if (window) {
        window->becomeKeyWindow();
        center.post(windowDidBecomeKeyNotification, window.get());
    }
}

long Application::runModal(const std::shared_ptr<Window>& window) {
    if (!window || window->isClosed()) {
        return ModalResponseCode::abort;
    }
    modalSessions_.push_back({window, std::nullopt});
    const std::size_t depth = modalSessions_.size();
    auto previousKey = keyWindow();
    window->makeKeyAndOrderFront();
    auto finished = [this, depth, window] {
        if (window->isClosed()) {
            return true;
        }
        return modalSessions_.size() < depth || modalSessions_[depth - 1].response.has_value() ||
               modalSessions_[depth - 1].window.expired();
    };
    long response = ModalResponseCode::abort;
    {
        // The session ends and its window goes however the loop is left, a handler's exception included.
        const core::OnExit end([&] {
            if (modalSessions_.size() >= depth) {
                response = modalSessions_[depth - 1].response.value_or(ModalResponseCode::abort);
                modalSessions_.resize(depth - 1);
            }
            window->orderOut();
            if (previousKey && previousKey != window && !previousKey->isClosed() && previousKey->isVisible()) {
                previousKey->makeKeyWindow();
            }
        });
        if (modalRunner_) {
            auto runner = modalRunner_; // the runner may replace itself
            runner(window);
        } else {
            core::RunLoop::main().runNested(finished);
        }
    }
    return response;
}

void Application::stopModal(long response) {
    if (!modalSessions_.empty() && !modalSessions_.back().response) {
        modalSessions_.back().response = response;
    }
}

void Application::abortModal() {
    stopModal(ModalResponseCode::abort);
}

std::string Application::effectiveAppearanceName() const {
    return appearanceName_.empty() ? std::string(appearanceNameAqua) : appearanceName_;
}

std::shared_ptr<Object> Application::targetForAction(std::string_view action,
                                                     const std::shared_ptr<Object>& target,
                                                     const std::shared_ptr<Object>&) const {
    if (action.empty()) {
        return nullptr;
    }
    if (target) {
        return target->respondsToAction(action) ? target : nullptr;
    }
    std::vector<const Object*> visited;
    auto answers = [&](const std::shared_ptr<Object>& candidate) {
        if (!candidate || std::find(visited.begin(), visited.end(), candidate.get()) != visited.end()) {
            return false;
        }
        visited.push_back(candidate.get());
        return candidate->respondsToAction(action);
    };
    if (auto window = keyWindow()) {
        // The chain can only be as long as the number of objects in it; a cycle ends the walk.
        for (auto r = window->firstResponder(); r; r = r->nextResponder()) {
            if (std::find(visited.begin(), visited.end(), r.get()) != visited.end()) {
                break;
            }
            if (answers(r)) {
                return r;
            }
        }
        if (answers(window)) {
            return window;
        }
        if (auto d = window->delegate(); answers(d)) {
            return d;
        }
    }
    auto self = std::const_pointer_cast<Application>(sharedAs<Application>());
    if (answers(self)) {
        return self;
    }
    if (auto d = delegate(); answers(d)) {
        return d;
    }
    return nullptr;
}

bool Application::sendAction(std::string_view action, const std::shared_ptr<Object>& target,
                             const std::shared_ptr<Object>& sender) {
    auto receiver = targetForAction(action, target, sender);
    return receiver && receiver->performAction(action, sender);
}

void Application::noteEvent(const Event& event) {
    modifierFlags_ = event.modifierFlags;
    auto bit = [](const Event& e) { return 1u << std::min(e.buttonNumber, 31); };
    switch (event.type) {
    case EventType::leftMouseDown:
    case EventType::rightMouseDown:
    case EventType::otherMouseDown:
        pressedButtons_ |= bit(event);
        break;
    case EventType::leftMouseUp:
    case EventType::rightMouseUp:
    case EventType::otherMouseUp:
        pressedButtons_ &= ~bit(event);
        break;
    default:
        break;
    }
}

core::Cancellable Application::addLocalMonitorForEvents(std::uint64_t mask, EventMonitor monitor) {
    const std::uint64_t id = nextMonitorId_++;
    monitors_.push_back({id, mask, std::make_shared<EventMonitor>(std::move(monitor))});
    std::weak_ptr<Application> weak = sharedAs<Application>();
    return core::Cancellable([weak, id] {
        if (auto app = weak.lock()) {
            std::erase_if(app->monitors_, [id](const Monitor& m) { return m.id == id; });
        }
    });
}

void Application::sendEvent(const Event& event) {
    if (!monitors_.empty()) {
        // A monitor may add or remove monitors: run a copy.
        const auto monitors = monitors_;
        for (const auto& m : monitors) {
            if ((m.mask & eventMask(event.type)) && !(*m.monitor)(event)) {
                return;
            }
        }
    }
    if (event.isMouseEvent()) {
        if (auto w = event.window.lock()) {
            pointerWindow_ = w;
        }
    }
    // A shown menu takes the pointer and the keyboard of its own windows.
    if (auto tracking = (event.isMouseEvent() || event.isKeyEvent() || event.type == EventType::flagsChanged)
                            ? menuTrackingForEvent(event)
                            : nullptr;
        tracking && tracking->isActive()) {
        CurrentEventScope scope(*this, event);
        noteEvent(event);
        tracking->handleEvent(event);
        return;
    }
    auto window = event.window.lock();
    if (!window && (event.isKeyEvent() || event.type == EventType::flagsChanged)) {
        window = keyWindow();
    }
    // A modal window takes the presses and keys; other windows still draw and track the pointer.
    if (auto modal = modalWindow(); modal && window && window != modal && !modal->isClosed()) {
        const bool press = event.type == EventType::leftMouseDown ||
                           event.type == EventType::rightMouseDown || event.type == EventType::otherMouseDown;
        if (press || event.isKeyEvent()) {
            return;
        }
    }
    if (window) {
        window->sendEvent(event);
        return;
    }
    CurrentEventScope scope(*this, event);
    noteEvent(event);
}

std::shared_ptr<MenuTracking> Application::menuTracking() const {
    auto active = [](const std::shared_ptr<MenuTracking>& t) { return t && t->isActive(); };
    if (auto key = keyWindow(); key && active(key->menuTracking())) {
        return key->menuTracking();
    }
    for (const auto& weak : windows_) {
        if (auto w = weak.lock(); w && active(w->menuTracking())) {
            return w->menuTracking();
        }
    }
    return active(windowlessTracking_) ? windowlessTracking_ : nullptr;
}

std::vector<std::shared_ptr<MenuTracking>> Application::menuTrackings() const {
    std::vector<std::shared_ptr<MenuTracking>> result;
    for (const auto& weak : windows_) {
        if (auto w = weak.lock(); w && w->menuTracking() && w->menuTracking()->isActive()) {
            result.push_back(w->menuTracking());
        }
    }
    if (windowlessTracking_ && windowlessTracking_->isActive()) {
        result.push_back(windowlessTracking_);
    }
    return result;
}

std::shared_ptr<MenuTracking> Application::menuTrackingForEvent(const Event& event) const {
    auto window = event.window.lock();
    if (!window && (event.isKeyEvent() || event.type == EventType::flagsChanged)) {
        window = keyWindow();
    }
    if (!window) {
        return windowlessTracking_;
    }
    if (auto level = std::dynamic_pointer_cast<MenuWindow>(window)) {
        return level->tracking();
    }
    return window->menuTracking();
}

void Application::setCursor(const std::shared_ptr<Cursor>& cursor) {
    if (auto w = pointerWindow()) {
        w->setCursor(cursor);
    }
}

std::shared_ptr<Cursor> Application::currentCursor() const {
    if (auto w = pointerWindow()) {
        return w->cursor();
    }
    return cursorStack_.empty() ? Cursor::arrowCursor() : cursorStack_.back();
}

void Application::pushCursor(const std::shared_ptr<Cursor>& cursor) {
    if (!cursor) {
        return;
    }
    if (auto w = pointerWindow() ? pointerWindow() : keyWindow()) {
        w->pushCursor(cursor);
        return;
    }
    cursorStack_.push_back(cursor);
}

void Application::popCursor() {
    for (const auto& w : {pointerWindow(), keyWindow()}) {
        if (w && w->cursorStackDepth() > 0) {
            w->popCursor();
            return;
        }
    }
    if (!cursorStack_.empty()) {
        cursorStack_.pop_back();
    }
}

Application::CurrentEventScope::CurrentEventScope(Application& app, const Event& event)
    : app_(app), previous_(app.currentEvent_) {
    app_.currentEvent_ = event;
}

Application::CurrentEventScope::~CurrentEventScope() {
    app_.currentEvent_ = previous_;
}

} // namespace ui
