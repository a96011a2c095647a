#include "Vimbra/Protocols.hpp"
#include "Vimbra/StyledControls/CellControlState.hpp"
#include "ui/Button.hpp"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace vimbra;
using S = StyledControlState;

namespace {

// A button cell that can be selected and invalid, as the text-field cells can; the button-cell rule is
// given the selection flag the way StyledButtonCell hands over its own.
class SelectableValidatingCell : public ui::ButtonCell, public Selectable, public Validating {
public:
    bool isSelected() const override { return selected; }
    void setSelected(bool value) override { selected = value; }
    bool isValid() const override { return valid; }
    bool selected = false;
    bool valid = true;
};

struct CellCase {
    const char* what;
    int state;
    int showsStateBy;
    bool enabled;
    bool highlighted;
    bool selected;
    bool valid;
    std::int64_t buttonRule;
    std::int64_t genericRule;
};

constexpr int on = ui::StateValue::on;
constexpr int mixed = ui::StateValue::mixed;
constexpr int off = ui::StateValue::off;

const std::vector<CellCase> cellCases = {
    // what, state, showsStateBy, enabled, highlighted, selected, valid; then the button and generic rules
    {"ordinary push cell at rest", off, 0, true, false, false, true, 1, 1},
    {"ordinary push cell pressed", off, 0, true, true, false, true, 9, 9},
    {"check box on and disabled", on, 1, false, false, false, true, 35, 35},
    {"mixed check box pressed", mixed, 1, true, true, false, true, 73, 73},
    {"selected disabled off cell", off, 1, false, false, true, true, 7, 7},
    {"invalid disabled off cell", off, 0, false, false, false, false, 131, 131},
    {"push cell that shows no state, on", on, 0, true, false, false, true, 1, 33},
    {"push cell that shows no state, mixed", mixed, 0, true, false, false, true, 1, 65},
    {"disabled cell held down", off, 1, false, true, false, true, 3, 3},
    {"state 2 counts as off", 2, 1, true, false, false, true, 1, 1},
    {"state -2 counts as off", -2, 1, true, false, false, true, 1, 1},
    {"valid cell gains nothing", on, 1, true, false, false, true, 33, 33},
    {"invalid adds 128 on top of the rest", on, 1, true, true, true, false, 173, 173},
    {"selected and disabled keeps both", mixed, 1, false, true, true, true, 71, 71},
};

} // namespace

TEST(CellControlState, ButtonAndGenericRulesGiveTheWorkedValues) {
    for (const auto& c : cellCases) {
        SelectableValidatingCell cell;
        cell.setState(c.state);
        cell.setShowsStateBy(c.showsStateBy);
        cell.setEnabled(c.enabled);
        cell.setHighlighted(c.highlighted);
        cell.selected = c.selected;
        cell.valid = c.valid;
        EXPECT_EQ(buttonCellControlState(cell, c.selected), S(c.buttonRule)) << c.what;
        EXPECT_EQ(controlState(cell), S(c.genericRule)) << c.what;
        // Computed afresh: a second read of an unchanged cell agrees, a change shows at once.
        cell.setEnabled(!c.enabled);
        EXPECT_NE(controlState(cell), S(c.genericRule)) << c.what;
    }
}

TEST(CellControlState, SelectionAndValidityComeOnlyFromWhatTheCellIs) {
    // A cell that is neither Selectable nor Validating (the combo box's) never carries 4 or 128.
    ui::ButtonCell plain;
    plain.setState(on);
    plain.setHighlighted(true);
    EXPECT_EQ(controlState(plain), S(41));
    // The button rule takes the selection it is given, whatever the cell's class.
    EXPECT_EQ(buttonCellControlState(plain, true), S(1 | 4 | 8));
    EXPECT_EQ(buttonCellControlState(plain, false), S(1 | 8));

    // The generic rule reads the cell's own flag; the button rule reads only the flag it is handed.
    SelectableValidatingCell cell;
    cell.selected = true;
    EXPECT_EQ(controlState(cell), S(5));
    EXPECT_EQ(buttonCellControlState(cell, false), S(1));
}

