#include "ui/TableView.hpp"

#include "core/MainQueue.hpp"
#include "core/NotificationCenter.hpp"
#include "ui/ScrollView.hpp"
#include "ui/Window.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ui {

using graphics::Point;
using graphics::Rect;
using graphics::Size;

namespace {

// Text for a value a data source hands to the default cell.
std::string describe(const std::any& value) {
    if (const auto* s = std::any_cast<std::string>(&value)) {
        return *s;
    }
    if (const auto* s = std::any_cast<const char*>(&value)) {
        return *s ? *s : "";
    }
    if (const auto* i = std::any_cast<int>(&value)) {
        return std::to_string(*i);
    }
    if (const auto* l = std::any_cast<long long>(&value)) {
        return std::to_string(*l);
    }
    if (const auto* d = std::any_cast<double>(&value)) {
        std::string text = std::to_string(*d);
        text.erase(text.find_last_not_of('0') + 1);
        if (!text.empty() && text.back() == '.') {
            text.pop_back();
        }
        return text;
    }
    return {};
}

// The cell a table makes when its delegate makes none: a label showing the data source's value.
class ValueCellView final : public TableCellView {
public:
    ValueCellView() {
        setTextField(TextField::labelWithString(""));
        setIdentifier(TableView::valueCellKey);
    }
    void setObjectValue(std::any value) override {
        textField()->setStringValue(describe(value));
        TableCellView::setObjectValue(std::move(value));
        placeLabel();
    }
    void setFrame(const Rect& frame) override {
        TableCellView::setFrame(frame);
        placeLabel();
    }
    void viewDidMoveToSuperview() override {
        if (textField()->superview().get() != this) {
            addSubview(textField());
        }
        placeLabel();
    }

private:
    void placeLabel() {
        auto field = textField();
        const double height = std::ceil(field->intrinsicContentSize().height);
        field->setFrame(Rect(2, std::floor((bounds().height() - height) / 2),
                             std::max(0.0, bounds().width() - 4), height));
    }
};

} // namespace

// MARK: - Table view: model and geometry

TableView::TableView(const Rect& frame)
    : Control(frame), headerView_(std::make_shared<TableHeaderView>()),
      backgroundColor_(graphics::Color::controlBackgroundColor()), gridColor_(graphics::Color::gridColor()) {}

TableView::~TableView() = default;

void TableView::addTableColumn(const std::shared_ptr<TableColumn>& column) {
    if (!column || std::find(columns_.begin(), columns_.end(), column) != columns_.end()) {
        return;
    }
    column->tableView_ = sharedAs<TableView>();
    columns_.push_back(column);
    dropAllRowViews(); // every row gets a cell for the new column
    tile();
    setNeedsDisplay();
}

void TableView::removeTableColumn(const std::shared_ptr<TableColumn>& removed) {
    const auto column = removed; // the argument may be the table's own reference, erased below
    auto it = std::find(columns_.begin(), columns_.end(), column);
    if (it == columns_.end()) {
        return;
    }
    columns_.erase(it);
    column->tableView_.reset();
    dropAllRowViews();
    tile();
    setNeedsDisplay();
}

std::shared_ptr<TableColumn> TableView::tableColumnWithIdentifier(const std::string& identifier) const {
    const int index = columnWithIdentifier(identifier);
    return index < 0 ? nullptr : columns_[static_cast<std::size_t>(index)];
}

int TableView::columnWithIdentifier(const std::string& identifier) const {
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i]->identifier() == identifier) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TableView::setHeaderView(std::shared_ptr<TableHeaderView> header) {
    if (headerView_ && headerView_ != header) {
        headerView_->setTableView(nullptr);
    }
    headerView_ = std::move(header);
    if (headerView_) {
        headerView_->setTableView(sharedAs<TableView>());
    }
    if (auto scroll = enclosingScrollView()) {
        scroll->tile();
    }
}

