#include "Helpers.hpp"
#include "core/NotificationCenter.hpp"
#include "core/RunLoop.hpp"
#include "graphics/Image.hpp"
#include "ui/AnimationContext.hpp"
#include "ui/OutlineView.hpp"
#include "ui/ScrollView.hpp"
#include "ui/TableView.hpp"

#include <cmath>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <map>

using graphics::Point;
using graphics::Rect;
using ui::EventType;
namespace Modifier = ui::Modifier;

namespace {

class Rows final : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    explicit Rows(int count) : count(count) {}
    int numberOfRows(ui::TableView&) override { return count; }
    std::any objectValue(ui::TableView&, ui::TableColumn* column, int row) override {
        return column->identifier() + " " + std::to_string(row);
    }
    bool shouldSelectRow(ui::TableView& table, int row) override {
        asked.push_back(row);
        if (onShouldSelect) {
            onShouldSelect(table, row);
        }
        return row != refusedRow;
    }
    double heightOfRow(ui::TableView&, int row) override {
        const auto it = heights.find(row);
        return it == heights.end() ? 0 : it->second;
    }
    void tableViewSelectionDidChange(ui::TableView&) override { ++changes; }
    int count;
    int refusedRow = -1;
    int changes = 0;
    std::vector<int> asked; // the rows shouldSelectRow was asked about
    std::function<void(ui::TableView&, int)> onShouldSelect;
    std::map<int, double> heights; // rows of a height of their own
};

std::vector<int> rows(const core::IndexSet& set) {
    return {set.begin(), set.end()};
}

// A key window holding a scroll view with a two-column table.
struct TableScene {
    uitest::WindowScope scope;
    std::shared_ptr<ui::Window> window = ui::Window::make(Rect(0, 0, 300, 223));
    std::shared_ptr<ui::ScrollView> scroll = std::make_shared<ui::ScrollView>(Rect(0, 0, 300, 223));
    std::shared_ptr<ui::TableView> table = std::make_shared<ui::TableView>();
    std::shared_ptr<Rows> model;

    explicit TableScene(int count, std::shared_ptr<ui::TableView> view = nullptr)
        : model(std::make_shared<Rows>(count)) {
        if (view) {
            table = std::move(view);
        }
        window->contentView()->addSubview(scroll);
        scroll->setHasVerticalScroller(true);
        for (const char* id : {"name", "kind"}) {
            auto column = std::make_shared<ui::TableColumn>(id);
            column->setTitle(id == std::string("name") ? "Name" : "Kind");
            column->setWidth(140);
            table->addTableColumn(column);
        }
        scroll->setDocumentView(table);
        table->setDataSource(model);
        table->setDelegate(model);
        window->makeKeyWindow();
    }
    // A point inside a row (and column) in window coordinates.
    Point at(int row, int column = 0) const {
        const Rect cell = table->frameOfCellAtColumn(column, row);
        return table->convertPointToView(cell.center(), nullptr);
    }
    void click(int row, ui::ModifierFlags flags = 0, int clicks = 1) {
        const Point p = at(row);
        window->sendEvent(ui::Event::mouseEvent(EventType::leftMouseDown, p, flags, 0, window, clicks));
        window->sendEvent(ui::Event::mouseEvent(EventType::leftMouseUp, p, flags, 0, window, clicks));
    }
    void press(char32_t special, ui::ModifierFlags flags = 0) {
        window->sendEvent(
            ui::Event::keyEvent(EventType::keyDown, ui::utf8(special), {}, flags, 0, 0, window));
    }
};

// Renders a window through an image-surface back end and writes it as a PNG next to the tests.
graphics::ImageRef render(const std::shared_ptr<ui::Window>& window, double scale, const std::string& name) {
    auto backend = std::make_shared<uitest::FakeBackend>(window->frame().size, scale);
    window->setBackend(backend);
    window->display();
    auto image = graphics::Image::fromSurface(backend->surface(), scale);
    std::filesystem::create_directories(UI_TEST_OUTPUT_DIR);
    image->writePNG(std::filesystem::path(UI_TEST_OUTPUT_DIR) / name);
    window->setBackend(nullptr);
    return image;
}

} // namespace

