#pragma once

// Two styled text fields: one that its owner marks valid or invalid, drawing the style's invalid look
// and, while it has keyboard focus, showing the owner's message in a popover under it that follows every
// edit; and one whose intrinsic width is that of its text. Main thread only.

#include "Vimbra/FieldsAndComponents/MessagePopover.hpp"
#include "Vimbra/FieldsAndComponents/StyledTextField.hpp"
#include "Vimbra/Protocols.hpp"

#include <memory>
#include <optional>
#include <string>

namespace vimbra {

// Feeds the invalid bit of the control state, so the style gives the invalid colours, bezel and ring.
class ValidatingTextFieldCell : public StyledTextFieldCell, public Validating {
public:
    explicit ValidatingTextFieldCell(std::string text = {}) : StyledTextFieldCell(std::move(text)) {}
    bool isValid() const override { return valid_; }
    void setValid(bool valid) { valid_ = valid; }

private:
    bool valid_ = true;
};

class ValidatingTextField : public StyledTextField, public ValidatingField {
public:
    explicit ValidatingTextField(const graphics::Rect& frame = {});

    bool isValid() const override { return valid_; }
    // Copied into the cell and redrawn; the popover is left as it is.
    void setValid(bool valid) override;
    // Plain storage: the popover shows it at the next change of focus or edit.
    std::optional<std::string> message() const override { return message_; }
    void setMessage(std::optional<std::string> message) override { message_ = std::move(message); }
    std::shared_ptr<ui::TextField> textField() const override;
    const std::string& toolTip() const override { return ui::View::toolTip(); }
    void setToolTip(std::string toolTip) override { ui::View::setToolTip(std::move(toolTip)); }
    const std::shared_ptr<SimpleTextViewPopoverController>& popoverController() const {
        return popoverController_;
    }

    // With keyboard focus and a message: shows the message under the field, or puts it into the popover
    // already shown; otherwise closes a shown popover.
    void updateMessagePopover();

    void firstResponderStatusDidChange(bool status) override;
    void textDidChange(ui::Text& text) override;
    // A field leaving its window takes its popover away with it.
    void viewWillMoveToWindow(const std::shared_ptr<ui::Window>& newWindow) override;

protected:
    bool acceptsCell(const ui::Cell& cell) const override;

private:
    bool valid_ = true;
    std::optional<std::string> message_;
    std::shared_ptr<SimpleTextViewPopoverController> popoverController_;
};

class WidthResizingTextField : public StyledTextField {
public:
    explicit WidthResizingTextField(const graphics::Rect& frame = {}) : StyledTextField(frame) {}

    // The cell's size for the whole text on one line at the field's present intrinsic height.
    graphics::Size intrinsicContentSize() const override;

protected:
    WidthResizingTextField(const graphics::Rect& frame, std::shared_ptr<StyledTextFieldCell> cell)
        : StyledTextField(frame, std::move(cell)) {}
};

} // namespace vimbra
