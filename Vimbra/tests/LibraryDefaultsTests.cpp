#include "Vimbra/Assets.hpp"
#include "Vimbra/LibraryStatics.hpp"
#include "Vimbra/tests/TestSupport.hpp"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace vimbra;

TEST(LibraryDefaults, HeaderButtonsAreImageOnlyMomentaryChangeButtonsWithTheirDownImages) {
    for (auto [button, image, down] :
         {std::tuple{LibraryDefaults::addHeaderButton(), "properties-table-add", "properties-table-add-down"},
          std::tuple{LibraryDefaults::overflowHeaderButton(), "properties-tableheader-overflow",
                     "properties-tableheader-overflow-down"}}) {
        EXPECT_EQ(button->title(), "");
        ASSERT_TRUE(button->image());
        ASSERT_TRUE(button->alternateImage());
        EXPECT_EQ(button->image()->name(), image);
        EXPECT_EQ(button->alternateImage()->name(), down);
        EXPECT_EQ(button->buttonType(), ui::ButtonType::momentaryChange);
        EXPECT_EQ(button->bezelStyle(), ui::BezelStyle::regularSquare);
        EXPECT_FALSE(button->isBordered());
        EXPECT_EQ(button->imagePosition(), ui::ImagePosition::imageOnly);
        EXPECT_EQ(button->imageScaling(), ui::ImageScaling::none);
        EXPECT_EQ(button->target(), nullptr);
        EXPECT_EQ(button->action(), "");
    }
    // Each call makes a new button.
    EXPECT_NE(LibraryDefaults::addHeaderButton(), LibraryDefaults::addHeaderButton());
}

TEST(LibraryDefaults, CursorsSubjectsAndControllersAreFreshWhereOwnersMustNotShare) {
    auto cursor = LibraryDefaults::trackingSliderCursor();
    ASSERT_TRUE(cursor->image());
    EXPECT_EQ(cursor->image()->name(), "cursor-trackingslider");
    EXPECT_EQ(cursor->hotSpot(), (graphics::Point{3, 4}));
    EXPECT_EQ(LibraryDefaults::arrowCursor(), ui::Cursor::arrowCursor());

    EXPECT_NE(LibraryDefaults::clickedSubject(), LibraryDefaults::clickedSubject());
    EXPECT_NE(LibraryDefaults::textFieldPopoverController(), LibraryDefaults::textFieldPopoverController());
    EXPECT_NE(LibraryDefaults::propertiesFieldPopoverController(),
              LibraryDefaults::propertiesFieldPopoverController());
    EXPECT_EQ(LibraryDefaults::keyboardActionTriggers(),
              (std::vector<char32_t>{ui::SpecialKey::carriageReturn, ui::SpecialKey::enter}));

    // Named colours are the palette's shared objects.
    EXPECT_EQ(LibraryDefaults::grey85Color(), vimbraColor("Grey 85%"));
    EXPECT_EQ(LibraryDefaults::backgroundNormalColor(), vimbraColor("Background/Normal"));
    EXPECT_EQ(LibraryDefaults::highlightSystemColor(), vimbraColor("Highlight/System"));
}

TEST(LibraryDefaults, EnvironmentReadingsSeeWhatTheTreeHandsDown) {
    struct Config {
        double labelWidth = 120;
    };
    declarative::Environment environment;
    EXPECT_TRUE(LibraryDefaults::isEnabledReading()(environment));
    environment.isEnabled = false;
    EXPECT_FALSE(LibraryDefaults::isEnabledReading()(environment));

    EXPECT_EQ(LibraryDefaults::settingsConfigReading<Config>()(environment), nullptr);
    auto config = std::make_shared<Config>();
    environment.setObject(config);
    EXPECT_EQ(LibraryDefaults::settingsConfigReading<Config>()(environment), config);
}

namespace {

// A bundle directory of its own for a test, removed afterwards.
struct TemporaryBundle {
    std::filesystem::path path;
    explicit TemporaryBundle(const std::string& name)
        : path(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()))) {
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path / "Resources");
    }
    ~TemporaryBundle() { std::filesystem::remove_all(path); }
};

} // namespace

TEST(LibraryDefaults, TheApplicationsCycleImageComesBeforeTheLibrarys) {
    TemporaryBundle app("vimbra-app");
    const auto own = graphics::ImageRep::make(10, 12, {10, 12});
    std::ofstream(app.path / "Resources" / "cursor-cycle.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(own->pngData().data()),
               static_cast<std::streamsize>(own->pngData().size()));
    core::Bundle::setMainBundlePath(app.path);
    EXPECT_EQ(cycleImage()->size(), (graphics::Size{10, 12}));
    core::Bundle::setMainBundlePath(std::nullopt);
    EXPECT_EQ(cycleImage()->size(), (graphics::Size{16, 16}));
}

TEST(LibraryDefaultsDeathTest, NoCycleImageInTheApplicationOrTheLibraryStopsTheProgram) {
    // An application whose library bundle lacks the image too.
    TemporaryBundle bare("vimbra-bare-app");
    std::filesystem::create_directories(bare.path / "Resources" / "Vimbra_Vimbra.bundle" / "Resources");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            core::Bundle::setMainBundlePath(bare.path);
            cycleImage();
        },
        "missing image named cursor-cycle");
}