TEST(TableView, ClickShiftClickCommandClickAndArrowsSelectRows) {
    TableScene s(20);
    s.table->setAllowsMultipleSelection(true);
    int posted = 0;
    auto observer = core::NotificationCenter::defaultCenter().addObserver(
        ui::TableView::selectionDidChangeNotification, s.table.get(),
        [&](const core::Notification&) { ++posted; });

    s.click(2);
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{2}));
    EXPECT_EQ(s.table->clickedRow(), 2);
    EXPECT_EQ(s.table->clickedColumn(), 0);
    EXPECT_EQ(s.window->firstResponder(), s.table);
    s.click(5, Modifier::shift);
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{2, 3, 4, 5}));
    s.click(3, Modifier::command);
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{2, 4, 5}));
    s.click(7, Modifier::control); // Control toggles like Command
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{2, 4, 5, 7}));
    EXPECT_EQ(s.table->selectedRow(), 7);
    // Shift extends from the last plain or Command click.
    s.click(9, Modifier::shift);
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{2, 4, 5, 7, 8, 9}));
    EXPECT_EQ(s.model->changes, 5);
    EXPECT_EQ(posted, 5);

    s.click(1);
    s.press(ui::SpecialKey::downArrow);
    s.press(ui::SpecialKey::downArrow);
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{3}));
    s.press(ui::SpecialKey::downArrow, Modifier::shift);
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{3, 4}));
    // A row the delegate refuses is stepped over.
    s.model->refusedRow = 2;
    s.click(1);
    s.press(ui::SpecialKey::downArrow);
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{3}));
    s.click(2); // refused: the selection stays
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{3}));
    EXPECT_EQ(s.table->clickedRow(), 2);

    // A drag from a row selects the rows it passes over.
    const Point from = s.at(6);
    const Point to = s.at(8);
    s.window->sendEvent(uitest::mouse(EventType::leftMouseDown, from.x, from.y, s.window));
    s.window->sendEvent(uitest::mouse(EventType::leftMouseDragged, to.x, to.y, s.window));
    s.window->sendEvent(uitest::mouse(EventType::leftMouseUp, to.x, to.y, s.window));
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{6, 7, 8}));
}

TEST(TableView, SingleAndNonEmptySelectionRulesHold) {
    TableScene s(6);
    s.click(1);
    s.click(3, Modifier::shift); // no multiple selection: a plain click
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{3}));
    s.click(4, Modifier::command);
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{4}));
    // Below the last row: an empty selection when allowed, else the selection stays.
    const Point below = s.table->convertPointToView({10, 6 * s.table->rowHeight() + 15}, nullptr);
    s.table->setAllowsEmptySelection(false);
    s.window->sendEvent(uitest::mouse(EventType::leftMouseDown, below.x, below.y, s.window));
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{4}));
    EXPECT_EQ(s.table->clickedRow(), -1);
    s.click(4, Modifier::command);
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{4}));
    s.table->setAllowsEmptySelection(true);
    s.click(4, Modifier::command);
    EXPECT_TRUE(s.table->selectedRowIndexes().empty());
    EXPECT_EQ(s.table->selectedRow(), -1);

    // Code that asks for several rows of a single-selection table gets the last; rows past the end
    // are ignored, and a reload that removes selected rows drops them and says so.
    s.table->selectRowIndexes({1, 2, 5}, false);
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{5}));
    s.table->setAllowsMultipleSelection(true);
    s.table->selectRowIndexes({0, 2, 17}, true);
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{0, 2, 5}));
    const int before = s.model->changes;
    s.model->count = 3;
    s.table->reloadData();
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{0, 2}));
    EXPECT_EQ(s.model->changes, before + 1);
}

TEST(TableView, AShiftClickNeverAsksAboutRowsTheDelegateRemovedMeanwhile) {
    TableScene s(10);
    s.table->setAllowsMultipleSelection(true);
    s.click(0);
    s.model->asked.clear();
    s.model->onShouldSelect = [&](ui::TableView& table, int row) {
        if (row == 1 && s.model->count == 10) {
            s.model->count = 3;
            table.reloadData();
        }
    };
    s.click(6, Modifier::shift);
    EXPECT_EQ(s.model->asked, (std::vector<int>{1, 2}));
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{0, 1, 2}));
}

TEST(TableView, GeometryThatIsNotFiniteIsRefused) {
    TableScene s(3);
    const auto nan = std::numeric_limits<double>::quiet_NaN();
    const auto inf = std::numeric_limits<double>::infinity();
    for (const Point p : {Point{10, nan}, Point{nan, 10}, Point{10, inf}, Point{10, -inf}}) {
        EXPECT_EQ(s.table->rowAtPoint(p), -1) << p.x << " " << p.y;
    }
    auto column = s.table->tableColumns()[0];
    for (const double width : {nan, inf, -inf}) {
        column->setWidth(width);
        column->setMinWidth(width);
        column->setMaxWidth(width);
    }
    EXPECT_EQ(column->width(), 140);
    EXPECT_EQ(s.table->rectOfColumn(1).minX(), 140);
    EXPECT_TRUE(std::isfinite(s.table->frame().width()));
    s.table->setRowHeight(nan);
    s.table->setRowHeight(inf);
    EXPECT_EQ(s.table->rowHeight(), 20);

    // Heights from the delegate that are no finite number count as the row height.
    s.model->heights = {{0, nan}, {1, inf}, {2, 30}};
    s.table->reloadData();
    EXPECT_EQ(s.table->rectOfRow(0), Rect(0, 0, s.table->bounds().width(), 20));
    EXPECT_EQ(s.table->rectOfRow(1), Rect(0, 20, s.table->bounds().width(), 20));
    EXPECT_EQ(s.table->rectOfRow(2).maxY(), 70);
    s.model->asked.clear();
    s.click(2);
    EXPECT_EQ(s.model->asked, std::vector<int>{2});
    EXPECT_EQ(s.table->selectedRow(), 2);
}

