// The styled tables and outline driven by events through their window: selection by clicks and keys, the
// selection handed down to cell views, header restyling, the actionable header's buttons and layout,
// the keyboard action table and the outline's disclosure and menus.
#include "Vimbra/Assets.hpp"
#include "Vimbra/StyledControls/tests/TableFixtures.hpp"
#include "Vimbra/Styles.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "core/NotificationCenter.hpp"
#include "ui/AnimationContext.hpp"

#include <gtest/gtest.h>
#include <type_traits>

using graphics::Point;
using graphics::Rect;
using ui::EventType;
namespace Modifier = ui::Modifier;

namespace {

std::vector<int> rows(const core::IndexSet& set) {
    return {set.begin(), set.end()};
}

struct TableScene {
    vimbratest::Scene scene{Rect(100, 100, 300, 240)};
    tabletest::TableInScroll t{Rect(0, 0, 300, 240), 40};

    TableScene() { scene.add(t.scroll); }
    Point at(int row, int column = 0) const {
        return t.table->convertPointToView(t.table->frameOfCellAtColumn(column, row).center(), nullptr);
    }
    void click(Point p, ui::ModifierFlags flags = 0) const {
        scene.window->sendEvent(
            ui::Event::mouseEvent(EventType::leftMouseDown, p, flags, 0, scene.window, 1));
        scene.window->sendEvent(ui::Event::mouseEvent(EventType::leftMouseUp, p, flags, 0, scene.window, 1));
    }
    void key(EventType type, char32_t special) const {
        scene.window->sendEvent(ui::Event::keyEvent(type, ui::utf8(special), {}, 0, 0, 0, scene.window));
    }
    std::shared_ptr<vimbra::StyledTableCellView> cell(int row, int column = 0) const {
        return std::dynamic_pointer_cast<vimbra::StyledTableCellView>(
            t.table->viewAtColumn(column, row, false));
    }
};

// Counts key presses that reach it.
class KeySink final : public ui::View {
public:
    using View::View;
    void keyDown(const ui::Event&) override { ++presses; }
    int presses = 0;
};

} // namespace

TEST(StyledTable, ClicksSelectRowsAndTheSelectionReachesTheCellViewsAndTheirText) {
    TableScene s;
    s.click(s.at(2));
    s.click(s.at(4), Modifier::shift);
    s.click(s.at(8), Modifier::control);
    s.click(s.at(3), Modifier::command);
    EXPECT_EQ(rows(s.t.table->selectedRowIndexes()), (std::vector<int>{2, 4, 8}));

    // Selected rows' views are selected, with the style's selected text colour; the delegate's text stays.
    auto style = vimbra::StyledTableCellView::sharedStyle();
    for (int row = 1; row <= 4; ++row) {
        const bool selected = row != 1 && row != 3;
        auto cell = s.cell(row, 1);
        ASSERT_NE(cell, nullptr);
        auto rowView =
            std::dynamic_pointer_cast<vimbra::StyledTableRowView>(s.t.table->rowViewAtRow(row, false));
        ASSERT_NE(rowView, nullptr);
        EXPECT_EQ(rowView->isSelected(), selected) << row;
        EXPECT_EQ(rowView->controlState().rawValue, selected ? 5 : 1) << row;
        EXPECT_EQ(cell->isSelected(), selected) << row;
        EXPECT_EQ(cell->textField()->textColor(), style->textColorForState(cell->controlState())) << row;
        EXPECT_EQ(cell->textField()->stringValue(), "Kind " + std::to_string(row));
    }

    // A new object value starts from an empty text field in the state's colour.
    auto cell = s.cell(2);
    cell->setObjectValue(std::string("value"));
    EXPECT_EQ(cell->textField()->stringValue(), "");
    EXPECT_TRUE(cell->isSelected());

    // Arrow keys do not move the selection by default: they go to the table's superview.
    auto holder = std::make_shared<KeySink>(Rect(290, 230, 10, 10));
    auto table = std::make_shared<vimbra::StyledTableView>();
    s.scene.add(holder);
    holder->addSubview(table);
    ASSERT_TRUE(s.scene.window->makeFirstResponder(table));
    s.key(EventType::keyDown, ui::SpecialKey::downArrow);
    EXPECT_EQ(holder->presses, 1);
    // Allowed, they do.
    ASSERT_TRUE(s.scene.window->makeFirstResponder(s.t.table));
    s.t.table->setAllowKeyboardNavigation(true);
    s.click(s.at(5));
    s.key(EventType::keyDown, ui::SpecialKey::downArrow);
    EXPECT_EQ(rows(s.t.table->selectedRowIndexes()), (std::vector<int>{6}));
}

