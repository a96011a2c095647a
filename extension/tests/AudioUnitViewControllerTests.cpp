#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "declarative/Hosting.hpp"
#include "extension/AudioUnitViewController.hpp"
#include "extension/EditorRoot.hpp"
#include "extension/Settings.hpp"
#include "extension/TessarayAudioUnit.hpp"
#include "extension/UpdateCheck.hpp"
#include "ui/Window.hpp"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

class ViewControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        core::claimMainThread();
        core::MainQueue::shared().drain();
        previousFetcher_ = setUpdateFeedFetcher(
            [](const std::string&, FetchCancellation&) -> std::string { throw UpdateFeedError("offline"); });
    }
    void TearDown() override {
        core::MainQueue::shared().drain();
        setUpdateFeedFetcher(previousFetcher_);
    }
    UpdateFeedFetcher previousFetcher_;
};

} // namespace

TEST_F(ViewControllerTest, HostsTheEditorPinnedToItsViewAtThePreferredSize) {
    auto controller = AudioUnitViewController::create();
    EXPECT_FALSE(controller->isViewLoaded());
    EXPECT_EQ(controller->preferredContentSize(), graphics::Size(0, 0));
    const auto& view = controller->view();
    EXPECT_EQ(controller->preferredContentSize(), graphics::Size(760, 512));
    ASSERT_NE(controller->hostingController(), nullptr);
    EXPECT_EQ(view->subviews().front(), controller->hostingController());

    // Pinned with zero insets: the hosting view follows every size of the controller's view.
    view->setFrame({0, 0, 1520, 1024});
    view->layoutSubtreeIfNeeded();
    EXPECT_EQ(controller->hostingController()->frame(), graphics::Rect(0, 0, 1520, 1024));
    view->setFrame({0, 0, 300, 200});
    view->layoutSubtreeIfNeeded();
    EXPECT_EQ(controller->hostingController()->frame(), graphics::Rect(0, 0, 300, 200));
}

TEST_F(ViewControllerTest, RecordsTheWindowAndItsFirstResponderWhenTheViewAppears) {
    auto controller = AudioUnitViewController::create();
    controller->view();
    controller->viewDidAppear();
    EXPECT_EQ(controller->settings()->pluginWindow.lock(), nullptr) << "no window yet";
    EXPECT_EQ(controller->settings()->pluginMainResponder.lock(), nullptr);

    auto window = ui::Window::make(graphics::Rect(0, 0, kEditorWidth, kEditorHeight));
    window->setContentView(controller->view());
    ASSERT_TRUE(window->makeFirstResponder(controller->hostingController()));
    controller->viewDidAppear();
    EXPECT_EQ(controller->settings()->pluginWindow.lock(), window);
    EXPECT_EQ(controller->settings()->pluginMainResponder.lock(), controller->hostingController());
    window->close();
}

TEST_F(ViewControllerTest, MakesTheUnitOnTheMainThreadAndConnectsTheSettings) {
    auto controller = AudioUnitViewController::create();
    // From a host thread: the work waits for the main thread, which services its queue.
    std::shared_ptr<TessarayAudioUnit> unit;
    std::thread host(
        [&] { unit = controller->createAudioUnit(TessarayAudioUnit::defaultComponentDescription()); });
    while (!unit) {
        core::MainQueue::shared().drain();
        std::this_thread::yield();
    }
    host.join();
    EXPECT_EQ(controller->audioUnit(), unit);
    EXPECT_EQ(controller->settings()->vantrelAudioUnit(), unit);
    // The settings' values were pushed into the kernel (not the kernel's own start-up values).
    EXPECT_EQ(unit->sharedState().paramValues[0].load(), 64.0f);
    EXPECT_EQ(unit->sharedState().paramValues[1].load(), 20.0f);
    EXPECT_EQ(unit->sharedState().paramValues[3].load(), 10.0f);
    ASSERT_NE(controller->settings()->pollTimer(), nullptr);
    EXPECT_TRUE(controller->settings()->pollTimer()->isValid());

    // From the main thread it runs at once instead of waiting for itself.
    auto second = controller->createAudioUnit(TessarayAudioUnit::defaultComponentDescription());
    EXPECT_EQ(controller->audioUnit(), second);
    controller->settings()->waitForUpdateChecks();
}

// An editor that reaches its unit through a plug-in host records an applied preset's name through the
// recorder; with a unit of this process, the unit takes it.
TEST_F(ViewControllerTest, AnAppliedPresetsNameGoesToTheRecorderWithoutAUnit) {
    auto settings = Settings::create();
    std::vector<std::string> recorded;
    settings->setPresetNameRecorder([&](const std::string& name) { recorded.push_back(name); });
    settings->applyPreset(factoryPresetList()[2]);
    EXPECT_EQ(recorded, (std::vector<std::string>{"Shimmer Halo"}));

    auto unit = TessarayAudioUnit::create();
    settings->configureAudioUnit(unit);
    settings->applyPreset(factoryPresetList()[3]);
    EXPECT_EQ(recorded.size(), 1u);
    EXPECT_EQ(unit->currentPresetName(), "Slow Melt");
    settings->cancelUpdateChecks();
    EXPECT_EQ(settings->updateCheckThreadCount(), 0u);
}
