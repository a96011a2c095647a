#include "ZeltoCore/KitFonts.hpp"
#include "graphics/AttributedString.hpp"
#include "graphics/PangoSupport.hpp"

#include <algorithm>
#include <filesystem>
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>
#include <pango/pangofc-font.h>
#include <string>
#include <vector>

using namespace zelto;

namespace {

double widthOf(const graphics::FontRef& font, const std::string& text) {
    graphics::TextAttributes attributes;
    attributes.font = font;
    return graphics::AttributedString(text, attributes).size().width;
}

// The files of every font a fontconfig configuration lists.
std::vector<std::string> listedFiles(FcConfig* config) {
    std::vector<std::string> files;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, nullptr);
    FcFontSet* set = FcFontList(config, pattern, objects);
    for (int i = 0; set && i < set->nfont; ++i) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) == FcResultMatch) {
            files.emplace_back(reinterpret_cast<const char*>(file));
        }
    }
    if (set) {
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return files;
}

// The family of the face that a layout of text in font uses, on a context of the given font map.
std::string familyLaidOutWith(PangoFontMap* map, const graphics::FontRef& font, const std::string& text) {
    graphics::TextAttributes attributes;
    attributes.font = font;
    PangoContext* context = pango_font_map_create_context(map);
    PangoLayout* layout =
        graphics::detail::createLayout(context, graphics::AttributedString(text, attributes), {});
    std::string family;
    PangoLayoutLine* line = pango_layout_get_line_readonly(layout, 0);
    if (line && line->runs) {
        auto* run = static_cast<PangoGlyphItem*>(line->runs->data);
        if (PANGO_IS_FC_FONT(run->item->analysis.font)) {
            FcChar8* name = nullptr;
            FcPattern* pattern = pango_fc_font_get_pattern(PANGO_FC_FONT(run->item->analysis.font));
            if (pattern && FcPatternGetString(pattern, FC_FAMILY, 0, &name) == FcResultMatch) {
                family = reinterpret_cast<const char*>(name);
            }
        }
    }
    g_object_unref(layout);
    g_object_unref(context);
    return family;
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

// Inside a host the process's fontconfig configuration and Pango font map are the host's: the kit's faces
// and its "Rocket" alias go into a configuration of the kit's own, which only its text uses.
TEST(KitFonts, RegisteredFacesStayOutOfTheProcesssConfiguration) {
    const std::filesystem::path fonts = std::filesystem::canonical(ZELTO_FONTS_DIR);
    ASSERT_TRUE(registerKitFonts(fonts));
    const auto ours = [&](const std::vector<std::string>& files) {
        std::vector<std::string> names;
        for (const std::string& file : files) {
            std::error_code error;
            const auto path = std::filesystem::weakly_canonical(file, error);
            if (path.parent_path() == fonts) {
                names.push_back(path.filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    };
    EXPECT_EQ(ours(listedFiles(FcConfigGetCurrent())), std::vector<std::string>{});
    FcFontSet* application = FcConfigGetFonts(FcConfigGetCurrent(), FcSetApplication);
    EXPECT_TRUE(application == nullptr || application->nfont == 0);
    EXPECT_EQ(ours(listedFiles(graphics::detail::fontConfig())),
              (std::vector<std::string>{"BebasNeue-Regular.otf", "Dosis-Light.otf", "Dosis-Medium.otf"}));

    // The kit's text finds "Rocket"; text on the toolkit's default font map (a host's) does not.
    const auto rocket = corviFont(CorviFont::rocket, 20.0);
    EXPECT_EQ(familyLaidOutWith(graphics::detail::fontMap(), rocket, "TESSARAY"), "Bebas Neue");
    EXPECT_NE(familyLaidOutWith(pango_cairo_font_map_get_default(), rocket, "TESSARAY"), "Bebas Neue");
}

} // namespace
