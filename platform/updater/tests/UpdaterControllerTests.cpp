#include "HttpsTestServer.hpp"
#include "TestNameServer.hpp"
#include "core/Log.hpp"
#include "updater/UpdaterController.hpp"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace updater {
namespace {

using testing::CannedResponse;
using testing::HttpsTestServer;

class FixedFeed : public SPUUpdaterDelegate {
public:
    explicit FixedFeed(std::optional<std::string> address) : address(std::move(address)) {}
    std::optional<std::string> feedURLStringForUpdater(const SPUUpdater&) override {
        ++asked;
        return address;
    }
    std::optional<std::string> address;
    int asked = 0;
};

std::string feedWith(const std::string& version, const std::string& download) {
    return "<?xml version=\"1.0\"?><rss><channel><item><sparkle:shortVersionString>" + version +
           "</sparkle:shortVersionString><enclosure url=\"" + download + "\"/></item></channel></rss>";
}

// The updater against the local server, its dialogs answered by the test and its results delivered on a
// main queue of the test's own.
class UpdaterTest : public ::testing::Test {
protected:
    std::shared_ptr<SPUStandardUpdaterController> makeController(std::optional<std::string> feed,
                                                                 long timeoutSeconds = 30) {
        delegate = std::make_shared<FixedFeed>(std::move(feed));
        UpdaterEnvironment environment;
        environment.fetch = [this, timeoutSeconds](const std::string& address,
                                                   FetchCancellation& cancellation) {
            FetchOptions options;
            options.failOnErrorStatus = true;
            options.totalTimeoutSeconds = timeoutSeconds;
            options.certificateAuthorityFile = server.certificateFile();
            options.nameServers = nameServers;
            return fetchFeed(address, cancellation, options);
        };
        environment.dialogs = dialogs;
        environment.openURL = [this](const core::URL& url) {
            opened.push_back(url.string());
            return true;
        };
        environment.currentVersion = "1.2";
        environment.mainQueue = &queue;
        return std::make_shared<SPUStandardUpdaterController>(
            true, delegate, std::weak_ptr<SPUStandardUserDriverDelegate>(), std::move(environment));
    }

    // Delivers the main queue until a dialog of the kind is open; a generous bound keeps a broken build
    // from hanging, and is not a measure of speed.
    std::shared_ptr<HeadlessDialogRunner::Entry> waitForDialog(UpdateDialog::Kind kind) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < giveUp) {
            queue.drain();
            auto open = dialogs->openDialog();
            if (open && open->dialog.kind == kind) {
                return open;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return nullptr;
    }

    // Waits for a condition that another thread brings about; the bound only keeps a broken build from
    // hanging.
    static bool waitUntil(const std::function<bool()>& condition) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > giveUp) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    // Checks against a feed served with the response and returns the dialog that answers.
    std::shared_ptr<HeadlessDialogRunner::Entry>
    checkAgainst(CannedResponse response, UpdateDialog::Kind kind, long timeoutSeconds = 30) {
        server.setResponse(std::move(response));
        controller = makeController(server.address("/tessaray/tessaray.xml"), timeoutSeconds);
        controller->checkForUpdates(nullptr);
        return waitForDialog(kind);
    }

    HttpsTestServer server;
    core::MainQueue queue;
    std::shared_ptr<HeadlessDialogRunner> dialogs = std::make_shared<HeadlessDialogRunner>();
    std::shared_ptr<FixedFeed> delegate;
    std::shared_ptr<SPUStandardUpdaterController> controller;
    std::vector<std::string> opened;
    std::string nameServers;
    core::LogCapture log;
};

