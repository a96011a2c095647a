#include "Vimbra/OutlineViewExtensions.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "ui/MenuTracking.hpp"
#include "ui/ScrollView.hpp"

#include <gtest/gtest.h>

using graphics::Point;
using graphics::Rect;
using namespace vimbra;

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
};

std::vector<std::string> names(const std::vector<ui::OutlineItem>& items) {
    std::vector<std::string> out;
    for (const auto& item : items) {
        out.push_back(std::static_pointer_cast<Node>(item)->name);
    }
    return out;
}

std::vector<int> path(const core::IndexPath& indexPath) {
    std::vector<int> out;
    for (std::size_t i = 0; i < indexPath.count(); ++i) {
        out.push_back(indexPath[i]);
    }
    return out;
}

// A(A1, A2(A2a)), B, C(C1), with A and A2 expanded: rows A, A1, A2, A2a, B, C.
struct OutlineScene : vimbratest::Scene {
    std::shared_ptr<Node> a2a = std::make_shared<Node>("A2a");
    std::shared_ptr<Node> a2 = std::make_shared<Node>("A2", std::vector{a2a});
    std::shared_ptr<Node> a = std::make_shared<Node>("A", std::vector{std::make_shared<Node>("A1"), a2});
    std::shared_ptr<Node> b = std::make_shared<Node>("B");
    std::shared_ptr<Node> c = std::make_shared<Node>("C", std::vector{std::make_shared<Node>("C1")});
    std::shared_ptr<Tree> tree = std::make_shared<Tree>();
    std::shared_ptr<ui::ScrollView> scroll = std::make_shared<ui::ScrollView>(Rect(0, 0, 320, 200));
    std::shared_ptr<ui::OutlineView> outline = std::make_shared<ui::OutlineView>();

    OutlineScene() {
        tree->top = {a, b, c};
        auto column = std::make_shared<ui::TableColumn>("name");
        column->setWidth(200);
        outline->addTableColumn(column);
        add(scroll);
        scroll->setDocumentView(outline);
        outline->setDataSource(tree);
        outline->setDelegate(tree);
        outline->setAllowsMultipleSelection(true);
        outline->expandItem(a);
        outline->expandItem(a2);
    }
    Point at(int row) const {
        return outline->convertPointToView(outline->frameOfCellAtColumn(0, row).center(), nullptr);
    }
    void rightClick(int row) const {
        backend->rightMouseDown(at(row));
        backend->rightMouseUp(at(row));
    }
};

} // namespace

TEST(OutlineSelection, RowsItemsPathsAndCollapsedState) {
    OutlineScene s;
    auto& o = *s.outline;
    EXPECT_EQ(allRowIndexes(o).count(), 6u);
    EXPECT_TRUE(allRowIndexes(o).contains(5));
    EXPECT_EQ(names(allItems(o)), (std::vector<std::string>{"A", "A1", "A2", "A2a", "B", "C"}));

    EXPECT_EQ(path(indexPath(o, s.c)), std::vector<int>{2}); // a top-level item: one index
    EXPECT_EQ(path(indexPath(o, s.a2a)), (std::vector<int>{0, 1, 0}));
    EXPECT_TRUE(indexPath(o, nullptr).empty());
    EXPECT_TRUE(indexPath(o, s.c->children[0]).empty()); // not shown
    EXPECT_EQ(parentItem(o, s.a2a), s.a2);
    EXPECT_EQ(parentItem(o, s.b), nullptr);
    EXPECT_TRUE(isItemCollapsed(o, s.c));
    EXPECT_FALSE(isItemCollapsed(o, s.a2));

    // Setting the selection takes the visible items' rows; reading gives them in row order.
    setSelectedItems(o, {s.b, s.a, s.c->children[0]});
    EXPECT_EQ(names(selectedItems(o)), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(singleSelectedItem(o), nullptr);
    setSelectedItems(o, {s.a2a});
    EXPECT_EQ(singleSelectedItem(o), s.a2a);
    setSelectedItems(o, {});
    EXPECT_TRUE(selectedItems(o).empty());

    std::shared_ptr<ui::OutlineView> empty = std::make_shared<ui::OutlineView>();
    EXPECT_TRUE(allRowIndexes(*empty).empty());
    EXPECT_EQ(clickedItem(*empty), nullptr);
    EXPECT_TRUE(clickedOrSelectedItems(*empty).empty());
}

TEST(OutlineSelection, AContextClickActsOnTheSelectionOnlyWhenItHitsIt) {
    OutlineScene s;
    auto& o = *s.outline;
    o.setMenu(ui::Menu::make());
    setSelectedItems(o, {s.a, s.b});

    s.rightClick(5); // an unselected row: that row's item alone
    if (auto tracking = ui::Application::shared()->menuTracking()) {
        tracking->cancel();
    }
    EXPECT_EQ(clickedItem(o), s.c);
    EXPECT_EQ(names(clickedOrSelectedItems(o)), std::vector<std::string>{"C"});
    EXPECT_EQ(names(selectedItems(o)), (std::vector<std::string>{"A", "B"}));

    s.rightClick(4); // a selected row: the whole selection
    if (auto tracking = ui::Application::shared()->menuTracking()) {
        tracking->cancel();
    }
    EXPECT_EQ(names(clickedOrSelectedItems(o)), (std::vector<std::string>{"A", "B"}));
}
