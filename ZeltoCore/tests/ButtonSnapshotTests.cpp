// Pictures of every button family (off, on, pressed) and of the header bar at 1x and 2x, written into the
// build tree for a person to look at.

#include "ButtonTestSupport.hpp"
#include "ZeltoCore/ButtonStyles.hpp"
#include "ZeltoCore/KitFonts.hpp"
#include "ZeltoCore/KitViews.hpp"
#include "ZeltoCore/ParameterButtons.hpp"
#include "ZeltoCore/PluginHeaderView.hpp"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using namespace zelto;
using namespace buttontest;
using declarative::Size;
using declarative::View;
using decltest::Harness;

namespace {

constexpr double margin = 10;
constexpr double gap = 12;

std::filesystem::path snapshotDirectory() {
    std::filesystem::path dir(ZELTO_SNAPSHOT_DIR);
    std::filesystem::create_directories(dir);
    return dir;
}

struct Family {
    const char* name;
    Size size;
    // Draws the button off or on.
    std::function<View(bool on)> make;
};

View rocketText(std::string text) {
    return rocketFont(declarative::Text(std::move(text)), 13);
}

std::vector<std::string> modeNames() {
    return {"Up", "Down", "Random"};
}

std::vector<Family> families() {
    const auto white = graphics::Color::white(1);
    return {
        {"chaos-button", ChaosButton::buttonSize,
         [](bool) { return View(ChaosButton("RND", ChaosButtonColor::yellow)); }},
        {"chaos-toggle-button", ChaosToggleButton::buttonSize,
         [](bool on) {
             return View(ChaosToggleButton(bound(RecordingParameter::make(2, on ? 1 : 0, modeNames())), 1,
                                           ChaosButtonColor::blue));
         }},
        {"chaos-toggle-button-narrow", ChaosToggleButtonNarrow::buttonSize,
         [](bool on) {
             return View(ChaosToggleButtonNarrow(bound(RecordingParameter::make(1, on ? 1 : 0)), "S"));
         }},
        {"image-button", ImageButton::buttonSize,
         [](bool) {
             return View(ImageButton(declarative::Image(kitImage("chaos-button-grey-on-red")),
                                     declarative::Image(kitImage("chaos-button-grey-on-red-down"))));
         }},
        {"left-right-arrow-button", LeftRightArrowButton::buttonSize,
         [](bool on) {
             return View(LeftRightArrowButton(bound(RecordingParameter::make(1, on ? 1 : 0)), 0));
         }},
        {"mode-toggle-button-modern", ModeToggleButton::buttonSize,
         [white](bool on) {
             return View(ModeToggleButton(bound(RecordingParameter::make(2, on ? 2 : 0, modeNames())), 2,
                                          white, ToggleButtonStyle::modern, 13));
         }},
        {"mode-toggle-button-retro", ModeToggleButton::buttonSize,
         [white](bool on) {
             return View(ModeToggleButton(bound(RecordingParameter::make(2, on ? 2 : 0, modeNames())), 2,
                                          white, ToggleButtonStyle::retro, 13));
         }},
        {"parameter-hold-button",
         {88, 27},
         [](bool on) {
             return View(ParameterHoldButton(bound(RecordingParameter::make(1, on ? 1 : 0)),
                                             kitImage("retro-button"), kitImage("retro-button-down")));
         }},
        {"toggle-button", ToggleButton::buttonSize,
         [white](bool on) {
             return View(ToggleButton(bound(RecordingParameter::make(1, on ? 1 : 0, {}, "Sync")), white,
                                      std::nullopt, 13));
         }},
        {"modern-button-style",
         {120, 27},
         [white](bool on) {
             return declarative::Button([] {}, rocketText("Apply"))
                 .buttonStyle(ModernButtonStyle{on, white})
                 .frame(120, 27);
         }},
        {"settings-button-style",
         {120, 40},
         [](bool) {
             return declarative::Button([] {}, rocketText(""))
                 .buttonStyle(SettingsButtonStyle{CorviFont::rocket})
                 .frame(120, 40);
         }},
    };
}

class ButtonSnapshots : public ::testing::Test {
protected:
    void SetUp() override {
        useBuildBundles();
        ASSERT_TRUE(registerKitFonts(kitBundle().resourcePath() / "Fonts"));
    }
};

TEST_F(ButtonSnapshots, EveryFamilyOffOnAndPressed) {
    for (const auto& family : families()) {
        for (const double scale : {1.0, 2.0}) {
            const Size size{margin * 2 + family.size.width * 3 + gap * 2, margin * 2 + family.size.height};
            Harness h(declarative::HStack({.spacing = gap},
                                          {family.make(false), family.make(true), family.make(false)})
                          .padding(margin),
                      size, scale);
            h.window->setBackgroundColor(kitColor("background"));
            h.host->setTextMeasurer(nullptr); // Pango, as on screen
            h.settle();
            // Hold the third one down.
            h.down({margin + 2 * (family.size.width + gap) + family.size.width / 2,
                    margin + family.size.height / 2});
            h.settle();
            const auto file =
                snapshotDirectory() / (std::string(family.name) + (scale == 1.0 ? "@1x.png" : "@2x.png"));
            ASSERT_TRUE(h.backend->writePNG(file));
            h.up({-100, -100});
            SCOPED_TRACE(family.name);
            EXPECT_GE(h.record(graphics::DrawOpKind::image).size(), 3u);
        }
    }
}

TEST_F(ButtonSnapshots, TheHeaderBarWithTabsAndEitherSide) {
    const auto tabs =
        RecordingParameter::make(2, 1, std::vector<std::string>{"Main", "Modulation", "Effects"});
    const auto url = *core::URL::parse("https://example.com/update");
    for (const bool update : {false, true}) {
        for (const double scale : {1.0, 2.0}) {
            std::optional<UpdateAvailableDetails> details;
            if (update) {
                details = UpdateAvailableDetails("2.1");
            }
            Harness h(PluginHeaderView(url, "1.4.2", bound(tabs), CorviFont::dosisMedium, details,
                                       [] { return rocketText("MENU"); }),
                      {640, 46}, scale);
            h.host->setTextMeasurer(nullptr);
            h.settle();
            const auto file =
                snapshotDirectory() / (std::string(update ? "header-update" : "header-version") +
                                       (scale == 1.0 ? "@1x.png" : "@2x.png"));
            ASSERT_TRUE(h.backend->writePNG(file));

            // The tabs are drawn upper-cased, and the right-hand side shows the version or the offer.
            std::vector<std::string> drawn;
            for (const auto& op : texts(h)) {
                drawn.push_back(op.text);
            }
            auto shows = [&drawn](const std::string& text) {
                return std::find(drawn.begin(), drawn.end(), text) != drawn.end();
            };
            for (const char* tab : {"MAIN", "MODULATION", "EFFECTS"}) {
                EXPECT_TRUE(shows(tab)) << tab;
            }
            EXPECT_EQ(shows("2.1 AVAILABLE"), update);
            EXPECT_EQ(shows("1.4.2"), !update);
        }
    }
}

} // namespace
