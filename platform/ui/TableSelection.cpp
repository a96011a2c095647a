// Selection in tables: by code, and by the user's clicks, drags and keys.
#include "ui/TableView.hpp"
#include "ui/Window.hpp"

#include <algorithm>

namespace ui {

using graphics::Point;

// MARK: - Selection

int TableView::selectedRow() const {
    if (selection_.empty()) {
        return -1;
    }
    return selection_.contains(lastSelectedRow_) ? lastSelectedRow_ : *selection_.last();
}

void TableView::applySelection(core::IndexSet rows, int last) {
    if (!rows.empty() && *rows.last() >= numberOfRows_) {
        rows.remove(core::IndexSet::Range{numberOfRows_, *rows.last() + 1});
    }
    lastSelectedRow_ = rows.contains(last) ? last : (rows.empty() ? -1 : *rows.last());
    if (rows == selection_) {
        return;
    }
    auto self = sharedAs<TableView>();
    selection_ = std::move(rows);
    for (auto& [row, rowView] : std::map(rowViews_)) {
        if (rowView->isSelected() != selection_.contains(row)) {
            rowView->setSelected(selection_.contains(row));
        }
    }
    setNeedsDisplay();
    notifySelectionDidChange();
}

void TableView::restoreSelection(core::IndexSet rows, bool notify) {
    if (!rows.empty() && *rows.last() >= numberOfRows_) {
        rows.remove(core::IndexSet::Range{numberOfRows_, *rows.last() + 1});
    }
    selection_ = std::move(rows);
    lastSelectedRow_ = selection_.empty() ? -1 : *selection_.last();
    anchorRow_ = -1;
    for (auto& [row, rowView] : std::map(rowViews_)) {
        if (rowView->isSelected() != selection_.contains(row)) {
            rowView->setSelected(selection_.contains(row));
        }
    }
    setNeedsDisplay();
    if (notify) {
        auto self = sharedAs<TableView>();
        notifySelectionDidChange();
    }
}

void TableView::selectRowIndexes(const core::IndexSet& rows, bool byExtendingSelection) {
    core::IndexSet next = byExtendingSelection ? selection_ : core::IndexSet();
    for (const auto& range : rows.ranges()) {
        next.insert(range);
    }
    const int last = rows.empty() ? -1 : *rows.last();
    if (!allowsMultipleSelection_ && next.count() > 1) {
        next = last >= 0 ? core::IndexSet{last} : core::IndexSet{*next.last()};
    }
    applySelection(std::move(next), last);
}

void TableView::deselectRow(int row) {
    if (!selection_.contains(row)) {
        return;
    }
    core::IndexSet next = selection_;
    next.remove(row);
    applySelection(std::move(next), lastSelectedRow_);
}

void TableView::deselectAll(const std::shared_ptr<Object>&) {
    applySelection({}, -1);
}

void TableView::selectAll(const std::shared_ptr<Object>&) {
    if (allowsMultipleSelection_ && numberOfRows_ > 0) {
        applySelection(core::IndexSet(core::IndexSet::Range{0, numberOfRows_}), numberOfRows_ - 1);
    }
}

void TableView::userSelect(const core::IndexSet& rows, int anchor) {
    core::IndexSet allowed;
    for (const int row : rows) {
        if (row >= numberOfRows_) {
            break; // the delegate removed rows while it was asked (rows come in ascending order)
        }
        if (selection_.contains(row) || delegateShouldSelectRow(row)) {
            allowed.insert(row);
        }
    }
    if (allowed.empty() && !rows.empty()) {
        return; // every row asked for was refused: the selection stays
    }
    if (allowed.empty() && !allowsEmptySelection_ && !selection_.empty()) {
        return; // the user cannot empty a table that must keep a selection
    }
    if (!allowsMultipleSelection_ && allowed.count() > 1) {
        allowed = allowed.contains(anchor) ? core::IndexSet{anchor} : core::IndexSet{*allowed.last()};
    }
    anchorRow_ = anchor;
    applySelection(std::move(allowed), anchor);
}

void TableView::setSelectionHighlightStyle(TableViewSelectionHighlightStyle style) {
    highlightStyle_ = style;
    for (auto& [row, rowView] : rowViews_) {
        (void)row;
        rowView->setSelectionHighlightStyle(style);
    }
}

// MARK: - Events

Point TableView::localPoint(const Event& event) const {
    return convertPointFromView(event.locationInWindow, nullptr);
}

void TableView::mouseDown(const Event& event) {
    if (!isEnabled()) {
        return;
    }
    auto self = sharedAs<TableView>();
    // Clicks usually land on a row or cell view that does not take focus: the table takes it, unless
    // something inside the table (a field being edited) has it already.
    if (auto w = window(); w && acceptsFirstResponder()) {
        auto first = std::dynamic_pointer_cast<View>(w->firstResponder());
        if (!first || !first->isDescendantOf(*this)) {
            w->makeFirstResponder(self);
        }
    }
    const Point p = localPoint(event);
    const int row = rowAtPoint(p);
    clickedRow_ = row;
    clickedColumn_ = columnAtPoint(p);
    draggingSelection_ = false;
    // Control toggles too, as on this platform's other tables (a Control-click on a view with a menu
    // never gets here: it is a secondary click).
    const bool command = event.modifierFlags & (Modifier::command | Modifier::control);
    const bool shift = event.modifierFlags & Modifier::shift;
    if (row < 0) {
        if (!command && !shift) {
            userSelect({}, -1);
        }
        return;
    }
    if (command) {
        core::IndexSet next = allowsMultipleSelection_ ? selection_ : core::IndexSet();
        if (selection_.contains(row)) {
            next.remove(row);
        } else {
            next.insert(row);
        }
        userSelect(next, row);
    } else if (shift && allowsMultipleSelection_) {
        const int anchor = anchorRow_ >= 0 && anchorRow_ < numberOfRows_ ? anchorRow_ : row;
        core::IndexSet next = selection_;
        next.insert(core::IndexSet::Range{std::min(anchor, row), std::max(anchor, row) + 1});
        userSelect(next, anchor);
        lastSelectedRow_ = selection_.contains(row) ? row : lastSelectedRow_;
    } else {
        userSelect({row}, row);
        draggingSelection_ = allowsMultipleSelection_;
    }
}

void TableView::mouseDragged(const Event& event) {
    if (!draggingSelection_ || numberOfRows_ == 0) {
        return;
    }
    Point p = localPoint(event);
    p.x = std::clamp(p.x, 0.0, std::max(0.0, bounds().width() - 1));
    p.y = std::clamp(p.y, 0.0, rowOffsets_.back() - 0.5);
    const int row = rowAtPoint(p);
    if (row < 0 || anchorRow_ < 0) {
        return;
    }
    const int anchor = anchorRow_;
    userSelect(rangeBetween(anchor, row), anchor);
    lastSelectedRow_ = selection_.contains(row) ? row : lastSelectedRow_;
    scrollRowToVisible(row);
}

void TableView::mouseUp(const Event& event) {
    if (!isEnabled()) {
        return;
    }
    auto self = sharedAs<TableView>();
    draggingSelection_ = false;
    if (event.clickCount >= 2 && !doubleAction_.empty()) {
        sendAction(doubleAction_, target());
    } else if (!action().empty()) {
        sendAction();
    }
}

void TableView::keyDown(const Event& event) {
    const auto key = event.specialKey();
    const bool up = key == SpecialKey::upArrow || key == SpecialKey::home;
    const bool down = key == SpecialKey::downArrow || key == SpecialKey::end;
    if ((!up && !down) || numberOfRows_ == 0) {
        Control::keyDown(event);
        return;
    }
    auto self = sharedAs<TableView>();
    const int current = selectedRow();
    int target;
    if (key == SpecialKey::home) {
        target = 0;
    } else if (key == SpecialKey::end) {
        target = numberOfRows_ - 1;
    } else if (current < 0) {
        target = up ? numberOfRows_ - 1 : 0;
    } else {
        target = current + (up ? -1 : 1);
    }
    // Rows the delegate refuses are stepped over.
    const int step = up ? -1 : 1;
    while (target >= 0 && target < numberOfRows_ && !delegateShouldSelectRow(target)) {
        target += step;
    }
    if (target < 0 || target >= numberOfRows_) {
        return;
    }
    if ((event.modifierFlags & Modifier::shift) && allowsMultipleSelection_ && current >= 0) {
        const int anchor = anchorRow_ >= 0 ? anchorRow_ : current;
        userSelect(rangeBetween(anchor, target), anchor);
        lastSelectedRow_ = target;
    } else {
        userSelect({target}, target);
    }
    scrollRowToVisible(target);
}

std::shared_ptr<Menu> TableView::menuForEvent(const Event& event) {
    const Point p = localPoint(event);
    clickedRow_ = rowAtPoint(p);
    clickedColumn_ = columnAtPoint(p);
    return Control::menuForEvent(event);
}

} // namespace ui
