#include "Vimbra/OutlineViewExtensions.hpp"

namespace vimbra {

core::IndexSet allRowIndexes(const ui::OutlineView& outline) {
    core::IndexSet rows;
    rows.insert(core::IndexSet::Range{0, outline.numberOfRows()});
    return rows;
}

std::vector<ui::OutlineItem> allItems(const ui::OutlineView& outline) {
    std::vector<ui::OutlineItem> items;
    for (int row = 0; row < outline.numberOfRows(); ++row) {
        if (auto item = outline.itemAtRow(row)) {
            items.push_back(std::move(item));
        }
    }
    return items;
}

ui::OutlineItem clickedItem(const ui::OutlineView& outline) {
    return outline.itemAtRow(outline.clickedRow());
}

std::vector<ui::OutlineItem> selectedItems(const ui::OutlineView& outline) {
    std::vector<ui::OutlineItem> items;
    for (const int row : outline.selectedRowIndexes()) {
        if (auto item = outline.itemAtRow(row)) {
            items.push_back(std::move(item));
        }
    }
    return items;
}

void setSelectedItems(ui::OutlineView& outline, const std::vector<ui::OutlineItem>& items) {
    core::IndexSet rows;
    for (const auto& item : items) {
        if (const int row = outline.rowForItem(item); row >= 0) {
            rows.insert(row);
        }
    }
    outline.selectRowIndexes(rows, false);
}

std::vector<ui::OutlineItem> clickedOrSelectedItems(const ui::OutlineView& outline) {
    const int clicked = outline.clickedRow();
    if (outline.selectedRowIndexes().contains(clicked)) {
        return selectedItems(outline);
    }
    if (auto item = outline.itemAtRow(clicked)) {
        return {item};
    }
    return {};
}

ui::OutlineItem singleSelectedItem(const ui::OutlineView& outline) {
    return outline.numberOfSelectedRows() == 1 ? outline.itemAtRow(outline.selectedRow()) : nullptr;
}

ui::OutlineItem parentItem(const ui::OutlineView& outline, const ui::OutlineItem& item) {
    return outline.parentForItem(item);
}

core::IndexPath indexPath(const ui::OutlineView& outline, const ui::OutlineItem& item) {
    if (!item || outline.childIndexForItem(item) < 0) {
        return {};
    }
    std::vector<int> reversed;
    for (auto member = item; member; member = outline.parentForItem(member)) {
        reversed.push_back(outline.childIndexForItem(member));
    }
    core::IndexPath path;
    for (auto it = reversed.rbegin(); it != reversed.rend(); ++it) {
        path.append(*it);
    }
    return path;
}

bool isItemCollapsed(const ui::OutlineView& outline, const ui::OutlineItem& item) {
    return !outline.isItemExpanded(item);
}

} // namespace vimbra
