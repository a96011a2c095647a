// The application's updater: a user-initiated check of the feed its delegate names, with its own dialogs.
#pragma once

#include "core/MainQueue.hpp"
#include "core/URL.hpp"
#include "core/WorkQueue.hpp"
#include "updater/Feed.hpp"
#include "updater/UpdateDialogs.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace updater {

class SPUUpdater;

// What the application tells the updater. Only the feed address is asked for.
class SPUUpdaterDelegate {
public:
    virtual ~SPUUpdaterDelegate() = default;
    // The feed's address, or none (the check then reports that it cannot run).
    virtual std::optional<std::string> feedURLStringForUpdater(const SPUUpdater& updater) = 0;
};

// Customises the updater's user interface; nothing is asked of it on this desktop.
class SPUStandardUserDriverDelegate {
public:
    virtual ~SPUStandardUserDriverDelegate() = default;
};

// The updater the controller drives; the delegate is handed it when asked for the feed.
class SPUUpdater {
public:
    bool sessionInProgress() const { return sessionInProgress_; }

private:
    friend class SPUStandardUpdaterController;
    bool sessionInProgress_ = false;
};

// What the updater needs from the world; each piece has a working default.
struct UpdaterEnvironment {
    // Downloads a feed on the worker thread. Default: fetchFeed with failOnErrorStatus.
    std::function<std::string(const std::string& address, FetchCancellation& cancellation)> fetch;
    // Shows the dialogs. Default: a HeadlessDialogRunner, whose dialogs only reach the log.
    std::shared_ptr<DialogRunner> dialogs;
    // Opens the download page. Default: core::openURL.
    std::function<bool(const core::URL& url)> openURL;
    // The version the feed is compared with. Default: the main bundle's short version string.
    std::optional<std::string> currentVersion;
    std::string applicationName = "Tessaray";
    // Where results are delivered. Default: the shared main queue.
    core::MainQueue* mainQueue = nullptr;
};

// One check at a time: while a check is running or its answer is on screen, another request only brings
// the dialog forward. The feed is read on a worker thread and the answer comes back on the main queue. The
// updater never installs anything: a newer version offers its download page. Main thread only.
class SPUStandardUpdaterController {
public:
    // startingUpdater true starts at once, as startUpdater() would. The delegates are not owned.
    SPUStandardUpdaterController(bool startingUpdater, std::weak_ptr<SPUUpdaterDelegate> updaterDelegate,
                                 std::weak_ptr<SPUStandardUserDriverDelegate> userDriverDelegate,
                                 UpdaterEnvironment environment = {});
    ~SPUStandardUpdaterController();
    SPUStandardUpdaterController(const SPUStandardUpdaterController&) = delete;
    SPUStandardUpdaterController& operator=(const SPUStandardUpdaterController&) = delete;

    // Starts the updater; later calls do nothing. It checks that the delegate names a usable feed and
    // logs when it does not. No checks are scheduled: the user asks for them.
    void startUpdater();

    // A user-initiated check; sender is not looked at. Before startUpdater() it only logs.
    void checkForUpdates(const void* sender);

    // False while a check runs or its answer is on screen, and before the updater has started.
    bool canCheckForUpdates() const;

    // Gives up the running check, if any: its dialog closes and its answer is dropped.
    void cancelCheck();

    const SPUUpdater& updater() const { return updater_; }
    std::shared_ptr<SPUUpdaterDelegate> updaterDelegate() const { return updaterDelegate_.lock(); }
    std::shared_ptr<SPUStandardUserDriverDelegate> userDriverDelegate() const {
        return userDriverDelegate_.lock();
    }
    bool started() const { return started_; }
    int startCount() const { return startCount_; }

private:
    struct Session;
    struct Outcome;

    std::optional<core::URL> feedURL(std::string& problem) const;
    void finish(const std::shared_ptr<Session>& session, Outcome outcome);
    void present(const std::shared_ptr<Session>& session, const UpdateDialog& dialog,
                 std::function<void(std::size_t)> onAnswer);
    void endSession(const std::shared_ptr<Session>& session);
    void showError(const std::shared_ptr<Session>& session, const std::string& message);

    std::weak_ptr<SPUUpdaterDelegate> updaterDelegate_;
    std::weak_ptr<SPUStandardUserDriverDelegate> userDriverDelegate_;
    UpdaterEnvironment environment_;
    SPUUpdater updater_;
    bool started_ = false;
    int startCount_ = 0;
    std::shared_ptr<Session> session_;
    // Tells deliveries still queued on the main queue that the controller is gone.
    std::shared_ptr<SPUStandardUpdaterController*> self_;
    // Declared last: destroyed first, so the running download is joined before anything it reports to.
    std::unique_ptr<core::WorkQueue> worker_;
};

// The dialogs' texts, for a version offered by the feed and the version running.
UpdateDialog checkingDialog(const std::string& applicationName);
UpdateDialog upToDateDialog(const std::string& applicationName, const std::string& currentVersion);
UpdateDialog updateAvailableDialog(const std::string& applicationName, const std::string& newVersion,
                                   const std::string& currentVersion, bool canDownload);
UpdateDialog errorDialog(const std::string& message);

} // namespace updater
