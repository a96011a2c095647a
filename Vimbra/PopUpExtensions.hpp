#pragma once

// Pop-up buttons that present MenuPresentable values and step through their items, context menus shown
// from a view or a button, and tests of mouse events. Main thread only.

#include "Vimbra/ControlActions.hpp"
#include "Vimbra/MenuModel.hpp"
#include "core/Cancellable.hpp"
#include "core/MainQueue.hpp"
#include "core/Publisher.hpp"
#include "ui/Event.hpp"
#include "ui/PopUpButton.hpp"

#include <any>
#include <concepts>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

namespace vimbra {

// A value a pop-up button can present and read back.
template <class T>
concept PopUpValue = MenuPresentableValue<T> && RawRepresentable<T>;

// The raw value held by a represented object or carried by a tag. An integral raw type also takes any
// integer that fits it (represented objects hold integers as std::int64_t or std::uint64_t).
template <class Raw> std::optional<Raw> rawValueFrom(const std::any& object) {
    if (const auto* exact = std::any_cast<Raw>(&object)) {
        return *exact;
    }
    if constexpr (std::integral<Raw>) {
        if (const auto* wide = std::any_cast<std::int64_t>(&object); wide && std::in_range<Raw>(*wide)) {
            return static_cast<Raw>(*wide);
        }
        if (const auto* wide = std::any_cast<std::uint64_t>(&object); wide && std::in_range<Raw>(*wide)) {
            return static_cast<Raw>(*wide);
        }
    }
    return std::nullopt;
}

template <class Raw> std::optional<Raw> rawValueFromTag(std::int64_t tag) {
    if constexpr (std::integral<Raw>) {
        if (std::in_range<Raw>(tag)) {
            return static_cast<Raw>(tag);
        }
    }
    return std::nullopt;
}

// The tag that selects a value: its raw value, for integral raw types that fit a tag.
template <class Raw> std::optional<std::int64_t> tagFromRawValue(const Raw& raw) {
    if constexpr (std::integral<Raw>) {
        if (std::in_range<std::int64_t>(raw)) {
            return static_cast<std::int64_t>(raw);
        }
    }
    return std::nullopt;
}

// Selects the first item whose represented object holds the value's raw value; without such an item
// (or without a menu) the selection stays as it was.
template <PopUpValue T> void select(ui::PopUpButton& popUp, const T& value) {
    const auto& items = popUp.itemArray();
    for (std::size_t index = 0; index < items.size(); ++index) {
        const auto raw = rawValueFrom<typename T::RawValue>(items[index]->representedObject());
        if (raw && *raw == value.rawValue()) {
            popUp.selectItemAt(static_cast<std::int64_t>(index));
            return;
        }
    }
}

// Registers the library's actions with the toolkit: every pop-up button answers "selectNextItem:" and
// "selectPreviousItem:", and every object "popUpContextMenuForButton:" (see below). Calling it again does
// nothing. Filling a pop-up through these templates, making one of the library's pop-up buttons or a
// pop-up cycling button does it, and a program that does any of these has the actions from its start; a
// program that sends them only to pop-ups and buttons of its own calls this once before.
void installExtensionActions();

// Replaces the pop-up's items with the menu of the value type's structure (built with no target and no
// action, so choosing an item sends the pop-up's own action) and selects the current value.
template <PopUpValue T> void fillMenu(ui::PopUpButton& popUp) {
    installExtensionActions();
    popUp.removeAllItems();
    auto menu = T::menuStructure().submenuMenu();
    popUp.setMenu(menu ? menu : ui::Menu::make());
}
template <PopUpValue T> void fill(ui::PopUpButton& popUp, const T& current) {
    fillMenu<T>(popUp);
    select(popUp, current);
}

// The value of the selected item's represented object; nullopt when any step fails.
template <PopUpValue T> std::optional<T> selectedValue(const ui::PopUpButton& popUp) {
    const auto item = popUp.selectedItem();
    if (!item) {
        return std::nullopt;
    }
    const auto raw = rawValueFrom<typename T::RawValue>(item->representedObject());
    return raw ? T::fromRawValue(*raw) : std::nullopt;
}

namespace detail {
inline void onMainThread(std::function<void()> work) {
    if (core::isMainThread()) {
        work();
    } else {
        core::MainQueue::shared().async(std::move(work));
    }
}
} // namespace detail

// Binds the pop-up to a published value: fills it; each published value selects the item tagged with its
// raw value; each choice in the pop-up calls onChange with the value of the chosen item's tag. Both
// subscriptions go into store and run their bodies on the main thread. The pop-up is held weakly: values
// published after it is gone are skipped. Call it qualified (vimbra::bind): std::bind is otherwise found
// through the arguments and wins.
template <PopUpValue T>
void bind(const std::shared_ptr<ui::PopUpButton>& popUp, const core::Publisher<T>& published,
          core::CancellableSet& store, std::function<void(const T&)> onChange) {
    fillMenu<T>(*popUp);
    published
        .sink([weak = std::weak_ptr<ui::PopUpButton>(popUp)](const T& value) {
            const auto tag = tagFromRawValue(value.rawValue());
            if (!tag) {
                return;
            }
            detail::onMainThread([weak, tag = *tag] {
                if (auto popUp = weak.lock()) {
                    popUp->selectItemWithTag(tag);
                }
            });
        })
        .store(store);
    selectedItemPublisher(popUp)
        .sink([onChange = std::move(onChange)](const std::shared_ptr<ui::MenuItem>& item) {
            if (!item) {
                return;
            }
            const auto raw = rawValueFromTag<typename T::RawValue>(item->tag());
            if (!raw) {
                return;
            }
            if (auto value = T::fromRawValue(*raw)) {
                detail::onMainThread([onChange, value = *value] { onChange(value); });
            }
        })
        .store(store);
}

// Select the next (previous) enabled item that is not a separator, wrapping to the first (last) item of
// the menu whatever it is, then send the pop-up's action (when it has one) to its target or up the
// responder chain. With nothing selected both search the whole menu from their own end. Every pop-up
// button also answers the actions "selectNextItem:" and "selectPreviousItem:" this way.
void selectNextItem(const std::shared_ptr<ui::PopUpButton>& popUp);
void selectPreviousItem(const std::shared_ptr<ui::PopUpButton>& popUp);

// Pops up the view's menu at the top-left corner of its bounds (minX, maxY); nothing without a menu.
// Any object answers "popUpContextMenuForButton:" by popping up the sending view's menu.
void popUpMenu(const std::shared_ptr<ui::View>& view);

// A right-button press, or a left-button press with Control held.
bool isSecondaryClick(const ui::Event& event);
// Whether the left (right) mouse button is held, as of the last event.
bool isLeftMouseButtonDown();
bool isRightMouseButtonDown();

} // namespace vimbra
