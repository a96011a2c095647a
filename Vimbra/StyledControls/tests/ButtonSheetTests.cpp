// A contact sheet of the button family: each control in each state, drawn in a window of its own at 1x
// and 2x and written as buttons-sheet@1x.png and buttons-sheet@2x.png beside the test binary, with
// pixel checks on focus rings and disabled looks.
#include "Vimbra/StyledControls/PelkoPushButton.hpp"
#include "Vimbra/StyledControls/StyledButton.hpp"
#include "Vimbra/StyledControls/StyledCheckBox.hpp"
#include "Vimbra/StyledControls/ToolButton.hpp"
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

constexpr double cellWidth = 100;
constexpr double cellHeight = 32;

enum class Look { normal, highlighted, on, mixed, disabled, firstResponder, firstResponderInactive };
const std::vector<Look> sheetLooks = {Look::normal, Look::highlighted, Look::on,
                                      Look::mixed,  Look::disabled,    Look::firstResponder};

graphics::ImageRef toolGlyph() {
    auto image = graphics::Image::draw({12, 12}, 2.0, [](graphics::GraphicsContext& context) {
        context.fillRect(Rect(1, 1, 10, 10), graphics::Color::white(0.9));
    });
    return image;
}

// The controls of the sheet, one per row, placed at (4, 4) in their cell.
const std::vector<std::function<std::shared_ptr<ui::Button>()>> sheetControls = {
    [] {
        auto button = std::make_shared<StyledButton>(Rect(4, 5, 84, 22));
        button->setTitle("Button");
        return button;
    },
    [] {
        auto button = std::make_shared<PelkoPushButton>(Rect(4, 2, 84, 28));
        button->setTitle("Pelko");
        return button;
    },
    [] {
        auto box = std::make_shared<StyledCheckBox>(Rect(6, 6, 84, 20));
        box->setTitle("Check");
        return box;
    },
    [] {
        auto tool = std::make_shared<ToolButton>(Rect(4, 4, 24, 24));
        tool->setImage(toolGlyph());
        tool->setShowMoreIcon(true);
        return tool;
    },
};

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

Shot shoot(std::size_t row, Look look, double scale) {
    vimbratest::Scene scene(Rect(100, 100, cellWidth, cellHeight), scale);
    auto control = sheetControls[row]();
    scene.add(control);
    switch (look) {
    case Look::normal:
        break;
    case Look::highlighted:
        control->setHighlighted(true);
        break;
    case Look::on:
        control->setState(ui::StateValue::on);
        break;
    case Look::mixed:
        control->setAllowsMixedState(true);
        control->setState(ui::StateValue::mixed);
        break;
    case Look::disabled:
        control->setEnabled(false);
        break;
    case Look::firstResponder:
        EXPECT_TRUE(scene.window->makeFirstResponder(control));
        break;
    case Look::firstResponderInactive:
        EXPECT_TRUE(scene.window->makeFirstResponder(control));
        scene.backend->focusOut();
        break;
    }
    scene.window->contentView()->setNeedsDisplay();
    scene.backend->displayIfNeeded();
    return {graphics::Image::fromSurface(scene.backend->surface(), scale), control->frame(), scale};
}

// Pixels of the control's frame (grown by 3 points for rings) that differ between two shots.
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

void writeSheet(double scale) {
    const int width = static_cast<int>(cellWidth * scale * static_cast<double>(sheetLooks.size()));
    const int height = static_cast<int>(cellHeight * scale * static_cast<double>(sheetControls.size()));
    cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(sheet);
    for (std::size_t row = 0; row < sheetControls.size(); ++row) {
        for (std::size_t column = 0; column < sheetLooks.size(); ++column) {
            const Shot shot = shoot(row, sheetLooks[column], scale);
            cairo_set_source_surface(cr, shot.pixels->representations().at(0)->surface(),
                                     static_cast<double>(column) * cellWidth * scale,
                                     static_cast<double>(row) * cellHeight * scale);
            cairo_paint(cr);
        }
    }
    cairo_destroy(cr);
    const auto file = std::filesystem::path(VIMBRA_TEST_OUTPUT_DIR) /
                      (scale == 1 ? "buttons-sheet@1x.png" : "buttons-sheet@2x.png");
    EXPECT_EQ(cairo_surface_write_to_png(sheet, file.c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(sheet);
    EXPECT_TRUE(std::filesystem::is_regular_file(file));
}

} // namespace

TEST(ButtonSheet, FocusRingsShowOnlyForKeyboardFocusInTheKeyWindow) {
    for (double scale : {1.0, 2.0}) {
        for (std::size_t row = 0; row < sheetControls.size(); ++row) {
            const Shot normal = shoot(row, Look::normal, scale);
            EXPECT_GT(differing(normal, shoot(row, Look::firstResponder, scale)), 0) << row << " @" << scale;
            EXPECT_EQ(differing(normal, shoot(row, Look::firstResponderInactive, scale)), 0)
                << row << " @" << scale;
        }
    }
}

TEST(ButtonSheet, DisabledControlsDrawTheirArtworkAtHalfStrength) {
    // The push button's bezel edge (left of its title) and the check box's box keep their image when
    // disabled; only the strength changes.
    struct Probe {
        std::size_t row;
        Rect area; // control coordinates, y up from the control's origin
    };
    const std::vector<Probe> probes = {{0, Rect(0, 0, 6, 22)}, {2, Rect(0, 2, 14, 16)}};
    for (double scale : {1.0, 2.0}) {
        for (const auto& probe : probes) {
            const Shot normal = shoot(probe.row, Look::normal, scale);
            const Shot disabled = shoot(probe.row, Look::disabled, scale);
            const auto background = normal.at(1, 1);
            int compared = 0;
            for (double y = probe.area.minY() + 0.25; y < probe.area.maxY(); y += 0.5) {
                for (double x = probe.area.minX() + 0.25; x < probe.area.maxX(); x += 0.5) {
                    const double wx = normal.controlFrame.minX() + x;
                    const double wy = normal.controlFrame.minY() + y;
                    const auto n = normal.at(wx, wy);
                    const auto d = disabled.at(wx, wy);
                    if (std::abs(n.r - background.r) + std::abs(n.g - background.g) +
                            std::abs(n.b - background.b) <
                        30) {
                        continue;
                    }
                    ++compared;
                    EXPECT_NEAR(d.r, background.r + (n.r - background.r) * 0.5, 4) << wx << "," << wy;
                    EXPECT_NEAR(d.g, background.g + (n.g - background.g) * 0.5, 4) << wx << "," << wy;
                    EXPECT_NEAR(d.b, background.b + (n.b - background.b) * 0.5, 4) << wx << "," << wy;
                }
            }
            EXPECT_GT(compared, 4) << probe.row << " @" << scale;
        }
    }
}

TEST(ButtonSheet, TheSheetIsWrittenAtBothScales) {
    writeSheet(1.0);
    writeSheet(2.0);
}
