// The editor's bundle holds every colour and image of its catalogue, at both scales.

#include "EditorSupport.hpp"
#include "extension/editor/EditorCatalog.hpp"

#include <gtest/gtest.h>

using namespace edtest;

TEST(EditorAssets, TheBundleAnswersEveryCatalogueNameAtItsSizeAndValue) {
    useBuildTreeResources();
    EXPECT_EQ(editor::missingEditorAssets(), std::vector<std::string>{});
    for (const auto& entry : editor::editorColors) {
        const auto colour = editor::editorColor(entry.name);
        ASSERT_NE(colour, nullptr) << entry.name;
        const auto expected = graphics::Color::parseHex(std::string(entry.hex));
        ASSERT_TRUE(expected.has_value());
        EXPECT_TRUE(colour->sameComponents(*expected, 1e-6)) << entry.name;
    }
    for (const auto& entry : editor::editorImages) {
        const auto image = editor::editorImage(entry.name);
        ASSERT_NE(image, nullptr) << entry.name;
        EXPECT_DOUBLE_EQ(image->width(), entry.width) << entry.name;
        EXPECT_DOUBLE_EQ(image->height(), entry.height) << entry.name;
        const auto& reps = image->representations();
        ASSERT_EQ(reps.size(), 2u) << entry.name;
        EXPECT_EQ(reps[1]->pixelsWide(), static_cast<int>(2 * entry.width)) << entry.name;
    }
    // The named accessors hand out one object per asset.
    EXPECT_EQ(editor::assets::morphDot(), editor::assets::morphDot());
    EXPECT_NE(editor::assets::morphDot(), editor::assets::morphDotDown());
    EXPECT_EQ(editor::editorBundle().bundlePath().filename(), "Tessaray_TessarayEditor.bundle");
}
