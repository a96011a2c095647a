// Combo boxes on headless windows: the list pops up in a window of its own, and the presses and keys
// reach the box and the list as the window system would deliver them.

#include "core/MainQueue.hpp"
#include "core/NotificationCenter.hpp"
#include "display/HeadlessBackend.hpp"
#include "ui/Application.hpp"
#include "ui/ComboBox.hpp"
#include "ui/ComboBoxList.hpp"
#include "ui/Text.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

using graphics::Point;
using graphics::Rect;

namespace {

// U+F700 and U+F701 in UTF-8: the arrow keys as key events carry them.
const std::string upArrow = "\xef\x9c\x80";
const std::string downArrow = "\xef\x9c\x81";

struct Fixture {
    Fixture() {
        backend = display::HeadlessBackend::attach(window, 1.0, true);
        box->addItemsWithObjectValues({std::string("Alpha"), std::string("Beta"), std::string("Gamma")});
        window->contentView()->addSubview(box);
        window->makeKeyAndOrderFront();
        for (const char* name : {ui::ComboBox::willPopUpNotification, ui::ComboBox::willDismissNotification,
                                 ui::ComboBox::selectionDidChangeNotification}) {
            observers.push_back(core::NotificationCenter::defaultCenter().addObserver(
                name, box.get(), [this](const core::Notification& n) {
                    notes.push_back(n.name.substr(std::string("NSComboBox").size()));
                }));
        }
    }
    ~Fixture() {
        observers.clear();
        auto app = ui::Application::shared();
        for (auto& w : app->windows()) {
            w->close();
        }
        app->setKeyWindow(nullptr);
        core::MainQueue::shared().drain();
    }

    // The middle of the box's button in window coordinates.
    Point buttonPoint() const {
        const Rect r =
            box->convertRectToView(box->comboBoxCell()->buttonRectForBounds(box->bounds()), nullptr);
        return {r.midX(), r.midY()};
    }
    std::shared_ptr<display::HeadlessBackend> listBackend() const {
        auto list = box->listWindow();
        return list ? std::dynamic_pointer_cast<display::HeadlessBackend>(list->backend()) : nullptr;
    }
    // The middle of an item's row in the list window's coordinates (y up).
    Point rowPoint(long index) const {
        auto view = box->listView();
        const Rect r = view->convertRectToView(view->rectOfIndex(index), nullptr);
        return {r.midX(), r.midY()};
    }
    void typeKey(const std::string& characters) {
        backend->typeKey(characters);
        core::MainQueue::shared().drain();
    }

    std::shared_ptr<ui::Window> window = ui::Window::make(Rect(200, 300, 320, 200));
    std::shared_ptr<display::HeadlessBackend> backend;
    std::shared_ptr<ui::ComboBox> box = std::make_shared<ui::ComboBox>(Rect(20, 150, 160, 24));
    std::vector<core::Cancellable> observers;
    std::vector<std::string> notes;
};

} // namespace

