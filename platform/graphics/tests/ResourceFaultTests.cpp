// Damaged and missing resources of a bundle are logged, naming the bundle and the resource, once each.

#include "core/Log.hpp"
#include "graphics/Color.hpp"
#include "graphics/Font.hpp"
#include "graphics/Image.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace graphics;

namespace {

// A bundle in a temporary folder, with the resources each test writes into it.
struct TempBundle {
    std::filesystem::path root;
    std::filesystem::path resources;
    explicit TempBundle(const std::string& name) {
        static int counter = 0;
        root = std::filesystem::temp_directory_path() /
               ("gfx-faults-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        resources = root / (name + ".bundle") / "Resources";
        std::filesystem::create_directories(resources / "Fonts");
    }
    ~TempBundle() { std::filesystem::remove_all(root); }
    void write(const std::filesystem::path& relative, const std::string& text) const {
        std::ofstream(resources / relative, std::ios::binary) << text;
    }
};

std::size_t countContaining(const core::LogCapture& log, const std::string& fragment) {
    const auto lines = log.lines();
    return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(fragment) != std::string::npos;
    }));
}

} // namespace

TEST(ResourceFaults, DamagedAndMissingResourcesNameTheirBundleOnce) {
    TempBundle bundle("Damaged");
    ASSERT_TRUE(Image::draw({2, 2}, 1, [](GraphicsContext&) {})->writePNG(bundle.resources / "sound.png"));
    bundle.write("logo.png", "\x89PNG\r\n\x1a\n but not really");
    bundle.write("Colors.json", "{\"background\": {\"red\": 0.2,");
    bundle.write("Fonts/Broken.ttf", "not a font at all");

    core::LogCapture log;
    for (int i = 0; i < 2; ++i) { // asked again, as every redraw does
        EXPECT_TRUE(Image::named("sound", bundle.resources));
        EXPECT_FALSE(Image::named("logo", bundle.resources));
        EXPECT_FALSE(Image::named("absent", bundle.resources));
        EXPECT_FALSE(Color::named("background", bundle.resources));
    }
    EXPECT_EQ(Font::registerFontsInDirectory(bundle.resources / "Fonts"), 0);

    EXPECT_EQ(countContaining(log, "Damaged.bundle: image \"logo\" cannot be decoded"), 1u);
    EXPECT_EQ(countContaining(log, "Damaged.bundle: image \"absent\" is missing"), 1u);
    EXPECT_EQ(countContaining(log, "Damaged.bundle: colour table \"Colors.json\" is not a JSON object"), 1u);
    EXPECT_EQ(countContaining(log, "Damaged.bundle: colour \"background\" is missing"), 1u);
    EXPECT_EQ(countContaining(log, "Damaged.bundle: font \"Broken.ttf\" cannot be read"), 1u);
    EXPECT_EQ(countContaining(log, "\"sound\""), 0u) << "a sound image says nothing";
    EXPECT_EQ(log.lines().size(), 5u);
    EXPECT_TRUE(log.contains((bundle.resources / "logo.png").string())) << "the file is named too";
}

TEST(ResourceFaults, ColourEntriesThatAreNoColoursAreLogged) {
    TempBundle bundle("Palette");
    bundle.write("Colors.json", R"({"ok": "#102030", "typo": "#10203", "empty": {}})");
    core::LogCapture log;
    EXPECT_TRUE(Color::named("ok", bundle.resources));
    EXPECT_TRUE(log.contains("Palette.bundle: colour \"typo\" is not a colour"));
    EXPECT_TRUE(log.contains("Palette.bundle: colour \"empty\" is not a colour"));
    EXPECT_EQ(log.lines().size(), 2u);
}
