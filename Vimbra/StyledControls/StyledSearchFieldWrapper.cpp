#include "Vimbra/StyledControls/StyledSearchFieldWrapper.hpp"

namespace vimbra {

StyledSearchFieldWrapper::StyledSearchFieldWrapper(declarative::Binding<std::string> searchText,
                                                   std::string placeholderString)
    : searchText_(std::move(searchText)), placeholderString_(std::move(placeholderString)) {}

StyledSearchFieldCoordinator::StyledSearchFieldCoordinator(StyledSearchFieldWrapper parent)
    : parent(std::move(parent)) {
    setActionHandler("filterContents:", [this](const std::shared_ptr<ui::Object>& sender) {
        if (auto field = std::dynamic_pointer_cast<ui::Control>(sender)) {
            this->parent.searchText().set(field->stringValue());
        }
    });
}

std::shared_ptr<StyledSearchFieldWrapper::Coordinator> StyledSearchFieldWrapper::makeCoordinator() const {
    return std::make_shared<Coordinator>(*this);
}

std::shared_ptr<StyledSearchField> StyledSearchFieldWrapper::makeView() const {
    auto field = std::make_shared<StyledSearchField>(graphics::Rect());
    field->setControlSize(ui::ControlSize::small);
    field->setFont(graphics::Font::systemFont(11));
    field->setPlaceholderString(placeholderString_);
    field->setBezelStyle(ui::TextFieldBezelStyle::rounded);
    field->setAppearanceName(appearanceNameDarkAqua);
    field->setVerticallyCenter(false);
    return field;
}

void StyledSearchFieldWrapper::updateView(StyledSearchField& field, Coordinator& coordinator) const {
    coordinator.parent = *this;
    const std::string text = searchText_.get();
    if (field.stringValue() != text) {
        field.setStringValue(text);
    }
    field.setTarget(coordinator.sharedAs<ui::Object>());
    field.setAction("filterContents:");
}

declarative::View StyledSearchFieldWrapper::body(declarative::Context&) const {
    const StyledSearchFieldWrapper wrapper = *this;
    return declarative::represent(declarative::Representable<StyledSearchField>{
        [wrapper] { return wrapper.makeView(); },
        [wrapper](StyledSearchField& field, const declarative::RepresentableContext& context) {
            if (auto coordinator = context.coordinatorAs<Coordinator>()) {
                wrapper.updateView(field, *coordinator);
            }
        },
        {},
        [wrapper] { return std::static_pointer_cast<void>(wrapper.makeCoordinator()); }});
}

} // namespace vimbra