TEST_F(UpdaterTest, ANewerVersionOffersItsDownloadAndLaterDoesNothing) {
    const auto answer = checkAgainst({200, feedWith("1.3", "https://tessaray.app/Tessaray-1.3.zip")},
                                     UpdateDialog::Kind::updateAvailable);
    ASSERT_NE(answer, nullptr);
    // The check showed its progress first, with a way out.
    ASSERT_GE(dialogs->entries().size(), 2u);
    EXPECT_EQ(dialogs->entries()[0]->dialog.kind, UpdateDialog::Kind::checking);
    EXPECT_EQ(dialogs->entries()[0]->dialog.buttons, std::vector<std::string>{"Cancel"});
    EXPECT_FALSE(dialogs->entries()[0]->open);
    EXPECT_EQ(answer->dialog.title, "A new version of Tessaray is available!");
    EXPECT_NE(answer->dialog.message.find("Tessaray 1.3 is now available—you have 1.2."), std::string::npos);
    EXPECT_EQ(answer->dialog.buttons, (std::vector<std::string>{"Download", "Later"}));
    EXPECT_EQ(server.requests(), std::vector<std::string>{"GET /tessaray/tessaray.xml HTTP/1.1"});
    EXPECT_FALSE(controller->canCheckForUpdates()) << "the answer on screen is part of the session";

    ASSERT_TRUE(dialogs->answer("Download"));
    EXPECT_EQ(opened, std::vector<std::string>{"https://tessaray.app/Tessaray-1.3.zip"});
    EXPECT_TRUE(controller->canCheckForUpdates());

    controller->checkForUpdates(nullptr);
    ASSERT_NE(waitForDialog(UpdateDialog::Kind::updateAvailable), nullptr);
    ASSERT_TRUE(dialogs->answer("Later"));
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_EQ(delegate->asked, 3) << "asked at start and at each check";
}

TEST_F(UpdaterTest, TheSameOrAnOlderVersionIsUpToDate) {
    for (const char* version : {"1.2", "1.2.0", "1.1.9", "0.9"}) {
        SCOPED_TRACE(version);
        dialogs = std::make_shared<HeadlessDialogRunner>();
        const auto answer = checkAgainst({200, feedWith(version, "https://tessaray.app/x.zip")},
                                         UpdateDialog::Kind::upToDate);
        ASSERT_NE(answer, nullptr);
        EXPECT_EQ(answer->dialog.title, "You're up to date!");
        EXPECT_EQ(answer->dialog.message, "Tessaray 1.2 is currently the newest version available.");
        // The plug-in, reading the same feed, does not announce anything either.
        EXPECT_EQ(newerVersionInFeed(feedWith(version, ""), "1.2"), std::nullopt);
        ASSERT_TRUE(dialogs->answer("OK"));
        EXPECT_TRUE(controller->canCheckForUpdates());
    }
}

TEST_F(UpdaterTest, UnreadableFeedsAreErrorsNotUpToDate) {
    struct Case {
        std::string name;
        CannedResponse response;
        std::string reason;
    };
    // Built one by one: GCC 12 misreads a braced list of these at -O3.
    std::vector<Case> cases;
    const auto add = [&cases](std::string name, int status, std::string body, bool omitLength,
                              std::string reason) {
        Case c;
        c.name = std::move(name);
        c.response.status = status;
        c.response.body = std::move(body);
        c.response.omitLength = omitLength;
        c.reason = std::move(reason);
        cases.push_back(std::move(c));
    };
    const std::string oversized = std::string(kMaximumFeedSize + 1, ' ');
    add("malformed", 200, "<rss><item><sparkle:shortVersionString>9.0</sparkle:shortVersionString>", false,
        "read");
    add("no versions", 200, "<rss><channel/></rss>", false, "read");
    add("not found", 404, feedWith("9.0", "https://tessaray.app/x.zip"), false, "404");
    add("oversized", 200, oversized, false, "larger than allowed");
    add("oversized without a length", 200, oversized, true, "larger than allowed");
    for (const auto& [name, response, reason] : cases) {
        SCOPED_TRACE(name);
        dialogs = std::make_shared<HeadlessDialogRunner>();
        const auto answer = checkAgainst(response, UpdateDialog::Kind::error);
        ASSERT_NE(answer, nullptr);
        EXPECT_EQ(answer->dialog.title, "Update Error!");
        EXPECT_NE(answer->dialog.message.find(reason), std::string::npos) << answer->dialog.message;
        ASSERT_TRUE(dialogs->answer("OK"));
        EXPECT_TRUE(opened.empty());
    }
}

TEST_F(UpdaterTest, AStalledServerTimesOutIntoAnError) {
    const auto answer = checkAgainst({200, "", true}, UpdateDialog::Kind::error, 1);
    ASSERT_NE(answer, nullptr);
    EXPECT_NE(answer->dialog.message.find("could not be downloaded"), std::string::npos)
        << answer->dialog.message;
}

