#include "Vimbra/Assets.hpp"
#include "Vimbra/LibraryStatics.hpp"
#include "Vimbra/tests/TestSupport.hpp"
#include "core/Log.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

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

TEST(VimbraBundle, DamagedImageAttributesAreLoggedWithTheirBundle) {
    const auto root =
        std::filesystem::temp_directory_path() / ("vimbra-attributes-" + std::to_string(getpid()));
    const auto write = [&](const std::string& bundle, const std::string& attributes) {
        const auto resources = root / (bundle + ".bundle") / "Resources";
        std::filesystem::create_directories(resources);
        ASSERT_TRUE(vimbraImage("qel-checkbox")->writePNG(resources / "box.png"));
        std::ofstream(resources / VimbraAssets::imageAttributesFile) << attributes;
    };
    write("Torn", "{\"box\": {\"capInsets\": [1, 2");
    write("Odd", R"({"box": [1, 2, 3, 4], "other": {"template": true}})");

    core::LogCapture log;
    for (const char* bundle : {"Torn", "Odd"}) {
        const auto image =
            ImageResource{"box", core::Bundle::atPath(root / (std::string(bundle) + ".bundle"))}.image();
        ASSERT_TRUE(image) << bundle;
        EXPECT_EQ(image->capInsets(), (graphics::EdgeInsets{})) << bundle;
    }
    EXPECT_TRUE(log.contains("Torn.bundle: image attributes \"Images.json\" are not a JSON object"));
    EXPECT_TRUE(log.contains("Odd.bundle: image attributes of \"box\" are not an object"));
    EXPECT_EQ(log.lines().size(), 2u);
    std::filesystem::remove_all(root);
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
