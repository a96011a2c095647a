// The analyser graph: band geometry on the log axis, level to height, and what a drawing pass fills.

#include "EditorSupport.hpp"
#include "extension/editor/AnalyzerGraphView.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace edtest;
using editor::AnalyzerGraphView;

namespace {

std::vector<double> edgesOf(const std::vector<AnalyzerGraphView::Bar>& bars) {
    std::vector<double> xs;
    for (const auto& bar : bars) {
        xs.push_back(bar.x);
    }
    return xs;
}

} // namespace

TEST(AnalyzerGeometry, BandsSitOnALogAxisFromTwentyHertzToTwentyKilohertz) {
    const auto three = AnalyzerGraphView::bars({0.5f, 0.5f, 0.5f}, 20, 20000, 300);
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(edgesOf(three), (std::vector<double>{0, 100, 200}));
    for (const auto& bar : three) {
        EXPECT_EQ(bar.width, 99); // one point taken off for the gap
    }

    const double w = 698;
    const auto inner = AnalyzerGraphView::bars(std::vector<float>(8, 0.1f), 125, 8000, w);
    ASSERT_EQ(inner.size(), 8u);
    EXPECT_EQ(inner.front().x, std::round(w * std::log2(6.25) / std::log2(1000.0)));
    const auto& last = inner.back();
    const double lastEdge = std::round(w * std::log2(400.0) / std::log2(1000.0));
    EXPECT_EQ(last.x + last.width + 1, lastEdge);

    // Beyond 20 kHz everything piles up at the right edge, at least one point wide.
    const auto beyond = AnalyzerGraphView::bars({0.1f, 0.1f}, 10000, 40000, 100);
    EXPECT_EQ(beyond[1].x, 100);
    EXPECT_EQ(beyond[1].width, 1);
}

TEST(AnalyzerGeometry, NarrowBarsKeepEveryPointAndDegenerateInputDrawsNothing) {
    // 64 bands over 100 points: bars are 1 to 2 points wide, no gap, never zero.
    const auto bars = AnalyzerGraphView::bars(std::vector<float>(64, 0.1f), 20, 20000, 100);
    for (std::size_t i = 0; i + 1 < bars.size(); ++i) {
        const double raw = bars[i + 1].x - bars[i].x;
        EXPECT_EQ(bars[i].width, std::max(raw, 1.0)) << i;
    }
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(AnalyzerGraphView::bars({}, 20, 20000, 300).empty());
    EXPECT_TRUE(AnalyzerGraphView::bars({1}, 0, 20000, 300).empty());
    EXPECT_TRUE(AnalyzerGraphView::bars({1}, 500, 500, 300).empty());
    EXPECT_TRUE(AnalyzerGraphView::bars({1}, 900, 500, 300).empty());
    EXPECT_TRUE(AnalyzerGraphView::bars({1}, nan, 500, 300).empty());
    EXPECT_TRUE(AnalyzerGraphView::bars({1}, 20, nan, 300).empty());
}

TEST(AnalyzerLevels, DecibelsFromMinusEightyToZeroFillTheBarArea) {
    EXPECT_EQ(AnalyzerGraphView::barAreaHeight(100), 80);
    EXPECT_EQ(AnalyzerGraphView::barAreaHeight(2), 2); // 2 - R(0.4): no mirror strip
    EXPECT_EQ(AnalyzerGraphView::barAreaHeight(182), 146);

    EXPECT_EQ(AnalyzerGraphView::litHeight(1.0f, 80), 80.0);
    EXPECT_EQ(AnalyzerGraphView::litHeight(4.0f, 80), 80.0);
    EXPECT_NEAR(AnalyzerGraphView::litHeight(0.1f, 80).value(), 60.0, 1e-4);
    EXPECT_FALSE(AnalyzerGraphView::litHeight(0.0001f, 80));
    EXPECT_FALSE(AnalyzerGraphView::litHeight(0.0f, 80));
    EXPECT_FALSE(AnalyzerGraphView::litHeight(-1.0f, 80));
    EXPECT_FALSE(AnalyzerGraphView::litHeight(std::numeric_limits<float>::quiet_NaN(), 80));
    // -79 dB lights 1/80 of the area: drawn in a tall area, unlit where it would be half a point or less.
    const float minus79 = std::pow(10.0f, -79.0f / 20.0f);
    EXPECT_TRUE(AnalyzerGraphView::litHeight(minus79, 80));
    EXPECT_FALSE(AnalyzerGraphView::litHeight(minus79, 30));
}

TEST(AnalyzerDrawing, FillsSlotsThenLitPartsThenTheirMirrorAndRedrawsOnNewLevels) {
    EditorHarness e(View(AnalyzerGraphView{}).frame(300, 100), {300, 100});
    EXPECT_TRUE(e.harness.fills().empty()); // nothing published yet
    e.settings->analyzerRangeLo = 20.0f;
    e.settings->analyzerRangeHi = 20000.0f;
    e.settings->analyzerBandAmps = std::vector<float>{1.0f, 0.1f, 0.0f};
    e.harness.settle();

    const auto ops = e.harness.record(graphics::DrawOpKind::fillPath);
    const auto slot = editor::assets::barBackground();
    const auto lit = editor::assets::barActive();
    ASSERT_TRUE(slot && lit);
    std::vector<std::pair<Rect, bool>> drawn; // rect, lit
    for (const auto& op : ops) {
        ASSERT_TRUE(op.color.has_value());
        drawn.emplace_back(op.rect, op.color->sameComponents(*lit));
    }
    const std::vector<std::pair<Rect, bool>> expected{
        {{0, 0, 99, 80}, false},   {{0, 0, 99, 80}, true},    {{100, 0, 99, 80}, false},
        {{100, 20, 99, 60}, true}, {{200, 0, 99, 80}, false}, // the silent band stays dark
        {{0, 80, 99, 20}, false},  {{0, 80, 99, 20}, true},   {{100, 80, 99, 20}, false},
        {{100, 80, 99, 20}, true}, {{200, 80, 99, 20}, false}};
    ASSERT_EQ(drawn.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(drawn[i].first.x(), expected[i].first.x(), 1e-6) << i;
        EXPECT_NEAR(drawn[i].first.y(), expected[i].first.y(), 1e-4) << i;
        EXPECT_NEAR(drawn[i].first.width(), expected[i].first.width(), 1e-6) << i;
        EXPECT_NEAR(drawn[i].first.height(), expected[i].first.height(), 1e-4) << i;
        EXPECT_EQ(drawn[i].second, expected[i].second) << i;
    }
    // The mirror is drawn in a layer of its own.
    EXPECT_EQ(e.harness.record(graphics::DrawOpKind::beginLayer).size(), 1u);

    e.settings->analyzerBandAmps = std::vector<float>{0.0f};
    e.harness.settle();
    EXPECT_EQ(e.harness.fills().size(), 2u); // one dark slot and its mirror
}
