#include "core/MainQueue.hpp"
#include "display/HeadlessBackend.hpp"
#include "ui/Alert.hpp"
#include "ui/Application.hpp"
#include "ui/Button.hpp"
#include "ui/Window.hpp"
#include "updater/AlertDialogRunner.hpp"
#include "updater/UpdaterController.hpp"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace updater {
namespace {

using graphics::Point;
using graphics::Rect;

// A key window drawn headless, whose back end the dialogs' windows copy.
class AlertRunnerTest : public ::testing::Test {
protected:
    void start(double scale = 1.0) {
        parent = ui::Window::make(Rect(300, 400, 480, 320), ui::WindowStyle::titled);
        display::HeadlessBackend::attach(parent, scale);
        parent->makeKeyAndOrderFront();
    }
    void TearDown() override {
        for (auto& window : ui::Application::shared()->windows()) {
            window->close();
        }
        core::MainQueue::shared().drain();
    }

    // The newest visible window other than the parent, which is the dialog.
    std::shared_ptr<ui::Window> dialogWindow() const {
        std::shared_ptr<ui::Window> found;
        for (auto& window : ui::Application::shared()->windows()) {
            if (window != parent && window->isVisible()) {
                found = window;
            }
        }
        return found;
    }

    static std::shared_ptr<display::HeadlessBackend> headless(const std::shared_ptr<ui::Window>& window) {
        return std::dynamic_pointer_cast<display::HeadlessBackend>(window->backend());
    }

    // Clicks the button with the title in the dialog's window, as the user would.
    bool click(const std::string& title) {
        const auto window = dialogWindow();
        if (!window) {
            return false;
        }
        for (const auto& view : window->contentView()->subviews()) {
            if (auto button = std::dynamic_pointer_cast<ui::Button>(view);
                button && button->title() == title) {
                const Rect r = button->convertRectToView(button->bounds(), nullptr);
                headless(window)->click({r.midX(), r.midY()});
                return true;
            }
        }
        return false;
    }

    std::shared_ptr<ui::Window> parent;
    AlertDialogRunner runner;
};

TEST_F(AlertRunnerTest, AButtonAnswersOnceAfterItsClickAndCloses) {
    for (double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        start(scale);
        std::vector<std::size_t> answers;
        const auto shown = runner.show(updateAvailableDialog("Tessaray", "1.3", "1.2", true),
                                       [&](std::size_t button) { answers.push_back(button); });
        const auto window = dialogWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_NE(headless(window), nullptr);
        EXPECT_TRUE(window->isKeyWindow());
        const std::filesystem::path output = TESSARAY_TEST_OUTPUT_DIR;
        std::filesystem::create_directories(output);
        EXPECT_TRUE(headless(window)->writePNG(output / (scale == 1.0 ? "update@1x.png" : "update@2x.png")));

        ASSERT_TRUE(click("Later"));
        EXPECT_TRUE(answers.empty()) << "the answer waits until the click has finished";
        core::MainQueue::shared().drain();
        EXPECT_EQ(answers, std::vector<std::size_t>{1});
        EXPECT_FALSE(window->isVisible());
        shown->close();
        shown->raise();
        core::MainQueue::shared().drain();
        EXPECT_EQ(answers.size(), 1u);
        TearDown();
    }
}

TEST_F(AlertRunnerTest, ClosedByItsOwnerItNeverAnswersClosedByTheUserTheLastButtonDoes) {
    start();
    int checkingAnswers = 0;
    auto checking = runner.show(checkingDialog("Tessaray"), [&](std::size_t) { ++checkingAnswers; });
    const auto window = dialogWindow();
    ASSERT_NE(window, nullptr);
    checking->close();
    core::MainQueue::shared().drain();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(checkingAnswers, 0);

    std::vector<std::size_t> answers;
    auto available = runner.show(updateAvailableDialog("Tessaray", "1.3", "1.2", true),
                                 [&](std::size_t button) { answers.push_back(button); });
    ASSERT_NE(dialogWindow(), nullptr);
    dialogWindow()->close();
    core::MainQueue::shared().drain();
    EXPECT_EQ(answers, std::vector<std::size_t>{1}) << "Later, not Download";
}

// The whole check with real alert windows: the answer that ends the session also lets go of the window
// whose button was clicked, which must outlive the click.
TEST_F(AlertRunnerTest, ACheckRunsThroughItsAlertWindows) {
    start();
    class Feed : public SPUUpdaterDelegate {
        std::optional<std::string> feedURLStringForUpdater(const SPUUpdater&) override {
            return "https://tessaray.app/tessaray/tessaray.xml";
        }
    };
    const auto delegate = std::make_shared<Feed>();
    std::vector<std::string> opened;
    UpdaterEnvironment environment;
    environment.fetch = [](const std::string&, FetchCancellation&) {
        return std::string("<rss><item><sparkle:shortVersionString>2.0</sparkle:shortVersionString>"
                           "<link>https://tessaray.app/download</link></item></rss>");
    };
    environment.dialogs = std::make_shared<AlertDialogRunner>();
    environment.openURL = [&](const core::URL& url) {
        opened.push_back(url.string());
        return true;
    };
    environment.currentVersion = "1.0";
    SPUStandardUpdaterController controller(true, delegate, {}, environment);
    controller.checkForUpdates(nullptr);
    // The feed is read on a worker; the bound only keeps a broken build from hanging.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!click("Download") && std::chrono::steady_clock::now() < giveUp) {
        core::MainQueue::shared().drain();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(opened.empty());
    core::MainQueue::shared().drain();
    EXPECT_EQ(opened, std::vector<std::string>{"https://tessaray.app/download"});
    EXPECT_TRUE(controller.canCheckForUpdates());
    EXPECT_EQ(dialogWindow(), nullptr);
}

} // namespace
} // namespace updater