void TableView::setDataSource(const std::shared_ptr<TableViewDataSource>& source) {
    dataSource_ = source;
    reloadData();
}

void TableView::setDelegate(const std::shared_ptr<TableViewDelegate>& delegate) {
    delegate_ = delegate;
    reloadData();
}

int TableView::numberOfRowsFromDataSource() {
    auto source = dataSource();
    return source ? source->numberOfRows(*this) : 0;
}

double TableView::heightOfRowFromDelegate(int row) {
    auto delegate = tableDelegate();
    return delegate ? delegate->heightOfRow(*this, row) : 0;
}

bool TableView::delegateShouldSelectRow(int row) {
    auto delegate = tableDelegate();
    return !delegate || delegate->shouldSelectRow(*this, row);
}

std::shared_ptr<TableRowView> TableView::makeRowView(int row) {
    auto delegate = tableDelegate();
    if (auto rowView = delegate ? delegate->rowViewForRow(*this, row) : nullptr) {
        return rowView;
    }
    if (auto reused = std::dynamic_pointer_cast<TableRowView>(makeViewWithIdentifier(rowViewKey, nullptr))) {
        return reused;
    }
    auto rowView = std::make_shared<TableRowView>();
    rowView->setIdentifier(rowViewKey);
    return rowView;
}

std::shared_ptr<View> TableView::makeCellView(TableColumn* column, int row) {
    auto delegate = tableDelegate();
    auto source = dataSource();
    return cellViewWithValue([&] { return delegate ? delegate->viewFor(*this, column, row) : nullptr; },
                             source ? source->objectValue(*this, column, row) : std::any());
}

std::shared_ptr<View> TableView::cellViewWithValue(const std::function<std::shared_ptr<View>()>& makeView,
                                                   std::any value) {
    // The value goes to the cell view as it is made, so what the delegate writes into the view after
    // that stays.
    struct Pending {
        const std::any*& slot;
        const std::any* outer;
        ~Pending() { slot = outer; }
    } pending{pendingCellValue_, std::exchange(pendingCellValue_, value.has_value() ? &value : nullptr)};
    auto view = makeView();
    if (view || !value.has_value()) {
        return view;
    }
    auto cell = std::dynamic_pointer_cast<TableCellView>(makeViewWithIdentifier(valueCellKey, nullptr));
    if (!cell) {
        cell = std::make_shared<ValueCellView>();
    }
    cell->setObjectValue(std::move(value));
    return cell;
}

void TableView::notifySelectionDidChange() {
    auto self = sharedAs<TableView>();
    if (auto delegate = tableDelegate()) {
        delegate->tableViewSelectionDidChange(*this);
    }
    core::NotificationCenter::defaultCenter().post(selectionDidChangeNotification, this);
}

void TableView::didAddRowView(TableRowView&, int) {}

void TableView::computeRowOffsets() {
    rowOffsets_.assign(1, 0.0);
    rowOffsets_.reserve(static_cast<std::size_t>(numberOfRows_) + 1);
    for (int row = 0; row < numberOfRows_; ++row) {
        // A height that is not a finite positive number is the table's row height.
        const double asked = heightOfRowFromDelegate(row);
        rowOffsets_.push_back(rowOffsets_.back() + (asked > 0 && std::isfinite(asked) ? asked : rowHeight_));
    }
}

void TableView::reloadData() {
    if (weak_from_this().expired()) {
        return;
    }
    auto self = sharedAs<TableView>();
    numberOfRows_ = std::max(0, numberOfRowsFromDataSource());
    computeRowOffsets();
    dropAllRowViews();
    if (!selection_.empty() && *selection_.last() >= numberOfRows_) {
        core::IndexSet kept = selection_;
        kept.remove(core::IndexSet::Range{numberOfRows_, *selection_.last() + 1});
        applySelection(kept, lastSelectedRow_);
    }
    if (anchorRow_ >= numberOfRows_) {
        anchorRow_ = -1;
    }
    if (clickedRow_ >= numberOfRows_) {
        clickedRow_ = -1;
    }
    tile();
    setNeedsDisplay();
}

