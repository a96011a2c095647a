#include "Vimbra/FieldsAndComponents/ValidatingTextFields.hpp"

#include "Vimbra/LibraryStatics.hpp"
#include "Vimbra/ViewExtensions.hpp"

#include <limits>

namespace vimbra {

ValidatingTextField::ValidatingTextField(const graphics::Rect& frame)
    : StyledTextField(frame, std::make_shared<ValidatingTextFieldCell>()),
      popoverController_(LibraryDefaults::textFieldPopoverController()) {}

bool ValidatingTextField::acceptsCell(const ui::Cell& cell) const {
    return dynamic_cast<const ValidatingTextFieldCell*>(&cell) != nullptr;
}

void ValidatingTextField::setValid(bool valid) {
    valid_ = valid;
    if (auto c = std::dynamic_pointer_cast<ValidatingTextFieldCell>(cell())) {
        c->setValid(valid);
    }
    setNeedsDisplay(true);
}

std::shared_ptr<ui::TextField> ValidatingTextField::textField() const {
    return std::const_pointer_cast<ValidatingTextField>(sharedAs<ValidatingTextField>());
}

void ValidatingTextField::updateMessagePopover() {
    requireMainThread();
    const auto& popover = popoverController_->popover();
    if (isFirstResponder(*this) && message_) {
        if (popover->isShown()) {
            popover->contentTextField()->setStringValue(*message_);
        } else {
            popoverController_->show(message_, sharedAs<ValidatingTextField>(), ui::RectEdge::maxY);
        }
    } else if (popover->isShown()) {
        popoverController_->close(sharedAs<ValidatingTextField>());
    }
}

void ValidatingTextField::firstResponderStatusDidChange(bool) {
    updateMessagePopover();
}

void ValidatingTextField::textDidChange(ui::Text& text) {
    requireMainThread();
    StyledTextField::textDidChange(text);
    updateMessagePopover();
}

void ValidatingTextField::viewWillMoveToWindow(const std::shared_ptr<ui::Window>& newWindow) {
    StyledTextField::viewWillMoveToWindow(newWindow);
    if (newWindow != window() && popoverController_->popover()->isShown()) {
        popoverController_->close(sharedAs<ValidatingTextField>());
    }
}

graphics::Size WidthResizingTextField::intrinsicContentSize() const {
    requireMainThread();
    const graphics::Size size = StyledTextField::intrinsicContentSize();
    if (!cell()) {
        return size;
    }
    return cell()->cellSizeForBounds(
        graphics::Rect(bounds().origin, {std::numeric_limits<double>::max(), size.height}));
}

} // namespace vimbra
