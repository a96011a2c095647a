#pragma once

// The library's table family: a table that makes its window key on a click, hands arrow keys on unless
// told otherwise and can restyle its column headers; row views that draw a run of selected rows as one
// rounded block; cell views that colour their text by selection and pass it down; columns that keep a
// header image; header cells that fill a tint and draw title and image themselves; and the header view
// base. Colours come from TableViewStyle. Main thread only.

#include "Vimbra/Protocols.hpp"
#include "Vimbra/Style.hpp"
#include "ui/Button.hpp"
#include "ui/TableView.hpp"

#include <memory>
#include <optional>
#include <string>

namespace vimbra {

class StyledTableView : public ui::TableView, public StyledControl, public StyledView<TableViewStyle> {
public:
    explicit StyledTableView(const graphics::Rect& frame = {});

    // A new style with its defaults on every call.
    static std::shared_ptr<TableViewStyle> classStyle() { return std::make_shared<TableViewStyle>(); }
    std::shared_ptr<TableViewStyle> style() const override { return classStyle(); }

    // Whether a click into the table of a window that is not key makes the window key first.
    virtual bool makeKeyOnClick() const { return makeKeyOnClick_; }
    virtual void setMakeKeyOnClick(bool flag) { makeKeyOnClick_ = flag; }
    // Whether arrow keys move the selection; otherwise key presses go to the table's superview.
    virtual bool allowKeyboardNavigation() const { return allowKeyboardNavigation_; }
    virtual void setAllowKeyboardNavigation(bool flag) { allowKeyboardNavigation_ = flag; }

    // Default, + disabled when not enabled, + highlighted whenever highlighted.
    StyledControlState controlState() const override;

    // Gives every shown column a styled header cell with its title and image, a clear background
    // drawn on a raised style, the tint, and the title in the text colour and font. Hidden columns keep
    // their cells.
    virtual void applyHeaderStyle(const graphics::ColorRef& textColor, const graphics::ColorRef& tintColor,
                                  const graphics::FontRef& font);

    // The table and the scroll view it leaves (if any) take the style's background colour.
    void viewWillMoveToSuperview(const std::shared_ptr<ui::View>& newSuperview) override;
    void mouseDown(const ui::Event& event) override;
    void keyDown(const ui::Event& event) override;

private:
    bool makeKeyOnClick_ = true;
    bool allowKeyboardNavigation_ = false;
};

class StyledTableRowView : public ui::TableRowView, public StyledControl, public Selectable {
public:
    explicit StyledTableRowView(const graphics::Rect& frame = {});

    // The identifier clients make and reuse these row views by; "StyledTableRowView" at first.
    static std::string& identifier();

    // A new style on every call; the row's style asks its class's, so subclasses replace either.
    static std::shared_ptr<TableViewStyle> classStyle() { return std::make_shared<TableViewStyle>(); }
    virtual std::shared_ptr<TableViewStyle> style() const { return classStyle(); }

    virtual double selectionHorizontalInset() const { return selectionHorizontalInset_; }
    virtual void setSelectionHorizontalInset(double inset) { selectionHorizontalInset_ = inset; }
    double selectionCornerRadius() const { return 3.0; }

    // Default | selected (5) when selected, else default.
    StyledControlState controlState() const override;

    bool isSelected() const override { return ui::TableRowView::isSelected(); }
    // Redraws and hands the selection down to the selectable views inside, two levels deep.
    void setSelected(bool selected) override;
    // A view added to a selected row starts selected.
    void didAddSubview(const std::shared_ptr<ui::View>& subview) override;

    // One block across a run of selected rows: rounded at the top of the run's first row and the bottom
    // of its last, inset by selectionHorizontalInset on both sides.
    void drawSelection(const graphics::Rect& rect) override;

private:
    double selectionHorizontalInset_ = 8.0;
};

class StyledTableCellView : public ui::TableCellView, public Selectable, public StyledView<TableViewStyle> {
public:
    explicit StyledTableCellView(const graphics::Rect& frame = {});

    // One style shared by every cell view, made on first use.
    static std::shared_ptr<TableViewStyle> sharedStyle();
    std::shared_ptr<TableViewStyle> style() const override { return sharedStyle(); }

    // Default | selected (5) when selected, else default.
    virtual StyledControlState controlState() const;

    bool isSelected() const override { return selected_; }
    // Colours the text field for the new state and hands the selection down to the selectable views
    // inside, two levels deep.
    void setSelected(bool selected) override;

    // A new value always starts from an empty text field in the state's colour.
    void setObjectValue(std::any value) override;
    void prepareForReuse() override;

    // With a text field: its minX plus its intrinsic width, less the alignment insets; no height.
    graphics::Size intrinsicContentSize() const override;

    // The first button tagged 1000 among the subviews of the cell's superview (an outline's disclosure
    // button beside the cell), or null.
    virtual std::shared_ptr<ui::Button> taggedSiblingButton() const;

private:
    bool selected_ = false;
};

// A column that keeps an image for its header cell, and an identifier string for its client.
class StyledTableColumn : public ui::TableColumn {
public:
    explicit StyledTableColumn(std::string identifier);

    graphics::ImageRef image() const { return image_; }
    void setImage(graphics::ImageRef image) { image_ = std::move(image); }
    const std::optional<std::string>& idString() const { return idString_; }
    void setIdString(std::optional<std::string> id) { idString_ = std::move(id); }

    // The header cell, given the column's image on every read (none clears the cell's).
    std::shared_ptr<ui::TableHeaderCell> headerCell() const override;
    // The new cell gets the column's image before it is stored.
    void setHeaderCell(std::shared_ptr<ui::TableHeaderCell> cell) override;

private:
    graphics::ImageRef image_;
    std::optional<std::string> idString_;
};

// A header cell that fills its frame with a tint and draws its attributed title (4 points in for the
// first column, 1 point for the others, centred on the font's height) with its image centred above it.
// A highlighted header looks the same as a plain one.
class StyledTableHeaderCell : public ui::TableHeaderCell,
                              public StyledControl,
                              public StyledView<TableViewStyle> {
public:
    StyledTableHeaderCell(std::string title, graphics::ImageRef image);

    static std::shared_ptr<TableViewStyle> sharedStyle();
    std::shared_ptr<TableViewStyle> style() const override { return sharedStyle(); }
    // Default, + disabled when not enabled, + highlighted whenever highlighted.
    StyledControlState controlState() const override;

    // The background fill; none fills nothing. The control background colour at first.
    graphics::ColorRef tintColor() const { return tintColor_; }
    void setTintColor(graphics::ColorRef color) { tintColor_ = std::move(color); }

    // A new cell with the same title, attributes, image, colours and tint.
    std::shared_ptr<StyledTableHeaderCell> copy() const;

    void drawWithFrame(const graphics::Rect& frame, ui::View& controlView) override;
    void highlight(bool flag, const graphics::Rect& frame, ui::View& controlView) override;

private:
    void drawHeader(const graphics::Rect& frame);

    graphics::ColorRef tintColor_;
};

// The base of the library's table headers.
class StyledTableHeaderView : public ui::TableHeaderView {
public:
    using TableHeaderView::TableHeaderView;

    // The headers' style, made on first use; replaceable.
    static std::shared_ptr<TableViewStyle>& style();
};

} // namespace vimbra
