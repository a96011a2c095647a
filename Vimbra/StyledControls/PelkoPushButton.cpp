#include "Vimbra/StyledControls/PelkoPushButton.hpp"

#include "Vimbra/ImageOps.hpp"
#include "Vimbra/StyledControls/CellControlState.hpp"
#include "Vimbra/StyledControls/StyledButton.hpp"
#include "Vimbra/Styles.hpp"

namespace vimbra {

using graphics::Rect;

PelkoPushButtonCell::PelkoPushButtonCell(std::string title) : ui::ButtonCell(std::move(title)) {
    setHighlightsBy(0);
}

PelkoPushButtonCell::PelkoPushButtonCell(graphics::ImageRef image) : ui::ButtonCell(std::move(image)) {
    setHighlightsBy(0);
}

std::shared_ptr<ButtonCellStyle> PelkoPushButtonCell::sharedStyle() {
    static const auto shared = std::make_shared<ButtonCellStyle>();
    return shared;
}

StyledControlState PelkoPushButtonCell::controlState() const {
    return buttonCellControlState(*this, selected_);
}

Rect PelkoPushButtonCell::imageRectForBounds(const Rect& bounds) const {
    return styledImageRectForBounds(*this, bounds, imageEdgeInsets);
}

Rect PelkoPushButtonCell::titleRectForBounds(const Rect& bounds) const {
    // The toolkit's title rect is one line high; the insets are meant for a title area as high as the
    // drawing rect, so the title keeps its line height after losing 10 points.
    const Rect title = ui::ButtonCell::titleRectForBounds(bounds);
    const Rect drawing = drawingRectForBounds(bounds);
    return insetRect(Rect(title.minX(), drawing.minY(), title.width(), drawing.height()), titleEdgeInsets);
}

Rect PelkoPushButtonCell::focusRingMaskBoundsForFrame(const Rect& frame, ui::View&) const {
    return styledFocusRingMaskBounds(*this, frame);
}

void PelkoPushButtonCell::drawWithFrame(const Rect& frame, ui::View& controlView) {
    if (isBordered() || isBezeled()) {
        PelkoPushButtonCell::drawBezelWithFrame(frame, controlView);
    }
    drawInteriorWithFrame(frame, controlView);
}

void PelkoPushButtonCell::drawBezelWithFrame(const Rect& frame, ui::View& controlView) {
    auto image = sharedStyle()->bezelImageForState(controlState());
    if (!image) {
        return;
    }
    // The style's images are shared: stretch a copy.
    auto stretched = tinted(image, graphics::Color::controlTextColor())->copy();
    stretched->setResizingMode(graphics::ResizingMode::stretch);
    const Rect target = bezelStyle() == ui::BezelStyle::rounded ? insetRect(frame, edgeInsets) : frame;
    drawStyledBezel(stretched, frame, target, isEnabled(), controlView);
}

void PelkoPushButtonCell::drawImage(const graphics::ImageRef& image, const Rect& frame,
                                    ui::View& controlView) {
    drawStyledImage(*this, image, frame, controlView);
}

Rect PelkoPushButtonCell::drawTitle(const graphics::AttributedString& title, const Rect& frame,
                                    ui::View& controlView) {
    const auto styled =
        styledTitle(title.string(), Styles::baseFont(), sharedStyle()->textColorForState(controlState()));
    return ui::ButtonCell::drawTitle(styled, frame, controlView);
}

// ---------------------------------------------------------------------------------------------------

PelkoPushButton::PelkoPushButton(const Rect& frame, std::optional<double> fixedHeight,
                                 std::optional<double> fixedWidth)
    : ui::Button(frame, std::make_shared<PelkoPushButtonCell>()), fixedHeight_(fixedHeight),
      fixedWidth_(fixedWidth) {
    setBordered(true);
    if (auto cell = pelkoCell()) {
        cell->setHighlightsBy(0);
    }
}

std::shared_ptr<PelkoPushButtonCell> PelkoPushButton::pelkoCell() const {
    return std::dynamic_pointer_cast<PelkoPushButtonCell>(cell());
}

bool PelkoPushButton::isSelected() const {
    return isCellSelected<PelkoPushButtonCell>(*this);
}

void PelkoPushButton::setSelected(bool selected) {
    setCellSelected<PelkoPushButtonCell>(*this, selected);
}

graphics::Size PelkoPushButton::intrinsicContentSize() const {
    auto size = ui::Button::intrinsicContentSize();
    if (fixedWidth_) {
        size.width = *fixedWidth_;
    }
    if (fixedHeight_) {
        size.height = *fixedHeight_;
    }
    return size;
}

void PelkoPushButton::draw(const Rect& dirtyRect) {
    ui::Button::draw(dirtyRect);
    if (auto cell = pelkoCell()) {
        drawControlFocusRing(
            *this, focusRingMaskBounds(),
            PelkoPushButtonCell::sharedStyle()->focusRingColorForState(cell->controlState()));
    }
}

} // namespace vimbra
