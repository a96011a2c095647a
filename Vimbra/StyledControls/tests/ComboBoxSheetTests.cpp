// A contact sheet of the styled combo box: closed, with its list open (the list window's pixels placed
// where the list shows under the box), disabled and with keyboard focus, drawn at 1x and 2x and written
// as combobox-sheet@1x.png and combobox-sheet@2x.png beside the test binary, with pixel checks.
#include "Vimbra/StyledControls/StyledComboBox.hpp"
#include "Vimbra/tests/TestSupport.hpp"

#include <cairo.h>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

using namespace vimbra;
using graphics::Rect;

namespace {

constexpr double cellWidth = 170;
constexpr double cellHeight = 100;
// The box in each cell's window (y up): its top 10 points below the cell's top.
const Rect boxFrame(10, cellHeight - 36, 150, 26);

enum class Look { closed, listOpen, disabled, focused };
const std::vector<Look> looks = {Look::closed, Look::listOpen, Look::disabled, Look::focused};

struct Shot {
    cairo_surface_t* surface = nullptr; // the cell, list included
    double scale = 1;

    Shot() = default;
    Shot(const Shot&) = delete;
    Shot& operator=(const Shot&) = delete;
    Shot(Shot&& other) noexcept : surface(std::exchange(other.surface, nullptr)), scale(other.scale) {}
    ~Shot() {
        if (surface) {
            cairo_surface_destroy(surface);
        }
    }

    // The colour at a point of the cell in window coordinates (y up).
    struct RGB {
        int r = 0, g = 0, b = 0;
        bool operator==(const RGB&) const = default;
    };
    RGB at(double x, double yUp) const {
        cairo_surface_flush(surface);
        const int px = static_cast<int>(std::floor(x * scale));
        const int py = static_cast<int>(std::floor((cellHeight - yUp) * scale));
        const auto* row =
            cairo_image_surface_get_data(surface) + py * cairo_image_surface_get_stride(surface);
        const auto pixel = reinterpret_cast<const std::uint32_t*>(row)[px];
        return {static_cast<int>((pixel >> 16) & 0xff), static_cast<int>((pixel >> 8) & 0xff),
                static_cast<int>(pixel & 0xff)};
    }
};

Shot shoot(Look look, double scale) {
    vimbratest::Scene scene(Rect(100, 100, cellWidth, cellHeight), scale);
    auto box = std::make_shared<StyledComboBox>(boxFrame);
    box->addItemsWithObjectValues({12.5, 25, 50});
    box->selectItemAtIndex(0);
    scene.add(box);
    switch (look) {
    case Look::closed:
        break;
    case Look::listOpen:
        box->popUpList();
        EXPECT_TRUE(box->isListShown());
        break;
    case Look::disabled:
        box->setEnabled(false);
        break;
    case Look::focused:
        EXPECT_TRUE(scene.window->makeFirstResponder(box));
        break;
    }
    scene.window->contentView()->setNeedsDisplay();
    scene.backend->displayIfNeeded();

    Shot shot;
    shot.scale = scale;
    const int width = static_cast<int>(cellWidth * scale);
    const int height = static_cast<int>(cellHeight * scale);
    shot.surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(shot.surface);
    cairo_set_source_surface(cr, scene.backend->surface(), 0, 0);
    cairo_paint(cr);
    if (auto list = box->listWindow()) {
        auto listBackend = std::dynamic_pointer_cast<display::HeadlessBackend>(list->backend());
        EXPECT_NE(listBackend, nullptr);
        if (listBackend) {
            listBackend->displayIfNeeded();
            // The list's top-left corner relative to the cell window's top-left corner, in device pixels.
            const Rect frame = list->frame();
            const double x = (frame.minX() - scene.window->frame().minX()) * scale;
            const double y = (scene.window->frame().maxY() - frame.maxY()) * scale;
            cairo_set_source_surface(cr, listBackend->surface(), x, y);
            cairo_paint(cr);
        }
    }
    cairo_destroy(cr);
    return shot;
}

// Pixels of an area (window coordinates) that differ between two shots.
int differing(const Shot& a, const Shot& b, const Rect& area) {
    int count = 0;
    for (double y = area.minY() + 0.25; y < area.maxY(); y += 0.5) {
        for (double x = area.minX() + 0.25; x < area.maxX(); x += 0.5) {
            count += a.at(x, y) == b.at(x, y) ? 0 : 1;
        }
    }
    return count;
}

} // namespace

TEST(ComboBoxSheet, TheComboBoxClosedOpenDisabledAndFocusedAtBothScales) {
    const double arrowWidth = StyledComboBoxCell().rightImage()->size().width;
    // Window coordinates of the arrow and of the field's left part (clear of the text).
    const Rect arrow(boxFrame.maxX() - arrowWidth, boxFrame.minY(), arrowWidth, boxFrame.height());
    const Rect fieldEdge(boxFrame.minX(), boxFrame.minY(), 6, boxFrame.height());
    const Rect listArea(boxFrame.minX(), 10, boxFrame.width(), boxFrame.minY() - 20);

    for (double scale : {1.0, 2.0}) {
        std::vector<Shot> shots;
        for (Look look : looks) {
            shots.push_back(shoot(look, scale));
        }
        const Shot& closed = shots[0];
        const Shot& open = shots[1];
        const Shot& disabled = shots[2];
        const Shot& focused = shots[3];

        // The list shows under the box, and the arrow changes while it is open.
        EXPECT_GT(differing(closed, open, listArea), 200 * scale * scale) << scale;
        EXPECT_GT(differing(closed, open, arrow), 10) << scale;
        // The focus ring goes round the field, not the arrow.
        EXPECT_GT(differing(closed, focused, fieldEdge), 10) << scale;
        EXPECT_EQ(differing(closed, focused, arrow.insetBy(2, 0).offsetBy(2, 0)), 0) << scale;
        // Disabled: the arrow's artwork at half strength over the same background.
        const auto background = closed.at(arrow.maxX() + 4, arrow.midY());
        int compared = 0;
        for (double y = arrow.minY() + 0.25; y < arrow.maxY(); y += 0.5) {
            for (double x = arrow.minX() + 0.25; x < arrow.maxX(); x += 0.5) {
                const auto n = closed.at(x, y);
                const auto d = disabled.at(x, y);
                if (std::abs(n.r - background.r) + std::abs(n.g - background.g) +
                        std::abs(n.b - background.b) <
                    60) {
                    continue;
                }
                ++compared;
                EXPECT_NEAR(d.r, background.r + (n.r - background.r) * 0.5, 4) << x << "," << y;
                EXPECT_NEAR(d.g, background.g + (n.g - background.g) * 0.5, 4) << x << "," << y;
            }
        }
        EXPECT_GT(compared, 10) << scale;

        // The sheet: one row, the looks side by side.
        const int width = static_cast<int>(cellWidth * scale * static_cast<double>(looks.size()));
        const int height = static_cast<int>(cellHeight * scale);
        cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        cairo_t* cr = cairo_create(sheet);
        for (std::size_t i = 0; i < shots.size(); ++i) {
            cairo_set_source_surface(cr, shots[i].surface, static_cast<double>(i) * cellWidth * scale, 0);
            cairo_paint(cr);
        }
        cairo_destroy(cr);
        const auto file = std::filesystem::path(VIMBRA_TEST_OUTPUT_DIR) /
                          (scale == 1 ? "combobox-sheet@1x.png" : "combobox-sheet@2x.png");
        EXPECT_EQ(cairo_surface_write_to_png(sheet, file.c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(sheet);
    }
}
