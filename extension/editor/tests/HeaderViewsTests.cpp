// The header strip through a hosting view: the preset field, its menu, the revert, previous and next
// buttons, and the version or update notice with the links they open.

#include "EditorSupport.hpp"
#include "extension/UpdateCheck.hpp"
#include "extension/editor/HeaderViews.hpp"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using namespace edtest;
using editor::HeaderRow;
using editor::PresetBar;

namespace {

// The strip across the top of a 760 x 300 host. With the fixed text measurer the preset bar (264 points)
// is centred: the field spans x 248 to 460, previous 464 to 486, next 490 to 512.
constexpr Point fieldPoint{300, 11};
constexpr Point revertPoint{452, 11};
constexpr Point previousPoint{475, 11};
constexpr Point nextPoint{501, 11};

struct Header {
    std::shared_ptr<std::vector<std::string>> opened = std::make_shared<std::vector<std::string>>();
    EditorHarness e;

    Header()
        : e(VStack({.spacing = 0}, {ZStack({HeaderRow{}, PresetBar{}}).frame(std::nullopt, 22), Spacer()})
                .frame(760, 300)
                .environmentObject(std::make_shared<editor::URLOpener>(editor::URLOpener{
                    [log = opened](const core::URL& url) { log->push_back(url.string()); }})),
            {760, 300}) {}

    Settings& settings() { return *e.settings; }
    void click(Point p) {
        e.harness.click(p);
        e.harness.settle();
    }
    bool shows(const std::string& text) {
        const auto texts = e.texts();
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }
    bool drawsImage(const graphics::ImageRef& image) {
        const auto ops = e.harness.record(graphics::DrawOpKind::image);
        return std::any_of(ops.begin(), ops.end(), [&](const auto& op) { return op.image == image; });
    }
    std::size_t checkmarks() {
        std::size_t n = 0;
        for (const auto& op : e.harness.record(graphics::DrawOpKind::strokePath)) {
            n += op.elements.size() == 3 ? 1 : 0;
        }
        return n;
    }
    // Opens the preset menu and clicks its entry `index` (presets first, then a separator, then the link).
    void choose(std::size_t index) {
        click(fieldPoint);
        ASSERT_TRUE(e.harness.host->hasOverlay());
        const Rect panel = e.harness.host->overlayFrameInHost();
        std::vector<MenuEntry> shape(settings().factoryPresets.size(), MenuEntry{"x"});
        shape.push_back(MenuEntry::separator());
        shape.push_back(MenuEntry{"x"});
        click({panel.x() + 40, panel.y() + MenuMetrics::entryMiddle(shape, index)});
    }
    void settleQueue() {
        core::MainQueue::shared().drain();
        e.harness.settle();
    }
};

} // namespace

TEST(PresetBar, WithoutACurrentPresetReadsDefaultWithNoCheckmarkAndNoRevert) {
    Header h;
    h.settings().currentPresetIndex = std::nullopt;
    h.settings().bands()->setValue(12, ParameterEditor::ui, ParameterEditorState::change);
    h.settleQueue();
    EXPECT_TRUE(h.shows("DEFAULT"));
    EXPECT_FALSE(h.drawsImage(editor::assets::headerPresetRevert()));
    h.click(fieldPoint);
    ASSERT_TRUE(h.e.harness.host->hasOverlay());
    EXPECT_EQ(h.checkmarks(), 0u);
    EXPECT_TRUE(h.shows("Ghost Choir"));
    EXPECT_TRUE(h.shows(editor::morePluginsTitle));
}

TEST(PresetBar, ShowsTheNameUpperCasedAndChecksItInTheMenuInItsOwnCase) {
    Header h;
    h.settings().applyPreset(h.settings().factoryPresets.at(1));
    h.settleQueue();
    EXPECT_TRUE(h.shows("GHOST CHOIR"));
    EXPECT_FALSE(h.shows("Ghost Choir"));
    h.click(fieldPoint);
    EXPECT_TRUE(h.shows("Ghost Choir"));
    EXPECT_EQ(h.checkmarks(), 1u);
}

TEST(PresetBar, ChoosingThePresetsFromTheMenuAppliesAllTheirValues) {
    Header h;
    for (std::size_t i = 0; i < h.settings().factoryPresets.size(); ++i) {
        const auto& preset = h.settings().factoryPresets[i];
        h.choose(i);
        h.settleQueue();
        EXPECT_FALSE(h.e.harness.host->hasOverlay());
        ASSERT_TRUE(h.settings().currentPreset()) << preset.name;
        EXPECT_EQ(h.settings().currentPreset()->name, preset.name);
        const auto values = preset.values();
        for (std::size_t p = 0; p < values.size(); ++p) {
            EXPECT_EQ(h.settings().parameterField(p).get()->value(), values[p]) << preset.name << " " << p;
        }
    }
}

