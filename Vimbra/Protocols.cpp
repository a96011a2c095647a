#include "Vimbra/Protocols.hpp"

#include "ui/Cell.hpp"

namespace vimbra {
StyledControlState cellControlState(const ui::Cell& cell) {
    using S = StyledControlState;
    S state = S::default_;
    if (cell.state() == ui::StateValue::on) {
        state |= S::on;
    } else if (cell.state() == ui::StateValue::mixed) {
        state |= S::mixed;
    }
    if (!cell.isEnabled()) {
        state |= S::disabled;
    } else if (cell.isHighlighted()) {
        state |= S::highlighted;
    }
    if (const auto* selectable = dynamic_cast<const Selectable*>(&cell);
        selectable && selectable->isSelected()) {
        state |= S::selected;
    }
    if (const auto* validating = dynamic_cast<const Validating*>(&cell);
        validating && !validating->isValid()) {
        state |= S::invalid;
    }
    return state;
}

} // namespace vimbra
