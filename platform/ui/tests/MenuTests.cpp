#include "Helpers.hpp"
#include "ui/Application.hpp"
#include "ui/Cell.hpp"
#include "ui/Menu.hpp"
#include "ui/MenuTracking.hpp"
#include "ui/PopUpButton.hpp"

#include <gtest/gtest.h>

using ui::Menu;
using ui::MenuItem;
using ui::MenuTracking;
namespace Modifier = ui::Modifier;

namespace {

// A responder that answers some actions and refuses to validate others.
class Target : public ui::Responder, public ui::MenuItemValidation {
public:
    explicit Target(std::vector<std::string> answers) {
        for (auto& a : answers) {
            setActionHandler(a, [this, a](const std::shared_ptr<ui::Object>& sender) {
                log.push_back(a);
                lastSender = sender;
            });
        }
    }
    bool validateMenuItem(const std::shared_ptr<MenuItem>& item) override {
        return item->tag() != refusedTag;
    }

    std::vector<std::string> log;
    std::shared_ptr<ui::Object> lastSender;
    std::int64_t refusedTag = -99;
};

class Delegate : public ui::MenuDelegate {
public:
    void menuNeedsUpdate(const std::shared_ptr<Menu>& menu) override {
        ++updates;
        menu->removeAllItems();
        menu->addItem("Fresh " + std::to_string(updates), "fresh:");
    }
    void menuDidClose(const std::shared_ptr<Menu>&) override { ++closes; }
    int updates = 0;
    int closes = 0;
};

std::shared_ptr<MenuTracking> open(const std::shared_ptr<Menu>& menu, MenuTracking::Completion done = {}) {
    return MenuTracking::begin(menu, nullptr, {100, 500}, ui::detachedMenuPresenter(), std::move(done));
}

// A screen point in the middle of a row of a level.
graphics::Point rowPoint(const MenuTracking& t, std::size_t level, int row) {
    const auto& l = t.levels()[level];
    const auto& f = l.layout.rows[static_cast<std::size_t>(row)].frame;
    return {l.frame.minX() + f.midX(), l.frame.maxY() - f.midY()};
}

ui::Event event(ui::EventType type, ui::ModifierFlags flags = 0) {
    return ui::Event::mouseEvent(type, {}, flags);
}

ui::Event keyDown(const std::string& characters, double timestamp = 0) {
    return ui::Event::keyEvent(ui::EventType::keyDown, characters, {}, 0, 0, timestamp);
}

} // namespace

TEST(Menu, ItemsBelongToOneMenuAndFindByTagTitleAndSubmenu) {
    auto a = Menu::make("A");
    auto b = Menu::make("B");
    auto item = a->addItem("One", "one:");
    item->setTag(7);
    auto sub = Menu::make("Sub");
    auto parent = a->addItem("Parent", {});
    parent->setSubmenu(sub);
    EXPECT_EQ(sub->supermenu(), a);
    EXPECT_EQ(a->indexOfItemWithTag(7), 0);
    EXPECT_EQ(a->indexOfItemWithTitle("Parent"), 1);
    EXPECT_EQ(a->indexOfItemWithSubmenu(*sub), 1);
    EXPECT_EQ(a->indexOfItemWithTag(8), -1);
    EXPECT_EQ(a->itemAt(5), nullptr);

    b->addItem(item);
    EXPECT_EQ(item->menu(), b);
    EXPECT_EQ(a->numberOfItems(), 1u);
    b->addItem(parent);
    EXPECT_EQ(sub->supermenu(), b);

    auto separator = MenuItem::separatorItem();
    EXPECT_TRUE(separator->isSeparatorItem());
    EXPECT_NE(separator, MenuItem::separatorItem());
    auto header = MenuItem::sectionHeader("Section");
    EXPECT_TRUE(header->isSectionHeader());
    EXPECT_FALSE(header->isSelectable());
}

