// The kit's utilities, its bundle lookup and the update button's style.

#include "ZeltoCore/KitExtensions.hpp"
#include "ZeltoCore/KitResources.hpp"
#include "ZeltoCore/KitViews.hpp"
#include "core/Log.hpp"
#include "declarative/tests/Support.hpp"

#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

using namespace zelto;

namespace {

constexpr float nan = std::numeric_limits<float>::quiet_NaN();

TEST(KitExtensions, ClampingKeepsNaNOutOfEveryRange) {
    EXPECT_EQ(clamped(5.0f, 0.0f, 3.0f), 3.0f);
    EXPECT_EQ(clamped(-1.0f, 0.0f, 3.0f), 0.0f);
    EXPECT_EQ(clamped(nan, 0.0f, 3.0f), 0.0f);
    EXPECT_EQ(clamped(2, 0, 3), 2);
    EXPECT_EQ(clampedFrom(nan, 1.0f), 1.0f);
    EXPECT_EQ(clampedFrom(0.5f, 1.0f), 1.0f);
    EXPECT_EQ(clampedFrom(7.0f, 1.0f), 7.0f);
    EXPECT_EQ(clampedUpTo(nan, 1.0f), 1.0f);
    EXPECT_EQ(clampedUpTo(0.5f, 1.0f), 0.5f);
    EXPECT_EQ(clampedUpTo(7.0f, 1.0f), 1.0f);
}

TEST(KitExtensions, SafeIndexingAndFrameNumbers) {
    const std::vector<int> three{4, 5, 6};
    EXPECT_EQ(safe(three, 3), nullptr);
    EXPECT_EQ(safe(three, -1), nullptr);
    ASSERT_NE(safe(three, 2), nullptr);
    EXPECT_EQ(*safe(three, 2), 6);
    const std::array<const char*, 0> none{};
    EXPECT_EQ(safe(none, 0), nullptr);

    EXPECT_EQ(paddedIndexString(1), "01");
    EXPECT_EQ(paddedIndexString(9), "09");
    EXPECT_EQ(paddedIndexString(10), "10");
    EXPECT_EQ(paddedIndexString(51), "51");
    EXPECT_EQ(kestrovaSite().scheme(), "https");
    EXPECT_EQ(&kestrovaSite(), &kestrovaSite());
}

TEST(KitExtensions, AnchoringToAllSidesPinsWithTheInsets) {
    auto container = std::make_shared<ui::View>(graphics::Rect(0, 0, 300, 200));
    auto content = std::make_shared<ui::View>(graphics::Rect(0, 0, 10, 10));
    container->addSubview(content);
    anchorToAllSidesOf(content, nullptr, {});
    EXPECT_TRUE(content->translatesAutoresizingMaskIntoConstraints());

    anchorToAllSidesOf(content, container, {10, 20, 30, 40}); // top, left, bottom, right
    EXPECT_FALSE(content->translatesAutoresizingMaskIntoConstraints());
    const auto& constraints = container->constraints();
    ASSERT_EQ(constraints.size(), 4u);
    const ui::LayoutAttribute order[] = {ui::LayoutAttribute::leading, ui::LayoutAttribute::trailing,
                                         ui::LayoutAttribute::bottom, ui::LayoutAttribute::top};
    const double constants[] = {20, -40, -30, 10};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(constraints[i]->firstAttribute(), order[i]);
        EXPECT_EQ(constraints[i]->constant(), constants[i]);
        EXPECT_EQ(constraints[i]->secondItem(), container);
    }
    container->layoutSubtreeIfNeeded();
    EXPECT_EQ(content->frame(), graphics::Rect(20, 30, 240, 160));
}

TEST(KitResources, ModuleBundlesAreFoundOnceAndAMissingOneStopsTheProcess) {
    core::Bundle::addSearchPath(ZELTO_BUNDLES_DIR);
    const auto& kit = kitBundle();
    EXPECT_EQ(kit.bundlePath().filename(), "Zelto_ZeltoCore.bundle");
    EXPECT_EQ(&moduleBundle("ZeltoCore"), &kit);
    EXPECT_DEATH(moduleBundle("ZeltoNoSuchModule"), "unable to find bundle named Zelto_ZeltoNoSuchModule");
}

TEST(KitResources, ThePaletteIsTheBundlesNamedColours) {
    core::Bundle::addSearchPath(ZELTO_BUNDLES_DIR);
    ASSERT_TRUE(zeltoPluginGrey());
    EXPECT_EQ(zeltoPluginGrey(), kitColor("pluginGrey"));
    EXPECT_EQ(zeltoPluginRed(), kitColor("pluginRed"));
    EXPECT_EQ(zeltoTinyDialLabel(), kitColor("tinyDialLabel"));
    EXPECT_NE(zeltoPluginBlue(), zeltoPluginPurple());
    ASSERT_TRUE(kitImage("modern-button"));
    EXPECT_EQ(kitImage("modern-button")->size(), (graphics::Size{88, 27}));

    // What the bundle lacks is logged with the bundle's name.
    core::LogCapture log;
    EXPECT_FALSE(kitColor("noSuchColour"));
    EXPECT_FALSE(kitImage("no-such-image"));
    EXPECT_TRUE(log.contains("Zelto_ZeltoCore.bundle: colour \"noSuchColour\" is missing"));
    EXPECT_TRUE(log.contains("Zelto_ZeltoCore.bundle: image \"no-such-image\" is missing"));
    EXPECT_EQ(log.lines().size(), 2u);
}

TEST(KitViews, UpdateButtonDimsWhilePressedAndActsOnReleaseInside) {
    int actions = 0;
    core::Bundle::addSearchPath(ZELTO_BUNDLES_DIR);
    decltest::Harness harness(declarative::Button([&] { ++actions; }, declarative::Text("2.1 AVAILABLE"))
                                  .buttonStyle(updateButtonStyle()),
                              {200, 40});
    const auto plate = harness.fills();
    ASSERT_FALSE(plate.empty());
    const auto centre = declarative::Point{plate.front().midX(), plate.front().midY()};
    // The plate hugs the label: 4 points either side, 2 above.
    EXPECT_NEAR(plate.front().height(), 13 + 2, 0.01);

    harness.down(centre);
    harness.settle();
    graphics::BitmapCanvas canvas(harness.size, 1.0, true, true);
    harness.host->drawTree(canvas.context());
    bool dimmed = false;
    for (const auto& op : canvas.recorder()->ops()) {
        dimmed = dimmed || std::abs(op.alpha - 0.8) < 1e-9;
    }
    EXPECT_TRUE(dimmed);
    harness.up(centre);
    EXPECT_EQ(actions, 1);
}

} // namespace