TEST(StyledTable, AClickIntoAnInactiveWindowMakesItKeyUnlessTurnedOff) {
    TableScene s;
    auto other = ui::Window::make(Rect(500, 100, 100, 100));
    display::HeadlessBackend::attach(other, 1.0, true);
    other->makeKeyAndOrderFront();
    ASSERT_FALSE(s.scene.window->isKeyWindow());
    s.t.table->setMakeKeyOnClick(false);
    s.t.table->mouseDown(ui::Event::mouseEvent(EventType::leftMouseDown, s.at(1), 0, 0, s.scene.window, 1));
    EXPECT_FALSE(s.scene.window->isKeyWindow());
    s.t.table->setMakeKeyOnClick(true);
    s.t.table->mouseDown(ui::Event::mouseEvent(EventType::leftMouseDown, s.at(1), 0, 0, s.scene.window, 1));
    EXPECT_TRUE(s.scene.window->isKeyWindow());
    EXPECT_EQ(rows(s.t.table->selectedRowIndexes()), (std::vector<int>{1}));
}

TEST(StyledTable, HeaderRestylingKeepsTitlesAndImagesAndSkipsHiddenColumns) {
    TableScene s;
    auto name = std::static_pointer_cast<vimbra::StyledTableColumn>(s.t.table->tableColumns()[0]);
    auto kind = s.t.table->tableColumns()[1];
    auto star = vimbra::vimbraImage("organiser-icon-star");
    name->setImage(star);
    kind->setHidden(true);
    const auto kindCell = kind->headerCell();
    const auto text = graphics::Color::rgba(1, 1, 0);
    const auto tint = graphics::Color::rgba(0, 0, 1);
    s.t.table->applyHeaderStyle(text, tint, vimbra::Styles::mediumFont());

    auto cell = std::dynamic_pointer_cast<vimbra::StyledTableHeaderCell>(name->headerCell());
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->stringValue(), "Name");
    EXPECT_EQ(cell->image(), star);
    EXPECT_EQ(cell->tintColor(), tint);
    EXPECT_EQ(cell->backgroundStyle(), ui::BackgroundStyle::raised);
    EXPECT_EQ(cell->attributedStringValue().attributesAt(0).foregroundColor, text);
    EXPECT_EQ(cell->attributedStringValue().attributesAt(0).font, vimbra::Styles::mediumFont());
    EXPECT_EQ(kind->headerCell(), kindCell);
    // The column's image goes to its header cell on every read: a column without one clears it.
    name->setImage(nullptr);
    EXPECT_EQ(name->headerCell()->image(), nullptr);
    auto copy = cell->copy();
    EXPECT_EQ(copy->tintColor(), tint);
    EXPECT_EQ(copy->stringValue(), "Name");
}