TEST(Menu, AutoEnablingAsksTheResponderChainAndValidation) {
    uitest::WindowScope scope;
    auto window = ui::Window::make({0, 0, 200, 100});
    auto view = std::make_shared<uitest::ProbeView>(graphics::Rect(0, 0, 50, 50));
    view->accepts = true;
    window->contentView()->addSubview(view);
    window->makeKeyWindow();
    window->makeFirstResponder(view);
    auto target = std::make_shared<Target>(std::vector<std::string>{"copy:", "paste:"});
    target->refusedTag = 2;
    window->setDelegate(target);

    auto menu = Menu::make();
    auto copy = menu->addItem("Copy", "copy:", "c");
    auto paste = menu->addItem("Paste", "paste:", "v");
    paste->setTag(2);
    auto cut = menu->addItem("Cut", "cut:", "x");
    auto none = menu->addItem("Nothing", {});
    auto withSubmenu = menu->addItem("More", {});
    withSubmenu->setSubmenu(Menu::make());
    menu->update();
    EXPECT_TRUE(copy->isEnabled());
    EXPECT_FALSE(paste->isEnabled()); // validation refuses
    EXPECT_FALSE(cut->isEnabled());   // nobody answers
    EXPECT_TRUE(none->isEnabled());   // no action: its own flag holds
    EXPECT_TRUE(withSubmenu->isEnabled());

    menu->setAutoenablesItems(false);
    cut->setEnabled(true);
    menu->update();
    EXPECT_TRUE(cut->isEnabled());

    // Key equivalents: command-c performs Copy through the chain; the item is the sender.
    auto cmdC = ui::Event::keyEvent(ui::EventType::keyDown, "c", "c", Modifier::command);
    menu->setAutoenablesItems(true);
    EXPECT_TRUE(menu->performKeyEquivalent(cmdC));
    EXPECT_EQ(target->log, std::vector<std::string>{"copy:"});
    EXPECT_EQ(target->lastSender, copy);
    EXPECT_FALSE(menu->performKeyEquivalent(ui::Event::keyEvent(ui::EventType::keyDown, "c", "c")));
    EXPECT_FALSE(
        menu->performKeyEquivalent(ui::Event::keyEvent(ui::EventType::keyDown, "v", "v", Modifier::command)));
}

