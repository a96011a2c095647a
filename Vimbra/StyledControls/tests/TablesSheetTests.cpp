// A contact sheet of the table family and the settings forms at 1x and 2x, written as
// tables-sheet@1x.png and tables-sheet@2x.png beside the test binary. Along the top, a list of panels laid
// side by side (a table under its actionable header with a run of selected rows and a lone one, an
// outline expanded and collapsed) and the settings layout with its sliders and segments; under them, the
// rows of segmented controls in every look. Pixel checks on the selection block, the disclosure images,
// the segments' looks and the settings layout's column, sliders and divider.
#include "Vimbra/Assets.hpp"
#include "Vimbra/FieldsAndComponents/tests/ComponentsTestSupport.hpp"
#include "Vimbra/FieldsAndComponents/tests/SettingsSheetScene.hpp"
#include "Vimbra/StyledControls/tests/ContactSheet.hpp"
#include "Vimbra/StyledControls/tests/SegmentSheet.hpp"
#include "Vimbra/StyledControls/tests/TableFixtures.hpp"
#include "Vimbra/Styles.hpp"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using contactsheet::Shot;
using graphics::Rect;

namespace {

// One panel of the sheet: a window of its own size holding what build puts in it; build answers what
// must live while the panel is drawn (its models).
struct Panel {
    std::string name;
    graphics::Size size;
    std::function<std::shared_ptr<void>(const vimbratest::Scene&)> build;
};

Shot shoot(const Panel& panel, double scale) {
    vimbratest::Scene scene(Rect(100, 100, panel.size.width, panel.size.height), scale);
    const auto models = panel.build(scene);
    return contactsheet::shoot(scene, Rect({0, 0}, panel.size), scale);
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

// The segmented controls' rows: every look must and must not change what it should.
void expectSegmentLooks(const std::vector<std::vector<Shot>>& rows) {
    using segmentsheet::Look;
    const auto column = [](Look look) {
        const auto& all = segmentsheet::looks();
        return static_cast<std::size_t>(std::find(all.begin(), all.end(), look) - all.begin());
    };
    // The control's frame grown by a few points (rings reach out).
    const auto around = [](const Shot& shot) { return shot.controlFrame.insetBy(-3, -3); };
    using contactsheet::differing;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const auto& shots = rows[row];
        const Shot& normal = shots[column(Look::normal)];
        // A hidden selection looks like none; a shown one and a press change the look.
        EXPECT_EQ(differing(normal, shots[column(Look::selectionHidden)], around(normal)), 0) << row;
        EXPECT_GT(differing(normal, shots[column(Look::selected)], around(normal)), 20) << row;
        EXPECT_GT(differing(normal, shots[column(Look::pressed)], around(normal)), 20) << row;
        EXPECT_GT(differing(shots[column(Look::selected)], shots[column(Look::pressed)], around(normal)), 20)
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
}

// How many pixels of a rect (top-left origin) differ clearly from the colour.
int inked(const Shot& shot, const Rect& rect, const contactsheet::RGBA& background) {
    int count = 0;
    const double step = 1 / shot.scale;
    for (double y = rect.minY() + step / 2; y < rect.maxY(); y += step) {
        for (double x = rect.minX() + step / 2; x < rect.maxX(); x += step) {
            count += contactsheet::contrast(shot.at(x, shot.height - y), background) > 40 ? 1 : 0;
        }
    }
    return count;
}

// The settings layout, drawn and checked: labels end at the column, the sliders' fill and faint knobs
// show, the divider is inset from the form's sides. Where things went comes from the drawing itself (the
// texts and the slider artwork, top-left origin).
Shot expectSettingsLayout(double scale) {
    using G = componentstest::SettingsSheetGeometry;
    using contactsheet::contrast;
    using RGBA = contactsheet::RGBA;
    componentstest::SettingsSheetModels models;
    componentstest::Host host(componentstest::settingsSheetScene(models), {G::width, G::height}, scale,
                              false);
    const std::vector<graphics::RecordedOp> labels = host.texts();
    // 5 labels, the button's title, "12 found", three segments and "High"
    EXPECT_EQ(labels.size(), 11u);
    std::vector<componentstest::DrawnImage> fills, knobs;
    for (const auto& image : host.images()) {
        if (image.name == "qel-customslider-on" && image.opacity > 0) {
            fills.push_back(image);
        } else if (image.name == "qel-customslider-handle" && image.opacity > 0) {
            knobs.push_back(image);
        }
    }
    host.window->contentView()->setNeedsDisplay();
    host.backend->displayIfNeeded();
    const Shot shot =
        contactsheet::shotOf(host.backend->surface(), Rect(0, 0, G::width, G::height), scale, G::height);
    if (labels.size() < 2 || fills.size() != 1 || knobs.size() != 4) { // the set slider's knob, three faint
        ADD_FAILURE() << fills.size() << " fills, " << knobs.size() << " knobs @" << scale;
        return shot;
    }
    const auto at = [&](double x, double y) { return shot.at(x, G::height - y); };
    const RGBA background = at(2, 2);
    const double columnEnd = G::formX + G::labelWidth;

    // Labels: ink inside the column, none in the gap between the column and the controls.
    for (const char* label : {"Gain", "Spread", "Peaks", "View"}) {
        const auto it = std::find_if(labels.begin(), labels.end(),
                                     [&](const graphics::RecordedOp& op) { return op.text == label; });
        if (it == labels.end()) {
            ADD_FAILURE() << label;
            continue;
        }
        EXPECT_NEAR(it->rect.maxX(), columnEnd, 0.01) << label;
        EXPECT_GT(inked(shot, it->rect, background), 4) << label << " @" << scale;
        EXPECT_EQ(inked(shot, Rect(columnEnd + 1, it->rect.minY(), 6, it->rect.height()), background), 0)
            << label << " @" << scale;
    }
    // The long label is cut at the column's right edge, and starts at the form's.
    const auto& longLabel = labels.back().text == "High" ? labels[labels.size() - 2] : labels.back();
    EXPECT_NEAR(longLabel.rect.maxX(), columnEnd, 0.01);
    EXPECT_GE(longLabel.rect.minX(), G::formX);

    // The set slider: the fill's colour under the fill, the field's beyond the knob.
    const auto& fill = fills.front();
    const RGBA filled = at(fill.rect.minX() + 12, fill.rect.midY());
    EXPECT_GT(contrast(filled, background), 60) << scale;
    EXPECT_GT(filled.b, filled.r + 60) << scale; // the accent blue
    const RGBA beyond = at(fill.rect.maxX() + 20, fill.rect.midY());
    EXPECT_GT(contrast(filled, beyond), 60) << scale;
    // Three faint knobs, lighter than the field but far from the set knob's full strength.
    const RGBA strong = at(knobs[0].rect.midX(), knobs[0].rect.midY());
    const RGBA faint = at(knobs[1].rect.midX(), knobs[1].rect.midY());
    const RGBA field = at(knobs[1].rect.midX(), knobs[1].rect.minY() - 3);
    EXPECT_GT(faint.r, field.r + 10) << scale;
    EXPECT_LT(faint.r, strong.r - 60) << scale;

    // The divider: a line inset 16 points from the form's sides.
    const auto& high = labels.back().text == "High" ? labels.back() : labels[labels.size() - 2];
    double lineY = -1;
    for (double y = high.rect.minY() - 1; y > high.rect.minY() - 20 && lineY < 0; y -= 1 / scale) {
        if (contrast(at(G::width / 2, y), background) > 15) {
            lineY = y;
        }
    }
    EXPECT_GT(lineY, 0) << scale;
    if (lineY > 0) {
        EXPECT_GT(contrast(at(G::formX + 17, lineY), background), 15) << scale;
        EXPECT_LE(contrast(at(G::formX + 15, lineY), background), 2) << scale;
        EXPECT_GT(contrast(at(G::formX + G::formWidth - 17, lineY), background), 15) << scale;
        EXPECT_LE(contrast(at(G::formX + G::formWidth - 15, lineY), background), 2) << scale;
    }
    return shot;
}

} // namespace

TEST(TablesSheet, TheTablesTheSegmentsAndTheSettingsLayoutAtBothScales) {
    const auto selected = vimbra::TableViewStyle().selectedRowBackgroundColor;
    const auto background = vimbra::TableViewStyle().rowBackgroundColor;
    using G = componentstest::SettingsSheetGeometry;
    for (double scale : contactsheet::scales) {
        double panelsWidth = 0;
        double panelsHeight = G::height;
        for (const auto& panel : panels()) {
            panelsWidth += panel.size.width;
            panelsHeight = std::max(panelsHeight, panel.size.height);
        }
        const double segmentsWidth =
            segmentsheet::cellWidth * static_cast<double>(segmentsheet::looks().size());
        contactsheet::Sheet sheet({std::max(panelsWidth + G::width, segmentsWidth),
                                   panelsHeight + segmentsheet::cellHeight * segmentsheet::rowCount},
                                  scale);
        std::vector<Shot> shots;
        double x = 0;
        for (const auto& panel : panels()) {
            shots.push_back(shoot(panel, scale));
            sheet.place(shots.back(), {x, 0});
            x += panel.size.width;
        }
        sheet.place(expectSettingsLayout(scale), {x, 0});
        expectSegmentLooks(segmentsheet::drawSegmentRows(sheet, panelsHeight));

        // The run of rows 1 to 3 is one block, inset 8 points, rounded only at its outer corners; row 5
        // alone is a rounded block of its own; row 4 between them is not selected.
        const Shot& table = shots[0];
        const double h = table.height;
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
        EXPECT_GT(contactsheet::differing(open, closed, Rect(1, rowMiddle(h, 0, 0) - 5, 15, 10)), 4)
            << "disclosure images @" << scale;
        EXPECT_FALSE(near(open.at(120, rowMiddle(h, 2, 0)), background)) << "A2 selected @" << scale;
        EXPECT_TRUE(near(closed.at(120, rowMiddle(h, 4, 0)), background)) << "three rows only @" << scale;

        EXPECT_TRUE(sheet.write("tables-sheet"));
    }
}
