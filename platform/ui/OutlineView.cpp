#include "ui/OutlineView.hpp"

#include "core/NotificationCenter.hpp"
#include "ui/Application.hpp"

#include <algorithm>
#include <unordered_set>

namespace ui {

using graphics::Point;
using graphics::Rect;

std::any OutlineViewDataSource::objectValue(OutlineView&, TableColumn*, const OutlineItem&) {
    return {};
}

std::shared_ptr<View> OutlineViewDelegate::viewFor(OutlineView&, TableColumn*, const OutlineItem&) {
    return nullptr;
}
std::shared_ptr<TableRowView> OutlineViewDelegate::rowViewForItem(OutlineView&, const OutlineItem&) {
    return nullptr;
}
double OutlineViewDelegate::heightOfRowByItem(OutlineView&, const OutlineItem&) {
    return 0;
}
bool OutlineViewDelegate::shouldSelectItem(OutlineView&, const OutlineItem&) {
    return true;
}
bool OutlineViewDelegate::shouldExpandItem(OutlineView&, const OutlineItem&) {
    return true;
}
bool OutlineViewDelegate::shouldCollapseItem(OutlineView&, const OutlineItem&) {
    return true;
}
void OutlineViewDelegate::outlineViewSelectionDidChange(OutlineView&) {}

// MARK: - Disclosure button cell

DisclosureButtonCell::DisclosureButtonCell() {
    setButtonType(ButtonType::onOff);
    setBezelStyle(BezelStyle::disclosure);
    setBordered(false);
    setImagePosition(ImagePosition::imageOnly);
    setShowsStateBy(CellStyleMask::contents);
    setRefusesFirstResponder(true);
}

void DisclosureButtonCell::drawInteriorWithFrame(const Rect& frame, View& controlView) {
    if (displayedImage()) {
        ButtonCell::drawInteriorWithFrame(frame, controlView);
        return;
    }
    auto* context = graphics::GraphicsContext::current();
    if (!context) {
        return;
    }
    // The control is flipped: y grows downwards.
    const Point c = frame.center();
    graphics::BezierPath triangle;
    if (state() == StateValue::on) {
        triangle.moveTo({c.x - 4, c.y - 2});
        triangle.lineTo({c.x + 4, c.y - 2});
        triangle.lineTo({c.x, c.y + 3});
    } else {
        triangle.moveTo({c.x - 2, c.y - 4});
        triangle.lineTo({c.x + 3, c.y});
        triangle.lineTo({c.x - 2, c.y + 4});
    }
    triangle.close();
    context->fillPath(
        triangle, isHighlighted() ? graphics::Color::labelColor() : graphics::Color::secondaryLabelColor(),
        graphics::CompositingOperation::sourceOver);
}

// MARK: - Outline view

OutlineView::OutlineView(const Rect& frame) : TableView(frame) {
    setActionHandler("toggleDisclosure:",
                     [this](const std::shared_ptr<Object>& sender) { disclosureClicked(sender); });
}

void OutlineView::setDataSource(const std::shared_ptr<OutlineViewDataSource>& source) {
    outlineDataSource_ = source;
    refreshRows();
}

void OutlineView::setDelegate(const std::shared_ptr<OutlineViewDelegate>& delegate) {
    outlineDelegate_ = delegate;
    refreshRows();
}

std::shared_ptr<TableColumn> OutlineView::outlineTableColumn() const {
    if (auto column = outlineColumn_.lock();
        column && std::find(tableColumns().begin(), tableColumns().end(), column) != tableColumns().end()) {
        return column;
    }
    return tableColumns().empty() ? nullptr : tableColumns().front();
}

void OutlineView::setOutlineTableColumn(const std::shared_ptr<TableColumn>& column) {
    outlineColumn_ = column;
    refreshRows();
}

void OutlineView::setIndentationPerLevel(double points) {
    indentationPerLevel_ = std::max(0.0, points);
    tile();
    setNeedsDisplay();
}

int OutlineView::outlineColumnIndex() const {
    auto column = outlineTableColumn();
    const auto& columns = tableColumns();
    const auto it = std::find(columns.begin(), columns.end(), column);
    return it == columns.end() ? -1 : static_cast<int>(it - columns.begin());
}

bool OutlineView::isExpandable(const OutlineItem& item) {
    auto source = outlineDataSource();
    return item && source && source->isItemExpandable(*this, item);
}

int OutlineView::numberOfChildrenOfItem(const OutlineItem& item) {
    auto source = outlineDataSource();
    return source ? std::max(0, source->numberOfChildrenOfItem(*this, item)) : 0;
}

OutlineItem OutlineView::child(int index, const OutlineItem& item) {
    auto source = outlineDataSource();
    if (!source || index < 0 || index >= numberOfChildrenOfItem(item)) {
        return nullptr;
    }
    return source->child(*this, index, item);
}

void OutlineView::rebuildRows(std::vector<Entry>& rows, const OutlineItem& parent, int level) {
    // Depth first without recursion, so a tree of any depth fits: one frame per open item on the way
    // down. The items on that way are also kept in a hash set: an item that is its own ancestor would
    // open forever, so it shows but does not open again.
    struct Frame {
        OutlineItem parent;
        int level;
        int count;
        int next;
    };
    std::vector<Frame> stack{{parent, level, numberOfChildrenOfItem(parent), 0}};
    std::unordered_set<const Object*> ancestors;
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next >= top.count) {
            if (stack.size() > 1) {
                ancestors.erase(top.parent.get());
            }
            stack.pop_back();
            continue;
        }
        const int index = top.next++;
        const int childLevel = top.level;
        auto item = child(index, top.parent);
        rows.push_back({item, top.parent, childLevel, index});
        if (item && !ancestors.count(item.get()) && expanded_.count(item) && isExpandable(item)) {
            ancestors.insert(item.get());
            const int count = numberOfChildrenOfItem(item);
            stack.push_back({std::move(item), childLevel + 1, count, 0});
        }
    }
}

