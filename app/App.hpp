#pragma once

// The application value, its delegate and its updater delegate; the window scene and the application
// menu's commands. Everything here runs on the main thread.

#include "app/Updater.hpp"
#include "core/NotificationCenter.hpp"
#include "core/URL.hpp"
#include "graphics/Geometry.hpp"
#include "ui/Application.hpp"
#include "ui/Event.hpp"
#include "updater/UpdaterController.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {
class Menu;
} // namespace ui

namespace tessaray {

inline constexpr const char* darkAquaAppearance = ui::appearanceNameDarkAqua;

// The application's one updater delegate; owns the updater controller. Made shared: the updater holds it
// weakly.
class SparkleHelper : public UpdaterDelegate,
                      public updater::SPUUpdaterDelegate,
                      public std::enable_shared_from_this<SparkleHelper> {
public:
    std::shared_ptr<UpdaterController> updaterController;

    // The update feed, the same for every asking updater.
    std::optional<std::string> feedURLStringForUpdater(const Updater* updater) override;
    std::optional<std::string> feedURLStringForUpdater(const updater::SPUUpdater& updater) override;
};

class AppDelegate {
public:
    std::shared_ptr<SparkleHelper> sparkleHelper;

    // Launching has finished: when the notification's object is the application, the application takes
    // the dark appearance, and with it every window and view that sets none of its own.
    void applicationDidFinishLaunching(const core::Notification& notification);
    // URLs handed to the application, each in order.
    void applicationOpenURLs(const std::vector<core::URL>& urls);
    // "tessaray://openAndUpdate" (scheme and host exactly so) checks for updates; anything else is ignored.
    void handleURL(const core::URL& url);
    // A user-initiated check through the helper's controller, when there is one.
    void checkForUpdates();
};

// The application menu as a model: the standard groups by placement, and items with a title (a
// localisation key), an action, or a divider.
enum class CommandGroupPlacement { appInfo, appSettings, appVisibility, appTermination };

struct CommandItem {
    std::string title;
    std::function<void()> action;
    bool isDivider = false;
    std::string keyEquivalent;          // "q"
    ui::ModifierFlags keyModifiers = 0; // with the key equivalent

    static CommandItem divider() { return {{}, {}, true, {}, 0}; }
};

struct CommandGroup {
    CommandGroupPlacement placement = CommandGroupPlacement::appInfo;
    std::vector<CommandItem> items;
};

// The standard groups of this platform, in menu order: the about item, and quitting with Ctrl+Q. Hiding
// the application and the services menu have no meaning on an X11 desktop and are left out.
std::vector<CommandGroup> standardCommandGroups(std::function<void()> about, std::function<void()> quit);
// The standard groups with the given groups in place of those of the same placement.
std::vector<CommandGroup> applyCommandGroups(std::vector<CommandGroup> standard,
                                             const std::vector<CommandGroup>& replacements);
// A pop-up menu of the groups, a separator between groups; items run their actions when chosen.
std::shared_ptr<ui::Menu> makeMenu(const std::vector<CommandGroup>& groups);

// The window scene.
struct WindowScene {
    std::string title;
    std::string identifier;
    double buttonWidth = 0;
    graphics::Size contentSize;
    bool hiddenTitleBar = false;
    bool resizable = true;
    bool prefersDarkColorScheme = false;
    std::vector<CommandGroup> commands;
};

class TessarayApp {
public:
    // Sets up the delegate, creates the helper, creates the updater controller with (false, helper, none)
    // and starts it, then hands the helper to the delegate.
    explicit TessarayApp(const UpdaterControllerFactory& makeController = defaultUpdaterControllerFactory());

    const std::shared_ptr<AppDelegate>& appDelegate() const { return appDelegate_; }
    const std::shared_ptr<SparkleHelper>& sparkleHelper() const { return sparkleHelper_; }

    // The scene. The about action shows the standard about panel through `showAboutPanel`.
    WindowScene body(std::function<void()> showAboutPanel) const;

private:
    std::shared_ptr<AppDelegate> appDelegate_;
    std::shared_ptr<SparkleHelper> sparkleHelper_;
};

} // namespace tessaray
