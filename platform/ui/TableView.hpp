#pragma once

// Tables: rows from a data source, columns with identifiers, widths and header cells, one row view per
// visible row holding one cell view per visible column (made by the delegate), a header view, and a
// selection of rows kept as an index set. Tables are flipped: row 0 is at the top. Styled tables
// subclass the drawing hooks of the table, its row views, its header view and its header cells.

#include "core/IndexSet.hpp"
#include "graphics/Image.hpp"
#include "ui/Control.hpp"
#include "ui/TextField.hpp"

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class TableView;

// A header cell: a text cell with an optional image, filling its background and drawing its title. The
// title may carry attributes of its own; the background style says what the cell is drawn on.
class TableHeaderCell : public TextFieldCell {
public:
    explicit TableHeaderCell(std::string title = {});
    graphics::ImageRef image() const { return image_; }
    void setImage(graphics::ImageRef image) { image_ = std::move(image); }

    // The title as set with its attributes, as long as the string value is still its text; otherwise
    // the cell's attributed title (its font, colour and line breaking).
    graphics::AttributedString attributedStringValue() const;
    // Also makes the text the cell's string value.
    void setAttributedStringValue(graphics::AttributedString value);

    void drawWithFrame(const graphics::Rect& frame, View& controlView) override;
    void drawInteriorWithFrame(const graphics::Rect& frame, View& controlView) override;

private:
    graphics::ImageRef image_;
    std::optional<graphics::AttributedString> attributedValue_;
};

class TableColumn : public Object {
public:
    explicit TableColumn(std::string identifier);

    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }
    // The header cell's string value.
    std::string title() const;
    void setTitle(const std::string& title);
    virtual std::shared_ptr<TableHeaderCell> headerCell() const { return headerCell_; }
    virtual void setHeaderCell(std::shared_ptr<TableHeaderCell> cell);
    std::string headerToolTip() const { return headerToolTip_; }
    void setHeaderToolTip(std::string tip) { headerToolTip_ = std::move(tip); }

    // The width, kept between the minimum and the maximum; widths that are not finite numbers are
    // refused (the last one stays).
    double width() const { return width_; }
    void setWidth(double width);
    double minWidth() const { return minWidth_; }
    void setMinWidth(double width);
    double maxWidth() const { return maxWidth_; }
    void setMaxWidth(double width);
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);

    std::shared_ptr<TableView> tableView() const { return tableView_.lock(); }

private:
    friend class TableView;
    void changed();

    std::string identifier_;
    std::shared_ptr<TableHeaderCell> headerCell_;
    std::string headerToolTip_;
    double width_ = 100;
    double minWidth_ = 10;
    double maxWidth_ = 100000;
    bool hidden_ = false;
    std::weak_ptr<TableView> tableView_;
};

// The header above a table's columns: each visible column's header cell draws in its header rect.
class TableHeaderView : public View {
public:
    static constexpr double defaultHeight = 23;

    explicit TableHeaderView(const graphics::Rect& frame = {});
    std::shared_ptr<TableView> tableView() const { return tableView_.lock(); }
    virtual void setTableView(const std::shared_ptr<TableView>& tableView);
    // A column's header rect (all of the header's height; the first column starts at x 0).
    graphics::Rect headerRect(int column) const;
    // The column under a point in the header's coordinates, or -1.
    int column(const graphics::Point& point) const;

    bool isFlipped() const override { return true; }
    void draw(const graphics::Rect& dirtyRect) override;
    // A click on a column header tells the table's delegate (didClickTableColumn).
    void mouseDown(const Event& event) override;

private:
    std::weak_ptr<TableView> tableView_;
};

enum class TableViewSelectionHighlightStyle { none = -1, regular = 0, sourceList = 1 };

// Grid lines the table draws between cells (a mask).
namespace TableViewGridLineStyle {
inline constexpr unsigned none = 0;
inline constexpr unsigned solidVerticalGridLineMask = 1;
inline constexpr unsigned solidHorizontalGridLineMask = 2;
} // namespace TableViewGridLineStyle

// A row: the cell views of its columns as subviews, its selected state and its drawing steps.
class TableRowView : public View {
public:
    explicit TableRowView(const graphics::Rect& frame = {});

    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    TableViewSelectionHighlightStyle selectionHighlightStyle() const { return highlightStyle_; }
    void setSelectionHighlightStyle(TableViewSelectionHighlightStyle style);
    bool isEmphasized() const { return emphasized_; }
    void setEmphasized(bool emphasized);
    graphics::ColorRef backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(graphics::ColorRef color);

    // The cell view of a column (index among the table's columns), or null.
    std::shared_ptr<View> viewAtColumn(int column) const;

