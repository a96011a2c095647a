#include "Vimbra/PopUpExtensions.hpp"

#include "ui/Application.hpp"

#include <mutex>

namespace vimbra {

namespace {

bool isCandidate(const ui::MenuItem& item) {
    return item.isEnabled() && !item.isSeparatorItem();
}

void selectAndSend(const std::shared_ptr<ui::PopUpButton>& popUp, const std::shared_ptr<ui::MenuItem>& item) {
    popUp->selectItem(item);
    if (!popUp->action().empty()) {
        ui::Application::shared()->sendAction(popUp->action(), popUp->target(), popUp);
    }
}

const char extensionOwner = 0;

// Every way into the actions (filling a pop-up through the templates, the library's pop-up buttons, the
// cycling button) calls installExtensionActions, so a program that takes any of them links this file
// whatever its link options, and this registers the actions as soon as that program starts.
const bool installedAtStart = [] {
    installExtensionActions();
    return true;
}();

} // namespace

void selectNextItem(const std::shared_ptr<ui::PopUpButton>& popUp) {
    const auto& items = popUp->itemArray();
    const auto selected = popUp->indexOfSelectedItem();
    std::shared_ptr<ui::MenuItem> candidate;
    for (auto index = static_cast<std::size_t>(selected + 1); index < items.size(); ++index) {
        if (isCandidate(*items[index])) {
            candidate = items[index];
            break;
        }
    }
    if (!candidate && !items.empty()) {
        candidate = items.front();
    }
    selectAndSend(popUp, candidate);
}

void selectPreviousItem(const std::shared_ptr<ui::PopUpButton>& popUp) {
    const auto& items = popUp->itemArray();
    auto end = popUp->indexOfSelectedItem();
    if (end < 0) {
        end = static_cast<std::int64_t>(items.size()); // nothing selected: the whole menu, from its end
    }
    std::shared_ptr<ui::MenuItem> candidate;
    for (auto index = end - 1; index >= 0; --index) {
        if (isCandidate(*items[static_cast<std::size_t>(index)])) {
            candidate = items[static_cast<std::size_t>(index)];
            break;
        }
    }
    if (!candidate && !items.empty()) {
        candidate = items.back();
    }
    selectAndSend(popUp, candidate);
}

void popUpMenu(const std::shared_ptr<ui::View>& view) {
    if (!view) {
        return;
    }
    if (auto menu = view->menu()) {
        const auto bounds = view->bounds();
        menu->popUp(nullptr, {bounds.minX(), bounds.maxY()}, view);
    }
}

void installExtensionActions() {
    static std::once_flag once;
    std::call_once(once, [] {
        const auto isPopUp = [](const ui::Object& receiver) {
            return dynamic_cast<const ui::PopUpButton*>(&receiver) != nullptr;
        };
        ui::Object::addExtensionAction(&extensionOwner, "selectNextItem:", isPopUp,
                                       [](ui::Object& receiver, const std::shared_ptr<ui::Object>&) {
                                           selectNextItem(receiver.sharedAs<ui::PopUpButton>());
                                       });
        ui::Object::addExtensionAction(&extensionOwner, "selectPreviousItem:", isPopUp,
                                       [](ui::Object& receiver, const std::shared_ptr<ui::Object>&) {
                                           selectPreviousItem(receiver.sharedAs<ui::PopUpButton>());
                                       });
        ui::Object::addExtensionAction(&extensionOwner, "popUpContextMenuForButton:", nullptr,
                                       [](ui::Object&, const std::shared_ptr<ui::Object>& sender) {
                                           popUpMenu(std::dynamic_pointer_cast<ui::View>(sender));
                                       });
    });
}

bool isSecondaryClick(const ui::Event& event) {
    if (event.type == ui::EventType::rightMouseDown) {
        return true;
    }
    return event.type == ui::EventType::leftMouseDown && (event.modifierFlags & ui::Modifier::control) != 0;
}

bool isLeftMouseButtonDown() {
    return (ui::Application::shared()->pressedMouseButtons() & 1u) != 0;
}

bool isRightMouseButtonDown() {
    return (ui::Application::shared()->pressedMouseButtons() & 2u) != 0;
}

} // namespace vimbra
