#include "Vimbra/FieldsAndComponents/PelkoStyledTextField.hpp"

#include "Vimbra/DeclarativeSupport.hpp"
#include "Vimbra/Windows.hpp"

namespace vimbra {

namespace {

// The environment's text settings and enabling, as the field takes them.
void applyEnvironment(StyledTextField& field, const declarative::Environment& environment) {
    field.setAlignment(textAlignment(environment.multilineTextAlignment));
    field.setLineBreakMode(lineBreakMode(environment.truncationMode));
    field.setAllowsDefaultTighteningForTruncation(environment.allowsTightening);
    field.setMaximumNumberOfLines(environment.lineLimit.value_or(0));
    field.setEnabled(environment.isEnabled);
}

} // namespace

PelkoStyledTextField::PelkoStyledTextField(std::optional<std::string> placeholder,
                                           declarative::Binding<std::string> text,
                                           std::shared_ptr<TextFieldCellStyle> style,
                                           EditingChanged onEditingChanged)
    : placeholder_(std::move(placeholder)), text_(std::move(text)),
      style_(style ? std::move(style) : std::make_shared<TextFieldCellStyle>()),
      onEditingChanged_(std::move(onEditingChanged)) {}

std::shared_ptr<PelkoStyledTextField::Coordinator> PelkoStyledTextField::makeCoordinator() const {
    return std::make_shared<Coordinator>(*this);
}

std::shared_ptr<StyledTextField>
PelkoStyledTextField::makeView(const declarative::RepresentableContext& context) const {
    auto field = std::make_shared<StyledTextField>();
    field->setPlaceholderString(placeholder_.value_or(std::string()));
    field->setTranslatesAutoresizingMaskIntoConstraints(false);
    field->setAllowsExpansionToolTips(true);
    field->setDelegate(std::static_pointer_cast<ui::Object>(context.coordinatorAs<Coordinator>()));
    applyEnvironment(*field, context.environment);
    return field;
}

void PelkoStyledTextField::updateView(StyledTextField& field,
                                      const declarative::RepresentableContext& context) const {
    if (auto coordinator = context.coordinatorAs<Coordinator>()) {
        coordinator->parent = *this;
    }
    const std::string value = text_.get();
    if (field.stringValue() != value) {
        field.setStringValue(value);
    }
    field.setPlaceholderString(placeholder_.value_or(std::string()));
    applyEnvironment(field, context.environment);
}

declarative::View PelkoStyledTextField::body(declarative::Context&) const {
    const PelkoStyledTextField value = *this;
    return declarative::represent(declarative::Representable<StyledTextField>{
        [value](const declarative::RepresentableContext& context) { return value.makeView(context); },
        [value](StyledTextField& field, const declarative::RepresentableContext& context) {
            value.updateView(field, context);
        },
        {},
        [value] { return std::static_pointer_cast<void>(value.makeCoordinator()); }});
}

PelkoStyledTextFieldCoordinator::PelkoStyledTextFieldCoordinator(PelkoStyledTextField parent)
    : parent(std::move(parent)) {}

void PelkoStyledTextFieldCoordinator::updateText(ui::TextField& field) {
    parent.text().set(field.stringValue());
    if (parent.onEditingChanged()) {
        parent.onEditingChanged()(true);
    }
}

void PelkoStyledTextFieldCoordinator::controlTextDidChange(ui::TextField& field) {
    updateText(field);
}

void PelkoStyledTextFieldCoordinator::controlTextDidEndEditing(ui::TextField&) {
    if (parent.onEditingChanged()) {
        parent.onEditingChanged()(false);
    }
}

} // namespace vimbra
