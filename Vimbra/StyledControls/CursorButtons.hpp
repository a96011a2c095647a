#pragma once

// Plain buttons outside the style system: one that shows its own cursor and fades while pressed, one that
// steps a pop-up button's selection, one with a cursor over its area, and cells that dim their image.

#include "graphics/Image.hpp"
#include "ui/Button.hpp"
#include "ui/Cursor.hpp"

#include <memory>

namespace vimbra {

// Fades the whole button (title and image) to half opacity through its layer while highlighted; a view
// without a layer is left as it is. It does not mark itself highlighted.
class CursorButtonCell : public ui::ButtonCell {
public:
    using ButtonCell::ButtonCell;
    void highlight(bool flag, const graphics::Rect& frame, ui::View& controlView) override;
};

// Draws the image at half strength while highlighted, otherwise at full strength when enabled and at half
// strength when disabled.
class DarkHighlightButtonCell : public ui::ButtonCell {
public:
    using ButtonCell::ButtonCell;
    void drawImage(const graphics::ImageRef& image, const graphics::Rect& frame,
                   ui::View& controlView) override;
};

// Draws the image at half strength while highlighted and at full strength otherwise, enabled or not.
class PopUpCyclingButtonCell : public ui::ButtonCell {
public:
    using ButtonCell::ButtonCell;
    void drawImage(const graphics::ImageRef& image, const graphics::Rect& frame,
                   ui::View& controlView) override;
};

// Shows its cursor (the "cursor-cycle" image, hot spot (3, 4) unless changed) while the pointer is over
// it and fades while pressed. It is layer-backed so that the fade applies. The first click into a window
// that is not key already acts.
class CursorButton : public ui::Button {
public:
    // The cell defaults to a CursorButtonCell.
    explicit CursorButton(const graphics::Rect& frame = {}, std::shared_ptr<ui::ButtonCell> cell = nullptr);

    graphics::ImageRef cursorImage() const { return cursorImage_; }
    // Stores the image and replaces the cursor with one made from it and the current hot spot.
    void setCursorImage(graphics::ImageRef image);
    graphics::Point cursorHotSpot() const { return cursorHotSpot_; }
    // Stores the point only: the cursor keeps its hot spot until the image is set again.
    void setCursorHotSpot(graphics::Point hotSpot) { cursorHotSpot_ = hotSpot; }
    // Made from the image and hot spot when none is stored.
    std::shared_ptr<ui::Cursor> cursor();
    void setCursor(std::shared_ptr<ui::Cursor> cursor) { cursor_ = std::move(cursor); }
    const std::shared_ptr<ui::TrackingArea>& trackingArea() const { return trackingArea_; }
    void setTrackingArea(std::shared_ptr<ui::TrackingArea> area) { trackingArea_ = std::move(area); }

    // Replaces the tracking area with one over the current bounds (entered and exited, always active).
    void updateTrackingAreas() override;
    bool acceptsFirstMouse(const ui::Event* event) const override;
    // Entering pushes the cursor; leaving pops it.
    void mouseEntered(const ui::Event& event) override;
    void mouseExited(const ui::Event& event) override;

private:
    graphics::ImageRef cursorImage_;
    graphics::Point cursorHotSpot_;
    std::shared_ptr<ui::Cursor> cursor_;
    std::shared_ptr<ui::TrackingArea> trackingArea_;
};

// A click steps its target, a pop-up button, to the next usable item, or with Shift held to the previous
// one; the pop-up then sends its own action. The button's own action is never sent, and a target that is
// not a pop-up button gets nothing. The image trails the title.
class PopUpCyclingButton : public CursorButton {
public:
    explicit PopUpCyclingButton(const graphics::Rect& frame = {},
                                std::shared_ptr<ui::ButtonCell> cell = nullptr);
    bool sendAction(std::string_view action, const std::shared_ptr<ui::Object>& target) override;
};

// A button with a cursor rect over its bounds showing its custom cursor (the arrow unless changed).
class DarkHighlightButton : public ui::Button {
public:
    // The cell defaults to a DarkHighlightButtonCell.
    explicit DarkHighlightButton(const graphics::Rect& frame = {},
                                 std::shared_ptr<ui::ButtonCell> cell = nullptr);

    const std::shared_ptr<ui::Cursor>& customCursor() const { return customCursor_; }
    // Does not refresh the cursor rects by itself.
    void setCustomCursor(std::shared_ptr<ui::Cursor> cursor) { customCursor_ = std::move(cursor); }

    void resetCursorRects() override;

private:
    std::shared_ptr<ui::Cursor> customCursor_;
};

} // namespace vimbra