TEST(ComboBox, TheButtonPopsTheListUpBelowTheBoxAndAClickOnARowChoosesItsItem) {
    Fixture f;
    f.backend->click(f.buttonPoint());
    ASSERT_TRUE(f.box->isListShown());
    EXPECT_EQ(f.notes, std::vector<std::string>{"WillPopUpNotification"});
    EXPECT_TRUE(f.box->comboBoxCell()->isListShown());

    // A pop-up window of its own, from the box's window's back end, under the box and as wide.
    auto list = f.box->listWindow();
    EXPECT_TRUE(list->isPopUp());
    EXPECT_TRUE(list->isVisible());
    ASSERT_NE(f.listBackend(), nullptr);
    EXPECT_TRUE(f.listBackend()->isVisible());
    EXPECT_EQ(list->frame(), Rect(220, 450 - ui::ComboBoxListView::heightFor(3, 18), 160,
                                  ui::ComboBoxListView::heightFor(3, 18)));
    // The keyboard stays with the box, which is being edited.
    EXPECT_TRUE(f.window->isKeyWindow());
    EXPECT_FALSE(list->isKeyWindow());
    ASSERT_NE(f.box->currentEditor(), nullptr);
    EXPECT_EQ(f.window->firstResponder(), f.box->currentEditor());

    // Moving over a row highlights it; releasing on it chooses it.
    f.listBackend()->mouseMoved(f.rowPoint(2));
    EXPECT_EQ(f.box->listView()->highlightedIndex(), 2);
    f.listBackend()->click(f.rowPoint(1));
    EXPECT_FALSE(f.box->isListShown());
    EXPECT_TRUE(list->isClosed());
    EXPECT_EQ(f.box->indexOfSelectedItem(), 1);
    EXPECT_EQ(f.box->stringValue(), "Beta");
    EXPECT_EQ(f.box->currentEditor()->string(), "Beta");
    EXPECT_FALSE(f.box->comboBoxCell()->isListShown());
    EXPECT_EQ(f.notes, (std::vector<std::string>{"WillPopUpNotification", "SelectionDidChangeNotification",
                                                 "WillDismissNotification"}));

    // Open again: the chosen item is highlighted; a second press on the button closes the list.
    f.backend->click(f.buttonPoint());
    ASSERT_TRUE(f.box->isListShown());
    EXPECT_EQ(f.box->listView()->highlightedIndex(), 1);
    f.backend->click(f.buttonPoint());
    EXPECT_FALSE(f.box->isListShown());
    EXPECT_EQ(f.notes.back(), "WillDismissNotification");
    EXPECT_EQ(f.notes.size(), 5u);
}

TEST(ComboBox, TheArrowsMoveThroughTheListReturnChoosesAndEscapeCloses) {
    Fixture f;
    f.window->makeFirstResponder(f.box);
    ASSERT_NE(f.box->currentEditor(), nullptr);

    f.typeKey(downArrow); // opens, nothing highlighted yet
    ASSERT_TRUE(f.box->isListShown());
    EXPECT_EQ(f.box->listView()->highlightedIndex(), -1);
    f.typeKey(downArrow);
    f.typeKey(downArrow);
    f.typeKey(downArrow);
    f.typeKey(downArrow); // stops at the last item
    EXPECT_EQ(f.box->listView()->highlightedIndex(), 2);
    f.typeKey(upArrow);
    EXPECT_EQ(f.box->listView()->highlightedIndex(), 1);
    EXPECT_EQ(f.box->indexOfSelectedItem(), -1); // highlighting is not choosing
    f.typeKey("\r");
    EXPECT_FALSE(f.box->isListShown());
    EXPECT_EQ(f.box->indexOfSelectedItem(), 1);
    EXPECT_EQ(f.box->stringValue(), "Beta");
    EXPECT_NE(f.box->currentEditor(), nullptr); // Return chose; the session goes on

    f.typeKey(upArrow);
    ASSERT_TRUE(f.box->isListShown());
    f.typeKey(downArrow);
    f.typeKey("\x1b");
    EXPECT_FALSE(f.box->isListShown());
    EXPECT_EQ(f.box->indexOfSelectedItem(), 1);
    EXPECT_EQ(f.notes, (std::vector<std::string>{"WillPopUpNotification", "SelectionDidChangeNotification",
                                                 "WillDismissNotification", "WillPopUpNotification",
                                                 "WillDismissNotification"}));
    // With the list closed the arrows' neighbours are the field's again: Escape does not open anything.
    f.typeKey("\x1b");
    EXPECT_FALSE(f.box->isListShown());
}