TEST(TableView, ActionsDoubleActionAndContextClicksReportTheClickedRow) {
    TableScene s(8);
    auto target = std::make_shared<ui::Responder>();
    std::vector<std::string> log;
    target->setActionHandler("open:", [&](const std::shared_ptr<ui::Object>&) {
        log.push_back("open " + std::to_string(s.table->clickedRow()));
    });
    target->setActionHandler("choose:", [&](const std::shared_ptr<ui::Object>&) {
        log.push_back("choose " + std::to_string(s.table->clickedRow()));
    });
    s.table->setTarget(target);
    s.table->setAction("choose:");
    s.table->setDoubleAction("open:");
    s.click(3);
    s.click(3, 0, 2);
    EXPECT_EQ(log, (std::vector<std::string>{"choose 3", "open 3"}));

    // A secondary click notes its row without selecting it.
    const Point p = s.at(6, 1);
    s.window->sendEvent(uitest::mouse(EventType::rightMouseDown, p.x, p.y, s.window));
    EXPECT_EQ(s.table->clickedRow(), 6);
    EXPECT_EQ(s.table->clickedColumn(), 1);
    EXPECT_EQ(rows(s.table->selectedRowIndexes()), (std::vector<int>{3}));
}

TEST(TableView, ScrollingBuildsOnlyVisibleRowsAndKeepsTheSelectionInView) {
    TableScene s(100);
    auto clip = s.scroll->contentView();
    const double visibleRows = clip->bounds().height() / s.table->rowHeight();
    EXPECT_EQ(s.scroll->headerClipView()->frame().height(), ui::TableHeaderView::defaultHeight);
    EXPECT_LE(static_cast<double>(s.table->subviews().size()), visibleRows + 1);
    ASSERT_NE(s.table->rowViewAtRow(0, false), nullptr);
    EXPECT_EQ(s.table->rowViewAtRow(50, false), nullptr);
    // The default cell shows the data source's value.
    auto cell = std::dynamic_pointer_cast<ui::TableCellView>(s.table->viewAtColumn(1, 0, false));
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->textField()->stringValue(), "kind 0");
    EXPECT_EQ(s.table->rowForView(*cell->textField()), 0);
    EXPECT_EQ(s.table->columnForView(*cell->textField()), 1);

    // Three wheel steps towards the user scroll the content up.
    const Point inside = s.at(2);
    s.window->sendEvent(ui::Event::scrollEvent(inside, 0, -3, 0, 0, s.window));
    EXPECT_EQ(clip->bounds().minY(), 3 * s.scroll->lineScroll());
    s.window->contentView()->layoutSubtreeIfNeeded();
    EXPECT_EQ(s.table->rowViewAtRow(0, false), nullptr);
    EXPECT_NE(s.table->rowViewAtRow(2, false), nullptr);
    // The wheel stops at the top.
    s.window->sendEvent(ui::Event::scrollEvent(inside, 0, 50, 0, 0, s.window));
    EXPECT_EQ(clip->bounds().minY(), 0);

    s.click(1);
    s.press(ui::SpecialKey::end);
    EXPECT_EQ(s.table->selectedRow(), 99);
    const Rect shown = clip->documentVisibleRect();
    EXPECT_TRUE(shown.contains(s.table->rectOfRow(99)));
    EXPECT_NEAR(s.scroll->verticalScroller()->doubleValue(), 1.0, 1e-9);
    s.press(ui::SpecialKey::upArrow);
    EXPECT_EQ(s.table->selectedRow(), 98);
}

TEST(TableView, HeaderFollowsHorizontalScrollingAndClipViewsPostChanges) {
    TableScene s(4);
    s.table->tableColumns()[0]->setWidth(400);
    int bounds = 0;
    auto clip = s.scroll->contentView();
    clip->setPostsBoundsChangedNotifications(true);
    auto observer = core::NotificationCenter::defaultCenter().addObserver(
        "NSViewBoundsDidChangeNotification", clip.get(), [&](const core::Notification&) { ++bounds; });
    EXPECT_EQ(s.table->frame().width(), 540);
    clip->scrollToPoint({120, 0});
    EXPECT_EQ(bounds, 1);
    EXPECT_EQ(s.scroll->headerClipView()->bounds().minX(), 120);
    // Past the end is clamped to the last position.
    clip->scrollToPoint({1000, 0});
    EXPECT_EQ(clip->bounds().minX(), 540 - clip->bounds().width());
    EXPECT_EQ(s.table->headerView()->headerRect(1).minX(), 400);
}

