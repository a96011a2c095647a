// A contact sheet of the pop-up family: each control of the row table in each look, drawn in a window of
// its own at 1x and 2x and written as popups-sheet@1x.png and popups-sheet@2x.png beside the test binary,
// with pixel checks on the pressed, disabled, labelled and focused looks; under the rows, the combo box
// closed, with its list open, disabled and focused. The library draws one (dark) appearance, so there is
// no light column. Further controls join the sheet as rows of the table.
#include "Vimbra/StyledControls/StyledComboBox.hpp"
#include "Vimbra/StyledControls/StyledPopDownButton.hpp"
#include "Vimbra/StyledControls/StyledPopUpButton.hpp"
#include "Vimbra/StyledControls/tests/ContactSheet.hpp"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace vimbra;
using contactsheet::Shot;
using graphics::Rect;

namespace {

constexpr double cellWidth = 150;
constexpr double cellHeight = 32;

enum class Look { normal, labelled, highlighted, disabled, focused, focusedInactive };
const std::vector<Look> sheetLooks = {Look::normal, Look::labelled, Look::highlighted, Look::disabled,
                                      Look::focused};

// One row of the sheet: a control made afresh for every shot, how to label it (none: the labelled
// column shows it unlabelled and is not checked), and where its bezel artwork shows without text over
// it (control coordinates, y up), for the half-strength check of the disabled look.
struct SheetRow {
    std::string name;
    std::function<std::shared_ptr<ui::Control>()> make;
    std::function<void(ui::Control&)> label;
    Rect bareBezel;
};

template <class Control> void labelWith(ui::Control& control, const char* label) {
    static_cast<Control&>(control).setLabel(std::string(label));
}

const std::vector<SheetRow>& sheetRows() {
    static const std::vector<SheetRow> rows = {
        {"pop-up",
         [] {
             auto popUp = std::make_shared<StyledPopUpButton>(Rect(8, 5, 134, 22), false, std::nullopt);
             popUp->addItems({"Sine", "Square", "Saw"});
             popUp->selectItemAt(1);
             return popUp;
         },
         [](ui::Control& c) { labelWith<StyledPopUpButton>(c, "Shape"); }, Rect(0, 2, 6, 18)},
        {"pull-down pop-up",
         [] {
             auto popUp = std::make_shared<StyledPopUpButton>(Rect(8, 5, 134, 22), true, std::nullopt);
             popUp->addItems({"Actions", "Copy", "Paste"});
             return popUp;
         },
         [](ui::Control& c) { labelWith<StyledPopUpButton>(c, "Edit"); }, Rect(0, 2, 6, 18)},
        {"pull-down button",
         [] {
             auto button = std::make_shared<StyledPopDownButton>(Rect(8, 5, 134, 22));
             button->setTitle("Format");
             return button;
         },
         [](ui::Control& c) { labelWith<StyledPopDownButton>(c, "Export"); }, Rect(0, 2, 6, 18)},
        {"tool pop-up",
         [] {
             auto tool = std::make_shared<ToolPopUpButton>(Rect(8, 6, 70, 20), false, std::nullopt);
             tool->addItems({"Pen", "Brush"});
             return tool;
         },
         [](ui::Control& c) { labelWith<ToolPopUpButton>(c, "Tip"); }, Rect(0, 2, 5, 16)},
    };
    return rows;
}

// One control in one look, drawn in a window of its own.
Shot shoot(const SheetRow& row, Look look, double scale) {
    vimbratest::Scene scene(Rect(100, 100, cellWidth, cellHeight), scale);
    auto control = row.make();
    scene.add(control);
    switch (look) {
    case Look::normal:
        break;
    case Look::labelled:
        if (row.label) {
            row.label(*control);
        }
        break;
    case Look::highlighted:
        control->setHighlighted(true);
        break;
    case Look::disabled:
        control->setEnabled(false);
        break;
    case Look::focused:
        EXPECT_TRUE(scene.window->makeFirstResponder(control));
        break;
    case Look::focusedInactive:
        EXPECT_TRUE(scene.window->makeFirstResponder(control));
        scene.backend->focusOut();
        break;
    }
    return contactsheet::shoot(scene, control->frame(), scale);
}

// Pixels around the control's frame (grown by 3 points for rings) that differ between two shots.
int differing(const Shot& a, const Shot& b) {
    return contactsheet::differing(a, b, a.controlFrame.insetBy(-3, -3));
}

// Where the artwork of the normal shot stands out from the background inside area (control coordinates),
// the disabled shot shows it at half strength over the same background; answers how many pixels were
// compared.
int expectHalfStrength(const Shot& normal, const Shot& disabled, const Rect& area) {
    return contactsheet::expectHalfStrength(
        normal, disabled, area.offsetBy(normal.controlFrame.minX(), normal.controlFrame.minY()),
        normal.at(1, 1), 30, 4);
}

// Pixels of the control's frame much brighter than the bezel below them: the title's glyphs.
int brightPixels(const Shot& shot) {
    int count = 0;
    const Rect r = shot.controlFrame;
    for (double y = r.minY() + 0.25; y < r.maxY(); y += 0.5) {
        for (double x = r.minX() + 0.25; x < r.maxX(); x += 0.5) {
            const auto p = shot.at(x, y);
            count += p.r + p.g + p.b > 3 * 170 ? 1 : 0;
        }
    }
    return count;
}

// The combo box's row, under the others: closed, with its list open (the list window's pixels placed
// where the list shows under the box), disabled and with keyboard focus. Its cells are taller, to hold
// the open list.
constexpr double comboCellHeight = 100;
// The box in each cell's window (y up): its top 10 points below the cell's top.
const Rect boxFrame(10, comboCellHeight - 36, 130, 26);

enum class ComboLook { closed, listOpen, disabled, focused };
const std::vector<ComboLook> comboLooks = {ComboLook::closed, ComboLook::listOpen, ComboLook::disabled,
                                           ComboLook::focused};

Shot shoot(ComboLook look, double scale) {
    vimbratest::Scene scene(Rect(100, 100, cellWidth, comboCellHeight), scale);
    auto box = std::make_shared<StyledComboBox>(boxFrame);
    box->addItemsWithObjectValues({12.5, 25, 50});
    box->selectItemAtIndex(0);
    scene.add(box);
    switch (look) {
    case ComboLook::closed:
        break;
    case ComboLook::listOpen:
        box->popUpList();
        EXPECT_TRUE(box->isListShown());
        break;
    case ComboLook::disabled:
        box->setEnabled(false);
        break;
    case ComboLook::focused:
        EXPECT_TRUE(scene.window->makeFirstResponder(box));
        break;
    }
    const Shot window = contactsheet::shoot(scene, box->frame(), scale);
    const auto list = box->listWindow();
    if (!list) {
        return window;
    }
    auto listBackend = std::dynamic_pointer_cast<display::HeadlessBackend>(list->backend());
    EXPECT_NE(listBackend, nullptr);
    if (!listBackend) {
        return window;
    }
    listBackend->displayIfNeeded();
    cairo_surface_t* both = cairo_image_surface_create(
        CAIRO_FORMAT_ARGB32, static_cast<int>(cellWidth * scale), static_cast<int>(comboCellHeight * scale));
    cairo_t* cr = cairo_create(both);
    cairo_set_source_surface(cr, window.surface(), 0, 0);
    cairo_paint(cr);
    // The list's top-left corner relative to the cell window's top-left corner, in device pixels.
    const Rect frame = list->frame();
    cairo_set_source_surface(cr, listBackend->surface(),
                             (frame.minX() - scene.window->frame().minX()) * scale,
                             (scene.window->frame().maxY() - frame.maxY()) * scale);
    cairo_paint(cr);
    cairo_destroy(cr);
    const Shot shot = contactsheet::shotOf(both, box->frame(), scale, comboCellHeight);
    cairo_surface_destroy(both);
    return shot;
}

// Checks the combo box's looks, placing them on the sheet with their top at the given y (points).
void expectComboBoxLooks(contactsheet::Sheet& sheet, double top) {
    const double scale = sheet.scale();
    std::vector<Shot> shots;
    for (std::size_t column = 0; column < comboLooks.size(); ++column) {
        shots.push_back(shoot(comboLooks[column], scale));
        sheet.place(shots.back(), {static_cast<double>(column) * cellWidth, top});
    }
    const Shot& closed = shots[0];
    const Shot& open = shots[1];
    const Shot& disabled = shots[2];
    const Shot& focused = shots[3];

    const double arrowWidth = StyledComboBoxCell().rightImage()->size().width;
    // Window coordinates of the arrow and of the field's left part (clear of the text).
    const Rect arrow(boxFrame.maxX() - arrowWidth, boxFrame.minY(), arrowWidth, boxFrame.height());
    const Rect fieldEdge(boxFrame.minX(), boxFrame.minY(), 6, boxFrame.height());
    const Rect listArea(boxFrame.minX(), 10, boxFrame.width(), boxFrame.minY() - 20);
    // The list shows under the box, and the arrow changes while it is open.
    EXPECT_GT(contactsheet::differing(closed, open, listArea), 200 * scale * scale) << scale;
    EXPECT_GT(contactsheet::differing(closed, open, arrow), 10) << scale;
    // The focus ring goes round the field, not the arrow.
    EXPECT_GT(contactsheet::differing(closed, focused, fieldEdge), 10) << scale;
    EXPECT_EQ(contactsheet::differing(closed, focused, arrow.insetBy(2, 0).offsetBy(2, 0)), 0) << scale;
    // Disabled: the arrow's artwork at half strength over the same background.
    EXPECT_GT(contactsheet::expectHalfStrength(closed, disabled, arrow,
                                               closed.at(arrow.maxX() + 4, arrow.midY()), 60, 4),
              10)
        << scale;
}

} // namespace