TEST(MenuTracking, MouseAndKeyboardChooseAndTheActionTravelsTheChain) {
    uitest::WindowScope scope;
    auto window = ui::Window::make({0, 0, 200, 100});
    window->makeKeyWindow();
    auto target = std::make_shared<Target>(std::vector<std::string>{"open:", "save:"});
    window->setDelegate(target);
    auto menu = Menu::make();
    menu->addItem("Open", "open:");
    menu->addItem(MenuItem::separatorItem());
    menu->addItem("Disabled", "nobody:");
    auto save = menu->addItem("Save", "save:");

    std::shared_ptr<MenuItem> chosen;
    auto t = open(menu, [&](const std::shared_ptr<MenuItem>& item) { chosen = item; });
    ASSERT_TRUE(t);
    EXPECT_EQ(ui::Application::shared()->menuTracking(), t);
    EXPECT_EQ(t->levels()[0].frame.maxY(), 500);
    // Separators and disabled items never highlight.
    t->handleEvent(event(ui::EventType::mouseMoved), rowPoint(*t, 0, 1));
    EXPECT_EQ(t->highlightedItem(), nullptr);
    t->handleEvent(event(ui::EventType::mouseMoved), rowPoint(*t, 0, 2));
    EXPECT_EQ(t->highlightedItem(), nullptr);
    t->handleEvent(event(ui::EventType::mouseMoved), rowPoint(*t, 0, 3));
    EXPECT_EQ(t->highlightedItem(), save);
    t->handleEvent(event(ui::EventType::leftMouseDown), rowPoint(*t, 0, 3));
    t->handleEvent(event(ui::EventType::leftMouseUp), rowPoint(*t, 0, 3));
    EXPECT_EQ(chosen, save);
    EXPECT_FALSE(t->isActive());
    EXPECT_EQ(ui::Application::shared()->menuTracking(), nullptr);

    // Arrows skip what cannot be chosen and stop at the ends; Return chooses.
    chosen = nullptr;
    t = open(menu, [&](const std::shared_ptr<MenuItem>& item) { chosen = item; });
    t->handleEvent(keyDown(ui::utf8(ui::SpecialKey::downArrow)), {});
    EXPECT_EQ(t->highlightedItem()->title(), "Open");
    t->handleEvent(keyDown(ui::utf8(ui::SpecialKey::downArrow)), {});
    EXPECT_EQ(t->highlightedItem(), save);
    t->handleEvent(keyDown(ui::utf8(ui::SpecialKey::downArrow)), {});
    EXPECT_EQ(t->highlightedItem(), save);
    t->handleEvent(keyDown(ui::utf8(ui::SpecialKey::upArrow)), {});
    EXPECT_EQ(t->highlightedItem()->title(), "Open");
    t->handleEvent(keyDown("\r"), {});
    EXPECT_EQ(chosen->title(), "Open");

    // Escape dismisses with nothing chosen; a click outside does too.
    chosen = save;
    t = open(menu, [&](const std::shared_ptr<MenuItem>& item) { chosen = item; });
    t->handleEvent(keyDown("\x1b"), {});
    EXPECT_EQ(chosen, nullptr);
    chosen = save;
    t = open(menu, [&](const std::shared_ptr<MenuItem>& item) { chosen = item; });
    t->handleEvent(event(ui::EventType::leftMouseDown), {0, 0});
    EXPECT_FALSE(t->isActive());
    EXPECT_EQ(chosen, nullptr);

    // Menu::popUp sends the chosen item's action through the responder chain.
    ASSERT_TRUE(menu->popUp(nullptr, {10, 300}, nullptr));
    auto tracking = ui::Application::shared()->menuTracking();
    ASSERT_TRUE(tracking);
    EXPECT_EQ(menu->tracking(), tracking);
    tracking->handleEvent(keyDown("s"), {});
    EXPECT_EQ(menu->highlightedItem(), save);
    tracking->handleEvent(keyDown("\r"), {});
    EXPECT_EQ(target->log, std::vector<std::string>{"save:"});
    EXPECT_EQ(target->lastSender, save);
}

TEST(MenuTracking, ClickThenClickAndPressDragRelease) {
    auto menu = Menu::make();
    menu->setAutoenablesItems(false);
    menu->addItem("Alpha", "a:");
    menu->addItem("Beta", "b:");
    std::shared_ptr<MenuItem> chosen;
    auto done = [&](const std::shared_ptr<MenuItem>& item) { chosen = item; };

    // Opened by a press at (100, 510): a release without movement leaves the menu open.
    auto press = ui::Event::mouseEvent(ui::EventType::leftMouseDown, {100, 510});
    auto t = MenuTracking::begin(menu, nullptr, {100, 500}, ui::detachedMenuPresenter(), done, &press);
    t->handleEvent(event(ui::EventType::leftMouseUp), {101, 510});
    EXPECT_TRUE(t->isActive());
    t->handleEvent(event(ui::EventType::mouseMoved), rowPoint(*t, 0, 1));
    t->handleEvent(event(ui::EventType::leftMouseDown), rowPoint(*t, 0, 1));
    t->handleEvent(event(ui::EventType::leftMouseUp), rowPoint(*t, 0, 1));
    EXPECT_EQ(chosen->title(), "Beta");

    // Press, drag onto an item, release: chosen. Release outside after dragging: dismissed.
    t = MenuTracking::begin(menu, nullptr, {100, 500}, ui::detachedMenuPresenter(), done, &press);
    t->handleEvent(event(ui::EventType::leftMouseDragged), rowPoint(*t, 0, 0));
    t->handleEvent(event(ui::EventType::leftMouseUp), rowPoint(*t, 0, 0));
    EXPECT_EQ(chosen->title(), "Alpha");
    t = MenuTracking::begin(menu, nullptr, {100, 500}, ui::detachedMenuPresenter(), done, &press);
    t->handleEvent(event(ui::EventType::leftMouseDragged), rowPoint(*t, 0, 0));
    t->handleEvent(event(ui::EventType::leftMouseUp), {600, 100});
    EXPECT_FALSE(t->isActive());
    EXPECT_EQ(chosen, nullptr);
}