namespace {

class Node final : public ui::Object {
public:
    Node(std::string name, std::vector<std::shared_ptr<Node>> children = {})
        : name(std::move(name)), children(std::move(children)) {}
    std::string name;
    std::vector<std::shared_ptr<Node>> children;
};

class Tree final : public ui::OutlineViewDataSource, public ui::OutlineViewDelegate {
public:
    std::vector<std::shared_ptr<Node>> top;
    int changes = 0;
    const std::vector<std::shared_ptr<Node>>& kids(const ui::OutlineItem& item) const {
        return item ? std::static_pointer_cast<Node>(item)->children : top;
    }
    int numberOfChildrenOfItem(ui::OutlineView&, const ui::OutlineItem& item) override {
        return static_cast<int>(kids(item).size());
    }
    ui::OutlineItem child(ui::OutlineView&, int index, const ui::OutlineItem& item) override {
        return kids(item)[static_cast<std::size_t>(index)];
    }
    bool isItemExpandable(ui::OutlineView&, const ui::OutlineItem& item) override {
        return !kids(item).empty();
    }
    std::any objectValue(ui::OutlineView&, ui::TableColumn*, const ui::OutlineItem& item) override {
        return std::static_pointer_cast<Node>(item)->name;
    }
    void outlineViewSelectionDidChange(ui::OutlineView&) override { ++changes; }
};

std::shared_ptr<Node> leaf(const std::string& name) {
    return std::make_shared<Node>(name);
}

std::vector<std::string> names(ui::OutlineView& outline) {
    std::vector<std::string> out;
    for (int row = 0; row < outline.numberOfRows(); ++row) {
        out.push_back(std::static_pointer_cast<Node>(outline.itemAtRow(row))->name);
    }
    return out;
}

struct OutlineScene {
    std::shared_ptr<Node> a2 = std::make_shared<Node>("A2", std::vector{leaf("A2a")});
    std::shared_ptr<Node> a = std::make_shared<Node>("A", std::vector{leaf("A1"), a2});
    std::shared_ptr<Node> b = leaf("B");
    std::shared_ptr<Node> c = std::make_shared<Node>("C", std::vector{leaf("C1")});
    std::shared_ptr<Tree> tree = std::make_shared<Tree>();
    std::shared_ptr<ui::OutlineView> outline = std::make_shared<ui::OutlineView>();
    TableScene scene{0, outline};
    OutlineScene() {
        tree->top = {a, b, c};
        outline->setDataSource(tree);
        outline->setDelegate(tree);
    }
};

} // namespace

TEST(OutlineView, ExpandingAndCollapsingShowsChildrenWithTheirLevelsParentsAndIndexes) {
    OutlineScene s;
    auto& o = *s.outline;
    EXPECT_EQ(names(o), (std::vector<std::string>{"A", "B", "C"}));
    o.expandItem(s.a);
    EXPECT_EQ(names(o), (std::vector<std::string>{"A", "A1", "A2", "B", "C"}));
    EXPECT_EQ(o.levelForItem(s.a2), 1);
    EXPECT_EQ(o.parentForItem(s.a2), s.a);
    EXPECT_EQ(o.parentForItem(s.a), nullptr);
    EXPECT_EQ(o.childIndexForItem(s.a2), 1);
    EXPECT_EQ(o.childIndexForItem(s.c), 2);
    EXPECT_EQ(o.rowForItem(s.a2->children[0]), -1);
    EXPECT_FALSE(o.isItemExpanded(s.a2));

    o.expandItem(s.a2);
    EXPECT_EQ(o.levelForRow(3), 2);
    EXPECT_EQ(o.rowForItem(s.b), 4);
    // Collapsing the parent hides the subtree; the child reopens as it was.
    o.collapseItem(s.a);
    EXPECT_EQ(names(o), (std::vector<std::string>{"A", "B", "C"}));
    o.expandItem(s.a);
    EXPECT_EQ(names(o), (std::vector<std::string>{"A", "A1", "A2", "A2a", "B", "C"}));
    // Collapsing with children closes the whole subtree.
    o.collapseItem(s.a, true);
    o.expandItem(s.a);
    EXPECT_EQ(names(o), (std::vector<std::string>{"A", "A1", "A2", "B", "C"}));
    // A leaf does not expand; the null item with children opens everything.
    o.expandItem(s.b);
    EXPECT_FALSE(o.isItemExpanded(s.b));
    o.expandItem(nullptr, true);
    EXPECT_EQ(names(o), (std::vector<std::string>{"A", "A1", "A2", "A2a", "B", "C", "C1"}));

    // The selection follows its items; a selected item that disappears leaves the selection.
    o.setAllowsMultipleSelection(true);
    o.selectRowIndexes({o.rowForItem(s.a2->children[0]), o.rowForItem(s.c)}, false);
    const int changes = s.tree->changes;
    o.collapseItem(s.a2);
    EXPECT_EQ(rows(o.selectedRowIndexes()), (std::vector<int>{o.rowForItem(s.c)}));
    EXPECT_EQ(s.tree->changes, changes + 1);
    o.collapseItem(s.a);
    EXPECT_EQ(rows(o.selectedRowIndexes()), (std::vector<int>{2}));
    EXPECT_EQ(s.tree->changes, changes + 1); // same item, new row: no change to report
}

