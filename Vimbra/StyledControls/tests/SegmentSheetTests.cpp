// A contact sheet of the segmented controls: each in every look, at 1x and 2x, written as
// segments-sheet@1x.png and segments-sheet@2x.png beside the test binary, with pixel checks on what each
// look must and must not change.
#include "Vimbra/StyledControls/tests/SegmentSheet.hpp"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>

using graphics::Rect;
using segmentsheet::Look;
using segmentsheet::Shot;

namespace {

std::size_t column(Look look) {
    const auto& all = segmentsheet::looks();
    return static_cast<std::size_t>(std::find(all.begin(), all.end(), look) - all.begin());
}

// Pixels of an area (window points, y up) that differ between two shots.
int differing(const Shot& a, const Shot& b, const Rect& area) {
    int count = 0;
    for (double y = area.minY() + 0.25; y < area.maxY(); y += 0.5) {
        for (double x = area.minX() + 0.25; x < area.maxX(); x += 0.5) {
            count += a.at(x, y) == b.at(x, y) ? 0 : 1;
        }
    }
    return count;
}

// The control's frame grown by a few points (rings reach out).
Rect around(const Shot& shot) {
    return shot.controlFrame.insetBy(-3, -3);
}

} // namespace

TEST(SegmentSheet, EverySegmentedControlInEveryLookAtBothScales) {
    for (double scale : {1.0, 2.0}) {
        const int width = static_cast<int>(segmentsheet::cellWidth * scale *
                                           static_cast<double>(segmentsheet::looks().size()));
        const int height = static_cast<int>(segmentsheet::cellHeight * scale * segmentsheet::rowCount);
        cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        cairo_t* cr = cairo_create(sheet);
        const auto rows = segmentsheet::drawSegmentRows(cr, scale, 0);
        cairo_destroy(cr);

        for (std::size_t row = 0; row < rows.size(); ++row) {
            const auto& shots = rows[row];
            const Shot& normal = shots[column(Look::normal)];
            // A hidden selection looks like none; a shown one and a press change the look.
            EXPECT_EQ(differing(normal, shots[column(Look::selectionHidden)], around(normal)), 0) << row;
            EXPECT_GT(differing(normal, shots[column(Look::selected)], around(normal)), 20) << row;
            EXPECT_GT(differing(normal, shots[column(Look::pressed)], around(normal)), 20) << row;
            EXPECT_GT(differing(shots[column(Look::selected)], shots[column(Look::pressed)], around(normal)),
                      20)
                << row;
        }

        // The styled control: the focus ring reaches the key (first) segment only; the disabled bezel is
        // drawn at full strength (the left edge of the first segment, clear of its label, is unchanged).
        const auto& styled = rows[0];
        const Shot& normal = styled[column(Look::normal)];
        const Rect frame = normal.controlFrame;
        EXPECT_GT(differing(normal, styled[column(Look::focused)],
                            Rect(frame.minX(), frame.minY(), 20, frame.height())),
                  20);
        EXPECT_EQ(differing(normal, styled[column(Look::focused)],
                            Rect(frame.minX() + 120, frame.minY(), frame.width() - 120, frame.height())),
                  0);
        EXPECT_EQ(differing(normal, styled[column(Look::disabled)],
                            Rect(frame.minX(), frame.minY(), 12, frame.height())),
                  0);
        const auto file = std::filesystem::path(VIMBRA_TEST_OUTPUT_DIR) /
                          (scale == 1 ? "segments-sheet@1x.png" : "segments-sheet@2x.png");
        EXPECT_EQ(cairo_surface_write_to_png(sheet, file.c_str()), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(sheet);
    }
}
