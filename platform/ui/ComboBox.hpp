#pragma once

// Combo boxes: a text field with a button that pops up a list of items to choose from. The list is a
// pop-up window of its own (a borderless non-activating panel) below the field; it draws only the rows it
// shows, so a list of any length opens at once. While it is open the field keeps the keyboard: the arrows
// move through the list, Return chooses, Escape closes it, and a press anywhere outside it closes it.
// Typing can complete the text to the first item that starts with it.

#include "core/Cancellable.hpp"
#include "ui/TextField.hpp"

#include <any>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class ComboBoxListView;

class ComboBoxCell : public TextFieldCell {
public:
    explicit ComboBoxCell(std::string text = {});

    // The width of the button at the trailing end.
    static constexpr double buttonWidth = 18;

    // The items, by object value (strings, numbers or anything else; the list shows stringForItem).
    void addItemWithObjectValue(std::any value);
    void addItemsWithObjectValues(const std::vector<std::any>& values);
    // Inserts at index (clamped to the list); the selection stays on its item.
    void insertItemWithObjectValue(std::any value, long index);
    // Out-of-range indexes are ignored; removing the selected item leaves nothing selected.
    void removeItemAtIndex(long index);
    void removeAllItems();
    long numberOfItems() const { return static_cast<long>(items_.size()); }
    const std::vector<std::any>& objectValues() const { return items_; }
    // The item at index. An index outside the list is a programmer error: it stops the process.
    const std::any& itemObjectValueAtIndex(long index) const;
    // The first index of an item whose text equals the value's, or -1.
    long indexOfItemWithObjectValue(const std::any& value) const;

    // The selected item, or -1. Selecting -1 (or an index outside the list) selects nothing. The cell
    // only keeps the index; the combo box shows the item and tells its observers.
    long indexOfSelectedItem() const { return selected_; }
    void selectItemAtIndex(long index);

    // How many rows the list shows at most (at least 1), and their height in points.
    long numberOfVisibleItems() const { return visibleItems_; }
    void setNumberOfVisibleItems(long count) { visibleItems_ = count < 1 ? 1 : count; }
    double itemHeight() const { return itemHeight_; }
    void setItemHeight(double height) { itemHeight_ = height > 1 ? height : 1; }
    // Whether the list shows a scroller when it holds more items than it shows.
    bool hasVerticalScroller() const { return hasVerticalScroller_; }
    void setHasVerticalScroller(bool flag) { hasVerticalScroller_ = flag; }
    // Whether typing completes the text to the first item that starts with it (off by default).
    bool completes() const { return completes_; }
    void setCompletes(bool flag) { completes_ = flag; }
    // The text of the first item that starts with the string (letter case aside), or "" for none.
    virtual std::string completedString(const std::string& string) const;

    // The text an item shows: strings as they are, numbers as the cells write them.
    static std::string stringForItem(const std::any& value);

    // Whether the list is shown (the combo box keeps this up to date; the button draws by it).
    bool isListShown() const { return listShown_; }
    void setListShown(bool flag) { listShown_ = flag; }

    // Geometry: the button at the trailing end, and the text part beside it.
    virtual graphics::Rect buttonRectForBounds(const graphics::Rect& bounds) const;
    graphics::Rect drawingRectForBounds(const graphics::Rect& bounds) const override;
    // One line of text, centred vertically in the drawing rect.
    graphics::Rect titleRectForBounds(const graphics::Rect& bounds) const override;

    // The field as a text field draws it beside the button, then the button: a bordered square with a
    // down arrow, pressed while the list is shown.
    void drawWithFrame(const graphics::Rect& frame, View& controlView) override;

private:
    std::vector<std::any> items_;
    long selected_ = -1;
    long visibleItems_ = 5;
    double itemHeight_ = 18;
    bool hasVerticalScroller_ = true;
    bool completes_ = false;
    bool listShown_ = false;
};

