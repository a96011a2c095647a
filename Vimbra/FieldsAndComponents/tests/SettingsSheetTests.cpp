// A contact sheet of the settings layout, drawn at 1x and 2x and written as settings-sheet@1x.png and
// settings-sheet@2x.png beside the test binary, with pixel checks on the label column, the sliders and
// the divider.
#include "ComponentsTestSupport.hpp"
#include "SettingsSheetScene.hpp"

#include <cairo.h>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>

using namespace componentstest;

namespace {

using RGBA = graphics::ImageRep::RGBA;

struct Sheet {
    graphics::ImageRef pixels;
    double scale = 1;
    // The pixel under a point of the sheet (top-left origin).
    RGBA at(double x, double y) const {
        return pixels->representations().at(0)->pixel(static_cast<int>(std::floor(x * scale)),
                                                      static_cast<int>(std::floor(y * scale)));
    }
};

int distance(const RGBA& a, const RGBA& b) {
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

// How many pixels of a rect differ clearly from the colour.
int inked(const Sheet& sheet, const Rect& rect, const RGBA& background) {
    int count = 0;
    const double step = 1 / sheet.scale;
    for (double y = rect.minY() + step / 2; y < rect.maxY(); y += step) {
        for (double x = rect.minX() + step / 2; x < rect.maxX(); x += step) {
            count += distance(sheet.at(x, y), background) > 40 ? 1 : 0;
        }
    }
    return count;
}

} // namespace

TEST(SettingsSheet, TheLayoutAtBothScales) {
    using G = SettingsSheetGeometry;
    for (double scale : {1.0, 2.0}) {
        SettingsSheetModels models;
        Host host(settingsSheetScene(models), {G::width, G::height}, scale, false);
        // Where things went, from the drawing itself: the texts and the slider artwork.
        std::vector<graphics::RecordedOp> labels;
        for (const auto& op : host.texts()) {
            labels.push_back(op);
        }
        ASSERT_EQ(labels.size(), 7u); // 4 labels, the button's title, "12 found", "High"
        std::vector<DrawnImage> fills, knobs;
        for (const auto& image : host.images()) {
            if (image.name == "qel-customslider-on" && image.opacity > 0) {
                fills.push_back(image);
            } else if (image.name == "qel-customslider-handle" && image.opacity > 0) {
                knobs.push_back(image);
            }
        }
        ASSERT_EQ(fills.size(), 1u);
        ASSERT_EQ(knobs.size(), 4u); // the set slider's, and three faint ones

        host.window->contentView()->setNeedsDisplay();
        host.backend->displayIfNeeded();
        const Sheet sheet{graphics::Image::fromSurface(host.backend->surface(), scale), scale};
        const RGBA background = sheet.at(2, 2);
        const double columnEnd = G::formX + G::labelWidth;

        // Labels: ink inside the column, none in the gap between the column and the controls.
        for (const char* label : {"Gain", "Spread", "Peaks"}) {
            const auto it = std::find_if(labels.begin(), labels.end(),
                                         [&](const graphics::RecordedOp& op) { return op.text == label; });
            ASSERT_NE(it, labels.end()) << label;
            EXPECT_NEAR(it->rect.maxX(), columnEnd, 0.01) << label;
            EXPECT_GT(inked(sheet, it->rect, background), 4) << label << " @" << scale;
            EXPECT_EQ(inked(sheet, Rect(columnEnd + 1, it->rect.minY(), 6, it->rect.height()), background), 0)
                << label << " @" << scale;
        }
        // The long label is cut at the column's right edge, and starts at the form's.
        const auto& longLabel = labels.back().text == "High" ? labels[labels.size() - 2] : labels.back();
        EXPECT_NEAR(longLabel.rect.maxX(), columnEnd, 0.01);
        EXPECT_GE(longLabel.rect.minX(), G::formX);

        // The set slider: the fill's colour under the fill, the field's beyond the knob.
        const auto& fill = fills.front();
        const RGBA filled = sheet.at(fill.rect.minX() + 12, fill.rect.midY());
        EXPECT_GT(distance(filled, background), 60) << scale;
        EXPECT_GT(filled.b, filled.r + 60) << scale; // the accent blue
        const RGBA beyond = sheet.at(fill.rect.maxX() + 20, fill.rect.midY());
        EXPECT_GT(distance(filled, beyond), 60) << scale;
        // Three faint knobs, lighter than the field but far from the set knob's full strength.
        const RGBA strong = sheet.at(knobs[0].rect.midX(), knobs[0].rect.midY());
        const RGBA faint = sheet.at(knobs[1].rect.midX(), knobs[1].rect.midY());
        const RGBA field = sheet.at(knobs[1].rect.midX(), knobs[1].rect.minY() - 3);
        EXPECT_GT(faint.r, field.r + 10) << scale;
        EXPECT_LT(faint.r, strong.r - 60) << scale;

        // The divider: a line inset 16 points from the form's sides.
        const auto& high = labels.back().text == "High" ? labels.back() : labels[labels.size() - 2];
        double lineY = -1;
        for (double y = high.rect.minY() - 1; y > high.rect.minY() - 20 && lineY < 0; y -= 1 / scale) {
            if (distance(sheet.at(G::width / 2, y), background) > 15) {
                lineY = y;
            }
        }
        ASSERT_GT(lineY, 0) << scale;
        EXPECT_GT(distance(sheet.at(G::formX + 17, lineY), background), 15) << scale;
        EXPECT_LE(distance(sheet.at(G::formX + 15, lineY), background), 2) << scale;
        EXPECT_GT(distance(sheet.at(G::formX + G::formWidth - 17, lineY), background), 15) << scale;
        EXPECT_LE(distance(sheet.at(G::formX + G::formWidth - 15, lineY), background), 2) << scale;

        const auto file = std::filesystem::path(VIMBRA_TEST_OUTPUT_DIR) /
                          (scale == 1 ? "settings-sheet@1x.png" : "settings-sheet@2x.png");
        EXPECT_EQ(cairo_surface_write_to_png(sheet.pixels->representations().at(0)->surface(), file.c_str()),
                  CAIRO_STATUS_SUCCESS);
    }
}
