#pragma once

// Selection handed down from a container to the selectable views inside it (a table row to the
// controls of its cells). The controls' focus test, isFirstResponder, is the view one of
// Vimbra/ViewExtensions.hpp. Main thread only.

namespace ui {
class View;
} // namespace ui

namespace vimbra {

// Sets isSelected of each Selectable subview of the view, in subview order; with includingNested, each of
// them then passes the state on to its own Selectable subviews (two levels in all). Subviews that are not
// Selectable are skipped with everything inside them. Stops the process when called off the main thread.
void setSelectedInSubviews(ui::View& view, bool selected, bool includingNested);

} // namespace vimbra
