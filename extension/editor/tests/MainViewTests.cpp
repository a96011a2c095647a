// The whole editor: the canvas's scale rule and the frames of its blocks, edits through synthetic events,
// and snapshots at 1x and 2x.

#include "EditorSupport.hpp"
#include "extension/editor/AnalyzerGraphView.hpp"
#include "extension/editor/DialGroups.hpp"
#include "extension/editor/HeaderViews.hpp"
#include "extension/editor/MainView.hpp"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <typeindex>

using namespace edtest;
using editor::MainView;

namespace {

// Every node built from a component of type T, in tree order.
template <class T> std::vector<Node*> componentsOf(Node* node, std::vector<Node*> found = {}) {
    if (node == nullptr) {
        return found;
    }
    if (node->description().type() == std::type_index(typeid(T))) {
        found.push_back(node);
    }
    for (const auto& child : node->children()) {
        found = componentsOf<T>(child.get(), std::move(found));
    }
    return found;
}

Rect frameInHost(const Node& node) {
    return node.hostToLocal().inverted().apply(node.frame());
}

void expectRect(const Rect& actual, const Rect& expected, const char* what) {
    EXPECT_NEAR(actual.x(), expected.x(), 1e-9) << what;
    EXPECT_NEAR(actual.y(), expected.y(), 1e-9) << what;
    EXPECT_NEAR(actual.width(), expected.width(), 1e-9) << what;
    EXPECT_NEAR(actual.height(), expected.height(), 1e-9) << what;
}

// Levels of a plausible spectrum: a falling slope with a few peaks.
std::vector<float> spectrum(std::size_t n) {
    std::vector<float> levels(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / static_cast<double>(n);
        const double peaks = 0.55 * std::exp(-std::pow((t - 0.22) * 14, 2)) +
                             0.35 * std::exp(-std::pow((t - 0.47) * 18, 2)) +
                             0.2 * std::exp(-std::pow((t - 0.71) * 22, 2));
        levels[i] = static_cast<float>(std::pow(10.0, (-52.0 + 44.0 * peaks - 20.0 * t) / 20.0));
    }
    return levels;
}

std::filesystem::path snapshotDirectory() {
    const std::filesystem::path dir(TESSARAY_EDITOR_OUTPUT_DIR);
    std::filesystem::create_directories(dir);
    return dir;
}

} // namespace

TEST(MainViewLayout, TheCanvasScalesUniformlyToTheSmallerRatio) {
    EXPECT_EQ(MainView::scale({760, 512}), 1.0);
    EXPECT_EQ(MainView::scale({1520, 1024}), 2.0);
    EXPECT_EQ(MainView::scale({760, 300}), 0.5859375);
    EXPECT_EQ(MainView::scale({380, 2000}), 0.5); // tall and narrow: by the width
    EXPECT_EQ(MainView::scale({0, 512}), 0.0);
    EXPECT_EQ(MainView::scale({NAN, 512}), 0.0);
}

TEST(MainViewLayout, BlocksSitWhereTheCanvasPutsThemAtEveryScale) {
    for (const auto& [size, s] :
         {std::pair{Size{760, 512}, 1.0}, std::pair{Size{1520, 1024}, 2.0},
          std::pair{Size{760, 300}, 0.5859375}, std::pair{Size{400, 900}, 400.0 / 760}}) {
        EditorHarness e(MainView{}, size);
        Node* root = e.harness.host->rootNode();
        const auto analyser = componentsOf<editor::AnalyzerGraphView>(root);
        ASSERT_EQ(analyser.size(), 1u);
        expectRect(frameInHost(*analyser[0]), {32 * s, 54 * s, 698 * s, 182 * s}, "analyser");
        const auto groups = componentsOf<editor::DialGroup>(root);
        ASSERT_EQ(groups.size(), 2u);
        EXPECT_NEAR(frameInHost(*groups[0]).x(), 26 * s, 1e-9);
        EXPECT_NEAR(frameInHost(*groups[1]).x(), 458 * s, 1e-9);
        EXPECT_NEAR(frameInHost(*groups[1]).width(), 276 * s, 1e-9);
        EXPECT_NEAR(frameInHost(*groups[0]).y(), frameInHost(*groups[1]).y(), 1e-9);
        const auto presets = componentsOf<editor::PresetBar>(root);
        ASSERT_EQ(presets.size(), 1u);
        expectRect(frameInHost(*presets[0]), {248 * s, 16 * s, 264 * s, 22 * s}, "preset bar");
        const auto morph = componentsOf<editor::MorphColumn>(root);
        ASSERT_EQ(morph.size(), 1u);
        EXPECT_NEAR(frameInHost(*morph[0]).x(), 332 * s, 1e-9);
        EXPECT_NEAR(frameInHost(*morph[0]).width(), 96 * s, 1e-9);
        EXPECT_GE(frameInHost(*morph[0]).y(), 240 * s);
    }
}

