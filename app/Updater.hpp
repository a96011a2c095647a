#pragma once

// What the application needs of its updater: a controller made without starting, started explicitly, and
// asked for user-initiated checks; and the delegate that names the update feed. The updater itself (its
// network, dialogs and sessions) lives behind this interface.

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tessaray {

class Updater;

class UpdaterDelegate {
public:
    virtual ~UpdaterDelegate() = default;
    // The address of the update feed, asked by whichever updater needs it.
    virtual std::optional<std::string> feedURLStringForUpdater(const Updater* updater) = 0;
};

// Presentation hooks of the updater's own dialogs; the application gives none.
class UserDriverDelegate {
public:
    virtual ~UserDriverDelegate() = default;
};

class UpdaterController {
public:
    virtual ~UpdaterController() = default;
    // Starts the updater's own work; further calls do nothing.
    virtual void startUpdater() = 0;
    // A user-initiated check, with all of its messages shown by the updater.
    virtual void checkForUpdates(const void* sender) = 0;
};

// Makes the controller: (startingUpdater, updaterDelegate, userDriverDelegate).
using UpdaterControllerFactory =
    std::function<std::shared_ptr<UpdaterController>(bool, UpdaterDelegate*, UserDriverDelegate*)>;

// The standard updater: it reads the feed the delegate names (which must be the application's
// SparkleHelper) and shows its dialogs as alert windows.
UpdaterControllerFactory defaultUpdaterControllerFactory();

} // namespace tessaray