TEST(PopUpSheet, EveryControlInEveryLookAtBothScales) {
    const auto& rows = sheetRows();
    const double rowsHeight = cellHeight * static_cast<double>(rows.size());
    for (double scale : contactsheet::scales) {
        contactsheet::Sheet sheet(
            {cellWidth * static_cast<double>(std::max(sheetLooks.size(), comboLooks.size())),
             rowsHeight + comboCellHeight},
            scale);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const auto& row = rows[r];
            std::vector<Shot> shots;
            for (std::size_t column = 0; column < sheetLooks.size(); ++column) {
                shots.push_back(shoot(row, sheetLooks[column], scale));
                sheet.place(shots.back(),
                            {static_cast<double>(column) * cellWidth, static_cast<double>(r) * cellHeight});
            }
            const Shot& normal = shots[0];
            const auto in = [&](Look look) -> const Shot& {
                return shots[static_cast<std::size_t>(std::find(sheetLooks.begin(), sheetLooks.end(), look) -
                                                      sheetLooks.begin())];
            };
            const std::string where = row.name + " @" + std::to_string(scale);
            EXPECT_GT(brightPixels(normal), 8) << where; // a title is drawn
            EXPECT_GT(differing(normal, in(Look::highlighted)), 0) << where;
            if (row.label) {
                EXPECT_GT(differing(normal, in(Look::labelled)), 0) << where;
            }
            // A focus ring only with keyboard focus in the key window.
            EXPECT_GT(differing(normal, in(Look::focused)), 0) << where;
            EXPECT_EQ(differing(normal, shoot(row, Look::focusedInactive, scale)), 0) << where;
            // Disabled: the bezel at half strength.
            EXPECT_GT(expectHalfStrength(normal, in(Look::disabled), row.bareBezel), 4) << where;
        }
        expectComboBoxLooks(sheet, rowsHeight);
        EXPECT_TRUE(sheet.write("popups-sheet"));
    }
}