TEST_F(UpdaterTest, OneSessionAtATimeAndCancelEndsIt) {
    server.setResponse({200, "", true});
    controller = makeController(server.address("/feed.xml"));
    EXPECT_TRUE(controller->canCheckForUpdates());
    controller->checkForUpdates(nullptr);
    const auto checking = waitForDialog(UpdateDialog::Kind::checking);
    ASSERT_NE(checking, nullptr);
    EXPECT_FALSE(controller->canCheckForUpdates());
    EXPECT_TRUE(controller->updater().sessionInProgress());

    // A second request (the menu, then the URL) only brings the running check forward.
    controller->checkForUpdates(nullptr);
    controller->checkForUpdates(nullptr);
    EXPECT_EQ(checking->raised, 2);
    EXPECT_EQ(dialogs->entries().size(), 1u);

    // Cancel drops the stalled download at once: the server sees the connection go.
    ASSERT_TRUE(waitUntil([&] { return server.requests().size() == 1; }));
    ASSERT_TRUE(dialogs->answer("Cancel"));
    EXPECT_TRUE(controller->canCheckForUpdates());
    EXPECT_TRUE(waitUntil([&] { return server.closedConnections() == 1; }));
    queue.drain();
    EXPECT_EQ(dialogs->openDialog(), nullptr) << "the cancelled check's answer is dropped";

    // A controller destroyed during a check gives it up instead of waiting for the network; its dialog
    // goes with it.
    controller->checkForUpdates(nullptr);
    ASSERT_TRUE(waitUntil([&] { return server.requests().size() == 2; }));
    controller.reset();
    queue.drain();
    EXPECT_EQ(dialogs->openDialog(), nullptr);
    EXPECT_TRUE(waitUntil([&] { return server.closedConnections() == 2; }));
}

TEST_F(UpdaterTest, DestroyedDuringAnUnansweredLookUpItReturnsAtOnceAndLeavesNoThread) {
    testing::TestNameServer names(testing::TestNameServer::Mode::silent);
    nameServers = names.servers();
    const int threads = testing::threadCount();
    controller = makeController(server.address("/feed.xml", testing::kTestHostName));
    controller->checkForUpdates(nullptr);
    ASSERT_TRUE(names.awaitQuery());
    const auto before = std::chrono::steady_clock::now();
    controller.reset();
    // Closing never waits for the network: a few milliseconds, bounded generously for a busy machine.
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    EXPECT_EQ(testing::threadCount(), threads);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(UpdaterTest, StartingAndTheFeedAddressAreChecked) {
    UpdaterEnvironment environment;
    environment.dialogs = dialogs;
    environment.mainQueue = &queue;
    delegate = std::make_shared<FixedFeed>("https://tessaray.app/tessaray/tessaray.xml");
    SPUStandardUpdaterController idle(false, delegate, {}, environment);
    EXPECT_FALSE(idle.started());
    EXPECT_EQ(idle.updaterDelegate(), delegate);
    EXPECT_EQ(idle.userDriverDelegate(), nullptr);
    idle.checkForUpdates(nullptr);
    EXPECT_TRUE(dialogs->entries().empty()) << "nothing happens before the updater starts";
    EXPECT_FALSE(idle.canCheckForUpdates());
    idle.startUpdater();
    idle.startUpdater();
    EXPECT_TRUE(idle.started());
    EXPECT_EQ(idle.startCount(), 2);
    EXPECT_EQ(delegate->asked, 1) << "the feed is validated once, when the updater starts";

    // Feeds that are not secure web addresses are refused without touching the network.
    for (const std::optional<std::string>& feed :
         {std::optional<std::string>("http://127.0.0.1/feed.xml"),
          std::optional<std::string>("file:///etc/passwd"), std::optional<std::string>("https:feed"),
          std::optional<std::string>()}) {
        dialogs = std::make_shared<HeadlessDialogRunner>();
        controller = makeController(feed);
        controller->checkForUpdates(nullptr);
        ASSERT_EQ(dialogs->entries().size(), 1u);
        EXPECT_EQ(dialogs->entries()[0]->dialog.kind, UpdateDialog::Kind::error);
        ASSERT_TRUE(dialogs->answer("OK"));
        EXPECT_TRUE(controller->canCheckForUpdates());
    }
    EXPECT_TRUE(server.requests().empty());

    // A delegate that has gone away names no feed.
    controller = makeController("https://127.0.0.1/");
    delegate.reset();
    controller->checkForUpdates(nullptr);
    EXPECT_EQ(dialogs->entries().back()->dialog.kind, UpdateDialog::Kind::error);
}

} // namespace
} // namespace updater
