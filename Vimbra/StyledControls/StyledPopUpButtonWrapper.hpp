#pragma once

// The library's pop-up button in a declarative tree: a list of items (titles, images, separators,
// sub-menus, enabled flags, each with an optional value) and a binding to the selected value. The pop-up
// shows the item whose value equals the binding and writes the value of a chosen item back through it.
// Everything runs on the main thread: choices arrive as menu actions, and the button follows the binding
// when the tree re-evaluates.

#include "Vimbra/Protocols.hpp"
#include "Vimbra/StyledControls/StyledPopUpButton.hpp"
#include "declarative/Declarative.hpp"
#include "ui/Menu.hpp"

#include <concepts>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace vimbra {

template <std::equality_comparable T> struct PopupItem {
    std::optional<T> object; // what choosing the item selects; none: nothing
    std::string title;
    graphics::ImageRef image;
    bool isDivider = false; // a separator: the other fields are ignored
    bool isEnabled = true;
    std::optional<std::vector<PopupItem>> subMenu;

    PopupItem(std::optional<T> object, std::string title, graphics::ImageRef image = nullptr,
              bool isEnabled = true)
        : object(std::move(object)), title(std::move(title)), image(std::move(image)), isEnabled(isEnabled) {}
    explicit PopupItem(bool isDivider) : isDivider(isDivider) {}
    // The title a Displayable value shows; the value itself is the object when it is a T.
    template <std::derived_from<Displayable> D>
    PopupItem(const D& displayable, graphics::ImageRef image)
        : title(displayable.displayString()), image(std::move(image)) {
        if constexpr (std::is_same_v<D, T>) {
            object = displayable;
        } else if constexpr (std::is_polymorphic_v<D> && std::derived_from<T, D>) {
            if (const auto* value = dynamic_cast<const T*>(&displayable)) {
                object = *value;
            }
        }
    }

    static PopupItem divider() { return PopupItem(true); }

    // A separator, or an item with the title, the action and target, the value as its represented object,
    // the enabled flag and the image; a sub-menu (not auto-enabled) of the sub-items built the same way.
    std::shared_ptr<ui::MenuItem> asMenuItem(const ui::Selector& action,
                                             const std::shared_ptr<ui::Object>& target) const {
        if (isDivider) {
            return ui::MenuItem::separatorItem();
        }
        auto item = ui::MenuItem::make(title, action);
        item->setTarget(target);
        if (object) {
            item->setRepresentedObject(*object);
        }
        item->setEnabled(isEnabled);
        item->setImage(image);
        if (subMenu) {
            auto menu = ui::Menu::make();
            menu->setAutoenablesItems(false);
            for (const auto& sub : *subMenu) {
                menu->addItem(sub.asMenuItem(action, target));
            }
            item->setSubmenu(menu);
        }
        return item;
    }
};

namespace detail {
// The key under which a wrapped pop-up keeps its coordinator.
inline constexpr char popUpCoordinatorKey = 0;

// Every item of the menu, each followed by the items of its sub-menu, depth first.
void flattenMenu(const ui::Menu& menu, std::vector<std::shared_ptr<ui::MenuItem>>& into);

// Shows the item: selects it when it is one of the pop-up's own items, else (an item of a sub-menu)
// shows it through the cell's own item, with nothing selected at the top. Null: the first item, as a
// freshly filled pop-up shows, or nothing when there are no items.
void showItem(StyledPopUpButton& button, const std::shared_ptr<ui::MenuItem>& item);
} // namespace detail

template <std::equality_comparable T> struct StyledPopUpButtonWrapper {
    std::vector<PopupItem<T>> items;
    declarative::Binding<T> selection;
    std::optional<std::string> label;
    std::optional<double> fixedWidth; // read only when the button is made

    // The target of every item's action: writes the chosen item's value through the binding.
    class Coordinator : public ui::Object {
    public:
        static constexpr const char* menuItemSelectedAction = "menuItemSelected:";

        explicit Coordinator(declarative::Binding<T> selection) : selection(std::move(selection)) {
            setActionHandler(menuItemSelectedAction, [this](const std::shared_ptr<ui::Object>& sender) {
                if (auto item = std::dynamic_pointer_cast<ui::MenuItem>(sender)) {
                    menuItemSelected(*item);
                }
            });
        }

        // An item without a value, or with one of another type, writes nothing.
        void menuItemSelected(const ui::MenuItem& item) {
            if (const auto* value = std::any_cast<T>(&item.representedObject())) {
                selection.set(*value);
            }
        }

        declarative::Binding<T> selection;
    };

    std::shared_ptr<Coordinator> makeCoordinator() const { return std::make_shared<Coordinator>(selection); }

    // A bordered pop-up of the fixed width, with the label, whose items keep their own enabled flags.
    std::shared_ptr<StyledPopUpButton> makeView(const std::shared_ptr<Coordinator>& coordinator,
                                                const T& selected) const {
        auto button = std::make_shared<StyledPopUpButton>(graphics::Rect{}, false, fixedWidth);
        button->setLabel(label);
        button->setAutoenablesItems(false);
        button->setAssociatedObject(&detail::popUpCoordinatorKey, coordinator);
        configureMenu(*button, *coordinator, selected);
        return button;
    }

    // Rebuilds the menu, shows the selection, passes the label on and hands the coordinator the newest
    // binding.
    void updateView(StyledPopUpButton& button, const T& selected) const {
        auto coordinator =
            std::static_pointer_cast<Coordinator>(button.associatedObject(&detail::popUpCoordinatorKey));
        button.removeAllItems();
        configureMenu(button, *coordinator, selected);
        button.setLabel(label);
        coordinator->selection = selection;
    }

    // The items, then the first of them (depth first) whose value equals the selection.
    void configureMenu(StyledPopUpButton& button, Coordinator& coordinator, const T& selected) const {
        auto menu = button.menu();
        auto target = coordinator.template sharedAs<ui::Object>();
        for (const auto& item : items) {
            menu->addItem(item.asMenuItem(Coordinator::menuItemSelectedAction, target));
        }
        std::vector<std::shared_ptr<ui::MenuItem>> flat;
        detail::flattenMenu(*menu, flat);
        for (const auto& item : flat) {
            if (const auto* value = std::any_cast<T>(&item->representedObject());
                value && *value == selected) {
                detail::showItem(button, item);
                return;
            }
        }
        detail::showItem(button, nullptr);
    }

    // The representable; the selection is read here, so a change of it re-evaluates the wrapper.
    declarative::View body(declarative::Context&) const {
        const T selected = selection.get();
        auto wrapper = *this;
        return declarative::represent(declarative::Representable<StyledPopUpButton>{
            [wrapper, selected] { return wrapper.makeView(wrapper.makeCoordinator(), selected); },
            [wrapper, selected](StyledPopUpButton& button) { wrapper.updateView(button, selected); },
            {}});
    }
};

} // namespace vimbra
