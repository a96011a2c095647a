#pragma once

// A styled search field in a declarative tree, its text tied to a binding: the bound string is shown in
// the field, and every action of the field (each edit, and the cancel button) writes the field's text
// back through the binding. Main thread only.

#include "Vimbra/StyledControls/StyledSearchField.hpp"
#include "declarative/Declarative.hpp"
#include "ui/Responder.hpp"

#include <memory>
#include <string>

namespace vimbra {

class StyledSearchFieldCoordinator;

class StyledSearchFieldWrapper {
public:
    StyledSearchFieldWrapper(declarative::Binding<std::string> searchText, std::string placeholderString);

    const declarative::Binding<std::string>& searchText() const { return searchText_; }
    const std::string& placeholderString() const { return placeholderString_; }

    using Coordinator = StyledSearchFieldCoordinator;

    std::shared_ptr<Coordinator> makeCoordinator() const;
    // A small field in the system font of 11 points with the placeholder (set only here, so a later
    // placeholder does not reach it), a rounded bezel, the dark appearance and no vertical centring.
    std::shared_ptr<StyledSearchField> makeView() const;
    // Shows the bound string (only when the field's text differs, so typing keeps its caret), hands
    // the coordinator this value and makes it the field's target for "filterContents:".
    void updateView(StyledSearchField& field, Coordinator& coordinator) const;

    declarative::View body(declarative::Context& context) const;

private:
    declarative::Binding<std::string> searchText_;
    std::string placeholderString_;
};

// The field's target: its action "filterContents:" writes the sender's text through the binding of the
// wrapper value it holds, which every update replaces with the current one.
class StyledSearchFieldCoordinator : public ui::Responder {
public:
    explicit StyledSearchFieldCoordinator(StyledSearchFieldWrapper parent);
    StyledSearchFieldWrapper parent;
};

} // namespace vimbra
