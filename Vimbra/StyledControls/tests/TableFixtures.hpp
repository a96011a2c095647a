#pragma once

// Test support for the styled tables: a model whose delegate makes styled row and cell views through the
// table's reuse queue and writes their text, a small tree for outlines, and a scroll view holding a styled
// table with an actionable header or a styled outline.

#include "Vimbra/StyledControls/ActionableTable.hpp"
#include "Vimbra/StyledControls/StyledOutlineView.hpp"
#include "Vimbra/StyledControls/StyledTableView.hpp"
#include "ui/ScrollView.hpp"
#include "ui/TextField.hpp"

#include <memory>
#include <string>
#include <vector>

namespace tabletest {

// Rows "Row n" and "Kind n" in styled cell views, with styled row views; counts the views it made new.
class Rows final : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    explicit Rows(int count) : count(count) {}
    int numberOfRows(ui::TableView&) override { return count; }
    std::shared_ptr<ui::View> viewFor(ui::TableView& table, ui::TableColumn* column, int row) override {
        auto cell = std::dynamic_pointer_cast<vimbra::StyledTableCellView>(
            table.makeViewWithIdentifier("cell", nullptr));
        if (!cell) {
            cell = std::make_shared<vimbra::StyledTableCellView>(graphics::Rect(0, 0, 100, 20));
            cell->setIdentifier("cell");
            auto field = ui::TextField::labelWithString("");
            field->setFrame({12, 2, 84, 16});
            cell->setTextField(field);
            cell->addSubview(field);
            ++cellsMade;
        }
        cell->textField()->setStringValue((column && column->identifier() == "kind" ? "Kind " : "Row ") +
                                          std::to_string(row));
        return cell;
    }
    std::shared_ptr<ui::TableRowView> rowViewForRow(ui::TableView& table, int) override {
        auto identifier = vimbra::StyledTableRowView::identifier();
        auto rowView = std::dynamic_pointer_cast<vimbra::StyledTableRowView>(
            table.makeViewWithIdentifier(identifier, nullptr));
        if (!rowView) {
            rowView = std::make_shared<vimbra::StyledTableRowView>();
            rowView->setIdentifier(identifier);
            ++rowViewsMade;
        }
        return rowView;
    }
    int count;
    int cellsMade = 0;
    int rowViewsMade = 0;
};

// A scroll view with a styled table of two columns under an actionable header.
struct TableInScroll {
    std::shared_ptr<ui::ScrollView> scroll;
    std::shared_ptr<vimbra::StyledTableView> table = std::make_shared<vimbra::StyledTableView>();
    std::shared_ptr<vimbra::ActionableTableHeaderView> header = vimbra::ActionableTableHeaderView::make();
    std::shared_ptr<Rows> model;

    TableInScroll(const graphics::Rect& frame, int rows, double nameWidth = 120)
        : scroll(std::make_shared<ui::ScrollView>(frame)), model(std::make_shared<Rows>(rows)) {
        for (const char* id : {"name", "kind"}) {
            auto column = std::make_shared<vimbra::StyledTableColumn>(id);
            column->setTitle(id == std::string("name") ? "Name" : "Kind");
            column->setWidth(id == std::string("name") ? nameWidth : 100);
            table->addTableColumn(column);
        }
        table->setAllowsMultipleSelection(true);
        table->setHeaderView(header);
        scroll->setDocumentView(table);
        scroll->setHasVerticalScroller(true);
        table->setDataSource(model);
        table->setDelegate(model);
    }
};

struct Node final : ui::Object {
    explicit Node(std::string name, std::vector<std::shared_ptr<Node>> children = {})
        : name(std::move(name)), children(std::move(children)) {}
    std::string name;
    std::vector<std::shared_ptr<Node>> children;
};

// A tree whose delegate answers context menus for items (when it is asked to).
class Tree final : public ui::OutlineViewDataSource,
                   public ui::OutlineViewDelegate,
                   public vimbra::StyledOutlineViewDelegate {
public:
    std::vector<std::shared_ptr<Node>> top;
    std::vector<ui::OutlineItem> menuItems;

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
    std::shared_ptr<ui::Menu> menuForItem(vimbra::StyledOutlineView&, const ui::OutlineItem& item) override {
        menuItems.push_back(item);
        return std::make_shared<ui::Menu>(std::static_pointer_cast<Node>(item)->name);
    }
};

// A scroll view with a styled outline of the groups A (A1, A2) and C (C1) and the leaf B.
struct OutlineInScroll {
    std::shared_ptr<ui::ScrollView> scroll;
    std::shared_ptr<vimbra::StyledOutlineView> outline = std::make_shared<vimbra::StyledOutlineView>();
    std::shared_ptr<Node> a =
        std::make_shared<Node>("A", std::vector{std::make_shared<Node>("A1"), std::make_shared<Node>("A2")});
    std::shared_ptr<Node> b = std::make_shared<Node>("B");
    std::shared_ptr<Node> c = std::make_shared<Node>("C", std::vector{std::make_shared<Node>("C1")});
    std::shared_ptr<Tree> tree = std::make_shared<Tree>();

    explicit OutlineInScroll(const graphics::Rect& frame) : scroll(std::make_shared<ui::ScrollView>(frame)) {
        tree->top = {a, b, c};
        auto column = std::make_shared<ui::TableColumn>("name");
        column->setTitle("Item");
        column->setWidth(frame.width());
        outline->addTableColumn(column);
        outline->setHeaderView(nullptr);
        scroll->setDocumentView(outline);
        outline->setDataSource(tree);
        outline->setDelegate(tree);
    }
};

} // namespace tabletest