int OutlineView::numberOfRowsFromDataSource() {
    entries_.clear();
    rebuildRows(entries_, nullptr, 0);
    return static_cast<int>(entries_.size());
}

void OutlineView::refreshRows() {
    if (weak_from_this().expired()) {
        return;
    }
    auto self = sharedAs<OutlineView>();
    std::vector<OutlineItem> selected;
    for (const int row : selectedRowIndexes()) {
        selected.push_back(itemAtRow(row));
    }
    restoreSelection({}, false);
    reloadData();
    core::IndexSet rows;
    for (const auto& item : selected) {
        if (const int row = rowForItem(item); row >= 0) {
            rows.insert(row);
        }
    }
    restoreSelection(rows, rows.count() != selected.size());
}

bool OutlineView::isItemExpanded(const OutlineItem& item) const {
    return !item || expanded_.count(item) > 0;
}

void OutlineView::setExpanded(const OutlineItem& item, bool expanded, bool recursive) {
    const auto mark = [&](const OutlineItem& marked) {
        if (expanded) {
            expanded_.insert(marked);
        } else {
            expanded_.erase(marked);
        }
    };
    if (item) {
        mark(item);
    }
    if (!recursive) {
        return;
    }
    // The descendants whose state differs, through a list of items still to visit rather than
    // recursion (trees may be deeper than the stack). An item is visited once it has changed, so a
    // cycle in the data source ends.
    std::vector<OutlineItem> pending{item};
    while (!pending.empty()) {
        const OutlineItem parent = std::move(pending.back());
        pending.pop_back();
        const int count = numberOfChildrenOfItem(parent);
        for (int i = 0; i < count; ++i) {
            auto c = child(i, parent);
            if (c && c != parent && isExpandable(c) && isItemExpanded(c) != expanded) {
                mark(c);
                pending.push_back(std::move(c));
            }
        }
    }
}

