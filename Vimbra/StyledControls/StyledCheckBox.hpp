#pragma once

// The library's check box: a styled button whose cell draws a 16-point state image from the check-box
// style at the leading edge, then the title, and that a click moves only between off and on (mixed
// goes to on). Its focus ring surrounds the state image. Main thread only.

#include "Vimbra/StyledControls/StyledButton.hpp"

namespace vimbra {

class StyledCheckBoxCell : public StyledButtonCell {
public:
    explicit StyledCheckBoxCell(std::string title = {});
    explicit StyledCheckBoxCell(graphics::ImageRef image);

    static std::shared_ptr<CheckBoxCellStyle> sharedCheckBoxStyle();
    std::shared_ptr<ButtonCellStyle> style() const override { return sharedCheckBoxStyle(); }

    // The state image's size.
    virtual graphics::Size imageSize() const { return {16, 16}; }

    // Off when on; on from off and from mixed.
    int nextState() const override;

    // The state image: imageSize, centred vertically on the drawing rect, at x -2 whatever the origin.
    graphics::Rect imageRectForBounds(const graphics::Rect& bounds) const override;
    // The title at its own size, starting imageSize().width in; centred vertically when asked, else at y 0.
    graphics::Rect titleRectForBounds(const graphics::Rect& bounds) const override;
    // The state image's rect: the check box's ring surrounds the box only.
    graphics::Rect focusRingMaskBoundsForFrame(const graphics::Rect& frame,
                                               ui::View& controlView) const override;

    // The state image (the cell has no image of its own), then the title.
    void drawInteriorWithFrame(const graphics::Rect& frame, ui::View& controlView) override;
    // Ignores the image given: draws the style's image for the state, tinted, upright.
    void drawImage(const graphics::ImageRef& image, const graphics::Rect& frame,
                   ui::View& controlView) override;

private:
    void configure();

    double xOffset_ = -2;
};

class StyledCheckBox : public StyledButton {
public:
    explicit StyledCheckBox(const graphics::Rect& frame = {});

    // The box and the focus ring around it start left of the bounds (the image's x offset): that part
    // is drawn and redrawn with the rest.
    graphics::EdgeInsets paintOverhang() const override;

protected:
    // For subclasses with check-box cells of their own; borderless like the plain check box.
    StyledCheckBox(const graphics::Rect& frame, std::shared_ptr<StyledCheckBoxCell> cell);
};

} // namespace vimbra