TEST(OutlineView, DisclosureButtonsAndArrowKeysOpenAndCloseItems) {
    OutlineScene s;
    auto& o = *s.outline;
    // The disclosure button of C sits before the indented cell and toggles on a click.
    const Rect disclosure = o.frameOfOutlineCellAtRow(2);
    EXPECT_EQ(disclosure.minX(), 0);
    EXPECT_EQ(o.frameOfOutlineCellAtRow(1), Rect::zero()); // B cannot expand
    EXPECT_EQ(o.frameOfCellAtColumn(0, 2).minX(), o.indentationPerLevel());
    const Point p = o.convertPointToView(disclosure.center(), nullptr);
    s.scene.window->sendEvent(uitest::mouse(EventType::leftMouseDown, p.x, p.y, s.scene.window));
    s.scene.window->sendEvent(uitest::mouse(EventType::leftMouseUp, p.x, p.y, s.scene.window));
    EXPECT_TRUE(o.isItemExpanded(s.c));
    EXPECT_EQ(names(o), (std::vector<std::string>{"A", "B", "C", "C1"}));
    EXPECT_TRUE(o.selectedRowIndexes().empty()); // the button took the click, not the table
    auto button = std::dynamic_pointer_cast<ui::Button>(o.rowViewAtRow(2, true)->subviews().back());
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->identifier(), ui::OutlineView::disclosureButtonKey);
    EXPECT_EQ(button->state(), ui::StateValue::on);
    EXPECT_EQ(o.frameOfCellAtColumn(0, 3).minX(), 2 * o.indentationPerLevel());

    // Right opens the selected item, Left closes it, and Left on a child goes to its parent.
    s.scene.click(0);
    s.scene.press(ui::SpecialKey::rightArrow);
    EXPECT_EQ(names(o), (std::vector<std::string>{"A", "A1", "A2", "B", "C", "C1"}));
    s.scene.press(ui::SpecialKey::downArrow);
    s.scene.press(ui::SpecialKey::leftArrow);
    EXPECT_EQ(o.selectedRow(), 0);
    s.scene.press(ui::SpecialKey::leftArrow);
    EXPECT_FALSE(o.isItemExpanded(s.a));
}

namespace {

// A chain of items, each the only child of the one before: the items live in a flat list, so a chain
// of any depth is made and let go without recursion.
class Chain final : public ui::OutlineViewDataSource {
public:
    struct Link final : ui::Object {
        explicit Link(int index) : index(index) {}
        int index;
    };
    explicit Chain(int depth) {
        for (int i = 0; i < depth; ++i) {
            links.push_back(std::make_shared<Link>(i));
        }
    }
    int next(const ui::OutlineItem& item) const {
        return item ? std::static_pointer_cast<Link>(item)->index + 1 : 0;
    }
    int numberOfChildrenOfItem(ui::OutlineView&, const ui::OutlineItem& item) override {
        return next(item) < static_cast<int>(links.size()) ? 1 : 0;
    }
    ui::OutlineItem child(ui::OutlineView&, int, const ui::OutlineItem& item) override {
        return links[static_cast<std::size_t>(next(item))];
    }
    bool isItemExpandable(ui::OutlineView& outline, const ui::OutlineItem& item) override {
        return numberOfChildrenOfItem(outline, item) > 0;
    }
    std::vector<std::shared_ptr<Link>> links;
};

} // namespace

TEST(OutlineView, AChainFortyThousandItemsDeepExpandsAndCollapsesWhole) {
    constexpr int depth = 40000;
    OutlineScene s;
    auto chain = std::make_shared<Chain>(depth);
    s.outline->setDataSource(chain);
    s.outline->expandItem(nullptr, true);
    ASSERT_EQ(s.outline->numberOfRows(), depth);
    EXPECT_EQ(s.outline->levelForRow(depth - 1), depth - 1);
    EXPECT_EQ(s.outline->itemAtRow(depth - 1), chain->links.back());
    EXPECT_TRUE(s.outline->isItemExpanded(chain->links[depth - 2]));
    s.outline->collapseItem(nullptr, true);
    EXPECT_EQ(s.outline->numberOfRows(), 1);
    EXPECT_FALSE(s.outline->isItemExpanded(chain->links[depth / 2]));
}

TEST(TableView, TableAndOutlineDrawTheirRowsSelectionAndHeaderAt1xAnd2x) {
    TableScene t(12);
    t.table->setGridStyleMask(ui::TableViewGridLineStyle::solidVerticalGridLineMask |
                              ui::TableViewGridLineStyle::solidHorizontalGridLineMask);
    t.table->selectRowIndexes({2}, false);
    OutlineScene o;
    o.outline->expandItem(nullptr, true);
    o.outline->selectRowIndexes({o.outline->rowForItem(o.b)}, false);
    for (const double scale : {1.0, 2.0}) {
        const std::string suffix = scale == 1.0 ? ".png" : "@2x.png";
        for (auto [window, view, name] :
             {std::tuple{t.window, std::static_pointer_cast<ui::TableView>(t.table), "table"},
              std::tuple{o.scene.window, std::static_pointer_cast<ui::TableView>(o.outline), "outline"}}) {
            auto image = render(window, scale, std::string(name) + suffix);
            auto rep = image->bestRepresentation(scale);
            ASSERT_NE(rep, nullptr);
            EXPECT_EQ(rep->pixelsWide(), static_cast<int>(300 * scale));
            // The selected row's fill, away from its text, in window pixels (y down).
            const int row = view->selectedRow();
            const Rect inWindow = view->convertRectToView(view->rectOfRow(row), nullptr);
            const int x = static_cast<int>((inWindow.maxX() - 30) * scale);
            const int y = static_cast<int>((223 - inWindow.midY()) * scale);
            const auto selected = graphics::Color::selectedContentBackgroundColor();
            const auto pixel = rep->pixel(x, y);
            EXPECT_NEAR(pixel.r, selected->red() * 255, 2) << name << " " << scale;
            EXPECT_NEAR(pixel.b, selected->blue() * 255, 2) << name << " " << scale;
            // The header strip: the control colour over the control background, lighter than the rows.
            const auto header = rep->pixel(static_cast<int>(200 * scale), static_cast<int>(4 * scale));
            const auto control = graphics::Color::controlColor();
            const double base = graphics::Color::controlBackgroundColor()->green();
            const double expected =
                (control->green() * control->alpha() + base * (1 - control->alpha())) * 255;
            EXPECT_NEAR(header.g, expected, 2) << name << " " << scale;
        }
    }
}

