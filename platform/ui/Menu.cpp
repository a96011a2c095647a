#include "ui/Menu.hpp"

#include "ui/Application.hpp"
#include "ui/Cell.hpp"
#include "ui/MenuTracking.hpp"
#include "ui/View.hpp"
#include "ui/Window.hpp"
#include "ui/WindowBackend.hpp"

#include <algorithm>
#include <cctype>

namespace ui {

using graphics::Point;

// ---------------------------------------------------------------------------------------------------
// MenuItem

MenuItem::MenuItem(std::string title, Selector action, std::string keyEquivalent)
    : title_(std::move(title)), action_(std::move(action)), keyEquivalent_(std::move(keyEquivalent)) {}

std::shared_ptr<MenuItem> MenuItem::make(std::string title, Selector action, std::string keyEquivalent) {
    return std::make_shared<MenuItem>(std::move(title), std::move(action), std::move(keyEquivalent));
}

std::shared_ptr<MenuItem> MenuItem::separatorItem() {
    auto item = std::make_shared<MenuItem>();
    item->kind_ = Kind::separator;
    item->enabled_ = false;
    return item;
}

std::shared_ptr<MenuItem> MenuItem::sectionHeader(std::string title) {
    auto item = std::make_shared<MenuItem>(std::move(title), Selector{});
    item->kind_ = Kind::sectionHeader;
    item->enabled_ = false;
    return item;
}

void MenuItem::changed() {
    if (auto m = menu()) {
        m->itemChanged(*this);
    }
}

void MenuItem::setTitle(std::string title) {
    title_ = std::move(title);
    changed();
}

void MenuItem::setState(int state) {
    state_ = state;
    changed();
}

void MenuItem::setImage(graphics::ImageRef image) {
    image_ = std::move(image);
    changed();
}

void MenuItem::setOnStateImage(graphics::ImageRef image) {
    onStateImage_ = std::move(image);
    changed();
}

void MenuItem::setOffStateImage(graphics::ImageRef image) {
    offStateImage_ = std::move(image);
    changed();
}

void MenuItem::setMixedStateImage(graphics::ImageRef image) {
    mixedStateImage_ = std::move(image);
    changed();
}

graphics::ImageRef MenuItem::stateImage() const {
    if (state_ == StateValue::on) {
        return onStateImage_;
    }
    if (state_ == StateValue::mixed) {
        return mixedStateImage_;
    }
    return offStateImage_;
}

void MenuItem::setAlternate(bool alternate) {
    alternate_ = alternate;
    changed();
}

void MenuItem::setSubmenu(const std::shared_ptr<Menu>& submenu) {
    if (submenu == submenu_) {
        return;
    }
    if (submenu_) {
        submenu_->supermenu_.reset();
    }
    submenu_ = submenu;
    if (submenu_) {
        submenu_->supermenu_ = menu_;
    }
    changed();
}

void MenuItem::setEnabled(bool enabled) {
    if (enabled != enabled_) {
        enabled_ = enabled;
        changed();
    }
}

void MenuItem::setHidden(bool hidden) {
    if (hidden != hidden_) {
        hidden_ = hidden;
        changed();
    }
}

bool MenuItem::isSelectable() const {
    return kind_ == Kind::standard && !hidden_;
}

// ---------------------------------------------------------------------------------------------------
// Menu

Menu::Menu(std::string title) : title_(std::move(title)) {}

Menu::~Menu() {
    for (auto& item : items_) {
        item->menu_.reset();
    }
}

graphics::FontRef Menu::font() const {
    return font_ ? font_ : graphics::Font::systemFont(MenuMetrics::fontSize);
}

void Menu::adopt(const std::shared_ptr<MenuItem>& item) {
    if (auto old = item->menu(); old && old.get() != this) {
        old->removeItem(item);
    }
    item->menu_ = sharedAs<Menu>();
    if (item->submenu_) {
        item->submenu_->supermenu_ = sharedAs<Menu>();
    }
}

void Menu::release(MenuItem& item) {
    item.menu_.reset();
    if (item.submenu_) {
        item.submenu_->supermenu_.reset();
    }
}

void Menu::itemChanged(const MenuItem&) {
    if (auto t = tracking()) {
        for (std::size_t i = 0; i < t->levels().size(); ++i) {
            if (t->levels()[i].menu.get() == this && t->presenter()) {
                t->presenter()->updateLevel(*t, i);
            }
        }
    }
}

void Menu::setItems(const std::vector<std::shared_ptr<MenuItem>>& items) {
    removeAllItems();
    for (const auto& item : items) {
        addItem(item);
    }
}

void Menu::addItem(const std::shared_ptr<MenuItem>& item) {
    insertItem(item, items_.size());
}

std::shared_ptr<MenuItem> Menu::addItem(std::string title, Selector action, std::string keyEquivalent) {
    auto item = MenuItem::make(std::move(title), std::move(action), std::move(keyEquivalent));
    addItem(item);
    return item;
}

void Menu::insertItem(const std::shared_ptr<MenuItem>& item, std::size_t index) {
    if (!item) {
        return;
    }
    if (item->menu().get() == this) {
        // Moving within this menu.
        items_.erase(std::find(items_.begin(), items_.end(), item));
    } else {
        adopt(item);
    }
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(std::min(index, items_.size())), item);
}