    // Before the table shows the view for another row, having taken out its cell views; the base
    // does nothing.
    virtual void prepareForReuse() {}

    // Drawing steps, in this order: the background, the selection over the row's bounds (only when
    // selected and the highlight style is not none), the separator (when the table draws horizontal
    // grid lines).
    virtual void drawBackground(const graphics::Rect& dirtyRect);
    virtual void drawSelection(const graphics::Rect& dirtyRect);
    virtual void drawSeparator(const graphics::Rect& dirtyRect);

    bool isFlipped() const override { return true; }
    void draw(const graphics::Rect& dirtyRect) override;

private:
    friend class TableView;
    bool selected_ = false;
    bool emphasized_ = true;
    bool drawsSeparator_ = false;
    TableViewSelectionHighlightStyle highlightStyle_ = TableViewSelectionHighlightStyle::regular;
    graphics::ColorRef backgroundColor_;
    std::vector<std::shared_ptr<View>> cells_;       // by column index; null for hidden columns
    std::vector<std::shared_ptr<View>> accessories_; // views the table added beside the cells
};

// A cell view: an object value and, usually, a text field showing it.
class TableCellView : public View {
public:
    explicit TableCellView(const graphics::Rect& frame = {});

    std::shared_ptr<TextField> textField() const { return textField_; }
    void setTextField(std::shared_ptr<TextField> field) { textField_ = std::move(field); }
    const std::any& objectValue() const { return objectValue_; }
    virtual void setObjectValue(std::any value);
    // Before the table hands the view out again from its reuse queue; the base does nothing.
    virtual void prepareForReuse() {}

private:
    std::shared_ptr<TextField> textField_;
    std::any objectValue_;
};

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual int numberOfRows(TableView& tableView) = 0;
    // The value of a cell. A cell view that the delegate makes through makeViewWithIdentifier gets it
    // as its objectValue before the delegate fills the view in; the table shows it in a label when the
    // delegate makes no view. A view the delegate makes otherwise is shown as the delegate left it.
    virtual std::any objectValue(TableView& tableView, TableColumn* column, int row);
};

class TableViewDelegate {
public:
    virtual ~TableViewDelegate() = default;
    // The cell view of a column in a row. Null: the table shows the data source's value in a label.
    virtual std::shared_ptr<View> viewFor(TableView& tableView, TableColumn* column, int row);
    // The row view of a row; null gives a plain TableRowView.
    virtual std::shared_ptr<TableRowView> rowViewForRow(TableView& tableView, int row);
    // A row's height; zero or less (or not a finite number) uses the table's rowHeight.
    virtual double heightOfRow(TableView& tableView, int row);
    virtual bool shouldSelectRow(TableView& tableView, int row);
    virtual void tableViewSelectionDidChange(TableView& tableView);
    virtual void didClickTableColumn(TableView& tableView, TableColumn& column);
};

class TableView : public Control {
public:
    static constexpr const char* selectionDidChangeNotification = "NSTableViewSelectionDidChangeNotification";

    explicit TableView(const graphics::Rect& frame = {});
    ~TableView() override;

    // Columns.
    const std::vector<std::shared_ptr<TableColumn>>& tableColumns() const { return columns_; }
    int numberOfColumns() const { return static_cast<int>(columns_.size()); }
    void addTableColumn(const std::shared_ptr<TableColumn>& column);
    void removeTableColumn(const std::shared_ptr<TableColumn>& column);
    std::shared_ptr<TableColumn> tableColumnWithIdentifier(const std::string& identifier) const;
    int columnWithIdentifier(const std::string& identifier) const;
    std::shared_ptr<TableHeaderView> headerView() const { return headerView_; }
    void setHeaderView(std::shared_ptr<TableHeaderView> header);

