#pragma once

// The library's pop-up button and its cell: the closed control is one state image of the cell's class
// style (no toolkit bezel or arrows), the selected item's title in a fixed small font, optionally after a
// label in the secondary label colour, and a focus ring of the control's own. The tool-bar variant uses
// a compact tool bezel. The menu, its selection and the actions are the toolkit pop-up's. Main thread
// only: constructing, drawing, measuring and setting the title or label elsewhere stops the process.

#include "Vimbra/Protocols.hpp"
#include "Vimbra/Style.hpp"
#include "ui/PopUpButton.hpp"

#include <memory>
#include <optional>
#include <string>

namespace vimbra {

// A title after an optional label, as the pop-up cells draw it: left-aligned, truncated at the tail, at
// 10 points. Without a label or a label colour, the title alone in regular weight in textColor (the
// fallback colour when null). Otherwise the label in regular weight in the label colour, then a space
// and the title in medium weight in the text colour; an empty label still takes this form.
graphics::AttributedString labelledPopUpTitle(const std::string& title, const graphics::ColorRef& textColor,
                                              const std::optional<std::string>& label,
                                              const graphics::ColorRef& labelColor,
                                              const graphics::ColorRef& fallbackColor);

class StyledPopUpButtonCell : public ui::PopUpButtonCell,
                              public StyledControl,
                              public StyledView<PopUpButtonCellStyle> {
public:
    explicit StyledPopUpButtonCell(std::string title = {}, bool pullsDown = false);

    // The shared pop-up style, made on first use; style() answers the style of the cell's class.
    static std::shared_ptr<PopUpButtonCellStyle> sharedStyle();
    std::shared_ptr<PopUpButtonCellStyle> style() const override { return sharedStyle(); }

    // Drawn in front of the title. A non-empty label hides the item's image.
    const std::optional<std::string>& label() const { return label_; }
    void setLabel(std::optional<std::string> label);

    // The base from the state (on or mixed only while the cell shows its state), + disabled, + highlighted
    // while enabled; never selected, focused or invalid.
    StyledControlState controlState() const override;
    ui::BackgroundStyle interiorBackgroundStyle() const override;

    // Zero for an image-only cell or an empty title; otherwise 14 points high at x 10, centred on the
    // bounds' middle and 24 points narrower than them.
    graphics::Rect titleRectForBounds(const graphics::Rect& bounds) const override;
    void drawImageWithFrame(const graphics::Rect& frame, ui::View& controlView) override;
    // The state image of the class style, tinted when a template, at half strength when disabled.
    void drawBezelWithFrame(const graphics::Rect& frame, ui::View& controlView) override;
    // The labelled title in the style's colour for the state, drawn into frame (zero and nothing for an
    // image-only cell or an empty title).
    graphics::Rect drawTitle(const graphics::AttributedString& title, const graphics::Rect& frame,
                             ui::View& controlView) override;
    // The toolkit's highlight, then the flag and a redraw at once.
    void highlight(bool flag, const graphics::Rect& frame, ui::View& controlView) override;

    graphics::AttributedString labelledTitle(const std::string& title, const graphics::ColorRef& textColor,
                                             const std::optional<std::string>& label,
                                             const graphics::ColorRef& labelColor) const;

private:
    std::optional<std::string> label_;
};

class StyledPopUpButton : public ui::PopUpButton {
public:
    // Items in the 11-point menu font; the closed control draws its title at 10 points.
    StyledPopUpButton(const graphics::Rect& frame, bool pullsDown, std::optional<double> fixedWidth);

    // Replaces the toolkit's intrinsic width (callers that change it invalidate the size themselves).
    std::optional<double> fixedWidth() const { return fixedWidth_; }
    void setFixedWidth(std::optional<double> width);
    // Also the cell's, when it is a styled pop-up cell; nothing is redrawn.
    const std::optional<std::string>& label() const { return label_; }
    void setLabel(std::optional<std::string> label);
    // The toolkit's title setter, on the main thread only.
    void setTitle(const std::string& title);

    // Those of the plain pop-up style whatever the styled cell's class; a foreign cell: the toolkit's.
    graphics::EdgeInsets alignmentRectInsets() const override;
    // fixedWidth for the width; bordered with a bezel image for the state: at least the image's width,
    // its height, both less the alignment insets.
    graphics::Size intrinsicContentSize() const override;
    graphics::Rect focusRingMaskBounds() const override { return bounds(); }
    void drawFocusRingMask() override {}
    void draw(const graphics::Rect& dirtyRect) override;

protected:
    StyledPopUpButton(const graphics::Rect& frame, bool pullsDown, std::optional<double> fixedWidth,
                      std::shared_ptr<StyledPopUpButtonCell> cell);
    std::shared_ptr<StyledPopUpButtonCell> styledCell() const;

private:
    std::optional<double> fixedWidth_;
    std::optional<std::string> label_;
};

// The tool-bar pop-up: the same behaviour through the tool style (compact bezel, no alignment insets).
class ToolPopUpButtonCell : public StyledPopUpButtonCell {
public:
    using StyledPopUpButtonCell::StyledPopUpButtonCell;

    static std::shared_ptr<ToolPopUpButtonCellStyle> sharedToolStyle();
    std::shared_ptr<PopUpButtonCellStyle> style() const override { return sharedToolStyle(); }
};

class ToolPopUpButton : public StyledPopUpButton {
public:
    ToolPopUpButton(const graphics::Rect& frame, bool pullsDown, std::optional<double> fixedWidth);

    // The tool style's (zero) for a tool cell, else the styled pop-up's.
    graphics::EdgeInsets alignmentRectInsets() const override;
    // Never narrower than the tool bezel and exactly as tall.
    graphics::Size intrinsicContentSize() const override;
};

} // namespace vimbra