TEST(ScrollView, DraggingTheScrollerKnobScrollsTheDocument) {
    TableScene s(40);
    auto scroller = s.scroll->verticalScroller();
    auto clip = s.scroll->contentView();
    ASSERT_NE(scroller, nullptr);
    EXPECT_NEAR(scroller->knobProportion(), clip->bounds().height() / (40 * s.table->rowHeight()), 1e-9);
    // Drag the knob from its middle to the bottom of the track: the document's end shows.
    const Rect knob = scroller->knobRect();
    const Point from = scroller->convertPointToView(knob.center(), nullptr);
    const Point to = scroller->convertPointToView({knob.midX(), scroller->bounds().maxY() + 50}, nullptr);
    s.window->sendEvent(uitest::mouse(EventType::leftMouseDown, from.x, from.y, s.window));
    s.window->sendEvent(uitest::mouse(EventType::leftMouseDragged, to.x, to.y, s.window));
    s.window->sendEvent(uitest::mouse(EventType::leftMouseUp, to.x, to.y, s.window));
    EXPECT_EQ(clip->bounds().maxY(), 40 * s.table->rowHeight());
    EXPECT_NEAR(scroller->doubleValue(), 1.0, 1e-9);
    s.window->contentView()->layoutSubtreeIfNeeded();
    EXPECT_NE(s.table->rowViewAtRow(39, false), nullptr);
    EXPECT_EQ(s.table->rowViewAtRow(0, false), nullptr);
}

namespace {

// A cell view that starts every new value from an empty text, as styled cell views do, and counts how
// often it was made ready for another row.
class ClearingCell final : public ui::TableCellView {
public:
    ClearingCell() {
        setTextField(ui::TextField::labelWithString(""));
        ++made;
    }
    void setObjectValue(std::any value) override {
        ui::TableCellView::setObjectValue(std::move(value));
        textField()->setStringValue("");
    }
    void prepareForReuse() override { ++reused; }
    static inline int made = 0;
    static inline int reused = 0;
};

// Rows whose cell views come from the table's reuse queue and whose text the delegate writes.
class WrittenRows final : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    int numberOfRows(ui::TableView&) override { return 200; }
    std::any objectValue(ui::TableView&, ui::TableColumn*, int row) override { return row; }
    std::shared_ptr<ui::View> viewFor(ui::TableView& table, ui::TableColumn*, int row) override {
        auto cell = std::dynamic_pointer_cast<ClearingCell>(table.makeViewWithIdentifier("cell", nullptr));
        if (!cell) {
            cell = std::make_shared<ClearingCell>();
            cell->addSubview(cell->textField());
            cell->setIdentifier("cell");
            if (row >= 0) {
                // A view made here gets no value from the table: the delegate fills it in.
                cell->ui::TableCellView::setObjectValue(row);
            }
        }
        cell->textField()->setStringValue("Row " + std::to_string(row));
        return cell;
    }
};

} // namespace

