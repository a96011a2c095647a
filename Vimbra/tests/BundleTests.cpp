#include "Vimbra/Assets.hpp"
#include "Vimbra/LibraryStatics.hpp"
#include "Vimbra/tests/TestSupport.hpp"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace vimbra;

TEST(VimbraBundle, EveryColourAndImageResolvesAtBothScales) {
    auto bundle = VimbraAssets::bundle();
    ASSERT_NE(bundle, nullptr);
    EXPECT_EQ(VimbraAssets::bundle(), bundle); // found once

    for (const char* name : VimbraAssets::colorNames) {
        auto color = vimbraColor(name);
        ASSERT_NE(color, nullptr) << name;
        EXPECT_EQ(color, colorResource(name).color()) << name; // one shared object per name
        EXPECT_EQ(color->alpha(), 1.0) << name;
    }
    for (const char* name : VimbraAssets::imageNames) {
        auto image = vimbraImage(name);
        ASSERT_NE(image, nullptr) << name;
        ASSERT_EQ(image->representations().size(), 2u) << name;
        const auto& one = image->representations()[0];
        const auto& two = image->representations()[1];
        EXPECT_EQ(two->pixelsWide(), one->pixelsWide() * 2) << name;
        EXPECT_EQ(two->pixelsHigh(), one->pixelsHigh() * 2) << name;
        // Every image is a fresh object (callers may change its attributes).
        EXPECT_NE(vimbraImage(name), image) << name;
    }
    EXPECT_EQ(vimbraImage("no-such-image"), nullptr);
    EXPECT_EQ(vimbraColor("No Such Colour"), nullptr);

    EXPECT_EQ(cycleImage()->name(), "cursor-cycle");
}

TEST(VimbraBundle, ImagesCarryTheirCatalogueAttributesAndFitTheControls) {
    // Bezels stretch between cap insets; the check box is 16 points; templates are glyphs.
    auto button = vimbraImage("qel-button");
    EXPECT_EQ(button->capInsets(), (graphics::EdgeInsets{6, 8, 6, 8}));
    EXPECT_EQ(button->resizingMode(), graphics::ResizingMode::stretch);
    EXPECT_EQ(button->height(), 22);
    EXPECT_EQ(vimbraImage("qel-checkbox")->size(), (graphics::Size{16, 16}));
    EXPECT_TRUE(vimbraImage("qel-combobox")->isTemplate());
    EXPECT_FALSE(vimbraImage("qel-checkbox")->isTemplate());
    EXPECT_EQ(vimbraImage("qel-checkerboard")->resizingMode(), graphics::ResizingMode::tile);
    // The slider's alley and fill share a height; the knob is taller than the bar.
    EXPECT_EQ(vimbraImage("qel-slider")->height(), vimbraImage("qel-slider-alley")->height());
    EXPECT_GT(vimbraImage("qel-slider-handle")->height(), vimbraImage("qel-slider-alley")->height());
    // A pop-up's right cap holds its arrows, which its style keeps clear of the title (edge inset 12).
    EXPECT_GE(vimbraImage("qel-popup")->capInsets().right, 12);
}

TEST(VimbraBundleDeathTest, MissingBundleStopsWithTheMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            core::Bundle::removeSearchPath(testBundlesDirectory());
            unsetenv("TESSARAY_BUNDLE_PATH");
            VimbraAssets::bundle();
        },
        "unable to find bundle named Vimbra_Vimbra");
}