TEST(ComboBox, APressOutsideTheListOrTheWindowLosingTheKeyboardClosesIt) {
    Fixture f;
    auto other = std::make_shared<ui::TextField>(Rect(20, 40, 100, 22));
    f.window->contentView()->addSubview(other);

    f.backend->click(f.buttonPoint());
    ASSERT_TRUE(f.box->isListShown());
    f.backend->click({60, 50}); // on the other field: it gets the press as well
    EXPECT_FALSE(f.box->isListShown());
    EXPECT_EQ(f.box->indexOfSelectedItem(), -1);
    EXPECT_NE(other->currentEditor(), nullptr);

    f.backend->click(f.buttonPoint());
    ASSERT_TRUE(f.box->isListShown());
    f.backend->focusOut();
    EXPECT_FALSE(f.box->isListShown());

    // Disabled boxes do not open; disabling an open box closes its list.
    f.backend->focusIn();
    f.box->setEnabled(false);
    f.backend->click(f.buttonPoint());
    EXPECT_FALSE(f.box->isListShown());
    f.box->setEnabled(true);
    f.box->popUpList();
    ASSERT_TRUE(f.box->isListShown());
    f.box->setEnabled(false);
    EXPECT_FALSE(f.box->isListShown());
    EXPECT_EQ(f.notes.back(), "WillDismissNotification");
}

TEST(ComboBox, TypingCompletesToTheFirstItemWithThePrefixAndLeavesTheCompletionSelected) {
    Fixture f;
    f.box->removeAllItems();
    f.box->addItemsWithObjectValues({std::string("Apple"), std::string("Apricot"), std::string("Banana")});
    f.box->setCompletes(true);
    f.window->makeFirstResponder(f.box);
    auto editor = f.box->currentEditor();
    ASSERT_NE(editor, nullptr);

    f.typeKey("a");
    EXPECT_EQ(editor->string(), "apple");
    EXPECT_EQ(editor->selectedRange(), (std::pair<std::size_t, std::size_t>{1, 5}));
    f.typeKey("p");
    EXPECT_EQ(editor->string(), "apple");
    EXPECT_EQ(editor->selectedRange(), (std::pair<std::size_t, std::size_t>{2, 5}));
    f.typeKey("r");
    EXPECT_EQ(editor->string(), "apricot");
    EXPECT_EQ(editor->selectedRange(), (std::pair<std::size_t, std::size_t>{3, 7}));
    EXPECT_EQ(f.box->stringValue(), "apricot");

    // Deleting the completion completes nothing again; typing on does.
    f.typeKey("\x7f");
    EXPECT_EQ(editor->string(), "apr");
    f.typeKey("x");
    EXPECT_EQ(editor->string(), "aprx");

    // Without completion, typing is only typing.
    f.box->setCompletes(false);
    f.typeKey("\x7f");
    f.typeKey("\x7f");
    f.typeKey("\x7f");
    f.typeKey("\x7f");
    f.typeKey("B");
    EXPECT_EQ(editor->string(), "B");
    EXPECT_TRUE(f.notes.empty()); // completion selects nothing
}

TEST(ComboBox, ALongListDrawsOnlyTheRowsInSightAndScrollsToFollowTheHighlight) {
    Fixture f;
    f.box->removeAllItems();
    std::vector<std::any> items;
    for (int i = 0; i < 10000; ++i) {
        items.emplace_back(i * 0.5);
    }
    f.box->addItemsWithObjectValues(items);
    f.box->selectItemAtIndex(5000);
    EXPECT_EQ(f.box->stringValue(), "2500");
    f.window->makeFirstResponder(f.box);
    f.box->popUpList();
    ASSERT_TRUE(f.box->isListShown());
    auto view = f.box->listView();
    f.listBackend()->displayIfNeeded();
    EXPECT_EQ(view->visibleRowCount(), 5);
    EXPECT_EQ(view->rowsDrawn(), 5);
    EXPECT_TRUE(view->showsScroller());
    EXPECT_TRUE(view->subviews().empty());
    EXPECT_EQ(view->highlightedIndex(), 5000);
    EXPECT_EQ(view->firstVisibleIndex(), 4996); // the selected item in sight at the bottom

    f.typeKey(downArrow);
    EXPECT_EQ(view->firstVisibleIndex(), 4997);
    f.listBackend()->scroll(f.rowPoint(4998), 0, 3); // three rows up
    EXPECT_EQ(view->firstVisibleIndex(), 4994);
    EXPECT_EQ(view->highlightedIndex(), 5001);
    f.listBackend()->click(f.rowPoint(4994));
    EXPECT_EQ(f.box->indexOfSelectedItem(), 4994);
    EXPECT_EQ(f.box->doubleValue(), 2497);

    // Without a scroller the rows take the whole width.
    f.box->setHasVerticalScroller(false);
    f.box->popUpList();
    EXPECT_FALSE(f.box->listView()->showsScroller());
    EXPECT_EQ(f.box->listView()->rectOfIndex(f.box->listView()->firstVisibleIndex()).width(), 160);
}