TEST(MainViewLayout, AHostThatResizesTheEditorRescalesTheCanvas) {
    EditorHarness e(MainView{}, {760, 512});
    e.harness.backend->resize({1520, 1024});
    e.harness.settle();
    ASSERT_EQ(e.harness.host->frame().size, (Size{1520, 1024}));
    const auto analyser = componentsOf<editor::AnalyzerGraphView>(e.harness.host->rootNode());
    ASSERT_EQ(analyser.size(), 1u);
    expectRect(frameInHost(*analyser[0]), {64, 108, 1396, 364}, "analyser after the resize");
}

TEST(MainViewSnapshot, TheWholeEditorAtOneAndTwoTimes) {
    for (double scale : {1.0, 2.0}) {
        EditorHarness e(MainView{}, {760, 512}, scale);
        e.settings->analyzerRangeLo = 40.0f;
        e.settings->analyzerRangeHi = 16000.0f;
        e.settings->analyzerBandAmps = spectrum(48);
        e.settings->applyPreset(e.settings->factoryPresets.at(1));
        core::MainQueue::shared().drain();
        e.harness.host->setTextMeasurer(nullptr); // Pango, as on screen
        e.harness.settle();
        e.harness.backend->displayIfNeeded();
        const auto file = snapshotDirectory() / (scale == 1.0 ? "editor@1x.png" : "editor@2x.png");
        ASSERT_TRUE(e.harness.backend->writePNG(file));
        EXPECT_GT(std::filesystem::file_size(file), 0u);

        // With the preset menu open over it, and a newer version announced.
        e.settings->updateDetails = UpdateAvailableDetails("2.1");
        e.harness.settle();
        e.harness.click({300, 27});
        e.harness.settle();
        ASSERT_TRUE(e.harness.host->hasOverlay());
        e.harness.backend->displayIfNeeded();
        ASSERT_TRUE(e.harness.backend->writePNG(
            snapshotDirectory() / (scale == 1.0 ? "editor-menu@1x.png" : "editor-menu@2x.png")));
    }
}

TEST(MainViewInput, ChoosingAPresetFromTheMenuOfTheScaledEditorAppliesAllItsValues) {
    EditorHarness e(MainView{}, {1520, 1024});
    e.settings->currentPresetIndex = std::nullopt;
    e.harness.settle();
    e.harness.click({600, 54}); // the preset field, at twice its canvas position
    e.harness.settle();
    ASSERT_TRUE(e.harness.host->hasOverlay());
    const Rect panel = e.harness.host->overlayFrameInHost();
    EXPECT_NEAR(panel.y(), (38 + 2) * 2, 1e-9); // under the field, scaled with it
    std::vector<MenuEntry> shape(e.settings->factoryPresets.size(), MenuEntry{"x"});
    const auto& slowMelt = e.settings->factoryPresets.at(3);
    e.harness.click({panel.x() + 60, panel.y() + 2 * MenuMetrics::entryMiddle(shape, 3)});
    core::MainQueue::shared().drain();
    e.harness.settle();
    EXPECT_FALSE(e.harness.host->hasOverlay());
    ASSERT_TRUE(e.settings->currentPreset());
    EXPECT_EQ(e.settings->currentPreset()->name, slowMelt.name);
    const auto values = slowMelt.values();
    for (std::size_t p = 0; p < values.size(); ++p) {
        EXPECT_EQ(e.settings->parameterField(p).get()->value(), values[p]) << p;
    }
    EXPECT_FALSE(e.settings->isCurrentPresetModified());
}
