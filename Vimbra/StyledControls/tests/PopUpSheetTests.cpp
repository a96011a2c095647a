// A contact sheet of the pop-up family: each control of the row table in each look, drawn in a window of
// its own at 1x and 2x and written as popups-sheet@1x.png and popups-sheet@2x.png beside the test binary,
// with pixel checks on the pressed, disabled, labelled and focused looks. The library draws one (dark)
// appearance, so there is no light column. Further controls join the sheet as rows of the table.
#include "Vimbra/StyledControls/StyledPopDownButton.hpp"
#include "Vimbra/StyledControls/StyledPopUpButton.hpp"
#include "Vimbra/tests/TestSupport.hpp"

#include <cairo.h>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace vimbra;
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

// One control in one look, drawn in a window of its own; the pixels are kept.
struct Shot {
    graphics::ImageRef pixels;
    Rect controlFrame; // window coordinates, y up
    double scale = 1;

    graphics::ImageRep::RGBA at(double x, double yUp) const {
        const auto& rep = *pixels->representations().at(0);
        return rep.pixel(static_cast<int>(std::floor(x * scale)),
                         static_cast<int>(std::floor((cellHeight - yUp) * scale)));
    }
};

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
    scene.window->contentView()->setNeedsDisplay();
    scene.backend->displayIfNeeded();
    return {graphics::Image::fromSurface(scene.backend->surface(), scale), control->frame(), scale};
}

// Pixels around the control's frame (grown by 3 points for rings) that differ between two shots.
int differing(const Shot& a, const Shot& b) {
    int count = 0;
    const Rect r = a.controlFrame.insetBy(-3, -3);
    for (double y = r.minY() + 0.25; y < r.maxY(); y += 0.5) {
        for (double x = r.minX() + 0.25; x < r.maxX(); x += 0.5) {
            count += a.at(x, y) == b.at(x, y) ? 0 : 1;
        }
    }
    return count;
}

int channel(const graphics::ImageRep::RGBA& p, int i) {
    return i == 0 ? p.r : i == 1 ? p.g : p.b;
}

// Where the artwork of the normal shot stands out from the background, the disabled shot shows it at
// half strength over the same background; answers how many pixels were compared.
int expectHalfStrength(const Shot& normal, const Shot& disabled, const Rect& area) {
    const auto background = normal.at(1, 1);
    int compared = 0;
    for (double y = area.minY() + 0.25; y < area.maxY(); y += 0.5) {
        for (double x = area.minX() + 0.25; x < area.maxX(); x += 0.5) {
            const double wx = normal.controlFrame.minX() + x;
            const double wy = normal.controlFrame.minY() + y;
            const auto n = normal.at(wx, wy);
            const auto d = disabled.at(wx, wy);
            int contrast = 0;
            for (int i = 0; i < 3; ++i) {
                contrast += std::abs(channel(n, i) - channel(background, i));
            }
            if (contrast < 30) {
                continue;
            }
            ++compared;
            for (int i = 0; i < 3; ++i) {
                EXPECT_NEAR(channel(d, i),
                            channel(background, i) + (channel(n, i) - channel(background, i)) * 0.5, 4)
                    << wx << "," << wy;
            }
        }
    }
    return compared;
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

} // namespace

TEST(PopUpSheet, EveryControlInEveryLookAtBothScales) {
    const auto& rows = sheetRows();
    for (double scale : {1.0, 2.0}) {
        const int width = static_cast<int>(cellWidth * scale * static_cast<double>(sheetLooks.size()));
        const int height = static_cast<int>(cellHeight * scale * static_cast<double>(rows.size()));
        cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        cairo_t* cr = cairo_create(sheet);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const auto& row = rows[r];
            std::vector<Shot> shots;
            for (std::size_t column = 0; column < sheetLooks.size(); ++column) {
                shots.push_back(shoot(row, sheetLooks[column], scale));
                cairo_set_source_surface(cr, shots.back().pixels->representations().at(0)->surface(),
                                         static_cast<double>(column) * cellWidth * scale,
                                         static_cast<double>(r) * cellHeight * scale);
                cairo_paint(cr);
            }
            const Shot& normal = shots[0];
            const auto in = [&](Look look) -> const Shot& {
                return shots[static_cast<std::size_t>(
                    std::find(sheetLooks.begin(), sheetLooks.end(), look) - sheetLooks.begin())];
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
        cairo_destroy(cr);
        const auto file = std::filesystem::path(VIMBRA_TEST_OUTPUT_DIR) /
                          (scale == 1 ? "popups-sheet@1x.png" : "popups-sheet@2x.png");
        EXPECT_EQ(cairo_surface_write_to_png(sheet, file.c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(sheet);
    }
}
