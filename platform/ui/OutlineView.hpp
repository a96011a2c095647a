#pragma once

// Outlines: a table over a tree of items. The data source answers children and expandability; the
// outline keeps which items are expanded and shows the visible ones as rows, indented by level, with
// a disclosure button (made through makeViewWithIdentifier with disclosureButtonKey) before each
// expandable item. Items are objects compared by identity; the null item is the root.

#include "ui/Button.hpp"
#include "ui/TableView.hpp"

#include <memory>
#include <set>
#include <vector>

namespace ui {

class OutlineView;

using OutlineItem = std::shared_ptr<Object>;

class OutlineViewDataSource {
public:
    virtual ~OutlineViewDataSource() = default;
    virtual int numberOfChildrenOfItem(OutlineView& outlineView, const OutlineItem& item) = 0;
    virtual OutlineItem child(OutlineView& outlineView, int index, const OutlineItem& item) = 0;
    virtual bool isItemExpandable(OutlineView& outlineView, const OutlineItem& item) = 0;
    // The value of a cell for an item; handed to a TableCellView's objectValue.
    virtual std::any objectValue(OutlineView& outlineView, TableColumn* column, const OutlineItem& item);
};

class OutlineViewDelegate {
public:
    virtual ~OutlineViewDelegate() = default;
    // The cell view of an item in a column; null shows the data source's value in a label.
    virtual std::shared_ptr<View> viewFor(OutlineView& outlineView, TableColumn* column,
                                          const OutlineItem& item);
    virtual std::shared_ptr<TableRowView> rowViewForItem(OutlineView& outlineView, const OutlineItem& item);
    // Zero or less uses the row height.
    virtual double heightOfRowByItem(OutlineView& outlineView, const OutlineItem& item);
    virtual bool shouldSelectItem(OutlineView& outlineView, const OutlineItem& item);
    virtual bool shouldExpandItem(OutlineView& outlineView, const OutlineItem& item);
    virtual bool shouldCollapseItem(OutlineView& outlineView, const OutlineItem& item);
    virtual void outlineViewSelectionDidChange(OutlineView& outlineView);
};

// The cell of the default disclosure button: the button's image and alternate image when it has them,
// else a triangle pointing right (collapsed) or down (expanded, the on state).
class DisclosureButtonCell : public ButtonCell {
public:
    DisclosureButtonCell();
    void drawInteriorWithFrame(const graphics::Rect& frame, View& controlView) override;
};

class OutlineView : public TableView {
public:
    static constexpr const char* disclosureButtonKey = "NSOutlineViewDisclosureButtonKey";
    static constexpr const char* itemDidExpandNotification = "NSOutlineViewItemDidExpandNotification";
    static constexpr const char* itemDidCollapseNotification = "NSOutlineViewItemDidCollapseNotification";
    static constexpr const char* outlineSelectionDidChangeNotification =
        "NSOutlineViewSelectionDidChangeNotification";

    explicit OutlineView(const graphics::Rect& frame = {});

    std::shared_ptr<OutlineViewDataSource> outlineDataSource() const { return outlineDataSource_.lock(); }
    void setDataSource(const std::shared_ptr<OutlineViewDataSource>& source);
    std::shared_ptr<OutlineViewDelegate> outlineDelegate() const { return outlineDelegate_.lock(); }
    void setDelegate(const std::shared_ptr<OutlineViewDelegate>& delegate);

    // The column that shows the tree (indentation and disclosure buttons); the first column by default.
    std::shared_ptr<TableColumn> outlineTableColumn() const;
    void setOutlineTableColumn(const std::shared_ptr<TableColumn>& column);
    double indentationPerLevel() const { return indentationPerLevel_; }
    void setIndentationPerLevel(double points);

    // The tree, as the data source answers it.
    bool isExpandable(const OutlineItem& item);
    int numberOfChildrenOfItem(const OutlineItem& item);
    OutlineItem child(int index, const OutlineItem& item);

    // Expansion. Expanding asks the delegate, shows the children (and with expandChildren every
    // expandable descendant expanded too); collapsing hides them (collapseChildren also collapses the
    // descendants, which otherwise reopen as they were). The selection follows its items.
    bool isItemExpanded(const OutlineItem& item) const;
    void expandItem(const OutlineItem& item, bool expandChildren = false);
    void collapseItem(const OutlineItem& item, bool collapseChildren = false);

    // Visible rows and items.
    OutlineItem itemAtRow(int row) const;
    // -1 for an item that is not visible (or not in the tree).
    int rowForItem(const OutlineItem& item) const;
    // Level of an item (0 at the top), -1 when not visible.
    int levelForItem(const OutlineItem& item) const;
    int levelForRow(int row) const;
    // The parent of a visible item (null at the top level and for items that are not visible).
    OutlineItem parentForItem(const OutlineItem& item) const;
    // The index of a visible item among its parent's children, -1 when not visible.
    int childIndexForItem(const OutlineItem& item) const;
    // Reloads an item's children (and with reloadChildren theirs) from the data source.
    void reloadItem(const OutlineItem& item, bool reloadChildren = false);

    // Where a row's disclosure button sits (zero for a row whose item cannot expand).
    virtual graphics::Rect frameOfOutlineCellAtRow(int row) const;
    // The outline column's cell sits after its level's indentation and the disclosure space.
    graphics::Rect frameOfCellAtColumn(int column, int row) const override;
    // The disclosure button key gives a borderless on/off button with a DisclosureButtonCell.
    std::shared_ptr<View> makeViewWithIdentifier(const std::string& identifier,
                                                 const std::shared_ptr<Object>& owner) override;

    // Right arrow expands the selected item, Left collapses it (or goes to its parent); Option does
    // it for all descendants.
    void keyDown(const Event& event) override;

protected:
    int numberOfRowsFromDataSource() override;
    std::shared_ptr<View> makeCellView(TableColumn* column, int row) override;
    std::shared_ptr<TableRowView> makeRowView(int row) override;
    double heightOfRowFromDelegate(int row) override;
    bool delegateShouldSelectRow(int row) override;
    void notifySelectionDidChange() override;
    void didAddRowView(TableRowView& rowView, int row) override;
    void layoutRowView(TableRowView& rowView, int row) override;

private:
    struct Entry {
        OutlineItem item;
        OutlineItem parent;
        int level = 0;
        int childIndex = 0;
    };
    // The visible items under parent, in row order.
    void rebuildRows(std::vector<Entry>& rows, const OutlineItem& parent, int level);
    // Rebuilds the visible rows, keeping the selected items selected.
    void refreshRows();
    void setExpanded(const OutlineItem& item, bool expanded, bool recursive);
    void disclosureClicked(const std::shared_ptr<Object>& sender);
    int outlineColumnIndex() const;

    std::weak_ptr<OutlineViewDataSource> outlineDataSource_;
    std::weak_ptr<OutlineViewDelegate> outlineDelegate_;
    std::weak_ptr<TableColumn> outlineColumn_;
    std::vector<Entry> entries_;
    std::set<OutlineItem> expanded_;
    double indentationPerLevel_ = 16;
};

} // namespace ui