void TableView::reloadDataForRowIndexes(const core::IndexSet& rows) {
    if (buildingRows_ > 0) {
        rowViewsStale_ = true;
        return;
    }
    for (const int row : rows) {
        if (rowViews_.count(row)) {
            dropRowView(row);
        }
    }
    updateVisibleRowViews();
}

void TableView::setRowHeight(double height) {
    if (height > 0 && std::isfinite(height) && height != rowHeight_) {
        rowHeight_ = height;
        reloadData();
    }
}

Rect TableView::rectOfRow(int row) const {
    if (row < 0 || row >= numberOfRows_) {
        return Rect::zero();
    }
    const auto r = static_cast<std::size_t>(row);
    return Rect(0, rowOffsets_[r], bounds().width(), rowOffsets_[r + 1] - rowOffsets_[r]);
}

Rect TableView::rectOfColumn(int column) const {
    if (column < 0 || column >= numberOfColumns() || columns_[static_cast<std::size_t>(column)]->isHidden()) {
        return Rect::zero();
    }
    double x = 0;
    for (int i = 0; i < column; ++i) {
        if (!columns_[static_cast<std::size_t>(i)]->isHidden()) {
            x += columns_[static_cast<std::size_t>(i)]->width();
        }
    }
    return Rect(x, 0, columns_[static_cast<std::size_t>(column)]->width(), bounds().height());
}

Rect TableView::frameOfCellAtColumn(int column, int row) const {
    const Rect c = rectOfColumn(column);
    const Rect r = rectOfRow(row);
    if (c.isEmpty() || r.isEmpty()) {
        return Rect::zero();
    }
    return Rect(c.minX(), r.minY(), c.width(), r.height());
}

int TableView::rowAtPoint(const Point& point) const {
    if (!std::isfinite(point.x) || !std::isfinite(point.y)) {
        return -1;
    }
    if (point.x < 0 || point.x >= bounds().width() || point.y < 0 || point.y >= rowOffsets_.back()) {
        return -1;
    }
    const auto it = std::upper_bound(rowOffsets_.begin(), rowOffsets_.end(), point.y);
    return static_cast<int>(it - rowOffsets_.begin()) - 1;
}

int TableView::columnAtPoint(const Point& point) const {
    double x = 0;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i]->isHidden()) {
            continue;
        }
        if (point.x >= x && point.x < x + columns_[i]->width()) {
            return static_cast<int>(i);
        }
        x += columns_[i]->width();
    }
    return -1;
}

core::IndexSet::Range TableView::rowsInRect(const Rect& rect) const {
    if (numberOfRows_ == 0 || rect.isNull() || rect.isEmpty()) {
        return {0, 0};
    }
    const auto first = std::upper_bound(rowOffsets_.begin(), rowOffsets_.end(), rect.minY());
    const auto last = std::lower_bound(rowOffsets_.begin(), rowOffsets_.end(), rect.maxY());
    const int lower = std::max(0, static_cast<int>(first - rowOffsets_.begin()) - 1);
    const int upper = std::min(numberOfRows_, static_cast<int>(last - rowOffsets_.begin()));
    return {lower, std::max(lower, upper)};
}

core::IndexSet TableView::rangeBetween(int a, int b) const {
    return core::IndexSet(core::IndexSet::Range{std::min(a, b), std::max(a, b) + 1});
}