TEST(ActionableHeader, ButtonsKeepToTheVisibleRightEdgeAndAnswerClicks) {
    vimbratest::Scene scene{Rect(100, 100, 400, 240)};
    tabletest::TableInScroll t{Rect(0, 0, 400, 240), 30, 500}; // 600 points of columns in 400
    scene.add(t.scroll);
    scene.backend->displayIfNeeded();
    const auto& header = *t.header;
    auto clip = t.scroll->contentView();
    const double shown = clip->bounds().width(); // the width less the vertical scroller's
    EXPECT_EQ(header.bounds().width(), 600);
    EXPECT_EQ(header.visibleTrailingOffset(), -(600 - shown));
    EXPECT_EQ(header.optionButton()->frame().maxX(), shown - 2);
    EXPECT_EQ(header.addItemButton()->frame().maxX(), header.optionButton()->frame().minX());

    // Scrolled fully right, the buttons follow in the next pass.
    clip->scrollToPoint({1000, 0});
    t.scroll->reflectScrolledClipView(*clip);
    EXPECT_TRUE(header.needsLayout());
    scene.backend->displayIfNeeded();
    EXPECT_EQ(header.visibleTrailingOffset(), 0);
    EXPECT_EQ(header.optionButton()->frame().maxX(), 598);

    // Clicks on the buttons send their actions.
    vimbratest::Receiver receiver({"add:", "options:"});
    auto target = std::shared_ptr<vimbratest::Receiver>(&receiver, [](auto*) {});
    header.addItemButton()->setTarget(target);
    header.addItemButton()->setAction("add:");
    header.optionButton()->setTarget(target);
    header.optionButton()->setAction("options:");
    for (const auto& button : {header.optionButton(), header.addItemButton()}) {
        const Point p = vimbratest::centre(*button);
        scene.window->sendEvent(ui::Event::mouseEvent(EventType::leftMouseDown, p, 0, 0, scene.window, 1));
        scene.window->sendEvent(ui::Event::mouseEvent(EventType::leftMouseUp, p, 0, 0, scene.window, 1));
    }
    EXPECT_EQ(receiver.log, (std::vector<std::string>{"options:", "add:"}));

    // With the option button hidden, the add button takes the right edge.
    t.header->hideOptionButton();
    t.header->setNeedsLayout(true);
    scene.backend->displayIfNeeded();
    EXPECT_EQ(header.addItemButton()->frame().maxX(), 598);
    EXPECT_TRUE(header.optionButton()->isHidden());

    // Only make() builds a header, so none is ever without its buttons.
    EXPECT_FALSE(std::is_default_constructible_v<vimbra::ActionableTableHeaderView>);
    EXPECT_FALSE((std::is_constructible_v<vimbra::ActionableTableHeaderView, Rect>));
}

TEST(ActionableHeader, OtherClipViewsLeaveAPendingLayoutAlone) {
    vimbratest::Scene scene{Rect(100, 100, 400, 240)};
    tabletest::TableInScroll t{Rect(0, 0, 400, 240), 30, 500};
    scene.add(t.scroll);
    scene.backend->displayIfNeeded();
    auto elsewhere = std::make_shared<ui::ScrollView>(Rect(0, 0, 100, 100));
    elsewhere->setDocumentView(std::make_shared<ui::View>(Rect(0, 0, 300, 300)));
    elsewhere->contentView()->setPostsBoundsChangedNotifications(true);
    elsewhere->contentView()->setPostsFrameChangedNotifications(true);
    scene.add(elsewhere);

    t.header->setNeedsLayout(true); // e.g. after the header's own resize
    elsewhere->contentView()->scrollToPoint({0, 50});
    elsewhere->contentView()->setFrame(Rect(0, 0, 90, 90));
    EXPECT_TRUE(t.header->needsLayout());
    scene.backend->displayIfNeeded();
    EXPECT_FALSE(t.header->needsLayout());
    // The header's own clip view does ask for a layout.
    t.scroll->contentView()->scrollToPoint({50, 0});
    EXPECT_TRUE(t.header->needsLayout());
}

TEST(KeyboardActionTable, ReleasingReturnOrEnterSendsTheActionOnce) {
    vimbratest::Scene scene;
    auto table = std::make_shared<vimbra::KeyboardActionTableView>(Rect(0, 0, 200, 100));
    scene.add(table);
    ASSERT_TRUE(scene.window->makeFirstResponder(table));
    vimbratest::Receiver receiver({"open:"});
    auto target = std::shared_ptr<vimbratest::Receiver>(&receiver, [](auto*) {});
    table->setTarget(target);
    auto send = [&](EventType type, const std::string& characters) {
        scene.window->sendEvent(ui::Event::keyEvent(type, characters, {}, 0, 0, 0, scene.window));
    };
    send(EventType::keyUp, ui::utf8(ui::SpecialKey::carriageReturn));
    EXPECT_TRUE(receiver.log.empty()) << "no keyboard action yet";
    table->setKeyboardAction("open:");
    send(EventType::keyDown, ui::utf8(ui::SpecialKey::carriageReturn));
    EXPECT_TRUE(receiver.log.empty()) << "a press alone sends nothing";
    send(EventType::keyUp, ui::utf8(ui::SpecialKey::carriageReturn));
    send(EventType::keyUp, ui::utf8(ui::SpecialKey::enter));
    send(EventType::keyUp, ui::utf8(ui::SpecialKey::downArrow));
    send(EventType::keyUp, "a");
    EXPECT_EQ(receiver.log, (std::vector<std::string>{"open:", "open:"}));
    table->setKeyboardActionTriggers({});
    send(EventType::keyUp, ui::utf8(ui::SpecialKey::carriageReturn));
    EXPECT_EQ(receiver.log.size(), 2u);
}

