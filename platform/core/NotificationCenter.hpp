#pragma once

#include "core/Cancellable.hpp"
#include "core/Publisher.hpp"

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace core {

struct Notification {
    std::string name;
    // The object the notification is about (usually its poster), compared by identity only.
    const void* object = nullptr;
    std::map<std::string, std::any> userInfo;

    // The user-info entry under key when it holds a V.
    template <class V> const V* info(const std::string& key) const {
        const auto it = userInfo.find(key);
        return it == userInfo.end() ? nullptr : std::any_cast<V>(&it->second);
    }
};

// Delivers posted notifications synchronously, on the posting thread, to the observers of their
// name (an empty name observes every notification), optionally only those about one object.
class NotificationCenter {
public:
    using Observer = std::function<void(const Notification&)>;

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    static NotificationCenter& defaultCenter();

    [[nodiscard]] Cancellable addObserver(std::string name, const void* object, Observer observer);
    [[nodiscard]] Cancellable addObserver(std::string name, Observer observer) {
        return addObserver(std::move(name), nullptr, std::move(observer));
    }

    void post(const Notification& notification);
    void post(std::string name, const void* object = nullptr, std::map<std::string, std::any> userInfo = {});

    Publisher<Notification> publisher(std::string name, const void* object = nullptr);

private:
    struct Entry {
        std::uint64_t id;
        std::string name;
        const void* object;
        std::shared_ptr<Observer> observer;
    };
    struct State {
        std::mutex mutex;
        std::vector<Entry> entries;
        std::uint64_t nextId = 1;
    };
    static Cancellable add(const std::shared_ptr<State>& state, std::string name, const void* object,
                           Observer observer);

    std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace core
