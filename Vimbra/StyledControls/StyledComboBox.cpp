#include "Vimbra/StyledControls/StyledComboBox.hpp"

#include "Vimbra/Assets.hpp"
#include "Vimbra/Geometry.hpp"
#include "Vimbra/ImageOps.hpp"
#include "Vimbra/StyledControls/CellControlState.hpp"
#include "Vimbra/StyledControls/StyledButton.hpp"
#include "Vimbra/StyledControls/StyledPopUpButton.hpp"
#include "core/NotificationCenter.hpp"

#include <algorithm>
#include <any>
#include <cmath>
#include <optional>

namespace vimbra {

using graphics::Rect;
using graphics::Size;

namespace {

graphics::ImageRef tintedCatalogueImage(const char* name) {
    return tinted(vimbraImage(name), graphics::Color::controlTextColor());
}

} // namespace

// ---------------------------------------------------------------------------------------------------

StyledComboBoxCell::StyledComboBoxCell(std::string text) : ui::ComboBoxCell(std::move(text)) {}

std::shared_ptr<ComboBoxStyle> StyledComboBoxCell::sharedStyle() {
    static const auto style = std::make_shared<ComboBoxStyle>();
    return style;
}

StyledControlState StyledComboBoxCell::controlState() const {
    return vimbra::controlState(*this);
}

graphics::ImageRef StyledComboBoxCell::fieldImage() const {
    return tintedCatalogueImage("qel-combobox");
}

graphics::ImageRef StyledComboBoxCell::rightImage() const {
    return tintedCatalogueImage(isPopupOpen_ ? "qel-combobox" : "qel-combobox-up");
}

Rect StyledComboBoxCell::fieldRect(const Rect& r) const {
    const auto right = rightImage();
    const auto field = fieldImage();
    const double rightWidth = right ? right->size().width : 0;
    return Rect(r.minX(), 0, r.width() - rightWidth, field ? field->size().height : 0).integral();
}

ui::BackgroundStyle StyledComboBoxCell::interiorBackgroundStyle() const {
    return static_cast<ui::BackgroundStyle>(static_cast<int>(style()->interiorBackgroundStyle));
}

Rect StyledComboBoxCell::buttonRectForBounds(const Rect& bounds) const {
    const auto right = rightImage();
    const double width = std::min(right ? right->size().width : buttonWidth, bounds.width());
    return Rect(bounds.maxX() - width, bounds.minY(), width, bounds.height());
}

Rect StyledComboBoxCell::titleRectForBounds(const Rect& bounds) const {
    const Rect r = insetRect(ui::ComboBoxCell::titleRectForBounds(bounds), style()->titleEdgeInsets);
    return Rect(r.x(), std::round(bounds.midY() - r.height() * 0.5), r.width(), r.height()).integral();
}

Rect StyledComboBoxCell::textRect(const Rect& interior) const {
    const auto right = rightImage();
    const double width = std::max(0.0, interior.width() - (right ? right->size().width : buttonWidth));
    const double line = font() ? std::ceil(font()->lineHeight()) : interior.height();
    return Rect(interior.x(), std::round(interior.midY() - line * 0.5), width, line).integral();
}

Rect StyledComboBoxCell::drawingRectForBounds(const Rect& bounds) const {
    return textRect(insetRect(bounds, style()->titleEdgeInsets));
}

void StyledComboBoxCell::drawInteriorWithFrame(const Rect& frame, ui::View&) {
    if (showsFirstResponder()) {
        return; // the field editor shows the text
    }
    if (!stringValue().empty()) {
        attributedTitle().draw(textRect(frame));
    } else if (!placeholderString().empty()) {
        attributedPlaceholder().draw(textRect(frame));
    }
}

void StyledComboBoxCell::drawWithFrame(const Rect& frame, ui::View& controlView) {
    if (isBordered() || isBezeled()) {
        drawBezelWithFrame(frame, controlView);
    }
    drawInteriorWithFrame(insetRect(frame, style()->titleEdgeInsets), controlView);
}

void StyledComboBoxCell::drawBezelWithFrame(const Rect& frame, ui::View& controlView) {
    auto* context = graphics::GraphicsContext::current();
    if (!context) {
        return;
    }
    graphics::GraphicsContext::StateGuard guard(*context);
    if (controlView.isFlipped()) {
        flipVertically(frame);
    }
    const auto right = rightImage();
    const auto field = fieldImage();
    const double fraction = isEnabled() ? 1.0 : 0.5;
    if (field) {
        field->drawInRect(fieldRect(frame), {}, graphics::CompositingOperation::sourceOver, fraction, false);
    }
    if (right) {
        const Size s = right->size();
        right->drawInRect(Rect(frame.minX() + frame.width() - s.width, 0, s.width, s.height), {},
                          graphics::CompositingOperation::sourceOver, fraction, false);
    }
}

// ---------------------------------------------------------------------------------------------------

StyledComboBox::StyledComboBox(const Rect& frame)
    : ui::ComboBox(frame, std::make_shared<StyledComboBoxCell>()) {
    // The field draws itself; the field editor shows through onto it.
    setDrawsBackground(false);
    auto& centre = core::NotificationCenter::defaultCenter();
    observers_.push_back(
        centre.addObserver(willPopUpNotification, this, [this](const core::Notification&) { willPopUp(); }));
    observers_.push_back(centre.addObserver(willDismissNotification, this,
                                            [this](const core::Notification&) { willDismiss(); }));
    observers_.push_back(centre.addObserver(selectionDidChangeNotification, this,
                                            [this](const core::Notification&) { selectionDidChange(); }));
}

StyledComboBox::~StyledComboBox() {
    observers_.clear(); // off the notification centre before the toolkit's box goes
}

std::shared_ptr<StyledComboBoxCell> StyledComboBox::styledCell() const {
    return std::dynamic_pointer_cast<StyledComboBoxCell>(cell());
}

void StyledComboBox::willPopUp() {
    if (auto c = styledCell()) {
        c->setPopupOpen(true);
    }
}

void StyledComboBox::willDismiss() {
    if (auto c = styledCell()) {
        c->setPopupOpen(false);
    }
}

void StyledComboBox::selectionDidChange() {
    const long index = indexOfSelectedItem();
    if (index < 0) {
        return; // nothing selected: nothing to write
    }
    if (const auto number = ui::arithmeticValue(itemObjectValueAtIndex(index))) {
        auto self = sharedAs<StyledComboBox>();
        setDoubleValue(*number);
        sendAction();
    }
}

graphics::EdgeInsets StyledComboBox::alignmentRectInsets() const {
    return styledCell() ? StyledPopUpButtonCell::sharedStyle()->alignmentRectInsets
                        : ui::ComboBox::alignmentRectInsets();
}

Size StyledComboBox::intrinsicContentSize() const {
    const double w = ui::ComboBox::intrinsicContentSize().width;
    const auto insets = alignmentRectInsets();
    return Size(std::max(w, 47.0) - (insets.left + insets.right), 26 - (insets.top + insets.bottom));
}

Rect StyledComboBox::focusRingMaskBounds() const {
    if (auto c = styledCell()) {
        return c->fieldRect(bounds());
    }
    return ui::ComboBox::focusRingMaskBounds();
}

void StyledComboBox::draw(const Rect& dirtyRect) {
    ui::ComboBox::draw(dirtyRect);
    if (auto c = styledCell()) {
        drawControlFocusRing(*this, focusRingMaskBounds(),
                             StyledComboBoxCell::sharedStyle()->focusRingColorForState(c->controlState()));
    }
}

} // namespace vimbra
