// The window's first-responder observers, event monitors and order-out observers.
#include "ui/Window.hpp"

#include <cstdint>
#include <utility>

namespace ui {

// Callback lists in registration order. Running one walks a snapshot, so callbacks may add or cancel
// entries (their own included) meanwhile; a cancelled entry that is still in a snapshot is skipped.
struct Window::Observers {
    template <class F> struct List {
        struct Entry {
            std::uint64_t id;
            std::shared_ptr<F> callback;
        };
        std::vector<Entry> entries;

        void remove(std::uint64_t id) {
            for (auto& entry : entries) {
                if (entry.id == id) {
                    *entry.callback = nullptr;
                }
            }
            std::erase_if(entries, [id](const Entry& entry) { return entry.id == id; });
        }
    };

    std::uint64_t nextId = 1;
    List<std::function<void(const std::shared_ptr<Responder>&)>> responderObservers;
    List<std::function<bool(const Event&)>> eventMonitors;
    List<std::function<void()>> orderOutObservers;
    // The responder the observers heard last (empty and !announcedResponder: the window itself).
    std::weak_ptr<Responder> announced;
    bool announcedResponder = false;

    template <class F>
    core::Cancellable add(const std::shared_ptr<Observers>& self, List<F> Observers::*list, F callback) {
        const std::uint64_t id = nextId++;
        (this->*list).entries.push_back({id, std::make_shared<F>(std::move(callback))});
        return core::Cancellable([weak = std::weak_ptr<Observers>(self), list, id] {
            if (auto observers = weak.lock()) {
                ((*observers).*list).remove(id);
            }
        });
    }
};

void Window::ensureObservers() {
    if (!observers_) {
        observers_ = std::make_shared<Observers>();
        observers_->announced = firstResponder_;
        observers_->announcedResponder = !firstResponder_.expired();
    }
}

core::Cancellable
Window::observeFirstResponder(std::function<void(const std::shared_ptr<Responder>& responder)> observer) {
    ensureObservers();
    auto callback = observer;
    auto token = observers_->add(observers_, &Observers::responderObservers, std::move(observer));
    callback(firstResponder());
    return token;
}

core::Cancellable Window::addEventMonitor(std::function<bool(const Event& event)> monitor) {
    ensureObservers();
    return observers_->add(observers_, &Observers::eventMonitors, std::move(monitor));
}

core::Cancellable Window::observeOrderOut(std::function<void()> observer) {
    ensureObservers();
    return observers_->add(observers_, &Observers::orderOutObservers, std::move(observer));
}

void Window::announceFirstResponder() {
    if (!observers_) {
        return;
    }
    const auto current = firstResponder_.lock();
    const bool same = current ? observers_->announcedResponder && observers_->announced.lock() == current
                              : !observers_->announcedResponder;
    if (same) {
        return;
    }
    observers_->announced = current;
    observers_->announcedResponder = current != nullptr;
    const auto keep = observers_; // an observer may drop the last token, or the window
    const auto responder = firstResponder();
    for (const auto snapshot = keep->responderObservers.entries; const auto& entry : snapshot) {
        if (*entry.callback) {
            (*entry.callback)(responder);
        }
    }
}

bool Window::runEventMonitors(const Event& event) {
    if (!observers_ || observers_->eventMonitors.entries.empty()) {
        return false;
    }
    const auto keep = observers_;
    for (const auto snapshot = keep->eventMonitors.entries; const auto& entry : snapshot) {
        if (*entry.callback && (*entry.callback)(event)) {
            return true;
        }
    }
    return false;
}

void Window::announceOrderOut() {
    if (!observers_) {
        return;
    }
    const auto keep = observers_;
    for (const auto snapshot = keep->orderOutObservers.entries; const auto& entry : snapshot) {
        if (*entry.callback) {
            (*entry.callback)();
        }
    }
}

} // namespace ui
