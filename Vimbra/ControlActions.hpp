#pragma once

// Two ways for a control to report its actions other than a target object: a stored closure
// (setAction with a closure) and a publisher of the control (actionPublisher), plus publishers of the
// value a control holds when it acts and a sink that focuses a control. Both take over the control's
// target and action; whichever was set last receives the actions, and setting a plain target and action
// afterwards disconnects both.

#include "core/Log.hpp"
#include "core/MainQueue.hpp"
#include "core/Publisher.hpp"
#include "ui/Button.hpp"
#include "ui/Control.hpp"
#include "ui/PopUpButton.hpp"

#include <functional>
#include <memory>
#include <string>
#include <type_traits>

namespace vimbra {

namespace detail {
// Keys under which a control keeps its closure target and its publisher.
extern const char closureActionKey;
extern const char publisherKey[];

[[noreturn]] void senderTypeMismatch(const char* who);
// Makes the control its window's first responder (keying the window first), on the main thread.
void focusControl(const std::weak_ptr<ui::Control>& control);
} // namespace detail

// The target that calls a closure with the sending control. Sender is the control's class; a sender of
// another class is a programming error and stops the process.
template <class Sender> class ActionTrampoline : public ui::Object {
public:
    using Action = std::function<void(const std::shared_ptr<Sender>& sender)>;
    static constexpr const char* actionSelector = "actionWithSender:";

    ActionTrampoline() = delete;
    explicit ActionTrampoline(Action action) : action(std::move(action)) {
        setActionHandler(actionSelector,
                         [this](const std::shared_ptr<ui::Object>& sender) { actionWithSender(sender); });
    }

    Action action;

    void actionWithSender(const std::shared_ptr<ui::Object>& sender) {
        auto typed = std::dynamic_pointer_cast<Sender>(sender);
        if (!typed) {
            detail::senderTypeMismatch("ActionTrampoline");
        }
        // A copy: the closure may replace itself while it runs.
        if (auto run = action) {
            run(typed);
        }
    }
};

// Makes the closure the receiver of the control's actions; it is called with the control itself. A later
// call replaces the closure. The control keeps the closure: a closure that captured the control strongly
// would keep it alive, and it needs not, since it is handed the control.
template <class C>
void setAction(const std::shared_ptr<C>& control,
               std::type_identity_t<std::function<void(const std::shared_ptr<C>&)>> action) {
    static_assert(std::is_base_of_v<ui::Control, C>, "closure actions are for controls");
    auto trampoline = std::make_shared<ActionTrampoline<C>>(std::move(action));
    control->setTarget(trampoline);
    control->setAction(ActionTrampoline<C>::actionSelector);
    control->setAssociatedObject(&detail::closureActionKey, std::move(trampoline));
}

// Sets the control's target, then its action.
void setTarget(const std::shared_ptr<ui::Control>& control, const std::shared_ptr<ui::Object>& target,
               ui::Selector action);

// Publishes the control each time it sends its action, and never fails. The control keeps its publisher
// (one per control) and the publisher holds the control weakly; when the control goes, the publisher goes
// with it and its subscribers receive the completion.
class ControlPublisher : public ui::Object {
public:
    using Output = std::shared_ptr<ui::Control>;
    static constexpr const char* actionSelector = "controlActionWithSender:";

    // A new publisher that becomes the control's target.
    static std::shared_ptr<ControlPublisher> make(const std::shared_ptr<ui::Control>& control);
    explicit ControlPublisher(const std::shared_ptr<ui::Control>& control);

    std::shared_ptr<ui::Control> control() const { return control_.lock(); }

    // Every subscriber receives the control on each action from the moment it subscribes.
    void receive(std::shared_ptr<core::Subscriber<Output>> subscriber) const {
        subject_.publisher().receive(std::move(subscriber));
    }
    core::Publisher<Output> publisher() const { return subject_.publisher(); }
    // The same stream carrying the control as its own class C.
    template <class C> core::Publisher<std::shared_ptr<C>> publisher() const {
        return publisher().map([](const Output& control) {
            auto typed = std::dynamic_pointer_cast<C>(control);
            if (!typed) {
                detail::senderTypeMismatch("ControlPublisher");
            }
            return typed;
        });
    }
    [[nodiscard]] core::AnyCancellable sink(std::function<void(const Output&)> receiveValue,
                                            std::function<void()> receiveCompletion = nullptr) const {
        return subject_.sink(std::move(receiveValue), std::move(receiveCompletion));
    }
    std::size_t subscriberCount() const { return subject_.subscriberCount(); }

    void controlActionWithSender(const std::shared_ptr<ui::Object>& sender);

private:
    std::weak_ptr<ui::Control> control_;
    core::PassthroughSubject<Output> subject_;
};

template <class C> using NSControlPublisher = ControlPublisher;

// The control's publisher, made (and made the control's target) on first use; the same one afterwards.
std::shared_ptr<ControlPublisher> actionPublisher(const std::shared_ptr<ui::Control>& control);

// The action publisher mapped to the value the control holds when its action fires (after the control
// has updated it).
core::Publisher<std::shared_ptr<ui::MenuItem>>
selectedItemPublisher(const std::shared_ptr<ui::PopUpButton>& popUp);
core::Publisher<int> statePublisher(const std::shared_ptr<ui::Button>& button);
core::Publisher<double> doubleValuePublisher(const std::shared_ptr<ui::Control>& control);

// On every value, on the main thread: when the control still exists and is in a window, keys the window
// if it is not key, then makes the control its first responder. A released control, or one outside any
// window, is ignored. The sink holds the control weakly.
template <class T>
[[nodiscard]] core::AnyCancellable makeFirstResponder(const core::Publisher<T>& publisher,
                                                      const std::shared_ptr<ui::Control>& control) {
    return publisher.sink([weak = std::weak_ptr<ui::Control>(control)](const T&) {
        if (core::isMainThread()) {
            detail::focusControl(weak);
        } else {
            core::MainQueue::shared().async([weak] { detail::focusControl(weak); });
        }
    });
}

} // namespace vimbra
