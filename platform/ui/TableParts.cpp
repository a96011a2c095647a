// The pieces of a table: header cells, columns, the header view, row views and cell views.
#include "ui/TableView.hpp"

#include <algorithm>
#include <cmath>

namespace ui {

using graphics::Point;
using graphics::Rect;
using graphics::Size;

// MARK: - Header cell and column

TableHeaderCell::TableHeaderCell(std::string title) : TextFieldCell(std::move(title)) {
    setDrawsBackground(true);
    setBackgroundColor(graphics::Color::controlColor());
    setTextColor(graphics::Color::secondaryLabelColor());
    setLineBreakMode(graphics::LineBreakMode::truncatingTail);
    setFont(graphics::Font::systemFont(11));
    setEditable(false);
    setSelectable(false);
}

graphics::AttributedString TableHeaderCell::attributedStringValue() const {
    if (attributedValue_ && attributedValue_->string() == stringValue()) {
        return *attributedValue_;
    }
    return attributedTitle();
}

void TableHeaderCell::setAttributedStringValue(graphics::AttributedString value) {
    setStringValue(value.string());
    attributedValue_ = std::move(value);
}

void TableHeaderCell::drawWithFrame(const Rect& frame, View& controlView) {
    if (auto* context = graphics::GraphicsContext::current()) {
        if (drawsBackground() && backgroundColor()) {
            context->fillRect(frame, backgroundColor());
        }
        // A separator at the right edge of each column and a line under the header.
        context->fillRect(Rect(frame.maxX() - 1, frame.minY() + 3, 1, std::max(0.0, frame.height() - 6)),
                          graphics::Color::separatorColor());
        context->fillRect(Rect(frame.minX(), frame.maxY() - 1, frame.width(), 1),
                          graphics::Color::separatorColor());
    }
    drawInteriorWithFrame(frame, controlView);
}

void TableHeaderCell::drawInteriorWithFrame(const Rect& frame, View&) {
    if (!stringValue().empty()) {
        const auto title = attributedStringValue();
        const double height = title.size().height;
        title.draw(Rect(frame.minX() + 4, frame.minY() + std::floor((frame.height() - height) / 2),
                        std::max(0.0, frame.width() - 8), height));
    } else if (image_) {
        const Size size = image_->size();
        image_->drawInRect(
            Rect(frame.midX() - size.width / 2, frame.midY() - size.height / 2, size.width, size.height));
    }
}

TableColumn::TableColumn(std::string identifier)
    : identifier_(std::move(identifier)), headerCell_(std::make_shared<TableHeaderCell>()) {}

std::string TableColumn::title() const {
    auto cell = headerCell();
    return cell ? cell->stringValue() : std::string();
}

void TableColumn::setTitle(const std::string& title) {
    if (auto cell = headerCell()) {
        cell->setStringValue(title);
    }
    changed();
}

void TableColumn::setHeaderCell(std::shared_ptr<TableHeaderCell> cell) {
    headerCell_ = std::move(cell);
    changed();
}

void TableColumn::setWidth(double width) {
    if (!std::isfinite(width)) {
        return; // the column keeps its last width
    }
    width = std::clamp(width, minWidth_, std::max(minWidth_, maxWidth_));
    if (width != width_) {
        width_ = width;
        changed();
    }
}

void TableColumn::setMinWidth(double width) {
    if (!std::isfinite(width)) {
        return;
    }
    minWidth_ = std::max(0.0, width);
    setWidth(width_);
}

void TableColumn::setMaxWidth(double width) {
    if (!std::isfinite(width)) {
        return;
    }
    maxWidth_ = std::max(0.0, width);
    setWidth(width_);
}

void TableColumn::setHidden(bool hidden) {
    if (hidden != hidden_) {
        hidden_ = hidden;
        changed();
    }
}

void TableColumn::changed() {
    if (auto table = tableView()) {
        table->tile();
        table->setNeedsDisplay();
        if (auto header = table->headerView()) {
            header->setNeedsDisplay();
        }
    }
}

// MARK: - Header view

TableHeaderView::TableHeaderView(const Rect& frame)
    : View(frame.isEmpty() ? Rect(frame.origin, Size(frame.width(), defaultHeight)) : frame) {}

void TableHeaderView::setTableView(const std::shared_ptr<TableView>& tableView) {
    tableView_ = tableView;
    setNeedsDisplay();
}

Rect TableHeaderView::headerRect(int column) const {
    auto table = tableView();
    if (!table) {
        return Rect::zero();
    }
    const Rect r = table->rectOfColumn(column);
    return r.isEmpty() ? Rect::zero() : Rect(r.minX(), 0, r.width(), bounds().height());
}

int TableHeaderView::column(const Point& point) const {
    auto table = tableView();
    if (!table || point.y < 0 || point.y >= bounds().height()) {
        return -1;
    }
    return table->columnAtPoint({point.x, 0});
}

void TableHeaderView::draw(const Rect&) {
    auto table = tableView();
    auto* context = graphics::GraphicsContext::current();
    if (!table || !context) {
        return;
    }
    context->fillRect(bounds(), graphics::Color::controlBackgroundColor());
    for (int i = 0; i < table->numberOfColumns(); ++i) {
        const auto& column = table->tableColumns()[static_cast<std::size_t>(i)];
        if (column->isHidden()) {
            continue;
        }
        if (auto cell = column->headerCell()) {
            cell->drawWithFrame(headerRect(i), *this);
        }
    }
}

void TableHeaderView::mouseDown(const Event& event) {
    auto table = tableView();
    const int index = column(convertPointFromView(event.locationInWindow, nullptr));
    if (!table || index < 0) {
        return;
    }
    auto column = table->tableColumns()[static_cast<std::size_t>(index)];
    if (auto delegate = table->tableDelegate()) {
        delegate->didClickTableColumn(*table, *column);
    }
}

// MARK: - Row and cell views

TableRowView::TableRowView(const Rect& frame) : View(frame) {}

void TableRowView::setSelected(bool selected) {
    if (selected != selected_) {
        selected_ = selected;
        setNeedsDisplay();
    }
}

void TableRowView::setSelectionHighlightStyle(TableViewSelectionHighlightStyle style) {
    highlightStyle_ = style;
    setNeedsDisplay();
}

void TableRowView::setEmphasized(bool emphasized) {
    emphasized_ = emphasized;
    setNeedsDisplay();
}

void TableRowView::setBackgroundColor(graphics::ColorRef color) {
    backgroundColor_ = std::move(color);
    setNeedsDisplay();
}

std::shared_ptr<View> TableRowView::viewAtColumn(int column) const {
    return column >= 0 && static_cast<std::size_t>(column) < cells_.size()
               ? cells_[static_cast<std::size_t>(column)]
               : nullptr;
}

void TableRowView::drawBackground(const Rect& dirtyRect) {
    if (backgroundColor_) {
        if (auto* context = graphics::GraphicsContext::current()) {
            context->fillRect(dirtyRect.intersection(bounds()), backgroundColor_);
        }
    }
}

void TableRowView::drawSelection(const Rect&) {
    if (auto* context = graphics::GraphicsContext::current()) {
        context->fillRect(bounds(), emphasized_ ? graphics::Color::selectedContentBackgroundColor()
                                                : graphics::Color::white(0.5, 0.35));
    }
}

void TableRowView::drawSeparator(const Rect&) {
    auto* context = graphics::GraphicsContext::current();
    auto table = std::dynamic_pointer_cast<TableView>(superview());
    if (context) {
        const auto color = table && table->gridColor() ? table->gridColor() : graphics::Color::gridColor();
        context->fillRect(Rect(bounds().minX(), bounds().maxY() - 1, bounds().width(), 1), color);
    }
}

void TableRowView::draw(const Rect& dirtyRect) {
    drawBackground(dirtyRect);
    if (selected_ && highlightStyle_ != TableViewSelectionHighlightStyle::none) {
        drawSelection(bounds());
    }
    if (drawsSeparator_) {
        drawSeparator(dirtyRect);
    }
}

TableCellView::TableCellView(const Rect& frame) : View(frame) {}

void TableCellView::setObjectValue(std::any value) {
    objectValue_ = std::move(value);
}

std::any TableViewDataSource::objectValue(TableView&, TableColumn*, int) {
    return {};
}

std::shared_ptr<View> TableViewDelegate::viewFor(TableView&, TableColumn*, int) {
    return nullptr;
}
std::shared_ptr<TableRowView> TableViewDelegate::rowViewForRow(TableView&, int) {
    return nullptr;
}
double TableViewDelegate::heightOfRow(TableView&, int) {
    return 0;
}
bool TableViewDelegate::shouldSelectRow(TableView&, int) {
    return true;
}
void TableViewDelegate::tableViewSelectionDidChange(TableView&) {}
void TableViewDelegate::didClickTableColumn(TableView&, TableColumn&) {}

} // namespace ui
