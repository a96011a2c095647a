// A contact sheet of the table family at 1x and 2x, written as tables-sheet@1x.png and tables-sheet@2x.png
// beside the test binary: a table under its actionable header with a run of selected rows and a lone
// one, and an outline expanded and collapsed. The sheet is a list of panels laid side by side, so other
// families can add theirs. Pixel checks on the selection block and the disclosure images.
#include "Vimbra/Assets.hpp"
#include "Vimbra/StyledControls/tests/TableFixtures.hpp"
#include "Vimbra/Styles.hpp"
#include "Vimbra/tests/TestSupport.hpp"

#include <cairo.h>
#include <cmath>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using graphics::Rect;

namespace {

// One panel of the sheet: a window of its own size holding what build puts in it; build answers what
// must live while the panel is drawn (its models).
struct Panel {
    std::string name;
    graphics::Size size;
    std::function<std::shared_ptr<void>(const vimbratest::Scene&)> build;
};

struct Shot {
    graphics::ImageRef pixels;
    graphics::Size size;
    double scale = 1;

    // A pixel by window coordinates (y up).
    graphics::ImageRep::RGBA at(double x, double yUp) const {
        const auto& rep = *pixels->representations().at(0);
        return rep.pixel(static_cast<int>(std::floor(x * scale)),
                         static_cast<int>(std::floor((size.height - yUp) * scale)));
    }
};

Shot shoot(const Panel& panel, double scale) {
    vimbratest::Scene scene(Rect(100, 100, panel.size.width, panel.size.height), scale);
    const auto models = panel.build(scene);
    scene.window->contentView()->setNeedsDisplay();
    scene.backend->displayIfNeeded();
    return {graphics::Image::fromSurface(scene.backend->surface(), scale), panel.size, scale};
}

bool near(const graphics::ImageRep::RGBA& pixel, const graphics::ColorRef& color, int tolerance = 3) {
    return std::abs(pixel.r - color->red() * 255) <= tolerance &&
           std::abs(pixel.g - color->green() * 255) <= tolerance &&
           std::abs(pixel.b - color->blue() * 255) <= tolerance;
}

constexpr double rowHeight = 20;
constexpr double headerHeight = ui::TableHeaderView::defaultHeight;

// Window y (up) of the middle of a table row under the header, in a panel of the given height.
double rowMiddle(double panelHeight, int row, double header = headerHeight) {
    return panelHeight - header - (row + 0.5) * rowHeight;
}

const std::vector<Panel>& panels() {
    static const std::vector<Panel> list = {
        {"table",
         {260, 180},
         [](const vimbratest::Scene& scene) {
             auto t = std::make_shared<tabletest::TableInScroll>(Rect(0, 0, 260, 180), 12, 130);
             t->table->selectRowIndexes({1, 2, 3, 5}, false);
             t->table->applyHeaderStyle(vimbra::vimbraColor("Grey 85%"),
                                        vimbra::TableViewStyle().headerBackgroundColor,
                                        vimbra::Styles::mediumFont());
             scene.add(t->scroll);
             return t;
         }},
        {"outline expanded",
         {160, 180},
         [](const vimbratest::Scene& scene) {
             auto o = std::make_shared<tabletest::OutlineInScroll>(Rect(0, 0, 160, 180));
             o->outline->expandItem(o->a);
             o->outline->selectRowIndexes({2}, false);
             scene.add(o->scroll);
             return o;
         }},
        {"outline collapsed",
         {160, 180},
         [](const vimbratest::Scene& scene) {
             auto o = std::make_shared<tabletest::OutlineInScroll>(Rect(0, 0, 160, 180));
             scene.add(o->scroll);
             return o;
         }},
    };
    return list;
}

} // namespace

TEST(TablesSheet, TheTableAndTheOutlineAtBothScales) {
    const auto selected = vimbra::TableViewStyle().selectedRowBackgroundColor;
    const auto background = vimbra::TableViewStyle().rowBackgroundColor;
    for (double scale : {1.0, 2.0}) {
        double width = 0;
        double height = 0;
        for (const auto& panel : panels()) {
            width += panel.size.width;
            height = std::max(height, panel.size.height);
        }
        cairo_surface_t* sheet = cairo_image_surface_create(
            CAIRO_FORMAT_ARGB32, static_cast<int>(width * scale), static_cast<int>(height * scale));
        cairo_t* cr = cairo_create(sheet);
        std::vector<Shot> shots;
        double x = 0;
        for (const auto& panel : panels()) {
            shots.push_back(shoot(panel, scale));
            cairo_set_source_surface(cr, shots.back().pixels->representations().at(0)->surface(), x * scale,
                                     0);
            cairo_paint(cr);
            x += panel.size.width;
        }
        cairo_destroy(cr);

        // The run of rows 1 to 3 is one block, inset 8 points, rounded only at its outer corners; row 5
        // alone is a rounded block of its own; row 4 between them is not selected.
        const Shot& table = shots[0];
        const double h = table.size.height;
        for (int row : {1, 2, 3, 5}) {
            EXPECT_TRUE(near(table.at(200, rowMiddle(h, row)), selected)) << row << " @" << scale;
            EXPECT_TRUE(near(table.at(4, rowMiddle(h, row)), background)) << row << " @" << scale;
        }
        EXPECT_TRUE(near(table.at(200, rowMiddle(h, 4)), background)) << scale;
        const double topOfRun = h - headerHeight - rowHeight;
        const double bottomOfRun = h - headerHeight - 4 * rowHeight;
        EXPECT_FALSE(near(table.at(8.25, topOfRun - 0.25), selected)) << "rounded top corner @" << scale;
        EXPECT_FALSE(near(table.at(8.25, bottomOfRun + 0.25), selected))
            << "rounded bottom corner @" << scale;
        // Square where rows of the run meet.
        EXPECT_TRUE(near(table.at(8.25, topOfRun - rowHeight + 0.25), selected)) << scale;
        EXPECT_TRUE(near(table.at(8.25, topOfRun - rowHeight - 0.25), selected)) << scale;
        // The header's tint strip, with its buttons at the visible right edge (left of the scroller).
        EXPECT_FALSE(near(table.at(60, h - headerHeight / 2), background)) << scale;

        // The expanded outline shows A's children and its open disclosure image; the collapsed one the
        // closed image in the same place.
        const Shot& open = shots[1];
        const Shot& closed = shots[2];
        int differing = 0;
        for (double y = rowMiddle(h, 0, 0) - 5; y < rowMiddle(h, 0, 0) + 5; y += 0.5) {
            for (double px = 1; px < 16; px += 0.5) {
                differing += open.at(px, y) == closed.at(px, y) ? 0 : 1;
            }
        }
        EXPECT_GT(differing, 4) << "disclosure images @" << scale;
        EXPECT_FALSE(near(open.at(120, rowMiddle(h, 2, 0)), background)) << "A2 selected @" << scale;
        EXPECT_TRUE(near(closed.at(120, rowMiddle(h, 4, 0)), background)) << "three rows only @" << scale;

        const auto file = std::filesystem::path(VIMBRA_TEST_OUTPUT_DIR) /
                          (scale == 1 ? "tables-sheet@1x.png" : "tables-sheet@2x.png");
        EXPECT_EQ(cairo_surface_write_to_png(sheet, file.c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(sheet);
    }
}
