#include "ui/Responder.hpp"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace ui {

namespace {

struct ExtensionAction {
    const void* owner;
    Selector action;
    Object::ExtensionApplies applies;
    Object::ExtensionHandler handler;
};

// Added once by the libraries that define them and only read afterwards.
struct ExtensionActions {
    std::mutex mutex;
    std::vector<ExtensionAction> actions;

    static ExtensionActions& shared() {
        static ExtensionActions table;
        return table;
    }

    // The handler of the first extension that applies to the receiver.
    Object::ExtensionHandler find(std::string_view action, const Object& receiver) {
        std::vector<ExtensionAction> candidates;
        {
            std::lock_guard lock(mutex);
            for (const auto& entry : actions) {
                if (entry.action == action) {
                    candidates.push_back(entry);
                }
            }
        }
        for (const auto& entry : candidates) {
            if (!entry.applies || entry.applies(receiver)) {
                return entry.handler;
            }
        }
        return nullptr;
    }
};

} // namespace

void Object::addExtensionAction(const void* owner, const Selector& action, ExtensionApplies applies,
                                ExtensionHandler handler) {
    auto& table = ExtensionActions::shared();
    std::lock_guard lock(table.mutex);
    auto it = std::find_if(table.actions.begin(), table.actions.end(), [&](const ExtensionAction& entry) {
        return entry.owner == owner && entry.action == action;
    });
    ExtensionAction entry{owner, action, std::move(applies), std::move(handler)};
    if (it != table.actions.end()) {
        *it = std::move(entry);
    } else {
        table.actions.push_back(std::move(entry));
    }
}

std::shared_ptr<Object> Object::associatedObject(const void* key) const {
    auto it = associated_.find(key);
    return it == associated_.end() ? nullptr : it->second;
}

void Object::setAssociatedObject(const void* key, std::shared_ptr<Object> object) {
    // The old object is released after the table no longer names it: its destructor may look.
    std::shared_ptr<Object> old;
    if (object) {
        auto& slot = associated_[key];
        old = std::exchange(slot, std::move(object));
    } else if (auto it = associated_.find(key); it != associated_.end()) {
        old = std::move(it->second);
        associated_.erase(it);
    }
}

void Object::setActionHandler(const Selector& action, ActionHandler handler) {
    if (handler) {
        actions_[action] = std::move(handler);
    } else {
        actions_.erase(action);
    }
}

bool Object::respondsToAction(std::string_view action) const {
    return actions_.find(action) != actions_.end() ||
           ExtensionActions::shared().find(action, *this) != nullptr;
}

bool Object::performAction(std::string_view action, const std::shared_ptr<Object>& sender) {
    auto it = actions_.find(action);
    if (it == actions_.end()) {
        if (auto extension = ExtensionActions::shared().find(action, *this)) {
            extension(*this, sender);
            return true;
        }
        return false;
    }
    // Copy first: the handler may replace itself while it runs.
    auto handler = it->second;
    handler(sender);
    return true;
}

#define TESSARAY_FORWARD(name)                                                                               \
    void Responder::name(const Event& event) {                                                               \
        if (auto next = nextResponder()) {                                                                   \
            next->name(event);                                                                               \
        }                                                                                                    \
    }
TESSARAY_FORWARD(mouseDown)
TESSARAY_FORWARD(mouseDragged)
TESSARAY_FORWARD(mouseUp)
TESSARAY_FORWARD(rightMouseDown)
TESSARAY_FORWARD(rightMouseDragged)
TESSARAY_FORWARD(rightMouseUp)
TESSARAY_FORWARD(otherMouseDown)
TESSARAY_FORWARD(otherMouseDragged)
TESSARAY_FORWARD(otherMouseUp)
TESSARAY_FORWARD(mouseMoved)
TESSARAY_FORWARD(mouseEntered)
TESSARAY_FORWARD(mouseExited)
TESSARAY_FORWARD(scrollWheel)
TESSARAY_FORWARD(keyUp)
TESSARAY_FORWARD(flagsChanged)
#undef TESSARAY_FORWARD

void Responder::keyDown(const Event& event) {
    // Escape is the cancel command, which travels the chain on its own.
    if (event.specialKey() == SpecialKey::escape) {
        cancelOperation(nullptr);
        return;
    }
    if (auto next = nextResponder()) {
        next->keyDown(event);
    }
}

void Responder::cancelOperation(const std::shared_ptr<Object>& sender) {
    if (auto next = nextResponder()) {
        next->cancelOperation(sender);
    }
}

bool Responder::tryToPerform(std::string_view action, const std::shared_ptr<Object>& sender) {
    // Hold each responder while it runs: a handler may tear down the chain. A chain that loops back
    // on itself ends at the first repeat.
    std::vector<const Responder*> visited;
    for (auto r = sharedAs<Responder>(); r; r = r->nextResponder()) {
        if (std::find(visited.begin(), visited.end(), r.get()) != visited.end()) {
            break;
        }
        visited.push_back(r.get());
        if (r->respondsToAction(action)) {
            return r->performAction(action, sender);
        }
    }
    return false;
}

} // namespace ui
