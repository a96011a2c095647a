#include "updater/UpdaterController.hpp"

#include "core/Bundle.hpp"
#include "core/Log.hpp"
#include "core/Workspace.hpp"

#include <exception>

namespace updater {

struct SPUStandardUpdaterController::Session {
    std::shared_ptr<FetchCancellation> cancellation = std::make_shared<FetchCancellation>();
    std::shared_ptr<ShownDialog> dialog;
};

struct SPUStandardUpdaterController::Outcome {
    std::optional<std::string> body;
    std::string error;
};

UpdateDialog checkingDialog(const std::string& applicationName) {
    return {UpdateDialog::Kind::checking,
            "Checking for updates…",
            "Looking for a newer version of " + applicationName + ".",
            {"Cancel"}};
}

UpdateDialog upToDateDialog(const std::string& applicationName, const std::string& currentVersion) {
    return {UpdateDialog::Kind::upToDate,
            "You're up to date!",
            applicationName + " " + currentVersion + " is currently the newest version available.",
            {"OK"}};
}

UpdateDialog updateAvailableDialog(const std::string& applicationName, const std::string& newVersion,
                                   const std::string& currentVersion, bool canDownload) {
    UpdateDialog dialog{UpdateDialog::Kind::updateAvailable,
                        "A new version of " + applicationName + " is available!",
                        applicationName + " " + newVersion + " is now available—you have " + currentVersion +
                            ".",
                        {}};
    if (canDownload) {
        dialog.message += " Would you like to download it now?";
        dialog.buttons = {"Download", "Later"};
    } else {
        dialog.buttons = {"Later"};
    }
    return dialog;
}

UpdateDialog errorDialog(const std::string& message) {
    return {UpdateDialog::Kind::error, "Update Error!", message, {"OK"}};
}

SPUStandardUpdaterController::SPUStandardUpdaterController(
    bool startingUpdater, std::weak_ptr<SPUUpdaterDelegate> updaterDelegate,
    std::weak_ptr<SPUStandardUserDriverDelegate> userDriverDelegate, UpdaterEnvironment environment)
    : updaterDelegate_(std::move(updaterDelegate)), userDriverDelegate_(std::move(userDriverDelegate)),
      environment_(std::move(environment)), self_(std::make_shared<SPUStandardUpdaterController*>(this)) {
    if (!environment_.fetch) {
        environment_.fetch = [](const std::string& address, FetchCancellation& cancellation) {
            FetchOptions options;
            options.failOnErrorStatus = true;
            return fetchFeed(address, cancellation, options);
        };
    }
    if (!environment_.dialogs) {
        environment_.dialogs = std::make_shared<HeadlessDialogRunner>();
    }
    if (!environment_.openURL) {
        environment_.openURL = [](const core::URL& url) { return core::openURL(url); };
    }
    if (!environment_.currentVersion) {
        if (auto bundle = core::Bundle::main()) {
            environment_.currentVersion = bundle->shortVersionString();
        }
    }
    if (environment_.mainQueue == nullptr) {
        environment_.mainQueue = &core::MainQueue::shared();
    }
    if (startingUpdater) {
        startUpdater();
    }
}

SPUStandardUpdaterController::~SPUStandardUpdaterController() {
    cancelCheck();
    // The worker finishes the cancelled download before the rest of the controller goes.
    worker_.reset();
}

void SPUStandardUpdaterController::startUpdater() {
    ++startCount_;
    if (started_) {
        return;
    }
    started_ = true;
    std::string problem;
    if (!feedURL(problem)) {
        core::log("Updater: %s", problem.c_str());
    }
}

std::optional<core::URL> SPUStandardUpdaterController::feedURL(std::string& problem) const {
    const auto delegate = updaterDelegate_.lock();
    if (!delegate) {
        problem = "No update feed is configured.";
        return std::nullopt;
    }
    const auto address = delegate->feedURLStringForUpdater(updater_);
    if (!address) {
        problem = "No update feed is configured.";
        return std::nullopt;
    }
    auto url = core::URL::parse(*address);
    if (!url || url->scheme() != "https" || !url->host() || url->host()->empty()) {
        problem = "The update feed's address is not a secure web address.";
        return std::nullopt;
    }
    return url;
}

bool SPUStandardUpdaterController::canCheckForUpdates() const {
    return started_ && !session_;
}

void SPUStandardUpdaterController::checkForUpdates(const void*) {
    if (!started_) {
        core::log("Updater: asked to check for updates before it was started");
        return;
    }
    if (session_) {
        if (session_->dialog) {
            session_->dialog->raise();
        }
        return;
    }
    auto session = std::make_shared<Session>();
    session_ = session;
    updater_.sessionInProgress_ = true;

    std::string problem;
    const auto feed = feedURL(problem);
    if (!feed) {
        showError(session, problem);
        return;
    }
    present(session, checkingDialog(environment_.applicationName), [this, session](std::size_t) {
        // The one button is Cancel.
        session->cancellation->cancel();
        endSession(session);
    });

    if (!worker_) {
        worker_ = std::make_unique<core::WorkQueue>(1);
    }
    worker_->async([fetch = environment_.fetch, address = feed->string(), session,
                    self = std::weak_ptr<SPUStandardUpdaterController*>(self_),
                    queue = environment_.mainQueue] {
        Outcome outcome;
        try {
            outcome.body = fetch(address, *session->cancellation);
        } catch (const std::exception& error) {
            outcome.error = error.what();
        }
        queue->async([self, session, outcome = std::move(outcome)]() mutable {
            if (auto controller = self.lock()) {
                (*controller)->finish(session, std::move(outcome));
            }
        });
    });
}

void SPUStandardUpdaterController::cancelCheck() {
    if (auto session = session_) {
        session->cancellation->cancel();
        if (session->dialog) {
            session->dialog->close();
        }
        endSession(session);
    }
}

void SPUStandardUpdaterController::present(const std::shared_ptr<Session>& session,
                                           const UpdateDialog& dialog,
                                           std::function<void(std::size_t)> onAnswer) {
    if (session->dialog) {
        session->dialog->close();
    }
    session->dialog =
        environment_.dialogs->show(dialog, [self = std::weak_ptr<SPUStandardUpdaterController*>(self_),
                                            session, onAnswer = std::move(onAnswer)](std::size_t button) {
            // An answer from a dialog of a session that has since ended is stale.
            auto controller = self.lock();
            if (controller && (*controller)->session_ == session) {
                onAnswer(button);
            }
        });
}

void SPUStandardUpdaterController::endSession(const std::shared_ptr<Session>& session) {
    if (session_ == session) {
        session_.reset();
        updater_.sessionInProgress_ = false;
    }
}

void SPUStandardUpdaterController::showError(const std::shared_ptr<Session>& session,
                                             const std::string& message) {
    present(session, errorDialog(message), [this, session](std::size_t) { endSession(session); });
}

void SPUStandardUpdaterController::finish(const std::shared_ptr<Session>& session, Outcome outcome) {
    if (session_ != session || session->cancellation->isCancelled()) {
        return;
    }
    if (!outcome.body) {
        showError(session, "The update feed could not be downloaded: " + outcome.error);
        return;
    }
    const Appcast appcast = parseAppcast(*outcome.body);
    if (!appcast.wellFormed || !appcast.latestVersion) {
        // A feed that cannot be read says nothing about being up to date.
        showError(session, "The update feed could not be read.");
        return;
    }
    const std::string current = environment_.currentVersion.value_or("");
    const std::string& latest = *appcast.latestVersion;
    if (!(convertVersionToWeight(current) < convertVersionToWeight(latest))) {
        present(session, upToDateDialog(environment_.applicationName, current),
                [this, session](std::size_t) { endSession(session); });
        return;
    }
    const auto download = appcast.downloadAddress(latest);
    present(session,
            updateAvailableDialog(environment_.applicationName, latest, current, download.has_value()),
            [this, session, download](std::size_t button) {
                endSession(session);
                if (download && button == 0) {
                    if (const auto url = core::URL::parse(*download)) {
                        environment_.openURL(*url);
                    }
                }
            });
}

} // namespace updater
