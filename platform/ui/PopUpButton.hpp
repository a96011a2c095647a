#pragma once

// Pop-up buttons: a button that shows a menu and keeps one of its items selected (its title is the
// selected item's), or, pulling down, a fixed title whose menu lists the items after the first.
// Selecting is by index, item or tag; -1 means nothing is selected.

#include "ui/Button.hpp"
#include "ui/Menu.hpp"

#include <any>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ui {

class PopUpButtonCell : public ButtonCell {
public:
    explicit PopUpButtonCell(std::string title = {}, bool pullsDown = false);

    std::shared_ptr<Menu> menu() const { return menu_; }
    // A new menu; the selection moves to its first item (pop-up) or none when it is empty.
    void setMenu(std::shared_ptr<Menu> menu);
    bool pullsDown() const { return pullsDown_; }
    void setPullsDown(bool pullsDown);
    bool autoenablesItems() const { return menu_->autoenablesItems(); }
    void setAutoenablesItems(bool flag) { menu_->setAutoenablesItems(flag); }

    // Items.
    void addItem(const std::string& title);
    void addItems(const std::vector<std::string>& titles);
    void insertItem(const std::string& title, std::size_t index);
    void removeItemAt(std::size_t index);
    void removeAllItems();
    const std::vector<std::shared_ptr<MenuItem>>& itemArray() const { return menu_->items(); }
    std::size_t numberOfItems() const { return menu_->numberOfItems(); }
    std::shared_ptr<MenuItem> itemAt(std::int64_t index) const { return menu_->itemAt(index); }
    std::shared_ptr<MenuItem> lastItem() const;
    std::vector<std::string> itemTitles() const;
    std::int64_t indexOfItem(const MenuItem& item) const { return menu_->indexOfItem(item); }
    std::int64_t indexOfItemWithTag(std::int64_t tag) const { return menu_->indexOfItemWithTag(tag); }
    std::int64_t indexOfItemWithTitle(const std::string& title) const {
        return menu_->indexOfItemWithTitle(title);
    }

    // Selection. Selecting an item not in the menu (or null, or -1) clears the selection. A tag that no
    // item has leaves the selection alone and answers false.
    void selectItem(const std::shared_ptr<MenuItem>& item);
    void selectItemAt(std::int64_t index);
    bool selectItemWithTag(std::int64_t tag);
    bool selectItemWithTitle(const std::string& title);
    std::shared_ptr<MenuItem> selectedItem() const;
    std::int64_t indexOfSelectedItem() const;
    std::string titleOfSelectedItem() const;

    // The title: the selected item's (pulling down: the first item's), unless the cell shows its own
    // menuItem instead (usesItemFromMenu off).
    std::string title() const override;
    // Pop-up: selects the item with the title, adding one when there is none. Pull-down: the first
    // item's title.
    void setTitle(const std::string& title);
    bool usesItemFromMenu() const { return usesItemFromMenu_; }
    void setUsesItemFromMenu(bool uses) { usesItemFromMenu_ = uses; }
    std::shared_ptr<MenuItem> menuItem() const { return menuItem_; }
    void setMenuItem(std::shared_ptr<MenuItem> item) { menuItem_ = std::move(item); }
    // The item whose title and image the cell shows.
    std::shared_ptr<MenuItem> titleItem() const;
    graphics::ImageRef image() const override;

    // Geometry: the arrows take a strip on the right of a bordered cell.
    static constexpr double arrowWidth = 18;
    graphics::Rect titleRectForBounds(const graphics::Rect& bounds) const override;
    graphics::Rect imageRectForBounds(const graphics::Rect& bounds) const override;
    graphics::Size cellSize() const override;
    graphics::AttributedString attributedTitle() const override;
    // The bezel of a bordered cell includes its arrows.
    void drawBezelWithFrame(const graphics::Rect& frame, View& controlView) override;
    void drawInteriorWithFrame(const graphics::Rect& frame, View& controlView) override;
    // Draws the title item's image in the image rect.
    virtual void drawImageWithFrame(const graphics::Rect& frame, View& controlView);

private:
    std::shared_ptr<Menu> menu_;
    std::weak_ptr<MenuItem> selected_;
    bool pullsDown_;
    bool usesItemFromMenu_ = true;
    std::shared_ptr<MenuItem> menuItem_;
};

class PopUpButton : public Button {
public:
    explicit PopUpButton(const graphics::Rect& frame = {}, bool pullsDown = false,
                         std::shared_ptr<PopUpButtonCell> cell = nullptr);

    std::shared_ptr<PopUpButtonCell> popUpCell() const;

    std::shared_ptr<Menu> menu() const { return popUpCell()->menu(); }
    void setMenu(std::shared_ptr<Menu> menu) override;
    bool pullsDown() const { return popUpCell()->pullsDown(); }
    void setPullsDown(bool pullsDown);
    bool autoenablesItems() const { return popUpCell()->autoenablesItems(); }
    void setAutoenablesItems(bool flag) { popUpCell()->setAutoenablesItems(flag); }

    void addItem(const std::string& title);
    void addItems(const std::vector<std::string>& titles);
    void insertItem(const std::string& title, std::size_t index);
    void removeItemAt(std::size_t index);
    void removeAllItems();
    const std::vector<std::shared_ptr<MenuItem>>& itemArray() const { return popUpCell()->itemArray(); }
    std::size_t numberOfItems() const { return popUpCell()->numberOfItems(); }
    std::shared_ptr<MenuItem> itemAt(std::int64_t index) const { return popUpCell()->itemAt(index); }
    std::shared_ptr<MenuItem> lastItem() const { return popUpCell()->lastItem(); }
    std::vector<std::string> itemTitles() const { return popUpCell()->itemTitles(); }
    std::int64_t indexOfItem(const MenuItem& item) const { return popUpCell()->indexOfItem(item); }
    std::int64_t indexOfItemWithTag(std::int64_t tag) const { return popUpCell()->indexOfItemWithTag(tag); }
    std::int64_t indexOfItemWithTitle(const std::string& t) const {
        return popUpCell()->indexOfItemWithTitle(t);
    }

    void selectItem(const std::shared_ptr<MenuItem>& item);
    void selectItemAt(std::int64_t index);
    bool selectItemWithTag(std::int64_t tag);
    bool selectItemWithTitle(const std::string& title);
    std::shared_ptr<MenuItem> selectedItem() const { return popUpCell()->selectedItem(); }
    std::int64_t indexOfSelectedItem() const { return popUpCell()->indexOfSelectedItem(); }
    std::string titleOfSelectedItem() const { return popUpCell()->titleOfSelectedItem(); }
    void setTitle(const std::string& title);

    // Shows the menu: over the button with the selected item on it, or below the button when pulling
    // down. A chosen item becomes the selection (pop-up) and its action is sent; an item without an
    // action sends the button's action. False when there was nothing to show.
    bool showMenu();
    bool isMenuShown() const;

    // A press opens the menu (its release or a second click chooses); a right press opens it the same
    // way; Space, Return and the up and down arrows open it from the keyboard.
    void mouseDown(const Event& event) override;
    void rightMouseDown(const Event& event) override;
    void keyDown(const Event& event) override;

protected:
    void didClick() override;

private:
    void itemsChanged();
};

} // namespace ui
