#pragma once

// The library's combo box for numeric choices: the cell draws the field and the list arrow from two
// template images of the catalogue, tinted in the control text colour, lays the text out with the
// shared combo-box style's insets and knows whether the list is open; choosing a number from the list
// writes it into the box and sends the box's action. The box draws its own focus ring around the field
// part. Main thread only.

#include "Vimbra/Protocols.hpp"
#include "Vimbra/Style.hpp"
#include "core/Cancellable.hpp"
#include "ui/ComboBox.hpp"

#include <memory>
#include <string>
#include <vector>

namespace vimbra {

class StyledComboBoxCell : public ui::ComboBoxCell, public StyledControl, public StyledView<ComboBoxStyle> {
public:
    explicit StyledComboBoxCell(std::string text = {});

    // The shared style of the class, made on first use.
    static std::shared_ptr<ComboBoxStyle> sharedStyle();
    std::shared_ptr<ComboBoxStyle> style() const override { return sharedStyle(); }

    // True while the box's list is shown (the box sets it from its own notifications).
    bool isPopupOpen() const { return isPopupOpen_; }
    void setPopupOpen(bool open) { isPopupOpen_ = open; }

    // The generic styled-cell state: never selected nor invalid.
    StyledControlState controlState() const override;

    // "qel-combobox", tinted with the control text colour (made on each use).
    graphics::ImageRef fieldImage() const;
    // "qel-combobox" while the list is open, "qel-combobox-up" while it is closed, tinted likewise.
    graphics::ImageRef rightImage() const;
    // The field part of rect r: from r's left edge to the arrow, as high as the field image, at y 0.
    graphics::Rect fieldRect(const graphics::Rect& r) const;

    ui::BackgroundStyle interiorBackgroundStyle() const override;
    // Nothing: the box draws its own ring.
    void drawFocusRingMaskWithFrame(const graphics::Rect&, ui::View&) override {}

    // The arrow image's place at the trailing end, full height: a press there opens the list.
    graphics::Rect buttonRectForBounds(const graphics::Rect& bounds) const override;
    // The toolkit's title rect inset by the style's title insets, centred vertically on the bounds.
    graphics::Rect titleRectForBounds(const graphics::Rect& bounds) const override;
    // Where the field editor goes: where drawWithFrame draws the text.
    graphics::Rect drawingRectForBounds(const graphics::Rect& bounds) const override;
    // The bezel (when bordered or bezeled), then the interior inset by the style's title insets.
    void drawWithFrame(const graphics::Rect& frame, ui::View& controlView) override;
    // The value (or the placeholder) in one line centred vertically in the interior frame, clear of the
    // arrow; nothing while the field editor shows the text.
    void drawInteriorWithFrame(const graphics::Rect& frame, ui::View& controlView) override;
    // The field image over the field rect, then the arrow at the trailing end, upright in flipped views,
    // at half strength when disabled.
    void drawBezelWithFrame(const graphics::Rect& frame, ui::View& controlView);

private:
    // The line of text within an interior frame.
    graphics::Rect textRect(const graphics::Rect& interior) const;

    bool isPopupOpen_ = false;
};

class StyledComboBox : public ui::ComboBox {
public:
    explicit StyledComboBox(const graphics::Rect& frame = {});
    ~StyledComboBox() override;

    // The styled pop-up button cell's shared insets for a styled cell, else the toolkit's.
    graphics::EdgeInsets alignmentRectInsets() const override;
    // max(toolkit width, 47) and 26, less the alignment insets.
    graphics::Size intrinsicContentSize() const override;
    // The cell's field rect of the bounds for a styled cell (the arrow is left out), else the toolkit's.
    graphics::Rect focusRingMaskBounds() const override;
    // Nothing: the ring is the box's own, drawn by draw().
    void drawFocusRingMask() override {}
    void draw(const graphics::Rect& dirtyRect) override;

private:
    void willPopUp();
    void willDismiss();
    // Writes a chosen number into the box and sends the action; nothing for other items or none.
    void selectionDidChange();
    std::shared_ptr<StyledComboBoxCell> styledCell() const;

    std::vector<core::Cancellable> observers_;
};

} // namespace vimbra
