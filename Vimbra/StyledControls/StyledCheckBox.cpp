#include "Vimbra/StyledControls/StyledCheckBox.hpp"

#include "Vimbra/ImageOps.hpp"

#include <cmath>

namespace vimbra {

using graphics::Rect;

StyledCheckBoxCell::StyledCheckBoxCell(std::string title) : StyledButtonCell(std::move(title)) {
    configure();
}

StyledCheckBoxCell::StyledCheckBoxCell(graphics::ImageRef image) : StyledButtonCell(std::move(image)) {
    configure();
}

void StyledCheckBoxCell::configure() {
    setHighlightsBy(ui::CellStyleMask::contents);
    setShowsStateBy(ui::CellStyleMask::contents);
}

std::shared_ptr<CheckBoxCellStyle> StyledCheckBoxCell::sharedCheckBoxStyle() {
    static const auto shared = std::make_shared<CheckBoxCellStyle>();
    return shared;
}

int StyledCheckBoxCell::nextState() const {
    return state() == ui::StateValue::on ? ui::StateValue::off : ui::StateValue::on;
}

Rect StyledCheckBoxCell::imageRectForBounds(const Rect& bounds) const {
    const auto s = imageSize();
    const Rect d = drawingRectForBounds(bounds);
    const Rect r = Rect(0, std::round(d.midY() - s.height * 0.5), s.width, s.height).integral();
    return Rect(r.x() + xOffset_, r.y(), r.width(), r.height());
}

Rect StyledCheckBoxCell::titleRectForBounds(const Rect& bounds) const {
    const auto measured = attributedTitleString(title(), controlSize(), nullptr).size();
    const double w = std::ceil(measured.width);
    const double h = std::ceil(measured.height);
    const double x = imageSize().width;
    if (verticallyCenterTitle()) {
        return Rect(x, std::round(bounds.midY() - h * 0.5), w, h).integral();
    }
    return Rect(x, 0, w, h);
}

Rect StyledCheckBoxCell::focusRingMaskBoundsForFrame(const Rect& frame, ui::View&) const {
    return imageRectForBounds(frame);
}

void StyledCheckBoxCell::drawInteriorWithFrame(const Rect& frame, ui::View& controlView) {
    if (!graphics::GraphicsContext::current()) {
        return;
    }
    drawImage(nullptr, imageRectForBounds(frame), controlView);
    if (!title().empty()) {
        drawTitle(attributedTitle(), titleRectForBounds(frame), controlView);
    }
}

void StyledCheckBoxCell::drawImage(const graphics::ImageRef&, const Rect& frame, ui::View&) {
    auto checkBoxStyle = std::dynamic_pointer_cast<CheckBoxCellStyle>(style());
    if (!checkBoxStyle) {
        return;
    }
    auto image = checkBoxStyle->buttonImageForState(controlState());
    if (!image) {
        return;
    }
    tinted(image, graphics::Color::controlTextColor())
        ->drawInRect(imageRectForBounds(frame), {}, graphics::CompositingOperation::sourceOver,
                     isEnabled() ? 1.0 : 0.5, true);
}

// ---------------------------------------------------------------------------------------------------

StyledCheckBox::StyledCheckBox(const Rect& frame)
    : StyledCheckBox(frame, std::make_shared<StyledCheckBoxCell>()) {}

StyledCheckBox::StyledCheckBox(const Rect& frame, std::shared_ptr<StyledCheckBoxCell> cell)
    : StyledButton(frame, std::move(cell)) {
    setBordered(false);
}

graphics::EdgeInsets StyledCheckBox::paintOverhang() const {
    auto checkBoxCell = std::dynamic_pointer_cast<StyledCheckBoxCell>(cell());
    if (!checkBoxCell) {
        return StyledButton::paintOverhang();
    }
    // The ring is drawn inside its mask (inset by 1, stroked 2 wide), so the mask is its whole reach.
    return overhangOf(checkBoxCell->imageRectForBounds(bounds()).unionWith(focusRingMaskBounds()));
}

} // namespace vimbra
