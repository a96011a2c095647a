#pragma once

// A single-line text field: rounded border, centred text, caret and selection, typing, Backspace and
// Delete, arrows (shift extends), Home/End, select all, cut/copy/paste through the hosting view's
// clipboard, and Return submitting to the nearest onSubmit. Editing writes the binding on every change.

#include "declarative/Core.hpp"

namespace declarative {

View TextField(Binding<std::string> text, std::string placeholder = {});

} // namespace declarative
