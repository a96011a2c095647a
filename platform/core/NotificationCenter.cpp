#include "core/NotificationCenter.hpp"

#include <algorithm>

namespace core {

NotificationCenter& NotificationCenter::defaultCenter() {
    static auto* center = new NotificationCenter;
    return *center;
}

Cancellable NotificationCenter::addObserver(std::string name, const void* object, Observer observer) {
    return add(state_, std::move(name), object, std::move(observer));
}

Cancellable NotificationCenter::add(const std::shared_ptr<State>& state, std::string name, const void* object,
                                    Observer observer) {
    std::lock_guard lock(state->mutex);
    const auto id = state->nextId++;
    state->entries.push_back(
        Entry{id, std::move(name), object, std::make_shared<Observer>(std::move(observer))});
    return Cancellable([weak = std::weak_ptr<State>(state), id] {
        const auto state = weak.lock();
        if (!state) {
            return;
        }
        std::shared_ptr<Observer> released;
        std::lock_guard lock(state->mutex);
        const auto it = std::find_if(state->entries.begin(), state->entries.end(),
                                     [id](const Entry& e) { return e.id == id; });
        if (it != state->entries.end()) {
            released = std::move(it->observer);
            state->entries.erase(it);
        }
    });
}

void NotificationCenter::post(const Notification& notification) {
    std::vector<Entry> matching;
    {
        std::lock_guard lock(state_->mutex);
        for (const auto& entry : state_->entries) {
            if ((entry.name.empty() || entry.name == notification.name) &&
                (entry.object == nullptr || entry.object == notification.object)) {
                matching.push_back(entry);
            }
        }
    }
    for (const auto& entry : matching) {
        bool stillObserving;
        {
            std::lock_guard lock(state_->mutex);
            stillObserving = std::any_of(state_->entries.begin(), state_->entries.end(),
                                         [&](const Entry& e) { return e.id == entry.id; });
        }
        if (stillObserving) {
            (*entry.observer)(notification);
        }
    }
}

void NotificationCenter::post(std::string name, const void* object,
                              std::map<std::string, std::any> userInfo) {
    post(Notification{std::move(name), object, std::move(userInfo)});
}

Publisher<Notification> NotificationCenter::publisher(std::string name, const void* object) {
    return makePushPublisher<Notification>([weak = std::weak_ptr<State>(state_), name = std::move(name),
                                            object](std::function<void(const Notification&)> send) {
        const auto state = weak.lock();
        if (!state) {
            return Cancellable();
        }
        return add(state, name, object, std::move(send));
    });
}

} // namespace core