void TableView::tile() {
    if (weak_from_this().expired()) {
        return;
    }
    auto self = sharedAs<TableView>();
    double width = 0;
    for (const auto& column : columns_) {
        width += column->isHidden() ? 0 : column->width();
    }
    double height = rowOffsets_.back();
    if (auto clip = std::dynamic_pointer_cast<ClipView>(superview())) {
        width = std::max(width, clip->bounds().width());
        height = std::max(height, clip->bounds().height());
    } else {
        width = std::max(width, frame().width());
        height = std::max(height, frame().height());
    }
    setFrameSize({width, height});
    if (headerView_) {
        if (headerView_->tableView() != self) {
            headerView_->setTableView(self);
        }
        headerView_->setFrameSize({width, headerView_->frame().height()});
        headerView_->setNeedsDisplay();
    }
    if (auto clip = std::dynamic_pointer_cast<ClipView>(superview())) {
        // The document changed size: keep the clip view inside it and the scrollers in step.
        clip->scrollToPoint(clip->bounds().origin);
        if (auto scroll = std::dynamic_pointer_cast<ScrollView>(clip->superview())) {
            scroll->reflectScrolledClipView(*clip);
        }
    }
    updateVisibleRowViews();
}

// MARK: - Row views

void TableView::dropRowView(int row) {
    auto it = rowViews_.find(row);
    if (it == rowViews_.end()) {
        return;
    }
    auto rowView = it->second;
    rowViews_.erase(it);
    // The row's cell and accessory views go back to their queues apart from the row view, which gets
    // new ones when it shows again.
    auto taken = std::move(rowView->cells_);
    taken.insert(taken.end(), rowView->accessories_.begin(), rowView->accessories_.end());
    rowView->cells_.clear();
    rowView->accessories_.clear();
    for (auto& view : taken) {
        if (view) {
            view->removeFromSuperview();
            enqueueReusableView(std::move(view));
        }
    }
    rowView->removeFromSuperview();
    enqueueReusableView(std::move(rowView));
}

void TableView::dropAllRowViews() {
    if (buildingRows_ > 0) {
        // A row is being built (its cell views are being asked for): its views stay as they are until
        // the build ends, and then every row is built again.
        rowViewsStale_ = true;
        return;
    }
    for (auto& [row, rowView] : std::map(rowViews_)) {
        (void)rowView;
        dropRowView(row);
    }
}

void TableView::enqueueReusableView(std::shared_ptr<View> view) {
    if (!view->identifier().empty()) {
        auto& queue = reuseQueues_[view->identifier()];
        queue.push_back(std::move(view));
    }
}

void TableView::addAccessoryView(TableRowView& rowView, const std::shared_ptr<View>& view) {
    rowView.accessories_.push_back(view);
    rowView.addSubview(view);
}

std::size_t TableView::reusableViewCount() const {
    std::size_t count = 0;
    for (const auto& [identifier, queue] : reuseQueues_) {
        (void)identifier;
        count += queue.size();
    }
    return count;
}

void TableView::layoutRowView(TableRowView& rowView, int row) {
    rowView.setFrame(rectOfRow(row));
    const Rect rowRect = rectOfRow(row);
    for (std::size_t i = 0; i < rowView.cells_.size(); ++i) {
        auto& cell = rowView.cells_[i];
        if (!cell) {
            continue;
        }
        const Rect frame = frameOfCellAtColumn(static_cast<int>(i), row);
        cell->setHidden(frame.isEmpty());
        cell->setFrame(frame.offsetBy(-rowRect.minX(), -rowRect.minY()));
    }
    rowView.drawsSeparator_ = gridStyleMask_ & TableViewGridLineStyle::solidHorizontalGridLineMask;
}

void TableView::buildRowView(int row) {
    auto self = sharedAs<TableView>();
    // The delegate may reload the table, or change its columns, while it makes this row's views: the row
    // count follows at once, but tearing down and building row views waits until the build ends.
    struct Building {
        TableView& table;
        explicit Building(TableView& t) : table(t) { ++table.buildingRows_; }
        ~Building() { --table.buildingRows_; }
    };
    {
        const Building building(*this);
        auto rowView = makeRowView(row);
        rowView->setFrame(rectOfRow(row));
        rowView->setSelectionHighlightStyle(highlightStyle_);
        addSubview(rowView);
        rowViews_[row] = rowView;
        const auto columns = columns_;
        rowView->cells_.assign(columns.size(), nullptr);
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (columns[i]->isHidden()) {
                continue;
            }
            auto cell = makeCellView(columns[i].get(), row);
            if (cell) {
                rowView->cells_[i] = cell;
                rowView->addSubview(cell);
            }
        }
        layoutRowView(*rowView, row);
        rowView->setSelected(selection_.contains(row));
        didAddRowView(*rowView, row);
    }
    if (buildingRows_ == 0) {
        runRowPasses();
    }
}

