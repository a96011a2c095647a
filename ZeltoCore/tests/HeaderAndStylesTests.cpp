// The kit's button styles and the plug-in header bar.

#include "ButtonTestSupport.hpp"
#include "ZeltoCore/ButtonStyles.hpp"
#include "ZeltoCore/KitExtensions.hpp"
#include "ZeltoCore/PluginHeaderView.hpp"
#include "core/Workspace.hpp"

#include <gtest/gtest.h>
#include <unicode/locid.h>

using namespace zelto;
using namespace buttontest;
using declarative::Point;
using declarative::View;
using decltest::Harness;

namespace {

class ButtonStyles : public ::testing::Test {
protected:
    void SetUp() override { useBuildBundles(); }
};

TEST_F(ButtonStyles, ModernStretchesToTheOfferedWidthAndColoursTheLabelOnlyWhenOn) {
    const auto accent = graphics::Color::rgba(0.9, 0.2, 0.1);
    const char* expected[2][2] = {{"modern-button", "modern-button-down"},
                                  {"modern-button-on", "modern-button-on-down"}};
    for (const bool on : {false, true}) {
        Harness h(declarative::Button([] {}, declarative::Text("Go"))
                      .buttonStyle(ModernButtonStyle{on, accent})
                      .frame(150, std::nullopt),
                  {150, 40});
        const auto drawn = h.record(graphics::DrawOpKind::image);
        ASSERT_EQ(drawn.size(), 1u);
        EXPECT_EQ(drawn[0].imageName, expected[on][0]);
        EXPECT_EQ(drawn[0].rect.width(), 150);
        EXPECT_EQ(drawn[0].rect.height(), 27);
        const auto label = texts(h).at(0);
        if (on) {
            EXPECT_TRUE(label.textColor->sameComponents(*accent));
        } else {
            EXPECT_EQ(label.textColor->name(), "buttonText");
        }
        EXPECT_NEAR(label.deviceRect.midY() - drawn[0].deviceRect.midY(), 2, 1e-9);
        h.down({75, 20});
        EXPECT_EQ(images(h), (std::vector<std::string>{expected[on][1]}));
        h.up({75, 20});
    }
}

TEST_F(ButtonStyles, SettingsMovesOnlyARocketLabelDown) {
    for (const auto& [font, offset] :
         {std::pair{CorviFont::rocket, 2.0}, {CorviFont::dosisLight, 0.0}, {CorviFont::dosisMedium, 0.0}}) {
        Harness h(
            declarative::Button([] {}, declarative::Text("Settings")).buttonStyle(SettingsButtonStyle{font}),
            {200, 60});
        const auto drawn = h.record(graphics::DrawOpKind::image);
        ASSERT_EQ(drawn.size(), 1u);
        EXPECT_EQ(drawn[0].imageName, "settings-button");
        // The style applies no face of its own.
        const auto label = texts(h).at(0);
        EXPECT_EQ(label.textColor->name(), "buttonText");
        EXPECT_EQ(label.fontName.find("Dosis"), std::string::npos);
        EXPECT_EQ(label.fontName.find("Rocket"), std::string::npos);
        EXPECT_NEAR(label.deviceRect.midY() - drawn[0].deviceRect.midY(), offset, 1e-9);
        h.down(drawn[0].rect.center());
        EXPECT_EQ(images(h), (std::vector<std::string>{"settings-button-down"}));
        h.up(drawn[0].rect.center());
    }
}

// Records the URLs the bar asks the desktop to open.
struct OpenedURLs {
    OpenedURLs() {
        previous = core::setOpenURLHandler([this](const core::URL& url) {
            urls.push_back(url.string());
            return true;
        });
    }
    ~OpenedURLs() { core::setOpenURLHandler(previous); }
    std::vector<std::string> urls;
    core::OpenURLHandler previous;
};

const core::URL updateURL = *core::URL::parse("https://example.com/zelto/update");

const graphics::RecordedOp* findText(const std::vector<graphics::RecordedOp>& ops, const std::string& text) {
    for (const auto& op : ops) {
        if (op.text == text) {
            return &op;
        }
    }
    return nullptr;
}

class HeaderBar : public ButtonStyles {};

TEST_F(HeaderBar, TabsShowTheValueStringsAndSendTheirIndexEvenWhenSelected) {
    const auto tabs = RecordingParameter::make(2, 1, std::vector<std::string>{"Main", "Mod", "Fx"});
    Harness h(PluginHeaderView(updateURL, "1.4.2", bound(tabs), CorviFont::dosisMedium, std::nullopt),
              {640, 46});
    auto drawn = texts(h);
    for (const auto& [name, colour] :
         {std::pair{"MAIN", "tabUnselected"}, {"MOD", "tabSelected"}, {"FX", "tabUnselected"}}) {
        const auto* tab = findText(drawn, name);
        ASSERT_TRUE(tab) << name;
        EXPECT_EQ(tab->fontSize, 16);
        EXPECT_EQ(tab->textColor->name(), colour) << name;
    }
    EXPECT_NEAR(findText(drawn, "MOD")->rect.minX() - findText(drawn, "MAIN")->rect.maxX(), 24, 1e-9);
    // The tabs sit in the middle of the bar.
    EXPECT_NEAR((findText(drawn, "MAIN")->rect.minX() + findText(drawn, "FX")->rect.maxX()) / 2,
                8 + (640 - 8 - 16) / 2.0, 1e-9);

    h.click(findText(drawn, "MOD")->rect.center());
    EXPECT_EQ(tabs->take(), (std::vector<Edit>{change(1)}));
    h.click(findText(drawn, "FX")->rect.center());
    EXPECT_EQ(tabs->take(), (std::vector<Edit>{change(2)}));
    drawn = texts(h);
    EXPECT_EQ(findText(drawn, "FX")->textColor->name(), "tabSelected");
    EXPECT_EQ(findText(drawn, "MOD")->textColor->name(), "tabUnselected");

    // A value between indices selects no tab.
    tabs->setValue(1.5f, ParameterEditor::parameterObserver, ParameterEditorState::change);
    drawn = texts(h);
    for (const char* name : {"MAIN", "MOD", "FX"}) {
        EXPECT_EQ(findText(drawn, name)->textColor->name(), "tabUnselected") << name;
    }
}

TEST_F(HeaderBar, WithoutValueStringsTheBarKeepsLogoVersionAndMenu) {
    const auto plain = RecordingParameter::make(2, 0);
    int menus = 0;
    Harness h(PluginHeaderView(updateURL, "1.4.2", bound(plain), CorviFont::rocket, std::nullopt,
                               [&] {
                                   ++menus;
                                   return declarative::Text("MENU");
                               }),
              {640, 46});
    const auto drawn = texts(h);
    ASSERT_EQ(drawn.size(), 2u);
    const auto* version = findText(drawn, "1.4.2");
    const auto* menu = findText(drawn, "MENU");
    ASSERT_TRUE(version && menu);
    EXPECT_EQ(version->fontSize, 13);
    EXPECT_EQ(version->textColor->name(), "versionInfo");
    EXPECT_NEAR(menu->rect.maxX(), 640 - 16, 1e-9);
    EXPECT_NEAR(menu->rect.minX() - version->rect.maxX(), 8, 1e-9);
    EXPECT_EQ(images(h), (std::vector<std::string>{"kestrova-logo"}));
    EXPECT_EQ(h.record(graphics::DrawOpKind::image).at(0).rect.minX(), 8);
    EXPECT_EQ(menus, 1);
    // The bar is 46 points high on the kit's background.
    const auto fills = h.record(graphics::DrawOpKind::fillPath);
    ASSERT_FALSE(fills.empty());
    EXPECT_EQ(fills.front().rect, (graphics::Rect{0, 0, 640, 46}));
    EXPECT_EQ(fills.front().color->name(), "background");

    // Without a menu the version ends the bar.
    Harness bare(PluginHeaderView(updateURL, "1.4.2", bound(plain), CorviFont::rocket, std::nullopt),
                 {640, 46});
    EXPECT_NEAR(findText(texts(bare), "1.4.2")->rect.maxX(), 640 - 16, 1e-9);
}

// The user's locale, as ICU sees it, for the life of the object.
struct UserLocale {
    explicit UserLocale(const char* identifier) { set(icu::Locale(identifier)); }
    ~UserLocale() { set(previous); }
    static void set(const icu::Locale& locale) {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(locale, status);
    }
    icu::Locale previous = icu::Locale::getDefault();
};

TEST_F(HeaderBar, TabsAreUpperCasedForTheUsersLocaleTheUpdateNoticePlainly) {
    UserLocale turkish("tr_TR");
    const auto tabs = RecordingParameter::make(2, 0, std::vector<std::string>{"giriş", "Straße"});
    Harness h(PluginHeaderView(updateURL, "1.4.2", bound(tabs), CorviFont::dosisMedium,
                               UpdateAvailableDetails("2.1 mini")),
              {640, 46});
    const auto drawn = texts(h);
    EXPECT_TRUE(findText(drawn, "GİRİŞ"));
    EXPECT_TRUE(findText(drawn, "STRASSE"));
    EXPECT_TRUE(findText(drawn, "2.1 MINI AVAILABLE"));
}

TEST_F(HeaderBar, TheLogoAndTheUpdateButtonOpenTheirAddresses) {
    OpenedURLs opened;
    const auto plain = RecordingParameter::make(2, 0);
    Harness h(
        PluginHeaderView(updateURL, "1.4.2", bound(plain), CorviFont::rocket, UpdateAvailableDetails("2.1")),
        {640, 46});
    const auto drawn = texts(h);
    EXPECT_FALSE(findText(drawn, "1.4.2"));
    const auto* update = findText(drawn, "2.1 AVAILABLE");
    ASSERT_TRUE(update);
    EXPECT_NEAR(update->rect.maxX(), 640 - 16 - 4, 1e-9); // the style pads the label 4 points
    h.click(update->rect.center());
    const auto logo = h.record(graphics::DrawOpKind::image).at(0);
    h.click(logo.rect.center());
    EXPECT_EQ(opened.urls, (std::vector<std::string>{updateURL.string(), kestrovaSite().string()}));
}

} // namespace
