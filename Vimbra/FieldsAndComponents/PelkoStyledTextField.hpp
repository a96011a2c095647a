#pragma once

// The library's styled text field in a declarative tree: one StyledTextField whose string follows a
// binding both ways, whose placeholder comes from the value and whose line limit, alignment, truncation,
// tightening and enabling come from the environment; it shows its whole text in a tool tip when it is
// cut short, and reports the start and end of editing to an optional callback. Main thread only.

#include "Vimbra/FieldsAndComponents/StyledTextField.hpp"
#include "Vimbra/Style.hpp"
#include "declarative/Declarative.hpp"
#include "ui/TextField.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vimbra {

class PelkoStyledTextFieldCoordinator;

class PelkoStyledTextField {
public:
    using EditingChanged = std::function<void(bool)>;
    using Coordinator = PelkoStyledTextFieldCoordinator;

    // A null style becomes a new text-field style.
    PelkoStyledTextField(std::optional<std::string> placeholder, declarative::Binding<std::string> text,
                         std::shared_ptr<TextFieldCellStyle> style = nullptr,
                         EditingChanged onEditingChanged = {});

    const std::optional<std::string>& placeholder() const { return placeholder_; }
    const declarative::Binding<std::string>& text() const { return text_; }
    // Kept with the value; the field draws in its own cell's style.
    const std::shared_ptr<TextFieldCellStyle>& style() const { return style_; }
    const EditingChanged& onEditingChanged() const { return onEditingChanged_; }

    std::shared_ptr<Coordinator> makeCoordinator() const;
    // The field with the placeholder, expansion tool tips, the coordinator as delegate and the
    // environment's text settings and enabling; its string comes with the first update.
    std::shared_ptr<StyledTextField> makeView(const declarative::RepresentableContext& context) const;
    // Hands the coordinator this value, shows the bound string (only when the field's text differs, so
    // typing keeps its caret) and applies the placeholder and the environment again.
    void updateView(StyledTextField& field, const declarative::RepresentableContext& context) const;

    declarative::View body(declarative::Context& context) const;

private:
    std::optional<std::string> placeholder_;
    declarative::Binding<std::string> text_;
    std::shared_ptr<TextFieldCellStyle> style_;
    EditingChanged onEditingChanged_;
};

// The field's delegate: each change of the text goes through the binding of the value it holds (every
// update gives it the current one), then to the callback with true; the end of editing calls the
// callback with false and leaves the binding alone.
class PelkoStyledTextFieldCoordinator : public ui::Object, public ui::TextFieldDelegate {
public:
    explicit PelkoStyledTextFieldCoordinator(PelkoStyledTextField parent);
    PelkoStyledTextField parent;

    void updateText(ui::TextField& field);
    void controlTextDidChange(ui::TextField& field) override;
    void controlTextDidEndEditing(ui::TextField& field) override;
};

} // namespace vimbra
