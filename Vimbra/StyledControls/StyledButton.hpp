#pragma once

// The library's base push button and its cell: every look (bezel, image, title) is drawn from the cell's
// class style by control state, AppKit's own highlighting is off, and the button draws its own focus
// ring. The check box, the tool button and the special-purpose buttons derive from these. Also the
// drawing helpers the styled button cells share. Main thread only.

#include "Vimbra/Protocols.hpp"
#include "Vimbra/Style.hpp"
#include "ui/Button.hpp"

#include <memory>
#include <optional>
#include <string>

namespace vimbra {

// The library's inset: x + left, y + bottom, width - (left + right), height - (top + bottom), integral.
graphics::Rect insetRect(const graphics::Rect& rect, const graphics::EdgeInsets& insets);

// Mirrors the current context's y axis about the rect's own horizontal middle line (translate by
// 2 minY + height, scale y by -1), so the rect maps onto itself: an image drawn unflipped into it in a
// flipped view shows upright, wherever the rect starts. Nothing without a current context.
void flipAboutMiddle(const graphics::Rect& rect);

// Where an image of size s goes in frame for an image scaling: at its own size at the frame's origin
// (proportional scalings), the whole frame (axes independently), or centred with whole-point offsets
// (none). Stops the process with "Unhandled image scaling value" for anything else.
graphics::Rect styledImageRect(graphics::Size s, const graphics::Rect& frame, ui::ImageScaling scaling);

// The styled cells' image drawing: in a saved state, flipped about the frame when the view is flipped,
// the image (not tinted) at styledImageRect, at half strength while highlighted or disabled.
void drawStyledImage(const ui::ButtonCell& cell, const graphics::ImageRef& image, const graphics::Rect& frame,
                     const ui::View& controlView);

// A bezel image drawn into target (a rect within frame) in a saved state, with the context flipped
// about frame when the view is flipped, tinted with the control text colour when it is a template, at
// half strength when disabled.
void drawStyledBezel(const graphics::ImageRef& image, const graphics::Rect& frame,
                     const graphics::Rect& target, bool enabled, const ui::View& controlView);

// The styled cells' image rect: bounds inset by insets for an image-only cell; otherwise the toolkit's
// image rect within that, centred vertically on the whole bounds and made integral.
graphics::Rect styledImageRectForBounds(const ui::ButtonCell& cell, const graphics::Rect& bounds,
                                        const graphics::EdgeInsets& insets);

// The styled cells' focus ring mask: the frame of a bordered or bezeled cell, else its drawing rect.
graphics::Rect styledFocusRingMaskBounds(const ui::ButtonCell& cell, const graphics::Rect& frame);

// The selection flag of a button's cell when the cell is a Cell (or a subclass), else false.
template <class Cell> bool isCellSelected(const ui::Button& button) {
    auto cell = std::dynamic_pointer_cast<Cell>(button.cell());
    return cell && cell->isSelected();
}

// Writes the selection flag of a button's cell when the cell is a Cell (or a subclass; others ignore
// it), then always redraws the button.
template <class Cell> void setCellSelected(ui::Button& button, bool selected) {
    if (auto cell = std::dynamic_pointer_cast<Cell>(button.cell())) {
        cell->setSelected(selected);
    }
    button.setNeedsDisplay(true);
}

// A title centred and truncated at the tail, in font and colour.
graphics::AttributedString styledTitle(const std::string& title, const graphics::FontRef& font,
                                       const graphics::ColorRef& color);

// The controls' focus ring: while the view is first responder in the key window, a rounded rectangle
// (radius 3) over mask inset by 1, filled with colour at 30 % and stroked 2 points wide with it.
void drawControlFocusRing(const ui::View& view, const graphics::Rect& mask, const graphics::ColorRef& color);

class StyledButtonCell : public ui::ButtonCell,
                         public StyledControl,
                         public StyledView<ButtonCellStyle>,
                         public Selectable {
public:
    explicit StyledButtonCell(std::string title = {});
    explicit StyledButtonCell(graphics::ImageRef image);

    // The shared default style of this class, made on first use.
    static std::shared_ptr<ButtonCellStyle> sharedStyle();
    // The style of the cell's class; subclasses answer their own shared style.
    std::shared_ptr<ButtonCellStyle> style() const override { return sharedStyle(); }

    StyledControlState controlState() const override;
    bool isSelected() const override { return selected_; }
    void setSelected(bool selected) override { selected_ = selected; }
    bool verticallyCenterTitle() const { return verticallyCenterTitle_; }
    void setVerticallyCenterTitle(bool flag) { verticallyCenterTitle_ = flag; }

    // The title in the style's font, in color (the style's text colour when null), centred and
    // truncated at the tail. The control size is not used.
    virtual graphics::AttributedString attributedTitleString(const std::string& title, ui::ControlSize size,
                                                             const graphics::ColorRef& color) const;

    graphics::Rect drawingRectForBounds(const graphics::Rect& bounds) const override;
    graphics::Rect imageRectForBounds(const graphics::Rect& bounds) const override;
    graphics::Rect titleRectForBounds(const graphics::Rect& bounds) const override;
    graphics::Rect focusRingMaskBoundsForFrame(const graphics::Rect& frame,
                                               ui::View& controlView) const override;
    // Nothing: the button draws its own ring.
    void drawFocusRingMaskWithFrame(const graphics::Rect&, ui::View&) override {}

    void drawWithFrame(const graphics::Rect& frame, ui::View& controlView) override;
    void drawBezelWithFrame(const graphics::Rect& frame, ui::View& controlView) override;
    void drawImage(const graphics::ImageRef& image, const graphics::Rect& frame,
                   ui::View& controlView) override;
    graphics::Rect drawTitle(const graphics::AttributedString& title, const graphics::Rect& frame,
                             ui::View& controlView) override;

private:
    bool selected_ = false;
    bool verticallyCenterTitle_ = true;
};

class StyledButton : public ui::Button, public Selectable {
public:
    explicit StyledButton(const graphics::Rect& frame = {}, std::optional<double> fixedWidth = std::nullopt);

    // The width intrinsicContentSize reports (callers that change it invalidate the size themselves).
    std::optional<double> fixedWidth() const { return fixedWidth_; }
    void setFixedWidth(std::optional<double> width) { fixedWidth_ = width; }

    // The cell's selection flag (false for a cell of another class, which also ignores the write); a
    // write always redraws.
    bool isSelected() const override;
    void setSelected(bool selected) override;

    // Those of the plain styled button cell's style, whatever class the cell is.
    graphics::EdgeInsets alignmentRectInsets() const override;
    graphics::Size intrinsicContentSize() const override;
    // Nothing: the ring is the button's own, drawn by draw().
    void drawFocusRingMask() override {}
    void draw(const graphics::Rect& dirtyRect) override;

protected:
    // For subclasses with cells of their own; runs this class's setupButton.
    StyledButton(const graphics::Rect& frame, std::shared_ptr<ui::ButtonCell> cell);
    // Switches AppKit's highlighting off on a styled cell. Subclasses replace it and run their own from
    // their constructors.
    virtual void setupButton();
    std::shared_ptr<StyledButtonCell> styledCell() const;

private:
    std::optional<double> fixedWidth_;
};

} // namespace vimbra