void Menu::removeItem(const std::shared_ptr<MenuItem>& item) {
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it != items_.end()) {
        removeItemAt(static_cast<std::size_t>(it - items_.begin()));
    }
}

void Menu::removeItemAt(std::size_t index) {
    if (index >= items_.size()) {
        return;
    }
    auto item = items_[index];
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
    release(*item);
}

void Menu::removeAllItems() {
    auto old = std::move(items_);
    items_.clear();
    for (auto& item : old) {
        release(*item);
    }
}

std::shared_ptr<MenuItem> Menu::itemAt(std::int64_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) {
        return nullptr;
    }
    return items_[static_cast<std::size_t>(index)];
}

namespace {

template <class Predicate>
std::int64_t findIndex(const std::vector<std::shared_ptr<MenuItem>>& items, Predicate predicate) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (predicate(*items[i])) {
            return static_cast<std::int64_t>(i);
        }
    }
    return -1;
}

// The characters of a key equivalent compared without case; shift is part of an upper-case equivalent.
std::string lowered(const std::string& text) {
    std::string out = text;
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

} // namespace

std::int64_t Menu::indexOfItem(const MenuItem& item) const {
    return findIndex(items_, [&](const MenuItem& i) { return &i == &item; });
}

std::int64_t Menu::indexOfItemWithTag(std::int64_t tag) const {
    return findIndex(items_, [&](const MenuItem& i) { return i.tag() == tag; });
}

std::int64_t Menu::indexOfItemWithTitle(const std::string& title) const {
    return findIndex(items_, [&](const MenuItem& i) { return i.title() == title; });
}

std::int64_t Menu::indexOfItemWithSubmenu(const Menu& submenu) const {
    return findIndex(items_, [&](const MenuItem& i) { return i.submenu().get() == &submenu; });
}

void Menu::update() {
    auto self = sharedAs<Menu>();
    if (auto d = delegate()) {
        d->menuNeedsUpdate(self);
    }
    if (!autoenables_) {
        return;
    }
    auto app = Application::shared();
    // Copy: a validator may change the item list.
    const auto items = items_;
    for (const auto& item : items) {
        if (!item->isSelectable()) {
            continue;
        }
        if (item->action().empty()) {
            continue; // nothing to ask about: the item's own flag holds (pop-up items, submenu items)
        }
        bool enabled = false;
        if (auto receiver = app->targetForAction(item->action(), item->target(), item)) {
            auto* validator = dynamic_cast<MenuItemValidation*>(receiver.get());
            enabled = !validator || validator->validateMenuItem(item);
        }
        item->setEnabled(enabled);
    }
}

bool Menu::performActionForItemAt(std::int64_t index) {
    auto item = itemAt(index);
    if (!item || !item->isEnabled() || !item->isSelectable() || item->action().empty()) {
        return false;
    }
    return Application::shared()->sendAction(item->action(), item->target(), item);
}