TEST(MenuTracking, SubmenusOpenOnHoverAndByKeyboard) {
    auto menu = Menu::make();
    menu->setAutoenablesItems(false);
    menu->addItem("Plain", "p:");
    auto more = menu->addItem("More", {});
    auto sub = Menu::make("Sub");
    sub->setAutoenablesItems(false);
    sub->addItem("Deep", "d:");
    sub->addItem("Deeper", "e:");
    more->setSubmenu(sub);
    std::shared_ptr<MenuItem> chosen;
    auto t = open(menu, [&](const std::shared_ptr<MenuItem>& item) { chosen = item; });

    t->handleEvent(event(ui::EventType::mouseMoved), rowPoint(*t, 0, 1));
    ASSERT_EQ(t->levels().size(), 2u);
    EXPECT_EQ(t->levels()[1].menu, sub);
    // The submenu sits beside its row, its first row level with the parent's.
    EXPECT_NEAR(t->levels()[1].frame.minX(), t->levels()[0].frame.maxX(), 2.0);
    EXPECT_EQ(rowPoint(*t, 1, 0).y, rowPoint(*t, 0, 1).y);
    // Moving into the submenu keeps the parent row highlighted; back onto another row closes it.
    t->handleEvent(event(ui::EventType::mouseMoved), rowPoint(*t, 1, 1));
    EXPECT_EQ(t->highlightedItem()->title(), "Deeper");
    EXPECT_EQ(t->highlightedItem(0), more);
    t->handleEvent(event(ui::EventType::mouseMoved), rowPoint(*t, 0, 0));
    EXPECT_EQ(t->levels().size(), 1u);

    // Keyboard: right opens and highlights the first row, left closes, Return chooses in the submenu.
    t->handleEvent(keyDown(ui::utf8(ui::SpecialKey::downArrow)), {});
    EXPECT_EQ(t->highlightedItem(), more);
    t->handleEvent(keyDown(ui::utf8(ui::SpecialKey::rightArrow)), {});
    ASSERT_EQ(t->levels().size(), 2u);
    EXPECT_EQ(t->highlightedItem()->title(), "Deep");
    t->handleEvent(keyDown(ui::utf8(ui::SpecialKey::leftArrow)), {});
    EXPECT_EQ(t->levels().size(), 1u);
    t->handleEvent(keyDown(ui::utf8(ui::SpecialKey::rightArrow)), {});
    t->handleEvent(keyDown(ui::utf8(ui::SpecialKey::downArrow)), {});
    t->handleEvent(keyDown("\r"), {});
    EXPECT_EQ(chosen->title(), "Deeper");
}