TEST(CellControlState, EveryResultHoldsDefaultAtMostOneOfOnAndMixedAndNeverFocus) {
    for (int state : {-2, mixed, off, on, 2}) {
        for (int shows : {0, 1}) {
            for (int flags = 0; flags < 16; ++flags) {
                SelectableValidatingCell cell;
                cell.setState(state);
                cell.setShowsStateBy(shows);
                cell.setEnabled((flags & 1) != 0);
                cell.setHighlighted((flags & 2) != 0);
                cell.selected = (flags & 4) != 0;
                cell.valid = (flags & 8) != 0;
                for (S value : {buttonCellControlState(cell, cell.selected), controlState(cell),
                                popUpCellControlState(cell), sliderCellControlState(cell)}) {
                    const auto where = std::to_string(state) + "/" + std::to_string(shows) + "/" +
                                       std::to_string(flags) + " gives " + value.description();
                    EXPECT_TRUE(value.contains(S::default_)) << where;
                    EXPECT_FALSE(value.contains(S::on | S::mixed)) << where;
                    EXPECT_FALSE(value.containsAny(S::focused)) << where;
                    // Only an enabled cell is ever highlighted by a cell rule.
                    EXPECT_FALSE(value.contains(S::disabled | S::highlighted)) << where;
                }
            }
        }
    }
}

TEST(CellControlState, PopUpAndSliderCellsKeepTheirNarrowerRules) {
    SelectableValidatingCell cell;
    cell.selected = true;
    cell.valid = false;
    cell.setState(on);
    cell.setShowsStateBy(0);
    EXPECT_EQ(popUpCellControlState(cell), S(1)); // no state shown, never selected nor invalid
    cell.setShowsStateBy(ui::CellStyleMask::contents);
    EXPECT_EQ(popUpCellControlState(cell), S(33));
    cell.setHighlighted(true);
    EXPECT_EQ(popUpCellControlState(cell), S(41));
    cell.setEnabled(false);
    EXPECT_EQ(popUpCellControlState(cell), S(35));

    // A slider cell shows neither its state nor selection: 1, 9 while its knob is pressed, 3 disabled.
    ui::ButtonCell slider;
    slider.setState(mixed);
    EXPECT_EQ(sliderCellControlState(slider), S(1));
    slider.setHighlighted(true);
    EXPECT_EQ(sliderCellControlState(slider), S(9));
    slider.setEnabled(false);
    EXPECT_EQ(sliderCellControlState(slider), S(3));
}

TEST(CellControlState, TablesRowsAndSegmentsKeepTheirOwnRules) {
    // Tables, outlines and header cells: highlighted counts whether enabled or not.
    EXPECT_EQ(tableControlState(true, false), S(1));
    EXPECT_EQ(tableControlState(false, false), S(3));
    EXPECT_EQ(tableControlState(true, true), S(9));
    EXPECT_EQ(tableControlState(false, true), S(11));
    EXPECT_EQ(rowControlState(true), S(5));
    EXPECT_EQ(rowControlState(false), S(1));

    struct SegmentCase {
        const char* what;
        bool enabled;
        int highlightState;
        bool isSelected;
        bool hideSelection;
        std::int64_t expected;
    };
    const std::vector<SegmentCase> segments = {
        {"plain segment", true, 1, false, false, 1},
        {"pressed segment (2)", true, 2, false, false, 9},
        {"pressed segment (3)", true, 3, false, false, 9},
        {"pressed selected segment (5)", true, 5, true, false, 13},
        {"selected segment at rest (4)", true, 4, true, false, 5},
        {"selected segment, selection hidden", true, 4, true, true, 1},
        {"unknown highlight, selected segment", true, 0, true, false, 5},
        {"unknown highlight, other segment", true, 9, false, false, 1},
        {"disabled segment", false, 1, false, false, 3},
        {"disabled segment still shows its press", false, 3, false, false, 11},
        {"disabled selected segment", false, 4, true, false, 7},
    };
    for (const auto& c : segments) {
        EXPECT_EQ(segmentState(c.enabled, c.highlightState, c.isSelected, c.hideSelection), S(c.expected))
            << c.what;
    }
}
