#include "Vimbra/StyledControls/StyledTableView.hpp"

#include "Vimbra/Geometry.hpp"
#include "Vimbra/StyledControls/CellControlState.hpp"
#include "Vimbra/StyledControls/Selection.hpp"
#include "ui/ScrollView.hpp"
#include "ui/Window.hpp"

#include <cmath>

namespace vimbra {

using graphics::Rect;

// MARK: - Table view

StyledTableView::StyledTableView(const Rect& frame) : TableView(frame) {}

StyledControlState StyledTableView::controlState() const {
    return tableControlState(isEnabled(), isHighlighted());
}

void StyledTableView::viewWillMoveToSuperview(const std::shared_ptr<ui::View>& newSuperview) {
    TableView::viewWillMoveToSuperview(newSuperview);
    setBackgroundColor(style()->backgroundColor);
    // The scroll view the table is in now, before the move: none on its first insertion.
    if (auto scroll = enclosingScrollView()) {
        scroll->setDrawsBackground(true);
        scroll->setBackgroundColor(backgroundColor());
    }
}

void StyledTableView::mouseDown(const ui::Event& event) {
    if (auto w = window(); w && makeKeyOnClick() && !w->isKeyWindow()) {
        w->makeKeyWindow();
    }
    TableView::mouseDown(event);
}

void StyledTableView::keyDown(const ui::Event& event) {
    if (allowKeyboardNavigation()) {
        TableView::keyDown(event);
    } else if (auto parent = superview()) {
        parent->keyDown(event);
    }
}

void StyledTableView::applyHeaderStyle(const graphics::ColorRef& textColor,
                                       const graphics::ColorRef& tintColor, const graphics::FontRef& font) {
    for (const auto& column : tableColumns()) {
        if (column->isHidden()) {
            continue;
        }
        auto current = column->headerCell();
        const std::string title = current ? current->stringValue() : std::string();
        auto cell = std::make_shared<StyledTableHeaderCell>(title, current ? current->image() : nullptr);
        cell->setDrawsBackground(true);
        cell->setBackgroundColor(graphics::Color::clear());
        cell->setBackgroundStyle(ui::BackgroundStyle::raised);
        cell->setTintColor(tintColor);
        cell->setTextColor(textColor);
        graphics::TextAttributes attributes;
        attributes.foregroundColor = textColor;
        attributes.font = font;
        cell->setAttributedStringValue(graphics::AttributedString(title, attributes));
        column->setHeaderCell(cell);
    }
}

// MARK: - Row view

StyledTableRowView::StyledTableRowView(const Rect& frame) : TableRowView(frame) {}

std::string& StyledTableRowView::identifier() {
    static std::string identifier = "StyledTableRowView";
    return identifier;
}

StyledControlState StyledTableRowView::controlState() const {
    return rowControlState(isSelected());
}

void StyledTableRowView::setSelected(bool selected) {
    TableRowView::setSelected(selected);
    setNeedsDisplay();
    setSelectedInSubviews(*this, isSelected(), true);
}

void StyledTableRowView::didAddSubview(const std::shared_ptr<ui::View>& subview) {
    TableRowView::didAddSubview(subview);
    setSelectedInSubviews(*this, isSelected(), true);
}

void StyledTableRowView::drawSelection(const Rect& rect) {
    auto table = std::dynamic_pointer_cast<ui::TableView>(superview());
    if (selectionHighlightStyle() == ui::TableViewSelectionHighlightStyle::none || !table) {
        TableRowView::drawSelection(rect);
        return;
    }
    auto* context = graphics::GraphicsContext::current();
    if (!context) {
        return;
    }
    const double inset = selectionHorizontalInset();
    const Rect area(rect.minX() + inset, rect.minY(), rect.width() - 2 * inset, rect.height());
    context->setFillColor(style()->rowBackgroundColorForState(controlState()));
    const int row = table->rowForView(*this);
    const bool previous = table->isRowSelected(row - 1);
    const bool next = table->isRowSelected(row + 1);
    const double r = selectionCornerRadius();
    if (!previous && !next) {
        context->fillPath(graphics::BezierPath::roundedRect(area, r, r));
    } else if (next && !previous) {
        // The first row of a run: rounded along its top edge (minimum y in the flipped row).
        context->fillPath(CornerRadii{r, r, 0, 0}.path(area));
    } else if (previous && !next) {
        context->fillPath(CornerRadii{0, 0, r, r}.path(area));
    } else {
        context->fillRect(area, context->compositingOperation());
    }
}

// MARK: - Cell view

StyledTableCellView::StyledTableCellView(const Rect& frame) : TableCellView(frame) {}

std::shared_ptr<TableViewStyle> StyledTableCellView::sharedStyle() {
    static const auto style = std::make_shared<TableViewStyle>();
    return style;
}

StyledControlState StyledTableCellView::controlState() const {
    return rowControlState(selected_);
}

void StyledTableCellView::setSelected(bool selected) {
    selected_ = selected;
    if (auto field = textField()) {
        field->setTextColor(style()->textColorForState(controlState()));
    }
    setSelectedInSubviews(*this, selected, true);
}

void StyledTableCellView::setObjectValue(std::any value) {
    TableCellView::setObjectValue(std::move(value));
    prepareForReuse();
    invalidateIntrinsicContentSize();
}

void StyledTableCellView::prepareForReuse() {
    TableCellView::prepareForReuse();
    if (auto field = textField()) {
        field->setStringValue("");
        field->setTextColor(style()->textColorForState(controlState()));
    }
}

graphics::Size StyledTableCellView::intrinsicContentSize() const {
    auto field = textField();
    if (!field) {
        return TableCellView::intrinsicContentSize();
    }
    const auto insets = alignmentRectInsets();
    return {field->frame().minX() + field->intrinsicContentSize().width - (insets.left + insets.right),
            ui::View::noIntrinsicMetric};
}

std::shared_ptr<ui::Button> StyledTableCellView::taggedSiblingButton() const {
    auto parent = superview();
    if (!parent) {
        return nullptr;
    }
    for (const auto& sibling : parent->subviews()) {
        if (auto button = std::dynamic_pointer_cast<ui::Button>(sibling); button && button->tag() == 1000) {
            return button;
        }
    }
    return nullptr;
}

// MARK: - Column

StyledTableColumn::StyledTableColumn(std::string identifier) : TableColumn(std::move(identifier)) {}

std::shared_ptr<ui::TableHeaderCell> StyledTableColumn::headerCell() const {
    auto cell = TableColumn::headerCell();
    if (cell) {
        cell->setImage(image_);
    }
    return cell;
}

void StyledTableColumn::setHeaderCell(std::shared_ptr<ui::TableHeaderCell> cell) {
    if (cell) {
        cell->setImage(image_);
    }
    TableColumn::setHeaderCell(std::move(cell));
}

// MARK: - Header cell

StyledTableHeaderCell::StyledTableHeaderCell(std::string title, graphics::ImageRef image)
    : TableHeaderCell(std::move(title)), tintColor_(graphics::Color::controlBackgroundColor()) {
    setImage(std::move(image));
}

std::shared_ptr<TableViewStyle> StyledTableHeaderCell::sharedStyle() {
    static const auto style = std::make_shared<TableViewStyle>();
    return style;
}

StyledControlState StyledTableHeaderCell::controlState() const {
    return tableControlState(isEnabled(), isHighlighted());
}

std::shared_ptr<StyledTableHeaderCell> StyledTableHeaderCell::copy() const {
    auto cell = std::make_shared<StyledTableHeaderCell>(stringValue(), image());
    cell->setAttributedStringValue(attributedStringValue());
    cell->setFont(font());
    cell->setTextColor(textColor());
    cell->setBackgroundColor(backgroundColor());
    cell->setDrawsBackground(drawsBackground());
    cell->setBackgroundStyle(backgroundStyle());
    cell->setEnabled(isEnabled());
    cell->setTintColor(tintColor_);
    return cell;
}

void StyledTableHeaderCell::drawWithFrame(const Rect& frame, ui::View&) {
    drawHeader(frame);
}

void StyledTableHeaderCell::highlight(bool flag, const Rect& frame, ui::View&) {
    setHighlighted(flag);
    drawHeader(frame);
}

void StyledTableHeaderCell::drawHeader(const Rect& frame) {
    auto* context = graphics::GraphicsContext::current();
    if (tintColor_ && context) {
        context->fillRect(frame, tintColor_, context->compositingOperation());
    }
    const auto cellFont = font();
    const double a = cellFont ? cellFont->ascender() : 0;
    const double d = cellFont ? cellFont->descender() : 0;
    const double dy = std::floor((frame.height() - (a - d)) * 0.5);
    const double dx = frame.minX() < 5 ? 4 : 1;
    if (context) {
        context->drawText(attributedStringValue(), frame.insetBy(dx, dy));
    }
    if (auto picture = image()) {
        const auto size = picture->size();
        // Measured from the top of the header view, where the header cells' frames start.
        picture->drawInRect(Rect(frame.minX() + (frame.width() - size.width) * 0.5,
                                 (frame.height() - size.height) * 0.5, size.width, size.height));
    }
}

// MARK: - Header view

std::shared_ptr<TableViewStyle>& StyledTableHeaderView::style() {
    static auto style = std::make_shared<TableViewStyle>();
    return style;
}

} // namespace vimbra