TEST(TableView, RowsLeavingTheScreenLendTheirViewsToRowsComingOnAndKeepTheDelegatesText) {
    TableScene s(0);
    auto model = std::make_shared<WrittenRows>();
    s.table->removeTableColumn(s.table->tableColumns()[1]);
    s.table->setDataSource(model);
    s.table->setDelegate(model);
    s.window->contentView()->layoutSubtreeIfNeeded();
    const int visible = static_cast<int>(s.table->subviews().size());
    ASSERT_GT(visible, 5);
    const int madeAtFirst = ClearingCell::made;
    const auto firstRowView = s.table->rowViewAtRow(0, false);

    // What the delegate wrote stays, and a view taken from the queue got the row's value before that.
    auto textOf = [&](int row) {
        auto cell = std::dynamic_pointer_cast<ClearingCell>(s.table->viewAtColumn(0, row, false));
        return cell ? cell->textField()->stringValue() : std::string("(none)");
    };
    EXPECT_EQ(textOf(0), "Row 0");

    // Page by page to the end: no view is made beyond the first screenful, each one comes back ready.
    auto clip = s.scroll->contentView();
    for (int page = 1; page < 12; ++page) {
        clip->scrollToPoint({0, page * clip->bounds().height()});
        s.scroll->reflectScrolledClipView(*clip);
        s.window->contentView()->layoutSubtreeIfNeeded();
        const int top = s.table->rowAtPoint({1, clip->bounds().minY() + 1});
        ASSERT_GE(top, 0);
        EXPECT_EQ(textOf(top), "Row " + std::to_string(top));
        auto cell = std::dynamic_pointer_cast<ui::TableCellView>(s.table->viewAtColumn(0, top, false));
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(std::any_cast<int>(cell->objectValue()), top);
    }
    EXPECT_EQ(ClearingCell::made, madeAtFirst);
    EXPECT_GT(ClearingCell::reused, 0);
    EXPECT_LE(static_cast<int>(s.table->subviews().size()), visible + 1);
    // The table's own row views go round too.
    bool rowViewCameBack = false;
    for (int row = 0; row < s.table->numberOfRows(); ++row) {
        rowViewCameBack |= s.table->rowViewAtRow(row, false) == firstRowView;
    }
    EXPECT_TRUE(rowViewCameBack);

    // A reload builds the shown rows from the queue as well.
    s.table->reloadData();
    EXPECT_EQ(ClearingCell::made, madeAtFirst);
    EXPECT_GT(s.table->reusableViewCount(), 0u);
}

namespace {

// Rows whose delegate, asked for row 0's first cell view, changes the table once (reloads it or adds a
// column), or reloads it on that many builds of row 0 (on every one when negative); its row views are
// plain new ones or the table's reusable ones.
class ReloadingRows final : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    int numberOfRows(ui::TableView&) override { return count; }
    std::any objectValue(ui::TableView&, ui::TableColumn*, int row) override { return row; }
    std::shared_ptr<ui::View> viewFor(ui::TableView& table, ui::TableColumn* column, int row) override {
        if (row != 0 || column != table.tableColumns().front().get()) {
            return nullptr;
        }
        ++builds;
        if (change) {
            std::exchange(change, nullptr)(table);
        } else if (reloads != 0) {
            reloads -= reloads > 0;
            table.reloadData();
            return std::make_shared<ui::View>();
        }
        return nullptr;
    }
    std::shared_ptr<ui::TableRowView> rowViewForRow(ui::TableView&, int) override {
        return plainRowViews ? std::make_shared<ui::TableRowView>() : nullptr;
    }
    int count = 5;
    bool plainRowViews = false;
    std::function<void(ui::TableView&)> change;
    int reloads = 0;
    int builds = 0; // of row 0
};

// An outline of one item whose delegate reloads it on that many builds of its row.
class ReloadingTree final : public ui::OutlineViewDataSource, public ui::OutlineViewDelegate {
public:
    int numberOfChildrenOfItem(ui::OutlineView&, const ui::OutlineItem& item) override {
        return item ? 0 : 1;
    }
    ui::OutlineItem child(ui::OutlineView&, int, const ui::OutlineItem&) override { return item; }
    bool isItemExpandable(ui::OutlineView&, const ui::OutlineItem&) override { return false; }
    std::shared_ptr<ui::View> viewFor(ui::OutlineView& outline, ui::TableColumn*,
                                      const ui::OutlineItem&) override {
        ++builds;
        if (reloads > 0) {
            --reloads;
            outline.reloadItem(nullptr);
        }
        return std::make_shared<ui::View>();
    }
    ui::OutlineItem item = std::make_shared<ui::Object>();
    int reloads = 0;
    int builds = 0;
};

// Every row of the table has its row view holding a cell view for each column.
void expectWholeRows(ui::TableView& table) {
    EXPECT_EQ(table.subviews().size(), static_cast<std::size_t>(table.numberOfRows()));
    for (int row = 0; row < table.numberOfRows(); ++row) {
        auto rowView = table.rowViewAtRow(row, false);
        ASSERT_NE(rowView, nullptr) << "row " << row;
        EXPECT_EQ(rowView->subviews().size(), table.tableColumns().size()) << "row " << row;
    }
}

} // namespace

TEST(TableView, AReloadOrANewColumnFromTheDelegateWhileARowIsBuiltRebuildsTheRowsAfterIt) {
    for (const bool plain : {true, false}) {
        for (const bool addColumn : {false, true}) {
            SCOPED_TRACE(std::string(plain ? "plain" : "reusable") + (addColumn ? ", column" : ", reload"));
            TableScene s(0);
            auto model = std::make_shared<ReloadingRows>();
            model->plainRowViews = plain;
            s.table->setDataSource(model);
            model->change = [&](ui::TableView& table) {
                if (addColumn) {
                    table.addTableColumn(std::make_shared<ui::TableColumn>("extra"));
                } else {
                    model->count = 3;
                    table.reloadData();
                    EXPECT_EQ(table.numberOfRows(), 3); // the row count follows at once
                }
            };
            s.table->setDelegate(model);
            ASSERT_FALSE(model->change);

            const int rows = addColumn ? 5 : 3;
            const auto columns = static_cast<std::size_t>(addColumn ? 3 : 2);
            EXPECT_EQ(s.table->numberOfRows(), rows);
            EXPECT_EQ(s.table->subviews().size(), static_cast<std::size_t>(rows)); // one row view a row
            for (int row = 0; row < rows; ++row) {
                auto rowView = s.table->rowViewAtRow(row, false);
                ASSERT_NE(rowView, nullptr);
                EXPECT_EQ(rowView->superview(), s.table);
                EXPECT_EQ(rowView->subviews().size(), columns) << "row " << row;
                for (std::size_t column = 0; column < columns; ++column) {
                    auto cell = rowView->viewAtColumn(static_cast<int>(column));
                    ASSERT_NE(cell, nullptr);
                    EXPECT_EQ(cell->superview(), rowView);
                }
            }
        }
    }
}

