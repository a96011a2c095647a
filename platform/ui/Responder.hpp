#pragma once

// The root object and the responder chain.
//
// Actions are named like selectors ("cancelOperation:", "selectNextItem:"). An object answers an action
// when a handler is registered under the name; a control or menu item sends an action to an explicit
// target, or, with no target, up the responder chain (see Application::sendAction).

#include "ui/Event.hpp"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace ui {

using Selector = std::string;

class Object : public std::enable_shared_from_this<Object> {
public:
    using ActionHandler = std::function<void(const std::shared_ptr<Object>& sender)>;

    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    virtual ~Object() = default;

    // Registers (or, with an empty handler, removes) the handler of an action for this object.
    void setActionHandler(const Selector& action, ActionHandler handler);
    virtual bool respondsToAction(std::string_view action) const;
    // Runs the action's handler with the sender; false when this object does not answer the action.
    virtual bool performAction(std::string_view action, const std::shared_ptr<Object>& sender);

    // Objects attached to this one under a key (the key's address identifies it), kept as long as this
    // object lives or until replaced; setting null removes the attachment. Libraries use them to give an
    // object helpers of their own (a closure target, a publisher) without subclassing it.
    std::shared_ptr<Object> associatedObject(const void* key) const;
    void setAssociatedObject(const void* key, std::shared_ptr<Object> object);

    // Actions that every object of a kind answers, added by a library (as a category adds methods): for
    // receivers on which `applies` holds, the handler runs with the receiver and the sender. An object's
    // own handlers come first. Registering the same action twice for the same owner key replaces it.
    using ExtensionApplies = std::function<bool(const Object& receiver)>;
    using ExtensionHandler = std::function<void(Object& receiver, const std::shared_ptr<Object>& sender)>;
    static void addExtensionAction(const void* owner, const Selector& action, ExtensionApplies applies,
                                   ExtensionHandler handler);

    // A shared pointer to this object as a derived type (the object must be owned by a shared_ptr).
    template <class T> std::shared_ptr<T> sharedAs() {
        return std::static_pointer_cast<T>(shared_from_this());
    }
    template <class T> std::shared_ptr<const T> sharedAs() const {
        return std::static_pointer_cast<const T>(shared_from_this());
    }

private:
    std::map<std::string, ActionHandler, std::less<>> actions_;
    std::map<const void*, std::shared_ptr<Object>> associated_;
};

class Responder : public Object {
public:
    std::shared_ptr<Responder> nextResponder() const { return nextResponder_.lock(); }
    void setNextResponder(const std::shared_ptr<Responder>& next) { nextResponder_ = next; }

    virtual bool acceptsFirstResponder() const { return false; }
    // Called by the window when it makes this the first responder; false refuses.
    virtual bool becomeFirstResponder() { return true; }
    // Called when the window asks this first responder to give up the role; false keeps it.
    virtual bool resignFirstResponder() { return true; }

    // Event handlers. Unhandled events travel to the next responder; an unhandled Escape key becomes
    // cancelOperation.
    virtual void mouseDown(const Event& event);
    virtual void mouseDragged(const Event& event);
    virtual void mouseUp(const Event& event);
    virtual void rightMouseDown(const Event& event);
    virtual void rightMouseDragged(const Event& event);
    virtual void rightMouseUp(const Event& event);
    virtual void otherMouseDown(const Event& event);
    virtual void otherMouseDragged(const Event& event);
    virtual void otherMouseUp(const Event& event);
    virtual void mouseMoved(const Event& event);
    virtual void mouseEntered(const Event& event);
    virtual void mouseExited(const Event& event);
    virtual void scrollWheel(const Event& event);
    virtual void keyDown(const Event& event);
    virtual void keyUp(const Event& event);
    virtual void flagsChanged(const Event& event);

    // The standard cancel command; the default passes it on.
    virtual void cancelOperation(const std::shared_ptr<Object>& sender);

    // Performs the action on this responder or the first one up the chain that answers it.
    bool tryToPerform(std::string_view action, const std::shared_ptr<Object>& sender);

private:
    std::weak_ptr<Responder> nextResponder_;
};

} // namespace ui
