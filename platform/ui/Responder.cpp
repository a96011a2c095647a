#include "ui/Responder.hpp"

#include <algorithm>
#include <vector>

namespace ui {

void Object::setActionHandler(const Selector& action, ActionHandler handler) {
    if (handler) {
        actions_[action] = std::move(handler);
    } else {
        actions_.erase(action);
    }
}

bool Object::respondsToAction(std::string_view action) const {
    return actions_.find(action) != actions_.end();
}

bool Object::performAction(std::string_view action, const std::shared_ptr<Object>& sender) {
    auto it = actions_.find(action);
    if (it == actions_.end()) {
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