TEST(TableView, AReloadFromTheDelegateOnEveryRowBuildTakesNoStackAndLetsTheRunLoopTurn) {
    auto& loop = core::RunLoop::main();
    const auto deadline = loop.clock()->now() + std::chrono::minutes(2);

    // 20,000 reloads in a row, each from a build of the row the last one rebuilt, end with whole rows, in
    // a table and in an outline (on their own: no window to tell).
    {
        auto table = std::make_shared<ui::TableView>(Rect(0, 0, 100, 100));
        table->addTableColumn(std::make_shared<ui::TableColumn>("name"));
        auto model = std::make_shared<ReloadingRows>();
        model->count = 1;
        model->reloads = 20'000;
        table->setDataSource(model);
        table->setDelegate(model);
        EXPECT_TRUE(loop.runUntil([&] { return model->builds > 20'000; }, deadline));
        EXPECT_EQ(model->reloads, 0);
        expectWholeRows(*table);
    }
    {
        auto outline = std::make_shared<ui::OutlineView>(Rect(0, 0, 100, 100));
        outline->addTableColumn(std::make_shared<ui::TableColumn>("name"));
        auto tree = std::make_shared<ReloadingTree>();
        tree->reloads = 20'000;
        outline->setDataSource(tree);
        outline->setDelegate(tree);
        EXPECT_TRUE(loop.runUntil([&] { return tree->builds > 20'000; }, deadline));
        EXPECT_EQ(tree->reloads, 0);
        expectWholeRows(*outline);
    }

    // A delegate that reloads on every build: blocks posted to the main queue still run, one each turn;
    // between two of them at most maxRowPassesPerTurn passes ran, and the table shows whole rows.
    TableScene s(0);
    auto model = std::make_shared<ReloadingRows>();
    model->reloads = -1;
    s.table->setDataSource(model);
    s.table->setDelegate(model);
    int turns = 0;
    int builds = model->builds;
    std::function<void()> check = [&] {
        EXPECT_GT(model->builds, builds);
        EXPECT_LE(model->builds - builds, ui::TableView::maxRowPassesPerTurn);
        builds = model->builds;
        expectWholeRows(*s.table);
        if (++turns < 5) {
            core::mainAsync(check);
        }
    };
    core::mainAsync(check);
    EXPECT_TRUE(loop.runUntil([&] { return turns == 5; }, deadline));
}

TEST(TableView, HeaderCellsDrawTheirOwnAttributedTitlesUntilTheTitleChanges) {
    ui::TableHeaderCell cell("Plain");
    graphics::TextAttributes attributes;
    attributes.foregroundColor = graphics::Color::rgba(1, 0, 0);
    cell.setAttributedStringValue(graphics::AttributedString("Styled", attributes));
    EXPECT_EQ(cell.stringValue(), "Styled");
    EXPECT_EQ(cell.attributedStringValue().attributesAt(0).foregroundColor, attributes.foregroundColor);
    cell.setBackgroundStyle(ui::BackgroundStyle::raised);
    EXPECT_EQ(cell.backgroundStyle(), ui::BackgroundStyle::raised);
    cell.setStringValue("Other");
    EXPECT_EQ(cell.attributedStringValue().string(), "Other");
    EXPECT_NE(cell.attributedStringValue().attributesAt(0).foregroundColor, attributes.foregroundColor);
}

TEST(AnimationContext, GroupsNestTakeTheirDurationAndAreCounted) {
    const auto opened = ui::AnimationContext::groupsOpened();
    const double outer = ui::AnimationContext::current().duration();
    ui::AnimationContext::beginGrouping();
    ui::AnimationContext::current().setDuration(0);
    ui::AnimationContext::beginGrouping();
    EXPECT_EQ(ui::AnimationContext::current().duration(), 0); // inherited from the enclosing group
    EXPECT_EQ(ui::AnimationContext::groupingDepth(), 2);
    ui::AnimationContext::endGrouping();
    ui::AnimationContext::endGrouping();
    ui::AnimationContext::endGrouping(); // one too many: nothing happens
    EXPECT_EQ(ui::AnimationContext::groupingDepth(), 0);
    EXPECT_EQ(ui::AnimationContext::current().duration(), outer);
    EXPECT_EQ(ui::AnimationContext::groupsOpened(), opened + 2);
}
