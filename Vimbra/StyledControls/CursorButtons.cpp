#include "Vimbra/StyledControls/CursorButtons.hpp"

#include "Vimbra/LibraryStatics.hpp"
#include "Vimbra/PopUpExtensions.hpp"
#include "Vimbra/ViewExtensions.hpp"
#include "ui/Application.hpp"
#include "ui/PopUpButton.hpp"

namespace vimbra {

namespace {

constexpr double dimmedFraction = 0.5;

void drawImageAtFraction(const ui::ButtonCell& cell, const graphics::ImageRef& image,
                         const graphics::Rect& frame, double fraction) {
    if (!image || !graphics::GraphicsContext::current()) {
        return;
    }
    image->drawInRect(cell.imageRectForBounds(frame), {}, graphics::CompositingOperation::sourceOver,
                      fraction, true);
}

} // namespace

void CursorButtonCell::highlight(bool flag, const graphics::Rect&, ui::View& controlView) {
    if (auto* layer = controlView.layer()) {
        layer->setOpacity(flag ? dimmedFraction : 1.0);
    }
}

void DarkHighlightButtonCell::drawImage(const graphics::ImageRef& image, const graphics::Rect& frame,
                                        ui::View&) {
    const double fraction = isHighlighted() || !isEnabled() ? dimmedFraction : 1.0;
    drawImageAtFraction(*this, image, frame, fraction);
}

void PopUpCyclingButtonCell::drawImage(const graphics::ImageRef& image, const graphics::Rect& frame,
                                       ui::View&) {
    drawImageAtFraction(*this, image, frame, isHighlighted() ? dimmedFraction : 1.0);
}

CursorButton::CursorButton(const graphics::Rect& frame, std::shared_ptr<ui::ButtonCell> cell)
    : Button(frame, cell ? std::move(cell) : std::make_shared<CursorButtonCell>()),
      cursorImage_(LibraryDefaults::cycleImage()), cursorHotSpot_(LibraryDefaults::cursorHotSpot()) {
    setWantsLayer(true);
    cursor_ = ui::Cursor::make(cursorImage_, cursorHotSpot_);
}

void CursorButton::setCursorImage(graphics::ImageRef image) {
    cursorImage_ = std::move(image);
    cursor_ = ui::Cursor::make(cursorImage_, cursorHotSpot_);
}

std::shared_ptr<ui::Cursor> CursorButton::cursor() {
    if (!cursor_) {
        cursor_ = ui::Cursor::make(cursorImage_, cursorHotSpot_);
    }
    return cursor_;
}

void CursorButton::updateTrackingAreas() {
    Button::updateTrackingAreas();
    replaceBoundsTrackingArea(*this, trackingArea_);
}

bool CursorButton::acceptsFirstMouse(const ui::Event*) const {
    return true;
}

void CursorButton::mouseEntered(const ui::Event& event) {
    Button::mouseEntered(event);
    cursor()->push();
}

void CursorButton::mouseExited(const ui::Event& event) {
    Button::mouseExited(event);
    ui::Cursor::pop();
}

PopUpCyclingButton::PopUpCyclingButton(const graphics::Rect& frame, std::shared_ptr<ui::ButtonCell> cell)
    : CursorButton(frame, std::move(cell)) {
    setImagePosition(ui::ImagePosition::imageTrailing);
    installExtensionActions(); // the pop-up it steps answers what it sends
}

bool PopUpCyclingButton::sendAction(std::string_view, const std::shared_ptr<ui::Object>& target) {
    if (!std::dynamic_pointer_cast<ui::PopUpButton>(target)) {
        return false;
    }
    const bool shift = (ui::Application::shared()->currentModifierFlags() & ui::Modifier::shift) != 0;
    return CursorButton::sendAction(shift ? "selectPreviousItem:" : "selectNextItem:", target);
}

DarkHighlightButton::DarkHighlightButton(const graphics::Rect& frame, std::shared_ptr<ui::ButtonCell> cell)
    : Button(frame, cell ? std::move(cell) : std::make_shared<DarkHighlightButtonCell>()),
      customCursor_(LibraryDefaults::arrowCursor()) {}

void DarkHighlightButton::resetCursorRects() {
    Button::resetCursorRects();
    addCursorRect(bounds(), customCursor_);
}

} // namespace vimbra