TEST(PresetBar, RevertShowsOnlyWhileModifiedAndReappliesLikeChoosingTheCurrentPresetAgain) {
    Header h;
    const auto& ghost = h.settings().factoryPresets.at(1);
    h.settings().applyPreset(ghost);
    h.settleQueue();
    EXPECT_FALSE(h.drawsImage(editor::assets::headerPresetRevert()));

    auto edit = [&] {
        h.settings().bands()->setValue(3, ParameterEditor::ui, ParameterEditorState::change);
        h.settleQueue();
        ASSERT_TRUE(h.settings().isCurrentPresetModified());
        ASSERT_TRUE(h.drawsImage(editor::assets::headerPresetRevert()));
    };
    edit();
    h.choose(1); // the current preset, again
    h.settleQueue();
    EXPECT_EQ(h.settings().bands()->value(), ghost.bands);
    EXPECT_FALSE(h.settings().isCurrentPresetModified());
    EXPECT_FALSE(h.drawsImage(editor::assets::headerPresetRevert()));

    edit();
    h.click(revertPoint);
    h.settleQueue();
    EXPECT_EQ(h.settings().bands()->value(), ghost.bands);
    EXPECT_FALSE(h.drawsImage(editor::assets::headerPresetRevert()));
    EXPECT_EQ(h.settings().currentPreset()->name, "Ghost Choir");
}

TEST(PresetBar, PreviousAndNextStepThroughThePresetsAndWrap) {
    Header h;
    h.click(nextPoint);
    h.settleQueue();
    EXPECT_TRUE(h.shows("GHOST CHOIR"));
    h.click(previousPoint);
    h.click(previousPoint);
    h.settleQueue();
    EXPECT_EQ(h.settings().currentPreset()->name, "Feedback Fever");
    EXPECT_TRUE(h.shows("FEEDBACK FEVER"));
}

TEST(HeaderRow, ShowsTheVersionUntilANewerOneIsKnownThenANoticeThatAsksTheAppToUpdate) {
    Header h;
    const std::string version = h.settings().pluginVersion();
    EXPECT_TRUE(h.shows(version));
    EXPECT_FALSE(h.shows(editor::updateNoticeText("2.1")));

    h.settings().updateDetails = UpdateAvailableDetails("2.1");
    h.settleQueue();
    EXPECT_EQ(editor::updateNoticeText("2.1"), "2.1 AVAILABLE");
    EXPECT_TRUE(h.shows("2.1 AVAILABLE"));
    // Upper case by Unicode, not only ASCII letters, and by no locale's rules.
    EXPECT_EQ(editor::updateNoticeText("2.1 größer"), "2.1 GRÖSSER AVAILABLE");
    EXPECT_EQ(editor::updateNoticeText("2.1 ǆ"), "2.1 Ǆ AVAILABLE");
    EXPECT_FALSE(h.shows(version));

    // Pressed, the whole notice dims to 80 %; released, it opens exactly the update request.
    const Point notice{700, 11};
    auto dimmed = [&] {
        const auto layers = h.e.harness.record(graphics::DrawOpKind::beginLayer);
        return std::any_of(layers.begin(), layers.end(),
                           [](const auto& op) { return std::abs(op.alpha - 0.8) < 1e-9; });
    };
    h.e.harness.down(notice);
    h.e.harness.settle();
    EXPECT_TRUE(dimmed());
    h.e.harness.up(notice);
    h.e.harness.settle();
    EXPECT_FALSE(dimmed());
    EXPECT_EQ(*h.opened, std::vector<std::string>{"tessaray://openAndUpdate"});
}

TEST(PresetBar, TheLastMenuEntryOpensTheMakersPluginsPage) {
    Header h;
    h.choose(h.settings().factoryPresets.size() + 1);
    ASSERT_EQ(h.opened->size(), 1u);
    const auto page = core::URL::parse(h.opened->front());
    ASSERT_TRUE(page);
    EXPECT_EQ(page->scheme(), "https");
    EXPECT_EQ(page->path(), "/plugins/");
    EXPECT_EQ(h.settings().currentPreset()->name, "Default"); // nothing else happened
}

TEST(HeaderRow, TheNoticeUpperCasesANonASCIIVersionText) {
    Header h;
    h.settings().updateDetails = UpdateAvailableDetails("2.1 Übergröße");
    h.settleQueue();
    EXPECT_TRUE(h.shows("2.1 ÜBERGRÖSSE AVAILABLE"));
}