void OutlineView::expandItem(const OutlineItem& item, bool expandChildren) {
    if (item && !isExpandable(item)) {
        return;
    }
    if (auto delegate = outlineDelegate(); item && delegate && !delegate->shouldExpandItem(*this, item)) {
        return;
    }
    const bool wasExpanded = isItemExpanded(item);
    if (item) {
        setExpanded(item, true, expandChildren);
    } else {
        // The root is always open: its top-level items open (with their descendants when asked).
        const int count = numberOfChildrenOfItem(nullptr);
        for (int i = 0; i < count; ++i) {
            if (auto c = child(i, nullptr); c && isExpandable(c)) {
                setExpanded(c, true, expandChildren);
            }
        }
    }
    refreshRows();
    if (item && !wasExpanded) {
        core::NotificationCenter::defaultCenter().post(itemDidExpandNotification, this, {{"NSObject", item}});
    }
}

void OutlineView::collapseItem(const OutlineItem& item, bool collapseChildren) {
    if (item && (!isExpandable(item) || !isItemExpanded(item)) && !collapseChildren) {
        return;
    }
    if (auto delegate = outlineDelegate(); item && delegate && !delegate->shouldCollapseItem(*this, item)) {
        return;
    }
    const bool wasExpanded = item && isItemExpanded(item);
    setExpanded(item, false, collapseChildren || !item);
    refreshRows();
    if (wasExpanded) {
        core::NotificationCenter::defaultCenter().post(itemDidCollapseNotification, this,
                                                       {{"NSObject", item}});
    }
}

OutlineItem OutlineView::itemAtRow(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < entries_.size()
               ? entries_[static_cast<std::size_t>(row)].item
               : nullptr;
}

int OutlineView::rowForItem(const OutlineItem& item) const {
    if (!item) {
        return -1;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].item == item) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int OutlineView::levelForRow(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < entries_.size()
               ? entries_[static_cast<std::size_t>(row)].level
               : -1;
}

int OutlineView::levelForItem(const OutlineItem& item) const {
    return levelForRow(rowForItem(item));
}

OutlineItem OutlineView::parentForItem(const OutlineItem& item) const {
    const int row = rowForItem(item);
    return row < 0 ? nullptr : entries_[static_cast<std::size_t>(row)].parent;
}

int OutlineView::childIndexForItem(const OutlineItem& item) const {
    const int row = rowForItem(item);
    return row < 0 ? -1 : entries_[static_cast<std::size_t>(row)].childIndex;
}

void OutlineView::reloadItem(const OutlineItem&, bool) {
    // Children are asked for afresh on every rebuild, so reloading one item reloads the visible tree.
    refreshRows();
}

Rect OutlineView::frameOfOutlineCellAtRow(int row) const {
    const int column = outlineColumnIndex();
    const Rect c = rectOfColumn(column);
    const Rect r = rectOfRow(row);
    auto* self = const_cast<OutlineView*>(this); // asking the data source does not change the view
    if (c.isEmpty() || r.isEmpty() || !self->isExpandable(itemAtRow(row))) {
        return Rect::zero();
    }
    return Rect(c.minX() + levelForRow(row) * indentationPerLevel_, r.minY(), indentationPerLevel_,
                r.height());
}

Rect OutlineView::frameOfCellAtColumn(int column, int row) const {
    Rect frame = TableView::frameOfCellAtColumn(column, row);
    if (column != outlineColumnIndex() || frame.isEmpty()) {
        return frame;
    }
    const double indent = std::min(frame.width(), (levelForRow(row) + 1) * indentationPerLevel_);
    return Rect(frame.minX() + indent, frame.minY(), frame.width() - indent, frame.height());
}

std::shared_ptr<View> OutlineView::makeViewWithIdentifier(const std::string& identifier,
                                                          const std::shared_ptr<Object>& owner) {
    auto view = TableView::makeViewWithIdentifier(identifier, owner);
    if (!view && identifier == disclosureButtonKey) {
        view = std::make_shared<Button>(Rect(), std::make_shared<DisclosureButtonCell>());
        view->setIdentifier(identifier);
    }
    return view;
}

