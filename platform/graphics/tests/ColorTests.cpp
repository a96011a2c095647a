#include "graphics/Color.hpp"
#include "graphics/DrawRecorder.hpp"
#include "graphics/GraphicsContext.hpp"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace graphics;

TEST(Color, SystemColoursKeepTheirIdentityAndAlphaVariantsAreNew) {
    EXPECT_EQ(Color::controlTextColor(), Color::controlTextColor());
    EXPECT_EQ(Color::system("controlTextColor"), Color::controlTextColor());
    EXPECT_EQ(Color::system("noSuchColor"), nullptr);

    ColorRef accent = Color::controlAccentColor();
    ColorRef faded = accent->withAlphaComponent(0.3);
    EXPECT_NE(faded, accent);
    EXPECT_DOUBLE_EQ(faded->alpha(), 0.3);
    EXPECT_DOUBLE_EQ(faded->red(), accent->red());
    EXPECT_DOUBLE_EQ(accent->alpha(), 1.0); // the original is untouched

    // Setting a shared colour on the current context keeps the same handle; without one it is harmless.
    Color::controlTextColor()->set();
    GraphicsContext ctx(std::make_shared<DrawRecorder>(), {1, 1});
    GraphicsContext::CurrentScope scope(ctx);
    Color::controlTextColor()->set();
    EXPECT_EQ(ctx.fillColor(), Color::controlTextColor());
    EXPECT_EQ(ctx.strokeColor(), Color::controlTextColor());
    Color(0, 1, 0).setFill(); // a plain value gets a handle of its own
    EXPECT_DOUBLE_EQ(ctx.fillColor()->green(), 1.0);
}

TEST(Color, HexParsing) {
    auto c = Color::parseHex("#FF800040");
    ASSERT_TRUE(c);
    EXPECT_DOUBLE_EQ(c->red(), 1.0);
    EXPECT_NEAR(c->green(), 128 / 255.0, 1e-12);
    EXPECT_NEAR(c->alpha(), 64 / 255.0, 1e-12);
    EXPECT_DOUBLE_EQ(Color::parseHex("#fff")->blue(), 1.0);
    EXPECT_DOUBLE_EQ(Color::parseHex("#000000")->alpha(), 1.0);
    EXPECT_FALSE(Color::parseHex("FF0000"));
    EXPECT_FALSE(Color::parseHex("#12345"));
    EXPECT_FALSE(Color::parseHex("#GG0000"));
    EXPECT_EQ(Color(1, 0, 0.5, 1).hexString(), "#FF0080FF");
}

TEST(Color, NamedColoursComeFromTheDirectoryTable) {
    auto dir = std::filesystem::temp_directory_path() / ("gfx-colors-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / ColorCatalog::fileName) << R"({
        "Grey 85%": {"red": 0.85, "green": 0.85, "blue": 0.85},
        "Background/Normal": "#202124FF",
        "Error": {"red": 1, "green": 0.2, "blue": 0.2, "alpha": 0.5},
        "Broken": {"red": "x"},
        "AlsoBroken": 42
    })";

    ColorRef grey = Color::named("Grey 85%", dir);
    ASSERT_TRUE(grey);
    EXPECT_DOUBLE_EQ(grey->green(), 0.85);
    EXPECT_DOUBLE_EQ(grey->alpha(), 1.0);
    EXPECT_EQ(grey->name(), "Grey 85%");
    EXPECT_EQ(Color::named("Grey 85%", dir), grey);            // same object on every lookup
    EXPECT_EQ(Color::named("Grey 85%", dir / "." / ""), grey); // same directory spelled differently
    EXPECT_NEAR(Color::named("Background/Normal", dir)->blue(), 0x24 / 255.0, 1e-12);
    EXPECT_DOUBLE_EQ(Color::named("Error", dir)->alpha(), 0.5);

    EXPECT_EQ(Color::named("Missing", dir), nullptr);
    EXPECT_EQ(Color::named("Broken", dir), nullptr);
    EXPECT_EQ(Color::named("AlsoBroken", dir), nullptr);
    EXPECT_EQ(Color::named("Grey 85%", dir / "nowhere"), nullptr);
    EXPECT_EQ(ColorCatalog::fromJSON("[1, 2]"), nullptr);
    EXPECT_EQ(ColorCatalog::fromJSON("{ not json"), nullptr);
    std::filesystem::remove_all(dir);
}