void TableView::updateVisibleRowViews() {
    if (weak_from_this().expired()) {
        return;
    }
    visibleRowsPending_ = true;
    if (buildingRows_ == 0) {
        runRowPasses();
    }
}

void TableView::runRowPasses() {
    // One loop at a time: a pass that asks for another (a delegate reloading while a row is built)
    // leaves it to the loop that runs it, so nested reloads take no stack.
    if (runningRowPasses_ || rowPassesPosted_ || weak_from_this().expired()) {
        return;
    }
    auto self = sharedAs<TableView>();
    struct Running {
        bool& flag;
        explicit Running(bool& f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
    } running(runningRowPasses_);
    for (int passes = 0; rowViewsStale_ || visibleRowsPending_; ++passes) {
        if (passes == maxRowPassesPerTurn) {
            rowPassesPosted_ = true;
            core::mainAsync([weak = std::weak_ptr<TableView>(self)] {
                if (auto table = weak.lock()) {
                    table->rowPassesPosted_ = false;
                    table->runRowPasses();
                }
            });
            return;
        }
        visibleRowsPending_ = false;
        if (std::exchange(rowViewsStale_, false)) {
            dropAllRowViews();
        }
        visibleRowPass();
    }
}

void TableView::visibleRowPass() {
    Rect visible = bounds();
    if (auto clip = std::dynamic_pointer_cast<ClipView>(superview())) {
        visible = clip->documentVisibleRect();
    }
    const auto range = rowsInRect(visible);
    for (auto& [row, rowView] : std::map(rowViews_)) {
        (void)rowView;
        if (row < range.lowerBound || row >= range.upperBound || row >= numberOfRows_) {
            dropRowView(row);
        }
    }
    for (int row = range.lowerBound; row < range.upperBound && row < numberOfRows_; ++row) {
        auto it = rowViews_.find(row);
        if (it == rowViews_.end()) {
            buildRowView(row);
        } else {
            layoutRowView(*it->second, row);
        }
    }
}

std::shared_ptr<TableRowView> TableView::rowViewAtRow(int row, bool makeIfNecessary) {
    if (auto it = rowViews_.find(row); it != rowViews_.end()) {
        return it->second;
    }
    if (!makeIfNecessary || row < 0 || row >= numberOfRows_) {
        return nullptr;
    }
    buildRowView(row);
    const auto it = rowViews_.find(row);
    return it == rowViews_.end() ? nullptr : it->second;
}

std::shared_ptr<View> TableView::viewAtColumn(int column, int row, bool makeIfNecessary) {
    auto rowView = rowViewAtRow(row, makeIfNecessary);
    return rowView ? rowView->viewAtColumn(column) : nullptr;
}

int TableView::rowForView(const View& view) const {
    for (const View* v = &view; v; v = v->superview().get()) {
        if (v->superview().get() == this) {
            for (const auto& [row, rowView] : rowViews_) {
                if (rowView.get() == v) {
                    return row;
                }
            }
            return -1;
        }
    }
    return -1;
}

int TableView::columnForView(const View& view) const {
    const int row = rowForView(view);
    if (row < 0) {
        return -1;
    }
    const auto& rowView = rowViews_.at(row);
    for (std::size_t i = 0; i < rowView->cells_.size(); ++i) {
        if (rowView->cells_[i] &&
            (rowView->cells_[i].get() == &view || view.isDescendantOf(*rowView->cells_[i]))) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::shared_ptr<View> TableView::makeViewWithIdentifier(const std::string& identifier,
                                                        const std::shared_ptr<Object>&) {
    std::shared_ptr<View> view;
    if (auto queue = reuseQueues_.find(identifier); queue != reuseQueues_.end() && !queue->second.empty()) {
        view = std::move(queue->second.back());
        queue->second.pop_back();
        view->setHidden(false);
        if (auto cell = std::dynamic_pointer_cast<TableCellView>(view)) {
            cell->prepareForReuse();
        } else if (auto rowView = std::dynamic_pointer_cast<TableRowView>(view)) {
            rowView->prepareForReuse();
        }
    } else if (auto it = factories_.find(identifier); it != factories_.end() && it->second) {
        view = it->second();
        if (view) {
            view->setIdentifier(identifier);
        }
    }
    if (auto cell = std::dynamic_pointer_cast<TableCellView>(view); cell && pendingCellValue_) {
        cell->setObjectValue(*pendingCellValue_);
    }
    return view;
}

void TableView::registerViewFactory(const std::string& identifier,
                                    std::function<std::shared_ptr<View>()> factory) {
    factories_[identifier] = std::move(factory);
}

void TableView::layout() {
    Control::layout();
    updateVisibleRowViews();
}

// MARK: - Looks

void TableView::setBackgroundColor(graphics::ColorRef color) {
    backgroundColor_ = std::move(color);
    setNeedsDisplay();
}

void TableView::setUsesAlternatingRowBackgroundColors(bool flag) {
    alternatingRows_ = flag;
    setNeedsDisplay();
}

void TableView::setGridStyleMask(unsigned mask) {
    gridStyleMask_ = mask;
    for (auto& [row, rowView] : rowViews_) {
        layoutRowView(*rowView, row);
        rowView->setNeedsDisplay();
    }
    setNeedsDisplay();
}

void TableView::setGridColor(graphics::ColorRef color) {
    gridColor_ = std::move(color);
    setNeedsDisplay();
}

void TableView::drawBackgroundInClipRect(const Rect& clipRect) {
    auto* context = graphics::GraphicsContext::current();
    if (!context) {
        return;
    }
    if (backgroundColor_) {
        context->fillRect(clipRect, backgroundColor_);
    }
    if (alternatingRows_) {
        const auto rows = rowsInRect(clipRect);
        for (int row = rows.lowerBound; row < rows.upperBound; ++row) {
            if (row % 2 == 1) {
                context->fillRect(rectOfRow(row).intersection(clipRect), graphics::Color::white(1.0, 0.04));
            }
        }
    }
}

void TableView::drawGridInClipRect(const Rect& clipRect) {
    auto* context = graphics::GraphicsContext::current();
    if (!context || !(gridStyleMask_ & TableViewGridLineStyle::solidVerticalGridLineMask)) {
        return;
    }
    const double bottom = std::min(bounds().height(), rowOffsets_.back());
    for (int i = 0; i < numberOfColumns(); ++i) {
        const Rect c = rectOfColumn(i);
        if (!c.isEmpty()) {
            context->fillRect(Rect(c.maxX() - 1, 0, 1, bottom).intersection(clipRect), gridColor_);
        }
    }
}

void TableView::draw(const Rect& dirtyRect) {
    drawBackgroundInClipRect(dirtyRect);
    drawGridInClipRect(dirtyRect);
}

void TableView::scrollRowToVisible(int row) {
    auto clip = std::dynamic_pointer_cast<ClipView>(superview());
    const Rect r = rectOfRow(row);
    if (!clip || r.isEmpty()) {
        return;
    }
    const Rect shown = clip->documentVisibleRect();
    if (r.minY() < shown.minY()) {
        clip->scrollToPoint({shown.minX(), r.minY()});
    } else if (r.maxY() > shown.maxY()) {
        clip->scrollToPoint({shown.minX(), r.maxY() - clip->bounds().height()});
    }
}

} // namespace ui