std::shared_ptr<View> OutlineView::makeCellView(TableColumn* column, int row) {
    const auto item = itemAtRow(row);
    auto delegate = outlineDelegate();
    auto source = outlineDataSource();
    return cellViewWithValue([&] { return delegate ? delegate->viewFor(*this, column, item) : nullptr; },
                             source ? source->objectValue(*this, column, item) : std::any());
}

std::shared_ptr<TableRowView> OutlineView::makeRowView(int row) {
    auto delegate = outlineDelegate();
    auto rowView = delegate ? delegate->rowViewForItem(*this, itemAtRow(row)) : nullptr;
    return rowView ? rowView : TableView::makeRowView(row);
}

double OutlineView::heightOfRowFromDelegate(int row) {
    auto delegate = outlineDelegate();
    return delegate ? delegate->heightOfRowByItem(*this, itemAtRow(row)) : 0;
}

bool OutlineView::delegateShouldSelectRow(int row) {
    auto delegate = outlineDelegate();
    return !delegate || delegate->shouldSelectItem(*this, itemAtRow(row));
}

void OutlineView::notifySelectionDidChange() {
    auto self = sharedAs<OutlineView>();
    if (auto delegate = outlineDelegate()) {
        delegate->outlineViewSelectionDidChange(*this);
    }
    core::NotificationCenter::defaultCenter().post(outlineSelectionDidChangeNotification, this);
}

void OutlineView::didAddRowView(TableRowView& rowView, int row) {
    if (!isExpandable(itemAtRow(row))) {
        return;
    }
    auto button = makeViewWithIdentifier(disclosureButtonKey, sharedAs<Object>());
    if (!button) {
        return;
    }
    button->setIdentifier(disclosureButtonKey);
    if (auto control = std::dynamic_pointer_cast<Control>(button)) {
        control->setTarget(sharedAs<Object>());
        control->setAction("toggleDisclosure:");
    }
    addAccessoryView(rowView, button);
    layoutRowView(rowView, row);
}

void OutlineView::layoutRowView(TableRowView& rowView, int row) {
    TableView::layoutRowView(rowView, row);
    const Rect rowRect = rectOfRow(row);
    for (const auto& sub : rowView.subviews()) {
        if (sub->identifier() != disclosureButtonKey) {
            continue;
        }
        sub->setFrame(frameOfOutlineCellAtRow(row).offsetBy(-rowRect.minX(), -rowRect.minY()));
        if (auto control = std::dynamic_pointer_cast<Control>(sub)) {
            control->setState(isItemExpanded(itemAtRow(row)) ? StateValue::on : StateValue::off);
        }
    }
}

void OutlineView::disclosureClicked(const std::shared_ptr<Object>& sender) {
    auto view = std::dynamic_pointer_cast<View>(sender);
    const int row = view ? rowForView(*view) : -1;
    const auto item = itemAtRow(row);
    if (!item) {
        return;
    }
    auto self = sharedAs<OutlineView>();
    // Option opens or closes the whole subtree.
    const auto* event = Application::shared()->currentEvent();
    const bool all = event && (event->modifierFlags & Modifier::option);
    if (isItemExpanded(item)) {
        collapseItem(item, all);
    } else {
        expandItem(item, all);
    }
}

void OutlineView::keyDown(const Event& event) {
    const auto key = event.specialKey();
    const int row = selectedRow();
    const auto item = itemAtRow(row);
    if ((key != SpecialKey::rightArrow && key != SpecialKey::leftArrow) || !item) {
        TableView::keyDown(event);
        return;
    }
    auto self = sharedAs<OutlineView>();
    const bool all = event.modifierFlags & Modifier::option;
    if (key == SpecialKey::rightArrow) {
        expandItem(item, all);
        return;
    }
    if (isExpandable(item) && isItemExpanded(item)) {
        collapseItem(item, all);
    } else if (auto parent = parentForItem(item)) {
        const int parentRow = rowForItem(parent);
        userSelect({parentRow}, parentRow);
        scrollRowToVisible(parentRow);
    }
}

} // namespace ui
