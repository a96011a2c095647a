#pragma once

// The library's labels: a general label and the labels of table rows and group rows, each a styled text
// field with a cell and a shared style of its own. The table labels are as wide as their text. Labels
// report their style's alignment insets. Main thread only.

#include "Vimbra/FieldsAndComponents/StyledTextField.hpp"
#include "Vimbra/FieldsAndComponents/ValidatingTextFields.hpp"

#include <algorithm>
#include <memory>
#include <string>

namespace vimbra {

// Cells of the three labels; each draws from its class's shared style.
class StyledTextLabelCell : public StyledTextFieldCell {
public:
    explicit StyledTextLabelCell(std::string text = {});
    // "Grey 60%", disabled "Grey 30%", the system font of 10 points; no padding and no bezel images.
    static std::shared_ptr<TextFieldCellStyle> sharedStyle();
    std::shared_ptr<TextFieldCellStyle> style() const override { return sharedStyle(); }
};

class StyledTableRowLabelCell : public StyledTextFieldCell {
public:
    explicit StyledTableRowLabelCell(std::string text = {});
    // "Grey 70%" in the monospaced-digit system font of 10 points (medium when selected).
    static std::shared_ptr<TextFieldCellStyle> sharedStyle();
    std::shared_ptr<TextFieldCellStyle> style() const override { return sharedStyle(); }
};

class StyledTableGroupRowLabelCell : public StyledTextFieldCell {
public:
    explicit StyledTableGroupRowLabelCell(std::string text = {});
    // "Grey 50%" in the system font of 10 points (medium when selected).
    static std::shared_ptr<TextFieldCellStyle> sharedStyle();
    std::shared_ptr<TextFieldCellStyle> style() const override { return sharedStyle(); }
};

// A label over a field class Base with its own cell class Cell.
template <class Base, class Cell> class StyledLabel : public Base {
public:
    explicit StyledLabel(const graphics::Rect& frame = {}) : Base(frame, std::make_shared<Cell>()) {}

    // With its own cell: the style's insets, bezeled or not.
    graphics::EdgeInsets alignmentRectInsets() const override {
        if (ownCell()) {
            return Cell::sharedStyle()->alignmentRectInsets;
        }
        return Base::alignmentRectInsets();
    }

    // A bezeled label with a bezel image for its state is at least the image's size, less its insets.
    graphics::Size intrinsicContentSize() const override {
        graphics::Size size = Base::intrinsicContentSize();
        auto cell = ownCell();
        if (!this->isBezeled() || !cell) {
            return size;
        }
        if (auto image = cell->style()->bezelImageFor(cell->controlState())) {
            const auto insets = alignmentRectInsets();
            size.width = std::max(size.width, image->size().width) - (insets.left + insets.right);
            size.height = std::max(size.height, image->size().height) - (insets.top + insets.bottom);
        }
        return size;
    }

protected:
    bool acceptsCell(const ui::Cell& cell) const override {
        return dynamic_cast<const Cell*>(&cell) != nullptr;
    }

private:
    std::shared_ptr<Cell> ownCell() const { return std::dynamic_pointer_cast<Cell>(this->cell()); }
};

class StyledTextLabel : public StyledLabel<StyledTextField, StyledTextLabelCell> {
public:
    using StyledLabel::StyledLabel;
};

class StyledTableRowLabel : public StyledLabel<WidthResizingTextField, StyledTableRowLabelCell> {
public:
    using StyledLabel::StyledLabel;
};

class StyledTableGroupRowLabel : public StyledLabel<WidthResizingTextField, StyledTableGroupRowLabelCell> {
public:
    using StyledLabel::StyledLabel;
};

} // namespace vimbra
