#include "Support.hpp"

#include <gtest/gtest.h>

using namespace decltest;

namespace {

// A 40 x 20 label at the top left of a 300 x 200 host, over a button that counts its clicks.
struct Fixture {
    std::vector<std::string> chosen;
    int buttonBehind = 0;

    std::vector<MenuEntry> entries(bool checkSecond = false) {
        return {MenuEntry{"One", [this] { chosen.push_back("One"); }},
                MenuEntry{"Two", [this] { chosen.push_back("Two"); }, checkSecond}, MenuEntry::separator(),
                MenuEntry{"More", [this] { chosen.push_back("More"); }}};
    }

    View tree(View menu) {
        return ZStack(Alignment::topLeading(),
                      {Button([this] { ++buttonBehind; }, Rectangle().fill(blue())).frame(300, 200),
                       menu.frame(40, 20).offset(10, 10)});
    }
};

Point entryPoint(const Rect& panel, const std::vector<MenuEntry>& entries, std::size_t index) {
    return {panel.x() + 30, panel.y() + MenuMetrics::entryMiddle(entries, index)};
}

} // namespace

TEST(Menu, OpensBelowItsLabelAndRunsTheChosenEntryOnce) {
    Fixture f;
    auto entries = f.entries();
    Harness h(f.tree(Menu(Rectangle().fill(red()), entries)), {300, 200});
    EXPECT_FALSE(h.host->hasOverlay());
    h.click({20, 15});
    h.settle();
    ASSERT_TRUE(h.host->hasOverlay());
    const Rect panel = h.host->overlayFrameInHost();
    EXPECT_DOUBLE_EQ(panel.x(), 10);
    EXPECT_DOUBLE_EQ(panel.y(), 32); // the label's bottom (30) and a 2-point gap
    EXPECT_GE(panel.width(), MenuMetrics::minimumWidth);
    EXPECT_DOUBLE_EQ(panel.height(),
                     2 * MenuMetrics::padding + 3 * MenuMetrics::rowHeight + MenuMetrics::separatorHeight);

    h.click(entryPoint(panel, entries, 1));
    h.settle();
    EXPECT_EQ(f.chosen, std::vector<std::string>{"Two"});
    EXPECT_FALSE(h.host->hasOverlay());
    EXPECT_EQ(f.buttonBehind, 0);

    // The separator is not an entry: a click on it chooses nothing and keeps the panel open.
    h.click({20, 15});
    h.settle();
    h.click(entryPoint(h.host->overlayFrameInHost(), entries, 2));
    h.settle();
    EXPECT_EQ(f.chosen.size(), 1u);
    EXPECT_TRUE(h.host->hasOverlay());
}

TEST(Menu, ClosesOnAClickOutsideOrEscapeWithoutChoosingAndSwallowsThatClick) {
    Fixture f;
    Harness h(f.tree(Menu(Rectangle().fill(red()), f.entries())), {300, 200});
    h.click({20, 15});
    h.settle();
    ASSERT_TRUE(h.host->hasOverlay());
    h.click({280, 180});
    h.settle();
    EXPECT_FALSE(h.host->hasOverlay());
    EXPECT_EQ(f.buttonBehind, 0);
    EXPECT_TRUE(f.chosen.empty());

    h.click({20, 15});
    h.settle();
    ASSERT_TRUE(h.host->hasOverlay());
    h.backend->keyDown("\x1b");
    h.settle();
    EXPECT_FALSE(h.host->hasOverlay());
    EXPECT_TRUE(f.chosen.empty());

    // With the menu closed, the same click reaches the button again.
    h.click({280, 180});
    h.settle();
    EXPECT_EQ(f.buttonBehind, 1);
}

TEST(Menu, StaysInsideTheHostAndFollowsTheScaleOfItsLabel) {
    Fixture f;
    auto entries = f.entries();
    // Near the bottom right: the panel opens above the label and is pushed left to fit.
    Harness h(ZStack(Alignment::topLeading(),
                     {Rectangle().fill(blue()).frame(300, 200),
                      Menu(Rectangle().fill(red()), entries).frame(40, 20).offset(250, 170)}),
              {300, 200});
    h.click({270, 180});
    h.settle();
    ASSERT_TRUE(h.host->hasOverlay());
    const Rect panel = h.host->overlayFrameInHost();
    EXPECT_LE(panel.maxX(), 300);
    EXPECT_LE(panel.maxY(), 168); // above the label's top (170) with its gap
    EXPECT_GE(panel.y(), 0);

    // Under a scale of 2 the panel is drawn twice as large, still just below the label.
    Fixture g;
    Harness scaled(ZStack(Alignment::topLeading(), {Menu(Rectangle().fill(red()), g.entries()).frame(40, 10)})
                       .frame(150, 100, Alignment::topLeading())
                       .scaleEffect(2, UnitPoint::topLeading())
                       .frame(300, 200, Alignment::topLeading()),
                   {300, 200});
    scaled.click({20, 10});
    scaled.settle();
    ASSERT_TRUE(scaled.host->hasOverlay());
    const Rect big = scaled.host->overlayFrameInHost();
    EXPECT_NEAR(big.y(), 24, 1e-9); // (10 + 2) x 2
    EXPECT_NEAR(big.height(),
                2 * (2 * MenuMetrics::padding + 3 * MenuMetrics::rowHeight + MenuMetrics::separatorHeight),
                1e-9);
    scaled.click({big.x() + 40, big.y() + 2 * MenuMetrics::entryMiddle(g.entries(), 0)});
    scaled.settle();
    EXPECT_EQ(g.chosen, std::vector<std::string>{"One"});
}

TEST(Menu, DrawsACheckmarkOnlyBeforeCheckedEntries) {
    Fixture f;
    Harness h(f.tree(Menu(Rectangle().fill(red()), f.entries(true))), {300, 200});
    h.click({20, 15});
    const auto strokes = h.record(graphics::DrawOpKind::strokePath);
    // The panel's outline and the one checkmark.
    std::size_t checks = 0;
    for (const auto& op : strokes) {
        if (op.elements.size() == 3) {
            ++checks;
        }
    }
    EXPECT_EQ(checks, 1u);
}

TEST(Menu, TheWidestTitleSetsThePanelsWidthAndIsNeverCutShort) {
    Fixture f;
    const std::string title = "A much longer entry title";
    Harness h(f.tree(Menu(Rectangle().fill(red()), {MenuEntry{"Short", {}}, MenuEntry{title, {}}}))
                  .frame(400, 200, Alignment::topLeading()),
              {400, 200});
    h.click({20, 15});
    h.settle();
    const double natural = 13.0 * static_cast<double>(title.size()); // the fixed measurer: one em a character
    int drawn = 0;
    for (const auto& op : h.record(graphics::DrawOpKind::text)) {
        if (op.text == title) {
            EXPECT_DOUBLE_EQ(op.rect.width(), natural);
            ++drawn;
        }
    }
    EXPECT_EQ(drawn, 1);
    EXPECT_DOUBLE_EQ(h.host->overlayFrameInHost().width(), 2 * MenuMetrics::padding +
                                                               MenuMetrics::checkColumn + natural +
                                                               MenuMetrics::titleTrailing);
}
