#pragma once

// The segmented controls' rows of a contact sheet: the styled segmented control and the declarative
// segmented control, each in every look, each look drawn in a window of its own at a scale. Sheets of
// other control families draw these rows beside their own.

#include "Vimbra/StyledControls/tests/ContactSheet.hpp"

#include <cstddef>
#include <vector>

namespace segmentsheet {

inline constexpr double cellWidth = 280;
inline constexpr double cellHeight = 40;

enum class Look { normal, pressed, selected, selectionHidden, disabled, focused };
// The sheet's columns, left to right.
const std::vector<Look>& looks();

// Rows: 0 the styled segmented control, 1 the declarative one. The declarative control has no disabled
// or focused look: those cells stay empty (null pixels).
inline constexpr std::size_t rowCount = 2;

using Shot = contactsheet::Shot;

Shot shoot(std::size_t row, Look look, double scale);

// Draws every row, each look in its column, on the sheet with the first row's top-left at (0, top) in
// points (y down); answers the shots by row, then column.
std::vector<std::vector<Shot>> drawSegmentRows(contactsheet::Sheet& sheet, double top);

} // namespace segmentsheet
