#pragma once

// The library's search field: its bezel is a stretched image from the search style (with the magnifier
// drawn into it), its text and placeholder are drawn in the style's font and colours between the search
// and cancel buttons, and it draws its own focus ring. The cell draws the cancel button; the search
// button's cell stays in place for clicks but is never drawn. Main thread only.

#include "Vimbra/Protocols.hpp"
#include "Vimbra/Style.hpp"
#include "ui/SearchField.hpp"

#include <memory>
#include <optional>
#include <string>

namespace vimbra {

class StyledSearchFieldCell : public ui::SearchFieldCell,
                              public StyledControl,
                              public StyledView<SearchFieldCellStyle> {
public:
    explicit StyledSearchFieldCell(std::string text = {});

    // The shared style of this class: the search style with "qel-searchfield" (default) and
    // "qel-searchfield-focus" (focused) bezels, made on first use.
    static std::shared_ptr<SearchFieldCellStyle> sharedStyle();
    std::shared_ptr<SearchFieldCellStyle> style() const override { return sharedStyle(); }
    // The plain cell rule: on or mixed by state, disabled, highlighted while enabled; never focused.
    StyledControlState controlState() const override;

    // Whether the search style's bezel (with its magnifier) is drawn and room left for the search
    // button; off, the plain text-field bezel is drawn and the text starts near the left edge.
    bool showsSearchIcon() const { return showsSearchIcon_; }
    void setShowsSearchIcon(bool flag) { showsSearchIcon_ = flag; }
    bool verticallyCenter() const { return verticallyCenter_; }
    void setVerticallyCenter(bool flag) { verticallyCenter_ = flag; }
    // The bezel for the state: the search style's, or a fresh text-field style's without the icon.
    graphics::ImageRef currentBezelImage() const;

    // The placeholder as last set (none until then); setting one also styles it in the placeholder
    // colour.
    const std::optional<std::string>& placeholder() const { return internalPlaceholderString_; }
    void setPlaceholderString(std::string placeholder) override;
    // As setPlaceholderString, or, with none, clears the placeholder and leaves the last attributed
    // placeholder in place.
    void setPlaceholder(std::optional<std::string> placeholder);
    // Recolours the text for the state after storing the style.
    void setBackgroundStyle(ui::BackgroundStyle style) override;
    ui::BackgroundStyle interiorBackgroundStyle() const override;

    // Padded by the style unless editing or selecting, when bezeled or bordered.
    graphics::Rect drawingRectForBounds(const graphics::Rect& rect) const override;
    // From 4 points in (or 10 points before the search button's end with the icon) to 2 points into
    // the cancel button, the text line centred vertically when asked, made integral.
    graphics::Rect searchTextRectForBounds(const graphics::Rect& bounds) const override;
    // The bezel image over the whole frame, upright, then the interior. Nothing without a context.
    void drawWithFrame(const graphics::Rect& frame, ui::View& controlView) override;
    // The text or placeholder unless the editor shows it, then the cancel button while there is text.
    void drawInteriorWithFrame(const graphics::Rect& frame, ui::View& controlView) override;
    // Editing and selecting place the field editor on the line where the text is drawn (the search
    // text rect moved as the interior moves the text, one line high), without a background.
    graphics::Rect editorRectForBounds(const graphics::Rect& bounds) const;
    void editWithFrame(const graphics::Rect& rect, ui::View& controlView,
                       const std::shared_ptr<ui::Text>& editor, const std::shared_ptr<ui::Object>& delegate,
                       const ui::Event* event) override;
    void selectWithFrame(const graphics::Rect& rect, ui::View& controlView,
                         const std::shared_ptr<ui::Text>& editor, const std::shared_ptr<ui::Object>& delegate,
                         std::size_t start, std::size_t length) override;
    // The editor without a background, in the style's font and text, caret and selection colours.
    std::shared_ptr<ui::Text> setUpFieldEditorAttributes(const std::shared_ptr<ui::Text>& editor) override;

    // Text in the style's font, in color (the state's text colour when null), with the cell's alignment
    // and line breaking.
    graphics::AttributedString attributedString(const std::string& text,
                                                const graphics::ColorRef& color) const;

private:
    void setup();

    bool showsSearchIcon_ = true;
    bool verticallyCenter_ = true;
    std::optional<std::string> internalPlaceholderString_;
    bool isBeingEdited_ = false;
    bool isBeingSelected_ = false;
};

class StyledSearchField : public ui::SearchField {
public:
    explicit StyledSearchField(const graphics::Rect& frame = {});

    // Only a styled search field cell (or none, which keeps the current one) is accepted; any other
    // cell stops the process.
    void setCell(std::shared_ptr<ui::Cell> cell) override;
    std::shared_ptr<StyledSearchFieldCell> styledCell() const;

    bool verticallyCenter() const { return verticallyCenter_; }
    // Passes the flag to the cell and redraws.
    void setVerticallyCenter(bool flag);

    // Those of the plain styled cell's style, whatever the cell's class.
    graphics::EdgeInsets alignmentRectInsets() const override;
    // At least the bezel image's size, less the alignment insets; no width when the search field has
    // none.
    graphics::Size intrinsicContentSize() const override;
    graphics::Rect focusRingMaskBounds() const override { return bounds(); }
    // Nothing: the field draws its own ring.
    void drawFocusRingMask() override {}
    // The cell, then the focus ring while the field has keyboard focus in the key window.
    void draw(const graphics::Rect& dirtyRect) override;

private:
    bool verticallyCenter_ = true;
};

} // namespace vimbra
