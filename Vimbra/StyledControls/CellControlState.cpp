#include "Vimbra/StyledControls/CellControlState.hpp"

#include "Vimbra/Protocols.hpp"
#include "ui/Button.hpp"
#include "ui/Cell.hpp"

namespace vimbra {
namespace {

using S = StyledControlState;

// Default, with on or mixed for a cell whose state shows; other state values count as off.
S base(int state, bool showsState) {
    if (showsState && state == ui::StateValue::on) {
        return S::default_ | S::on;
    }
    if (showsState && state == ui::StateValue::mixed) {
        return S::default_ | S::mixed;
    }
    return S::default_;
}

// Disabled when not enabled; highlighted only when highlighted and enabled.
S withEnabling(S state, const ui::Cell& cell) {
    if (!cell.isEnabled()) {
        state |= S::disabled;
    } else if (cell.isHighlighted()) {
        state |= S::highlighted;
    }
    return state;
}

S withValidity(S state, const ui::Cell& cell) {
    if (const auto* validating = dynamic_cast<const Validating*>(&cell);
        validating && !validating->isValid()) {
        state |= S::invalid;
    }
    return state;
}

} // namespace

StyledControlState buttonCellControlState(const ui::ButtonCell& cell, bool isSelected) {
    S state = withEnabling(base(cell.state(), cell.showsStateBy() != 0), cell);
    if (isSelected) {
        state |= S::selected;
    }
    return withValidity(state, cell);
}

StyledControlState controlState(const ui::Cell& cell) {
    S state = withEnabling(base(cell.state(), true), cell);
    if (const auto* selectable = dynamic_cast<const Selectable*>(&cell);
        selectable && selectable->isSelected()) {
        state |= S::selected;
    }
    return withValidity(state, cell);
}

StyledControlState popUpCellControlState(const ui::ButtonCell& cell) {
    return withEnabling(base(cell.state(), cell.showsStateBy() != 0), cell);
}

StyledControlState sliderCellControlState(const ui::Cell& cell) {
    return withEnabling(S::default_, cell);
}

StyledControlState tableControlState(bool enabled, bool highlighted) {
    S state = enabled ? S::default_ : S::default_ | S::disabled;
    if (highlighted) {
        state |= S::highlighted;
    }
    return state;
}

StyledControlState rowControlState(bool selected) {
    return selected ? S::default_ | S::selected : S::default_;
}

StyledControlState segmentState(bool enabled, int highlightState, bool isSelectedSegment,
                                bool hideSelection) {
    S state = enabled ? S::default_ : S::default_ | S::disabled;
    if (highlightState < 1 || highlightState > 5) {
        highlightState = isSelectedSegment ? 4 : 1;
    }
    if (highlightState == 2 || highlightState == 3 || highlightState == 5) {
        state |= S::highlighted;
    }
    if (isSelectedSegment && !hideSelection) {
        state |= S::selected;
    }
    return state;
}

} // namespace vimbra