bool Menu::performKeyEquivalent(const Event& event) {
    if (event.type != EventType::keyDown) {
        return false;
    }
    update();
    constexpr ModifierFlags relevant =
        Modifier::shift | Modifier::control | Modifier::option | Modifier::command;
    const ModifierFlags held = event.modifierFlags & relevant;
    const std::string typed = lowered(
        event.charactersIgnoringModifiers.empty() ? event.characters : event.charactersIgnoringModifiers);
    const auto items = items_;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto& item = items[i];
        if (item->hasSubmenu() && item->submenu()->performKeyEquivalent(event)) {
            return true;
        }
        const std::string& key = item->keyEquivalent();
        if (key.empty() || !item->isSelectable()) {
            continue;
        }
        // An upper-case letter implies shift.
        ModifierFlags wanted = item->keyEquivalentModifierMask() & relevant;
        if (key.size() == 1 && std::isupper(static_cast<unsigned char>(key[0]))) {
            wanted |= Modifier::shift;
        }
        if (wanted != held || lowered(key) != typed) {
            continue;
        }
        if (!item->isEnabled()) {
            return false;
        }
        return performActionForItemAt(static_cast<std::int64_t>(i));
    }
    return false;
}

std::shared_ptr<MenuTracking> Menu::tracking() const {
    for (const auto& t : Application::shared()->menuTrackings()) {
        for (const auto& level : t->levels()) {
            if (level.menu.get() == this) {
                return t;
            }
        }
    }
    return nullptr;
}

std::shared_ptr<MenuItem> Menu::highlightedItem() const {
    auto t = tracking();
    if (!t) {
        return nullptr;
    }
    for (std::size_t i = 0; i < t->levels().size(); ++i) {
        if (t->levels()[i].menu.get() == this) {
            return t->highlightedItem(i);
        }
    }
    return nullptr;
}

void Menu::cancelTracking() {
    if (auto t = tracking()) {
        t->cancel();
    }
}

std::shared_ptr<MenuPresenter> menuPresenterFor(const std::shared_ptr<View>& view) {
    if (view) {
        if (auto window = view->window(); window && window->backend()) {
            if (auto presenter = window->backend()->menuPresenter()) {
                return presenter;
            }
        }
    }
    return detachedMenuPresenter();
}

namespace {

void sendChosenAction(const std::shared_ptr<MenuItem>& chosen) {
    if (chosen && !chosen->action().empty()) {
        Application::shared()->sendAction(chosen->action(), chosen->target(), chosen);
    }
}

} // namespace

bool Menu::popUp(const std::shared_ptr<MenuItem>& positioningItem, Point location,
                 const std::shared_ptr<View>& view, std::function<void()> didClose) {
    auto presenter = menuPresenterFor(view);
    Point screen = location;
    const Event* opening = nullptr;
    auto app = Application::shared();
    if (view) {
        auto window = view->window();
        if (!window) {
            return false;
        }
        screen = presenter->convertToScreen(*window, view->convertPointToView(location, nullptr));
        if (const Event* current = app->currentEvent();
            current && current->window.lock() == window &&
            (current->type == EventType::leftMouseDown || current->type == EventType::rightMouseDown)) {
            opening = current;
        }
    }
    MenuTracking::Completion completion = sendChosenAction;
    if (didClose) {
        completion = [didClose = std::move(didClose)](const std::shared_ptr<MenuItem>& chosen) {
            try {
                sendChosenAction(chosen);
            } catch (...) {
                didClose(); // also when the action throws to a caller that goes on
                throw;
            }
            didClose();
        };
    }
    auto tracking = MenuTracking::begin(sharedAs<Menu>(), positioningItem, screen, std::move(presenter),
                                        std::move(completion), opening, view ? view->window() : nullptr);
    return tracking != nullptr;
}

bool Menu::popUpContextMenu(const std::shared_ptr<Menu>& menu, const Event& event,
                            const std::shared_ptr<View>& view) {
    if (!menu || !view) {
        return false;
    }
    auto window = view->window();
    if (!window) {
        return false;
    }
    auto presenter = menuPresenterFor(view);
    const Point screen = presenter->convertToScreen(*window, event.locationInWindow);
    const bool isPress = event.type == EventType::rightMouseDown || event.type == EventType::leftMouseDown;
    return MenuTracking::begin(menu, nullptr, screen, std::move(presenter), sendChosenAction,
                               isPress ? &event : nullptr, window) != nullptr;
}

} // namespace ui