    // Data source and delegate, held weakly.
    std::shared_ptr<TableViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(const std::shared_ptr<TableViewDataSource>& source);
    std::shared_ptr<TableViewDelegate> tableDelegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<TableViewDelegate>& delegate);

    // Rows. reloadData asks the data source again and rebuilds every row view; rows past the new
    // end leave the selection. Asked for while the delegate makes a row's views, the row count changes
    // at once and the row views are rebuilt in a pass of their own after the pass that builds that row
    // (so are column changes). A pass builds each visible row once, so the table shows whole rows
    // after every pass; after maxRowPassesPerTurn passes in a row the next one waits for the next turn
    // of the main queue, so a delegate that reloads on every build does not hold the run loop.
    static constexpr int maxRowPassesPerTurn = 64;
    int numberOfRows() const { return numberOfRows_; }
    void reloadData();
    // Rebuilds the cell views of these rows (all columns).
    void reloadDataForRowIndexes(const core::IndexSet& rows);
    void noteNumberOfRowsChanged() { reloadData(); }
    // Heights that are not finite positive numbers are refused (the last one stays).
    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double height);

    // Geometry (table coordinates).
    graphics::Rect rectOfRow(int row) const;
    graphics::Rect rectOfColumn(int column) const;
    // Where a cell view sits; the outline indents its outline column.
    virtual graphics::Rect frameOfCellAtColumn(int column, int row) const;
    // A point outside every row (or not made of finite numbers) is in row -1.
    int rowAtPoint(const graphics::Point& point) const;
    int columnAtPoint(const graphics::Point& point) const;
    // The rows that intersect rect.
    core::IndexSet::Range rowsInRect(const graphics::Rect& rect) const;

    // Views of the visible rows; with makeIfNecessary a row outside the visible range gets its views.
    std::shared_ptr<TableRowView> rowViewAtRow(int row, bool makeIfNecessary);
    std::shared_ptr<View> viewAtColumn(int column, int row, bool makeIfNecessary);
    // The row or column of a view inside a row view (the row view itself included), or -1.
    int rowForView(const View& view) const;
    int columnForView(const View& view) const;
    // A view for an identifier: one the table took out of a row that left the screen, after its
    // prepareForReuse, else a new one from the registered factory (null without one). Delegates call it
    // to make cell and row views; subclasses customise what it makes. Views that leave the screen go
    // back to the reuse queue of their identifier (those without an identifier are let go).
    virtual std::shared_ptr<View> makeViewWithIdentifier(const std::string& identifier,
                                                         const std::shared_ptr<Object>& owner);
    void registerViewFactory(const std::string& identifier, std::function<std::shared_ptr<View>()> factory);
    // The identifier of the row views the table makes itself, and of its label cells.
    static constexpr const char* rowViewKey = "NSTableViewRowViewKey";
    static constexpr const char* valueCellKey = "NSTableViewValueCellKey";
    // How many views wait in the reuse queues.
    std::size_t reusableViewCount() const;

    // Selection.
    const core::IndexSet& selectedRowIndexes() const { return selection_; }
    // The last row selected (by click, key or code), or -1 when nothing is selected.
    int selectedRow() const;
    int numberOfSelectedRows() const { return static_cast<int>(selection_.count()); }
    bool isRowSelected(int row) const { return selection_.contains(row); }
    // Rows outside the table are ignored; a table without multiple selection keeps only the last row.
    void selectRowIndexes(const core::IndexSet& rows, bool byExtendingSelection);
    void deselectRow(int row);
    void deselectAll(const std::shared_ptr<Object>& sender = nullptr);
    void selectAll(const std::shared_ptr<Object>& sender = nullptr);
    bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
    void setAllowsMultipleSelection(bool flag) { allowsMultipleSelection_ = flag; }
    bool allowsEmptySelection() const { return allowsEmptySelection_; }
    void setAllowsEmptySelection(bool flag) { allowsEmptySelection_ = flag; }
    TableViewSelectionHighlightStyle selectionHighlightStyle() const { return highlightStyle_; }
    void setSelectionHighlightStyle(TableViewSelectionHighlightStyle style);

    // The row and column of the last click (mouse or context menu), -1 when it was not on one.
    int clickedRow() const { return clickedRow_; }
    int clickedColumn() const { return clickedColumn_; }
    // Sent to the target on a double click (the action goes on a single click).
    const Selector& doubleAction() const { return doubleAction_; }
    void setDoubleAction(Selector action) { doubleAction_ = std::move(action); }

    // Looks.
    graphics::ColorRef backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(graphics::ColorRef color);
    bool usesAlternatingRowBackgroundColors() const { return alternatingRows_; }
    void setUsesAlternatingRowBackgroundColors(bool flag);
    unsigned gridStyleMask() const { return gridStyleMask_; }
    void setGridStyleMask(unsigned mask);
    graphics::ColorRef gridColor() const { return gridColor_; }
    void setGridColor(graphics::ColorRef color);

    // Scrolls the enclosing clip view so the row is visible.
    void scrollRowToVisible(int row);
    // Sizes the table to its rows and columns (at least the clip view's size) and the header to its
    // columns.
    void tile();

    // Drawing hooks: the background of the area (with alternating rows when asked), then the grid.
    virtual void drawBackgroundInClipRect(const graphics::Rect& clipRect);
    virtual void drawGridInClipRect(const graphics::Rect& clipRect);

    void draw(const graphics::Rect& dirtyRect) override;
    void layout() override;
    bool acceptsFirstResponder() const override { return isEnabled(); }
    // Click: select the row (Shift extends from the anchor, Command or Control toggles), drag extends;
    // the action goes on the up, the double action on a double click.
    void mouseDown(const Event& event) override;
    void mouseDragged(const Event& event) override;
    void mouseUp(const Event& event) override;
    // Up and down arrows move the selection (Shift extends), Home and End go to the ends.
    void keyDown(const Event& event) override;
    // Notes the clicked row and column of a secondary click, then the view's menu.
    std::shared_ptr<Menu> menuForEvent(const Event& event) override;