TEST(MenuTracking, OptionShowsAlternatesInPlace) {
    auto menu = Menu::make();
    menu->setAutoenablesItems(false);
    menu->addItem("First", "f:");
    auto close = menu->addItem("Close", "close:");
    auto closeAll = menu->addItem("Close All", "closeAll:");
    closeAll->setAlternate(true);
    closeAll->setKeyEquivalentModifierMask(Modifier::option);
    menu->addItem("Last", "l:");

    std::shared_ptr<MenuItem> chosen;
    auto t = open(menu, [&](const std::shared_ptr<MenuItem>& item) { chosen = item; });
    ASSERT_EQ(t->levels()[0].layout.rows.size(), 3u);
    t->handleEvent(event(ui::EventType::mouseMoved), rowPoint(*t, 0, 1));
    EXPECT_EQ(t->highlightedItem(), close);
    t->handleEvent(ui::Event::flagsChangedEvent(Modifier::option), {});
    EXPECT_EQ(t->levels()[0].layout.rows.size(), 3u);
    EXPECT_EQ(t->highlightedItem(), closeAll);
    t->handleEvent(ui::Event::flagsChangedEvent(0), {});
    EXPECT_EQ(t->highlightedItem(), close);
    t->handleEvent(ui::Event::flagsChangedEvent(Modifier::option), {});
    t->handleEvent(event(ui::EventType::leftMouseDown, Modifier::option), rowPoint(*t, 0, 1));
    t->handleEvent(event(ui::EventType::leftMouseUp, Modifier::option), rowPoint(*t, 0, 1));
    EXPECT_EQ(chosen, closeAll);
}

TEST(MenuTracking, TypeSelectAndDelegateUpdates) {
    auto menu = Menu::make();
    menu->setAutoenablesItems(false);
    for (const char* title : {"Apple", "Banana", "Blueberry", "cherry"}) {
        menu->addItem(title, "fruit:");
    }
    auto t = open(menu);
    t->handleEvent(keyDown("b", 1.0), {});
    EXPECT_EQ(t->highlightedItem()->title(), "Banana");
    t->handleEvent(keyDown("l", 1.2), {});
    EXPECT_EQ(t->highlightedItem()->title(), "Blueberry");
    t->handleEvent(keyDown("C", 5.0), {}); // a pause starts a new search, case-insensitive
    EXPECT_EQ(t->highlightedItem()->title(), "cherry");
    t->cancel();

    auto delegated = Menu::make();
    auto delegate = std::make_shared<Delegate>();
    delegated->setDelegate(delegate);
    delegated->setAutoenablesItems(false);
    t = open(delegated);
    ASSERT_TRUE(t);
    EXPECT_EQ(delegate->updates, 1);
    EXPECT_EQ(t->levels()[0].layout.rows[0].item->title(), "Fresh 1");
    t->cancel();
    EXPECT_EQ(delegate->closes, 1);
    EXPECT_EQ(open(Menu::make()), nullptr); // nothing to show
}

TEST(PopUpButtonMenu, ARightPressOpensTheMenuAsAPressDoesAndItsReleaseLeavesItOpen) {
    uitest::WindowScope scope;
    auto window = ui::Window::make({0, 0, 300, 200});
    window->makeKeyWindow();
    auto popUp = std::make_shared<ui::PopUpButton>(graphics::Rect(20, 20, 140, 22));
    popUp->addItems({"Red", "Green", "Blue"});
    window->contentView()->addSubview(popUp);

    window->sendEvent(uitest::mouse(ui::EventType::rightMouseDown, 60, 31, window));
    ASSERT_TRUE(popUp->isMenuShown());
    auto t = window->menuTracking();
    EXPECT_EQ(t->highlightedItem(), popUp->itemAt(0));
    // The release over the selected item is the opening click's, not a choice.
    window->sendEvent(uitest::mouse(ui::EventType::rightMouseUp, 60, 31, window));
    ASSERT_TRUE(popUp->isMenuShown());
    t->handleEvent(event(ui::EventType::leftMouseDown), rowPoint(*t, 0, 2));
    t->handleEvent(event(ui::EventType::leftMouseUp), rowPoint(*t, 0, 2));
    EXPECT_FALSE(popUp->isMenuShown());
    EXPECT_EQ(popUp->titleOfSelectedItem(), "Blue");

    popUp->setEnabled(false);
    window->sendEvent(uitest::mouse(ui::EventType::rightMouseDown, 60, 31, window));
    EXPECT_FALSE(popUp->isMenuShown());
    window->sendEvent(uitest::mouse(ui::EventType::rightMouseUp, 60, 31, window));
}
