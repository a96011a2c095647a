// Partial redisplay: a flush redraws what its re-evaluated and moved views covered, and the pixels
// after a partial redraw are those of a full one.

#include "declarative/tests/Support.hpp"

#include <gtest/gtest.h>

namespace {

using namespace declarative;
using decltest::Harness;

struct Values {
    core::Observed<double> left{0.2};
    core::Observed<double> right{0.7};
    core::Observed<bool> wide{false};
};

// A bar whose length follows a value, drawn in a fixed 80 by 40 cell.
struct Meter {
    core::Observed<double>* value;
    View body(Context&) const {
        return Rectangle()
            .fill(decltest::red())
            .frame(80 * value->get(), 20)
            .shadow(graphics::Color::rgba(0, 0, 0, 0.5), 2, 1, 1)
            .frame(80, 40, Alignment::leading());
    }
};

// A block whose width changes, which moves what follows it in the stack.
struct Block {
    core::Observed<bool>* wide;
    View body(Context&) const { return Rectangle().fill(decltest::blue()).frame(wide->get() ? 60 : 20, 40); }
};

View panel(Values& v) {
    return HStack({.spacing = 10}, {Meter{&v.left}, Block{&v.wide}, Meter{&v.right}});
}

std::vector<std::uint32_t> pixels(Harness& harness) {
    harness.backend->displayIfNeeded();
    std::vector<std::uint32_t> out;
    const double scale = harness.window->backingScaleFactor();
    for (int y = 0; y < static_cast<int>(harness.size.height * scale); ++y) {
        for (int x = 0; x < static_cast<int>(harness.size.width * scale); ++x) {
            out.push_back(harness.backend->pixelRGBA(x, y));
        }
    }
    return out;
}

// The same state drawn from scratch.
std::vector<std::uint32_t> freshPixels(Values& v, Size size, double scale) {
    Values copy;
    copy.left = v.left.get();
    copy.right = v.right.get();
    copy.wide = v.wide.get();
    Harness fresh(panel(copy), size, scale);
    return pixels(fresh);
}

TEST(PartialRedraw, AChangeRedrawsOnlyTheViewsThatReadIt) {
    Values v;
    Harness harness(panel(v), {300, 60});
    pixels(harness);
    v.left = 0.9;
    harness.host->flush();
    const Rect damage = harness.host->lastFlushDamage();
    ASSERT_FALSE(damage.isNull());
    // The left meter's cell (with its shadow) and nothing of the block or the right meter.
    const auto fills = harness.fills();
    EXPECT_TRUE(damage.contains(Rect(fills.front().x(), fills.front().y(), 72, 20)));
    EXPECT_LT(damage.maxX(), 300.0 / 2);
    EXPECT_EQ(pixels(harness), freshPixels(v, {300, 60}, 1));
}

TEST(PartialRedraw, MovedViewsAreRedrawnWhereTheyWereAndWhereTheyAre) {
    for (double scale : {1.0, 2.0}) {
        Values v;
        Harness harness(panel(v), {300, 60}, scale);
        pixels(harness);
        v.wide = true; // the stack re-centres: every view moves
        harness.host->flush();
        EXPECT_EQ(pixels(harness), freshPixels(v, {300, 60}, scale)) << "scale " << scale;
        v.wide = false;
        v.right = 0.1;
        harness.host->flush();
        EXPECT_EQ(pixels(harness), freshPixels(v, {300, 60}, scale)) << "scale " << scale;
    }
}

TEST(PartialRedraw, ChangesBeforeTheFirstLayoutRedrawEverything) {
    Values v;
    Harness harness(panel(v), {300, 60});
    harness.host->setNeedsLayout();
    v.right = 0.3;
    harness.host->flush();
    EXPECT_TRUE(harness.host->lastFlushDamage().isNull());
    EXPECT_EQ(pixels(harness), freshPixels(v, {300, 60}, 1));
}

} // namespace