protected:
    // The model behind the rows; an outline answers from its items.
    virtual int numberOfRowsFromDataSource();
    virtual std::shared_ptr<View> makeCellView(TableColumn* column, int row);
    virtual std::shared_ptr<TableRowView> makeRowView(int row);
    virtual double heightOfRowFromDelegate(int row);
    virtual bool delegateShouldSelectRow(int row);
    virtual void notifySelectionDidChange();
    // A row view was made and filled with its cell views.
    virtual void didAddRowView(TableRowView& rowView, int row);
    // Adds a view of the table's own (an outline's disclosure button) to a row; it goes back to its
    // reuse queue with the row's cell views.
    void addAccessoryView(TableRowView& rowView, const std::shared_ptr<View>& view);
    // Places the row's cell views in it (after column or geometry changes).
    virtual void layoutRowView(TableRowView& rowView, int row);
    // Selection by the user: respects the delegate, allowsEmptySelection and allowsMultipleSelection.
    void userSelect(const core::IndexSet& rows, int anchor);
    // Replaces the selection after the rows changed under it, telling the delegate only when asked.
    void restoreSelection(core::IndexSet rows, bool notify);
    const std::map<int, std::shared_ptr<TableRowView>>& rowViews() const { return rowViews_; }
    // The cell view of a cell: the delegate's (made by makeView, which runs the delegate), or without
    // one a label cell showing the value. While makeView runs, cell views made through
    // makeViewWithIdentifier get the value first.
    std::shared_ptr<View> cellViewWithValue(const std::function<std::shared_ptr<View>()>& makeView,
                                            std::any value);

private:
    void computeRowOffsets();
    // Brings the visible rows up to date: at once, or once the builds and the pass under way end.
    void updateVisibleRowViews();
    // Runs passes while a row build or a pass asked for another, up to maxRowPassesPerTurn at a time.
    void runRowPasses();
    // One pass: drops the rows out of view and builds or lays out each visible row once.
    void visibleRowPass();
    void buildRowView(int row);
    void applySelection(core::IndexSet rows, int last);
    void dropRowView(int row);
    // Drops every row view, or while a row is being built marks them to be built again once it ends.
    void dropAllRowViews();
    void enqueueReusableView(std::shared_ptr<View> view);
    graphics::Point localPoint(const Event& event) const;
    core::IndexSet rangeBetween(int a, int b) const;

    std::vector<std::shared_ptr<TableColumn>> columns_;
    std::shared_ptr<TableHeaderView> headerView_;
    std::weak_ptr<TableViewDataSource> dataSource_;
    std::weak_ptr<TableViewDelegate> delegate_;
    std::map<std::string, std::function<std::shared_ptr<View>()>> factories_;
    std::map<std::string, std::vector<std::shared_ptr<View>>> reuseQueues_;
    const std::any* pendingCellValue_ = nullptr; // the value of the cell whose view is being made
    int numberOfRows_ = 0;
    double rowHeight_ = 20;
    std::vector<double> rowOffsets_{0}; // top of each row, and the end
    std::map<int, std::shared_ptr<TableRowView>> rowViews_;
    // Row builds under way (a delegate may build another row), and what was asked for meanwhile: every
    // row view built again, or the visible rows brought up to date; done in the passes that follow.
    int buildingRows_ = 0;
    bool rowViewsStale_ = false;
    bool visibleRowsPending_ = false;
    bool runningRowPasses_ = false;
    bool rowPassesPosted_ = false; // the next passes wait for the main queue
    core::IndexSet selection_;
    int lastSelectedRow_ = -1;
    int anchorRow_ = -1;
    bool allowsMultipleSelection_ = false;
    bool allowsEmptySelection_ = true;
    TableViewSelectionHighlightStyle highlightStyle_ = TableViewSelectionHighlightStyle::regular;
    int clickedRow_ = -1;
    int clickedColumn_ = -1;
    bool draggingSelection_ = false;
    Selector doubleAction_;
    graphics::ColorRef backgroundColor_;
    bool alternatingRows_ = false;
    unsigned gridStyleMask_ = TableViewGridLineStyle::none;
    graphics::ColorRef gridColor_;
};

} // namespace ui
