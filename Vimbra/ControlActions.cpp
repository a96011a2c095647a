#include "Vimbra/ControlActions.hpp"

#include "ui/Window.hpp"

#include <string>

namespace vimbra {

namespace detail {
const char closureActionKey = 0;
const char publisherKey[] = "PublisherHelperKey";

void senderTypeMismatch(const char* who) {
    core::fatal(std::string(who) + ": the action's sender is not of the expected control class");
}

void focusControl(const std::weak_ptr<ui::Control>& weak) {
    auto control = weak.lock();
    if (!control) {
        return;
    }
    auto window = control->window();
    if (!window) {
        return;
    }
    if (!window->isKeyWindow()) {
        window->makeKeyWindow();
    }
    window->makeFirstResponder(control);
}
} // namespace detail

void setTarget(const std::shared_ptr<ui::Control>& control, const std::shared_ptr<ui::Object>& target,
               ui::Selector action) {
    control->setTarget(target);
    control->setAction(std::move(action));
}

ControlPublisher::ControlPublisher(const std::shared_ptr<ui::Control>& control) : control_(control) {
    setActionHandler(actionSelector,
                     [this](const std::shared_ptr<ui::Object>& sender) { controlActionWithSender(sender); });
}

std::shared_ptr<ControlPublisher> ControlPublisher::make(const std::shared_ptr<ui::Control>& control) {
    auto publisher = std::make_shared<ControlPublisher>(control);
    control->setTarget(publisher);
    control->setAction(actionSelector);
    return publisher;
}

void ControlPublisher::controlActionWithSender(const std::shared_ptr<ui::Object>& sender) {
    auto control = std::dynamic_pointer_cast<ui::Control>(sender);
    if (!control) {
        detail::senderTypeMismatch("ControlPublisher");
    }
    subject_.send(control);
}

std::shared_ptr<ControlPublisher> actionPublisher(const std::shared_ptr<ui::Control>& control) {
    if (auto existing =
            std::dynamic_pointer_cast<ControlPublisher>(control->associatedObject(detail::publisherKey))) {
        return existing;
    }
    auto publisher = ControlPublisher::make(control);
    control->setAssociatedObject(detail::publisherKey, publisher);
    return publisher;
}

core::Publisher<std::shared_ptr<ui::MenuItem>>
selectedItemPublisher(const std::shared_ptr<ui::PopUpButton>& popUp) {
    return actionPublisher(popUp)->publisher<ui::PopUpButton>().map(
        [](const std::shared_ptr<ui::PopUpButton>& sender) { return sender->selectedItem(); });
}

core::Publisher<int> statePublisher(const std::shared_ptr<ui::Button>& button) {
    return actionPublisher(button)->publisher<ui::Button>().map(
        [](const std::shared_ptr<ui::Button>& sender) { return sender->state(); });
}

core::Publisher<double> doubleValuePublisher(const std::shared_ptr<ui::Control>& control) {
    return actionPublisher(control)->publisher().map(
        [](const std::shared_ptr<ui::Control>& sender) { return sender->doubleValue(); });
}

} // namespace vimbra
