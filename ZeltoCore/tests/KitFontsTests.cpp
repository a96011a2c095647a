#include "ZeltoCore/KitFonts.hpp"
#include "graphics/AttributedString.hpp"

#include <filesystem>
#include <gtest/gtest.h>

using namespace zelto;

namespace {

double widthOf(const graphics::FontRef& font, const std::string& text) {
    graphics::TextAttributes attributes;
    attributes.font = font;
    return graphics::AttributedString(text, attributes).size().width;
}

// The bundle carries the three faces with their licences; once registered, "Rocket" is the shipped display
// face and the Dosis faces are the weights the kit asks for, with a graceful fallback otherwise.
TEST(KitFonts, ShippedFacesAnswerToTheKitsNames) {
    const std::filesystem::path fonts = ZELTO_FONTS_DIR;
    for (const char* file : {"Dosis-Light.otf", "Dosis-Medium.otf", "BebasNeue-Regular.otf", "Dosis.LICENSE",
                             "BebasNeue.LICENSE"}) {
        EXPECT_TRUE(std::filesystem::is_regular_file(fonts / file)) << file;
    }
    EXPECT_EQ(corviFontFaceName(CorviFont::rocket), "Rocket");
    EXPECT_EQ(corviFontFaceName(CorviFont::dosisLight), "Dosis-Light");
    EXPECT_EQ(corviFontFaceName(CorviFont::dosisMedium), "Dosis-Medium");

    const std::string sample = "TESSARAY 123";
    const double unknown = widthOf(
        std::make_shared<const graphics::Font>("Rocket", 20.0, graphics::FontWeight::regular, false), sample);
    ASSERT_TRUE(registerKitFonts(fonts));
    ASSERT_TRUE(registerKitFonts(fonts)) << "registering again is harmless";

    const auto rocket = corviFont(CorviFont::rocket, 20.0);
    EXPECT_EQ(rocket->familyName(), "Rocket");
    const double asRocket = widthOf(rocket, sample);
    const double asBebas = widthOf(
        std::make_shared<const graphics::Font>("Bebas Neue", 20.0, graphics::FontWeight::regular, false),
        sample);
    EXPECT_DOUBLE_EQ(asRocket, asBebas) << "\"Rocket\" is laid out in the shipped display face";
    EXPECT_NE(asRocket, unknown) << "before registration \"Rocket\" fell back to the default face";

    const auto light = corviFont(CorviFont::dosisLight, 14.0);
    const auto medium = corviFont(CorviFont::dosisMedium, 14.0);
    EXPECT_EQ(light->familyName(), "Dosis");
    EXPECT_EQ(light->weight(), graphics::FontWeight::light);
    EXPECT_EQ(medium->weight(), graphics::FontWeight::medium);
    EXPECT_NE(widthOf(light, sample), widthOf(graphics::Font::systemFont(14.0), sample));

    // Names fontconfig could misread are refused rather than spliced into its configuration.
    EXPECT_FALSE(graphics::Font::addFamilyAlias("Evil\"><include>/etc</include>", "Dosis"));
    EXPECT_FALSE(graphics::Font::addFamilyAlias("", "Dosis"));
}

} // namespace
