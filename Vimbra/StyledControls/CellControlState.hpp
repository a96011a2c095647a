#pragma once

// The control states of the styled cells and views, by which they look their values up in their styles:
// the rule most styled cells share, in its button-cell and generic forms, and the narrower rules of the
// pop-up, slider, table and segmented controls, all computed afresh on every call.

#include "Vimbra/ControlState.hpp"

namespace ui {
class ButtonCell;
class Cell;
} // namespace ui

namespace vimbra {

// The button cells' rule: on (33) or mixed (65) only when the cell shows its state (showsStateBy
// non-zero), else default (1); + disabled (2) when not enabled; + highlighted (8) when highlighted and
// enabled; + selected (4) when isSelected (the cell's own flag), enabled or not; + invalid (128) when the
// cell is Validating and not valid. Never focused.
StyledControlState buttonCellControlState(const ui::ButtonCell& cell, bool isSelected);

// The generic rule of the other styled cells: as the button cells' rule, but on and mixed show whatever
// showsStateBy says, and selected comes from a Selectable cell's isSelected (never for other cells).
StyledControlState controlState(const ui::Cell& cell);

// Pop-up and pull-down button cells: the button cells' base and enabling, never selected nor invalid.
StyledControlState popUpCellControlState(const ui::ButtonCell& cell);

// Slider cells: default, + disabled when not enabled, + highlighted while pressed and enabled; no other
// bit, so the cell itself never asks for its knob's mixed image.
StyledControlState sliderCellControlState(const ui::Cell& cell);

// Table and outline views and their header cells: default, + disabled when not enabled, + highlighted
// whenever highlighted, enabled or not.
StyledControlState tableControlState(bool enabled, bool highlighted);

// Table row and cell views: default | selected (5) when selected, else default.
StyledControlState rowControlState(bool selected);

// One segment of a segmented control: default, + disabled when the cell is not enabled; + highlighted
// when the segment's highlight state (1 to 5; any other value counts as 4 for the selected segment and
// 1 for the others) is 2, 3 or 5; + selected for the selected segment unless the selection is hidden.
StyledControlState segmentState(bool enabled, int highlightState, bool isSelectedSegment, bool hideSelection);

} // namespace vimbra
