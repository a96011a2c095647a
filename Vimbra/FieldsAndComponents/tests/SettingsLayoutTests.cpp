// The settings layout's geometry: one label column for every row, controls stacked at the leading edge,
// dividers inset, and rows outside a settings form.
#include "ComponentsTestSupport.hpp"
#include "Vimbra/FieldsAndComponents/SettingsLayout.hpp"

#include <gtest/gtest.h>

using namespace componentstest;
using namespace vimbra;

namespace {

View box(double w, double h) {
    return declarative::ColorView(graphics::Color::rgba(1, 0, 0)).frame(w, h);
}

std::vector<Rect> fills(Host& host) {
    std::vector<Rect> rects;
    for (const auto& op : host.ops()) {
        if (op.kind == graphics::DrawOpKind::fillPath) {
            rects.push_back(op.rect);
        }
    }
    return rects;
}

// Hands out the configuration its row sees.
struct ConfigProbe {
    std::shared_ptr<std::shared_ptr<SornSettingsConfig>> seen;
    View body(declarative::Context& context) const {
        *seen = context.environmentObject<SornSettingsConfig>();
        return box(10, 10);
    }
};

} // namespace

// Every character is 13 points wide here; the form is 260 wide, centred in a 300-point host (x 20).
TEST(SornSettings, RowsShareTheLabelColumnAndStackTheirControls) {
    auto seen = std::make_shared<std::shared_ptr<SornSettingsConfig>>();
    Host host(View(SornSettings(
                  120, 260,
                  [&] {
                      return declarative::Group(
                          {View(SornSettingsSection("Name", [] { return box(50, 20); })),
                           View(SornSettingsSection("Longer label",
                                                    [] {
                                                        return declarative::Group({box(60, 24), box(40, 10)});
                                                    })),
                           View(SornSettingsDivider()),
                           View(SornSettingsSection("Cfg", [&] { return View(ConfigProbe{seen}); }))});
                  })),
              {300, 200});
    const auto rects = fills(host);
    ASSERT_EQ(rects.size(), 5u) << rects.size();
    // Controls start at one x, after the 120-point label column and the row's spacing, at the top of the
    // form; a row's controls are 4 apart; rows are 8 apart.
    EXPECT_EQ(rects[0], Rect(148, 0, 50, 20));
    EXPECT_EQ(rects[1], Rect(148, 28, 60, 24));
    EXPECT_EQ(rects[2], Rect(148, 56, 40, 10));
    // The divider: 16 in from both sides of the form, 8 below the row above it and 8 above the next.
    EXPECT_EQ(rects[3], Rect(36, 74 + 8, 228, 1));
    EXPECT_EQ(rects[4], Rect(148, 100.5, 10, 10)); // centred on its 13-point label

    // Labels end at the column's right edge; a label longer than the column is cut to it.
    const auto texts = host.texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].text, "Name");
    EXPECT_EQ(texts[0].rect, Rect(88, 3.5, 52, 13));
    EXPECT_EQ(texts[1].rect.maxX(), 140);
    EXPECT_EQ(texts[1].rect.minX(), 20 + 8); // after the spacer's spacing
    EXPECT_EQ(texts[2].rect.maxX(), 140);

    // Every row reads the form's one configuration; a new label width re-lays out the rows.
    ASSERT_NE(*seen, nullptr);
    EXPECT_EQ((*seen)->labelWidth.get(), 120);
    (*seen)->labelWidth.set(80);
    host.settle();
    const auto moved = fills(host);
    ASSERT_EQ(moved.size(), 5u);
    EXPECT_EQ(moved[0].x(), 108);
    EXPECT_EQ(moved[4].x(), 108);
    EXPECT_EQ(host.texts()[0].rect.maxX(), 100);
}

TEST(SornSettings, ASectionOutsideAFormUsesTheDefaultLabelWidth) {
    Host host(View(SornSettingsSection("Alone", [] { return box(30, 20); })), {300, 40});
    const auto rects = fills(host);
    ASSERT_EQ(rects.size(), 1u);
    // The row takes the host's width: the default column, then the control.
    EXPECT_EQ(rects[0].x(), SornSettingsConfig::defaultLabelWidth + 8);
    EXPECT_EQ(host.texts().at(0).rect.maxX(), SornSettingsConfig::defaultLabelWidth);
}