TEST(ComboBox, AnOpenListScrolledToItsEndStaysOnItemsWhenItemsGoAndIgnoresHostileWheelDeltas) {
    Fixture f;
    f.box->removeAllItems();
    std::vector<std::any> items;
    for (int i = 0; i < 100; ++i) {
        items.emplace_back(std::string("Item ") + std::to_string(i));
    }
    f.box->addItemsWithObjectValues(items);
    f.box->popUpList();
    ASSERT_TRUE(f.box->isListShown());
    auto view = f.box->listView();
    ASSERT_EQ(view->highlightedIndex(), -1);
    f.listBackend()->scroll(f.rowPoint(0), 0, -200); // to the end
    EXPECT_EQ(view->firstVisibleIndex(), 95);

    // Sixty items go while the list is open: the rows in sight move back onto the forty left.
    for (int i = 0; i < 60; ++i) {
        f.box->removeItemAtIndex(0);
    }
    EXPECT_EQ(view->firstVisibleIndex(), 35);
    f.listBackend()->displayIfNeeded();
    EXPECT_EQ(view->rowsDrawn(), 5);

    // Deltas that are no number, or too large for any list, move at most the whole list and leave
    // nothing behind for the next turn of the wheel.
    for (const double delta : {std::nan(""), std::numeric_limits<double>::infinity(), 1e30, -1e30}) {
        f.listBackend()->scroll(f.rowPoint(view->firstVisibleIndex()), 0, delta);
    }
    EXPECT_EQ(view->firstVisibleIndex(), 35);
    f.listBackend()->scroll(f.rowPoint(35), 0, 1);
    EXPECT_EQ(view->firstVisibleIndex(), 34);
}

TEST(ComboBox, TheSelectionFollowsInsertionsAndRemovalsAndOnlyChangesAreAnnounced) {
    Fixture f;
    f.box->selectItemAtIndex(1);
    f.box->selectItemAtIndex(1);
    EXPECT_EQ(f.notes.size(), 1u);
    f.box->insertItemWithObjectValue(std::string("Zero"), 0);
    EXPECT_EQ(f.box->indexOfSelectedItem(), 2);
    EXPECT_EQ(f.box->indexOfItemWithObjectValue(std::string("Beta")), 2);
    f.box->removeItemAtIndex(0);
    EXPECT_EQ(f.box->indexOfSelectedItem(), 1);
    f.box->deselectItemAtIndex(1);
    EXPECT_EQ(f.box->indexOfSelectedItem(), -1);
    EXPECT_EQ(f.box->stringValue(), "Beta"); // deselecting keeps the text
    EXPECT_EQ(f.notes.size(), 2u);
    f.box->selectItemAtIndex(7);
    EXPECT_EQ(f.box->indexOfSelectedItem(), -1);
    EXPECT_EQ(f.notes.size(), 2u);
}

TEST(ComboBoxDeathTest, AnItemIndexOutsideTheListStopsTheProcess) {
    ui::ComboBoxCell cell;
    cell.addItemWithObjectValue(std::string("only"));
    EXPECT_EQ(ui::ComboBoxCell::stringForItem(cell.itemObjectValueAtIndex(0)), "only");
    EXPECT_DEATH((void)cell.itemObjectValueAtIndex(-1), "index -1 beyond 1 items");
}
