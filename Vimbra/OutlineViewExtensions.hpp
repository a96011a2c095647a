#pragma once

// Selection conveniences of outline views: every row and item, the clicked and selected items, the
// items a context menu acts on, and where an item sits in the tree. Main thread only.

#include "core/IndexSet.hpp"
#include "ui/OutlineView.hpp"

#include <vector>

namespace vimbra {

// 0 ..< numberOfRows; empty without rows.
core::IndexSet allRowIndexes(const ui::OutlineView& outline);
// The item of every row in order, rows without an item skipped.
std::vector<ui::OutlineItem> allItems(const ui::OutlineView& outline);
// The item of the clicked row, or null.
ui::OutlineItem clickedItem(const ui::OutlineView& outline);
// The items of the selected rows in ascending row order, rows without an item skipped.
std::vector<ui::OutlineItem> selectedItems(const ui::OutlineView& outline);
// Selects the rows of the items that are visible (in the order given), replacing the selection; no
// visible item clears it.
void setSelectedItems(ui::OutlineView& outline, const std::vector<ui::OutlineItem>& items);
// What a context menu acts on: the selection when the clicked row is part of it, else the clicked row's
// item alone, else nothing.
std::vector<ui::OutlineItem> clickedOrSelectedItems(const ui::OutlineView& outline);
// The selected item when exactly one row is selected, else null.
ui::OutlineItem singleSelectedItem(const ui::OutlineView& outline);
ui::OutlineItem parentItem(const ui::OutlineView& outline, const ui::OutlineItem& item);
// The child indexes from the top level down to the item; empty for the null item and for an item that
// is not in the visible tree.
core::IndexPath indexPath(const ui::OutlineView& outline, const ui::OutlineItem& item);
bool isItemCollapsed(const ui::OutlineView& outline, const ui::OutlineItem& item);

} // namespace vimbra
