#pragma once

// Menus and menu items: the model that pop-up buttons, context menus and the application's menus share.
// Items carry an action sent to their target (or up the responder chain), a tag, a represented object,
// a state with its images, a key equivalent, and optionally a submenu. An alternate item follows the item
// it stands in for and is shown instead of it while its modifier keys are held.

#include "graphics/Font.hpp"
#include "graphics/Geometry.hpp"
#include "graphics/Image.hpp"
#include "ui/Event.hpp"
#include "ui/Responder.hpp"

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ui {

class Menu;
class MenuItem;
class MenuTracking;
class View;

// What a menu's delegate hears. A class that is also an Object can be a delegate and an action target
// at once (an open-recent menu's delegate fills the menu and answers its items).
class MenuDelegate {
public:
    virtual ~MenuDelegate() = default;
    // The menu is about to be shown or searched for a key equivalent: the place to rebuild its items.
    virtual void menuNeedsUpdate(const std::shared_ptr<Menu>& menu) { (void)menu; }
    virtual void menuWillOpen(const std::shared_ptr<Menu>& menu) { (void)menu; }
    virtual void menuDidClose(const std::shared_ptr<Menu>& menu) { (void)menu; }
};

class MenuItem : public Object {
public:
    MenuItem() = default;
    MenuItem(std::string title, Selector action, std::string keyEquivalent = {});

    static std::shared_ptr<MenuItem> make(std::string title, Selector action = {},
                                          std::string keyEquivalent = {});
    // A new separator item (a fresh object on each call).
    static std::shared_ptr<MenuItem> separatorItem();
    // A new, non-selectable section title.
    static std::shared_ptr<MenuItem> sectionHeader(std::string title);

    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    const Selector& action() const { return action_; }
    void setAction(Selector action) { action_ = std::move(action); }
    std::shared_ptr<Object> target() const { return target_.lock(); }
    void setTarget(const std::shared_ptr<Object>& target) { target_ = target; }
    std::int64_t tag() const { return tag_; }
    void setTag(std::int64_t tag) { tag_ = tag; }
    const std::any& representedObject() const { return representedObject_; }
    void setRepresentedObject(std::any object) { representedObject_ = std::move(object); }

    // State (StateValue::on/off/mixed) and the images shown for it. Without an on or mixed image the
    // menu draws a check mark or a dash.
    int state() const { return state_; }
    void setState(int state);
    graphics::ImageRef image() const { return image_; }
    void setImage(graphics::ImageRef image);
    graphics::ImageRef onStateImage() const { return onStateImage_; }
    void setOnStateImage(graphics::ImageRef image);
    graphics::ImageRef offStateImage() const { return offStateImage_; }
    void setOffStateImage(graphics::ImageRef image);
    graphics::ImageRef mixedStateImage() const { return mixedStateImage_; }
    void setMixedStateImage(graphics::ImageRef image);
    // The image for the item's current state (null: none).
    graphics::ImageRef stateImage() const;

    // Key equivalent: the character and the modifiers that go with it (command by default).
    const std::string& keyEquivalent() const { return keyEquivalent_; }
    void setKeyEquivalent(std::string key) { keyEquivalent_ = std::move(key); }
    ModifierFlags keyEquivalentModifierMask() const { return keyEquivalentModifierMask_; }
    void setKeyEquivalentModifierMask(ModifierFlags mask) { keyEquivalentModifierMask_ = mask; }

    // An alternate stands in for the item before it while its modifier mask is held.
    bool isAlternate() const { return alternate_; }
    void setAlternate(bool alternate);

    std::shared_ptr<Menu> submenu() const { return submenu_; }
    // Gives the item a submenu (null removes it); the submenu's supermenu becomes the item's menu.
    void setSubmenu(const std::shared_ptr<Menu>& submenu);
    bool hasSubmenu() const { return submenu_ != nullptr; }
    // The menu that holds the item.
    std::shared_ptr<Menu> menu() const { return menu_.lock(); }

    bool isSeparatorItem() const { return kind_ == Kind::separator; }
    bool isSectionHeader() const { return kind_ == Kind::sectionHeader; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    // Whether the item can be highlighted and chosen at all (not a separator, header or hidden item).
    bool isSelectable() const;

private:
    friend class Menu;
    enum class Kind { standard, separator, sectionHeader };
    void changed();

    Kind kind_ = Kind::standard;
    std::string title_;
    Selector action_;
    std::weak_ptr<Object> target_;
    std::int64_t tag_ = 0;
    std::any representedObject_;
    int state_ = 0;
    graphics::ImageRef image_;
    graphics::ImageRef onStateImage_;
    graphics::ImageRef offStateImage_;
    graphics::ImageRef mixedStateImage_;
    std::string keyEquivalent_;
    ModifierFlags keyEquivalentModifierMask_ = Modifier::command;
    bool alternate_ = false;
    std::shared_ptr<Menu> submenu_;
    std::weak_ptr<Menu> menu_;
    bool enabled_ = true;
    bool hidden_ = false;
};

class Menu : public Object {
public:
    explicit Menu(std::string title = {});
    ~Menu() override;
    static std::shared_ptr<Menu> make(std::string title = {}) {
        return std::make_shared<Menu>(std::move(title));
    }

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }

    // Items. An item belongs to one menu: adding it elsewhere takes it out of its old menu first.
    const std::vector<std::shared_ptr<MenuItem>>& items() const { return items_; }
    void setItems(const std::vector<std::shared_ptr<MenuItem>>& items);
    std::size_t numberOfItems() const { return items_.size(); }
    void addItem(const std::shared_ptr<MenuItem>& item);
    std::shared_ptr<MenuItem> addItem(std::string title, Selector action, std::string keyEquivalent = {});
    void insertItem(const std::shared_ptr<MenuItem>& item, std::size_t index);
    void removeItem(const std::shared_ptr<MenuItem>& item);
    void removeItemAt(std::size_t index);
    void removeAllItems();
    // Null when out of range.
    std::shared_ptr<MenuItem> itemAt(std::int64_t index) const;
    // -1 when absent.
    std::int64_t indexOfItem(const MenuItem& item) const;
    std::int64_t indexOfItemWithTag(std::int64_t tag) const;
    std::int64_t indexOfItemWithTitle(const std::string& title) const;
    std::int64_t indexOfItemWithSubmenu(const Menu& submenu) const;
    std::shared_ptr<MenuItem> itemWithTag(std::int64_t tag) const { return itemAt(indexOfItemWithTag(tag)); }
    std::shared_ptr<MenuItem> itemWithTitle(const std::string& title) const {
        return itemAt(indexOfItemWithTitle(title));
    }

    // The menu whose item has this menu as its submenu.
    std::shared_ptr<Menu> supermenu() const { return supermenu_.lock(); }

    // Auto-enabling: when on (the default), update() enables each item whose action has a receiver that
    // does not refuse it in validateMenuItem. Items without an action keep their own flag (a pop-up's
    // items send the button's action; a submenu's item only opens it).
    bool autoenablesItems() const { return autoenables_; }
    void setAutoenablesItems(bool flag) { autoenables_ = flag; }
    // Asks the delegate to rebuild the items, then auto-enables them. Runs before the menu is shown.
    void update();

    std::shared_ptr<MenuDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<MenuDelegate>& delegate) { delegate_ = delegate; }

    // Drawing and size of the presented menu.
    graphics::FontRef font() const;
    void setFont(graphics::FontRef font) { font_ = std::move(font); }
    double minimumWidth() const { return minimumWidth_; }
    void setMinimumWidth(double width) { minimumWidth_ = width < 0 ? 0 : width; }
    bool showsStateColumn() const { return showsStateColumn_; }
    void setShowsStateColumn(bool shows) { showsStateColumn_ = shows; }

    // Sends the item's action as if it had been chosen: to its target, or up the responder chain, with
    // the item as sender. False when the item is missing, disabled or nobody answered.
    bool performActionForItemAt(std::int64_t index);
    // Looks for an enabled item (here or in a submenu) whose key equivalent and modifiers match the key
    // event, and performs it. True when one was performed.
    bool performKeyEquivalent(const Event& event);

    // Presentation. The menu opens with its top-left corner at location (in view's coordinates, or
    // screen coordinates without a view), or, given a positioning item, with that item over location.
    // Returns false when nothing could be shown. The chosen item's action is sent after the menu closes;
    // then, when the menu was shown, didClose runs, however the menu closed (a choice, a dismissal, or
    // its window closing or being ordered out), also when the action throws.
    bool popUp(const std::shared_ptr<MenuItem>& positioningItem, graphics::Point location,
               const std::shared_ptr<View>& view, std::function<void()> didClose = nullptr);
    // A context menu for an event (a right-click or Control-click) in a view, opened at the pointer.
    static bool popUpContextMenu(const std::shared_ptr<Menu>& menu, const Event& event,
                                 const std::shared_ptr<View>& view);
    // The item highlighted while the menu is shown (null otherwise).
    std::shared_ptr<MenuItem> highlightedItem() const;
    // Closes the menu if it is being shown, choosing nothing.
    void cancelTracking();
    // The tracking session showing this menu (or a menu above it), if any.
    std::shared_ptr<MenuTracking> tracking() const;

private:
    friend class MenuItem;
    friend class MenuTracking;
    void adopt(const std::shared_ptr<MenuItem>& item);
    void release(MenuItem& item);
    void itemChanged(const MenuItem& item);

    std::string title_;
    std::vector<std::shared_ptr<MenuItem>> items_;
    std::weak_ptr<Menu> supermenu_;
    std::weak_ptr<MenuDelegate> delegate_;
    graphics::FontRef font_;
    bool autoenables_ = true;
    bool showsStateColumn_ = true;
    double minimumWidth_ = 0;
};

// An object's say on whether a menu item that would be sent to it is enabled. Targets that are
// Objects may also implement this; Menu::update() asks it when auto-enabling.
class MenuItemValidation {
public:
    virtual ~MenuItemValidation() = default;
    virtual bool validateMenuItem(const std::shared_ptr<MenuItem>& item) = 0;
};

} // namespace ui
