#pragma once

// The library's text field and its cell: fonts, colours, bezel image, padding, placeholder and focus
// ring come from a TextFieldCellStyle looked up by the cell's control state. The field adds alignment
// insets, baselines and an intrinsic size that respects the bezel image; the cell draws and prepares
// the field editor. Labels, validating and width-resizing fields derive from the pair, changing their
// look by their cell's style. Main thread only.

#include "Vimbra/FieldsAndComponents/FirstResponderAwareTextField.hpp"
#include "Vimbra/Protocols.hpp"
#include "Vimbra/Style.hpp"
#include "ui/TextField.hpp"

#include <memory>
#include <string>

namespace vimbra {

class StyledTextFieldCell : public ui::TextFieldCell,
                            public StyledControl,
                            public StyledView<TextFieldCellStyle>,
                            public Selectable {
public:
    explicit StyledTextFieldCell(std::string text = {});

    // The shared style of this class, made on first use.
    static std::shared_ptr<TextFieldCellStyle> sharedStyle();
    // The style of the cell's class; subclasses answer their own.
    std::shared_ptr<TextFieldCellStyle> style() const override { return sharedStyle(); }
    // The generic styled cell rule: selected from isSelected, invalid from a Validating cell.
    StyledControlState controlState() const override;

    bool isSelected() const override { return selected_; }
    void setSelected(bool selected) override { selected_ = selected; }
    bool verticallyCenter() const { return verticallyCenter_; }
    void setVerticallyCenter(bool flag) { verticallyCenter_ = flag; }
    // True only while the toolkit's edit or select call runs.
    bool isBeingEdited() const { return beingEdited_; }
    bool isBeingSelected() const { return beingSelected_; }

    // Font, text colour, background colour and background style from the style for the current state.
    virtual void applyStyle();
    // The string in the cell's font (else the style's), the colour (else the style's text colour for the
    // state), the cell's alignment and line breaking, without tightening.
    virtual graphics::AttributedString attributedString(const std::string& string,
                                                        const graphics::ColorRef& textColor) const;

    // Recolours the text for the new background (a table row's selection).
    void setBackgroundStyle(ui::BackgroundStyle style) override;
    ui::BackgroundStyle interiorBackgroundStyle() const override;

    // Bezeled or bordered: the bounds less the style's padding, made integral; unchanged while editing.
    graphics::Rect drawingRectForBounds(const graphics::Rect& bounds) const override;
    // Centred vertically on one line of the text when verticallyCenter is set.
    graphics::Rect titleRectForBounds(const graphics::Rect& bounds) const override;
    // The text on one line plus what the drawing rect takes off the bounds, and the two points the
    // text is drawn right of its title rect in a bezeled or bordered cell.
    graphics::Size cellSizeForBounds(const graphics::Rect& bounds) const override;

    // The bezel image for the state (or the background colour), the focus ring while the control has
    // keyboard focus in the key window, then the interior.
    void drawWithFrame(const graphics::Rect& frame, ui::View& controlView) override;
    // The value, else the placeholder in "Grey 50%"; nothing while the field editor shows the text.
    void drawInteriorWithFrame(const graphics::Rect& frame, ui::View& controlView) override;
    // The window's own ring is not drawn: the cell draws the library's.
    void drawFocusRingMaskWithFrame(const graphics::Rect&, ui::View&) override {}

    // Editing and selecting give the field editor the rect the interior draws the text in (the title
    // rect moved as drawInteriorWithFrame moves it), so the text does not move when the field takes focus.
    void editWithFrame(const graphics::Rect& rect, ui::View& controlView,
                       const std::shared_ptr<ui::Text>& editor, const std::shared_ptr<ui::Object>& delegate,
                       const ui::Event* event) override;
    void selectWithFrame(const graphics::Rect& rect, ui::View& controlView,
                         const std::shared_ptr<ui::Text>& editor, const std::shared_ptr<ui::Object>& delegate,
                         std::size_t start, std::size_t length) override;
    // The style's font and colours, its caret and selection colours, no background.
    std::shared_ptr<ui::Text> setUpFieldEditorAttributes(const std::shared_ptr<ui::Text>& editor) override;

private:
    bool selected_ = false;
    bool verticallyCenter_ = true;
    bool beingEdited_ = false;
    bool beingSelected_ = false;
};

class StyledTextField : public FirstResponderAwareTextField, public Selectable {
public:
    // An editable, selectable, bezeled field that draws its background.
    explicit StyledTextField(const graphics::Rect& frame = {}, double verticalInset = 0);

    // Top and bottom alignment inset of a bezeled or bordered field.
    double verticalInset() const { return verticalInset_; }
    void setVerticalInset(double inset) { verticalInset_ = inset; }
    // Copied into the cell; the field is redrawn.
    bool verticallyCenter() const { return verticallyCenter_; }
    void setVerticallyCenter(bool flag);
    // The cell's selection; writing it does not redraw.
    bool isSelected() const override;
    void setSelected(bool selected) override;

    std::shared_ptr<StyledTextFieldCell> styledCell() const;
    // Takes only styled text field cells; any other stops the process.
    void setCell(std::shared_ptr<ui::Cell> cell) override;

    graphics::EdgeInsets alignmentRectInsets() const override;
    double firstBaselineOffsetFromTop() const override;
    double lastBaselineOffsetFromBottom() const override;
    graphics::Size intrinsicContentSize() const override;

protected:
    // For subclasses with cells of their own (made before the field, so the cell is never plain).
    StyledTextField(const graphics::Rect& frame, std::shared_ptr<StyledTextFieldCell> cell);
    // Whether a cell may be the field's: a StyledTextFieldCell here; subclasses narrow it.
    virtual bool acceptsCell(const ui::Cell& cell) const;

private:
    double verticalInset_ = 0;
    bool verticallyCenter_ = true;
};

} // namespace vimbra