TEST(StyledOutline, DisclosureButtonsShowTheLibrarysImagesAndOpenWithoutAnimation) {
    vimbratest::Scene scene{Rect(100, 100, 200, 200)};
    tabletest::OutlineInScroll o{Rect(0, 0, 200, 200)};
    scene.add(o.scroll);
    EXPECT_EQ(o.outline->backgroundColor(), vimbra::OutlineViewStyle().backgroundColor);

    // A click on C's disclosure button opens C; its button shows the open image.
    auto disclosure = [&](int row) {
        for (const auto& sub : o.outline->rowViewAtRow(row, true)->subviews()) {
            if (auto button = std::dynamic_pointer_cast<ui::Button>(sub);
                button && button->identifier() == ui::OutlineView::disclosureButtonKey) {
                return button;
            }
        }
        return std::shared_ptr<ui::Button>();
    };
    auto button = disclosure(2);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->tag(), 1000);
    EXPECT_EQ(button->image()->name(), "organiser-icon-disclose");
    EXPECT_EQ(button->alternateImage()->name(), "organiser-icon-disclose-open");
    EXPECT_EQ(button->state(), ui::StateValue::off);
    const Point p = vimbratest::centre(*button);
    scene.window->sendEvent(ui::Event::mouseEvent(EventType::leftMouseDown, p, 0, 0, scene.window, 1));
    scene.window->sendEvent(ui::Event::mouseEvent(EventType::leftMouseUp, p, 0, 0, scene.window, 1));
    EXPECT_TRUE(o.outline->isItemExpanded(o.c));
    EXPECT_EQ(o.outline->numberOfRows(), 4);
    EXPECT_EQ(disclosure(2)->state(), ui::StateValue::on);

    // Opening without animation opens one group of duration 0, and only for a closed group item.
    const auto groups = ui::AnimationContext::groupsOpened();
    o.outline->expandWithoutAnimation(o.b);
    o.outline->expandWithoutAnimation(o.c);
    EXPECT_EQ(ui::AnimationContext::groupsOpened(), groups);
    o.outline->expandWithoutAnimation(o.a);
    EXPECT_EQ(ui::AnimationContext::groupsOpened(), groups + 1);
    EXPECT_EQ(ui::AnimationContext::groupingDepth(), 0);
    EXPECT_TRUE(o.outline->isItemExpanded(o.a));
    EXPECT_EQ(o.outline->numberOfRows(), 6);
}

TEST(StyledOutline, TheContextMenuIsTheDelegatesForTheItemUnderThePointer) {
    vimbratest::Scene scene{Rect(100, 100, 200, 200)};
    tabletest::OutlineInScroll o{Rect(0, 0, 200, 200)};
    scene.add(o.scroll);
    o.outline->setMenu(std::make_shared<ui::Menu>("own"));
    auto menuAt = [&](double y) {
        const Point p = o.outline->convertPointToView({20, y}, nullptr);
        return o.outline->menuForEvent(
            ui::Event::mouseEvent(EventType::rightMouseDown, p, 0, 0, scene.window, 1));
    };
    auto menu = menuAt(o.outline->rectOfRow(1).midY());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), "B");
    EXPECT_TRUE(o.outline->selectedRowIndexes().empty());
    EXPECT_EQ(menuAt(o.outline->rectOfRow(2).maxY() + 30), nullptr) << "below the rows";
    // A delegate that answers no menus: none at all, not the view's own.
    auto plain = std::make_shared<ui::OutlineViewDelegate>();
    o.outline->setDelegate(plain);
    EXPECT_EQ(menuAt(o.outline->rectOfRow(1).midY()), nullptr);
}