class ComboBox : public TextField {
public:
    // Posted through core::NotificationCenter::defaultCenter() with the combo box as the object: the list
    // is about to show, the list is about to close, and the selected item changed (by the list, the
    // keyboard or selectItemAtIndex).
    static constexpr const char* willPopUpNotification = "NSComboBoxWillPopUpNotification";
    static constexpr const char* willDismissNotification = "NSComboBoxWillDismissNotification";
    static constexpr const char* selectionDidChangeNotification = "NSComboBoxSelectionDidChangeNotification";

    explicit ComboBox(const graphics::Rect& frame = {}, std::shared_ptr<ComboBoxCell> cell = nullptr);
    ~ComboBox() override;

    // The cell when it is a combo box cell (a cell of another kind is answered by a spare one).
    std::shared_ptr<ComboBoxCell> comboBoxCell() const;

    // Items, forwarded to the cell.
    void addItemWithObjectValue(std::any value);
    void addItemsWithObjectValues(const std::vector<std::any>& values);
    void insertItemWithObjectValue(std::any value, long index);
    void removeItemAtIndex(long index);
    void removeAllItems();
    long numberOfItems() const { return comboBoxCell()->numberOfItems(); }
    const std::any& itemObjectValueAtIndex(long index) const {
        return comboBoxCell()->itemObjectValueAtIndex(index);
    }
    long indexOfItemWithObjectValue(const std::any& value) const {
        return comboBoxCell()->indexOfItemWithObjectValue(value);
    }
    long indexOfSelectedItem() const { return comboBoxCell()->indexOfSelectedItem(); }
    // Selects the item and makes it the box's value (-1 selects nothing and keeps the text); posts
    // selection-did-change when the selection changed.
    void selectItemAtIndex(long index);
    void deselectItemAtIndex(long index);
    long numberOfVisibleItems() const { return comboBoxCell()->numberOfVisibleItems(); }
    void setNumberOfVisibleItems(long count);
    double itemHeight() const { return comboBoxCell()->itemHeight(); }
    void setItemHeight(double height);
    bool hasVerticalScroller() const { return comboBoxCell()->hasVerticalScroller(); }
    void setHasVerticalScroller(bool flag);
    bool completes() const { return comboBoxCell()->completes(); }
    void setCompletes(bool flag) { comboBoxCell()->setCompletes(flag); }

    // The list. popUpList posts will-pop-up and shows it below the box (above when the screen has no
    // room below) with the selected item highlighted; nothing when the box is disabled, has no items or
    // is not in a window. dismissList posts will-dismiss and closes it.
    bool isListShown() const { return listWindow_ != nullptr; }
    void popUpList();
    void dismissList();
    // Chooses an item as the list does: selects it (the box's value) and closes the list.
    void chooseItemAtIndex(long index);
    // The list's window and view while it is shown (null otherwise).
    std::shared_ptr<Window> listWindow() const { return listWindow_; }
    std::shared_ptr<ComboBoxListView> listView() const { return listView_; }

    void setEnabled(bool enabled) override;
    // A press on the button takes keyboard focus and opens or closes the list; elsewhere the field's.
    void mouseDown(const Event& event) override;
    void viewWillMoveToWindow(const std::shared_ptr<Window>& newWindow) override;

    // Field editor delegate: keys for the list, completion while typing, the list closes with the session.
    bool textShouldHandleKey(Text& text, const Event& event) override;
    void textDidChange(Text& text) override;
    void textDidEndEditing(Text& text, TextMovement movement) override;

private:
    void closeList(bool notify);
    // Keeps the previous text and the length of its selection, to tell typing from deleting.
    void noteEditorState(const Text& text);

    std::shared_ptr<Window> listWindow_;
    std::shared_ptr<ComboBoxListView> listView_;
    core::Cancellable pressMonitor_;
    core::Cancellable resignKeyObserver_;
    // The time of a press on the button that closed the list through the monitor: the button's own
    // handling of that press does nothing more.
    std::optional<double> pressClosedListAt_;
    std::size_t previousLength_ = 0;
    std::size_t previousSelectionLength_ = 0;
    // Answers the cell accessors when someone installed a cell of another kind.
    mutable std::shared_ptr<ComboBoxCell> spareCell_;
};

} // namespace ui
