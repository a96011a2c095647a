#include "app/App.hpp"

#include "ZeltoCore/UpdateFeed.hpp"
#include "app/Resources.hpp"
#include "core/Log.hpp"
#include "ui/Application.hpp"
#include "ui/Menu.hpp"
#include "updater/AlertDialogRunner.hpp"

namespace tessaray {
namespace {

// The target of one menu item: runs the item's action.
class CommandTarget final : public ui::Object {
public:
    static constexpr const char* action = "performCommand:";
    explicit CommandTarget(std::function<void()> run) {
        setActionHandler(action, [run = std::move(run)](const std::shared_ptr<ui::Object>&) {
            if (run) {
                run();
            }
        });
    }
};

// Keeps the items' targets alive as long as the menu (menu items hold their targets weakly).
class CommandMenu final : public ui::Menu {
public:
    using ui::Menu::Menu;
    std::vector<std::shared_ptr<ui::Object>> targets;
};

// The standard updater controller behind the application's interface.
class StandardUpdaterController final : public UpdaterController {
public:
    StandardUpdaterController(bool startingUpdater, std::weak_ptr<updater::SPUUpdaterDelegate> delegate)
        : controller_(startingUpdater, std::move(delegate), {}, [] {
              updater::UpdaterEnvironment environment;
              environment.dialogs = std::make_shared<updater::AlertDialogRunner>();
              return environment;
          }()) {}
    void startUpdater() override { controller_.startUpdater(); }
    void checkForUpdates(const void* sender) override { controller_.checkForUpdates(sender); }

private:
    updater::SPUStandardUpdaterController controller_;
};

} // namespace

UpdaterControllerFactory defaultUpdaterControllerFactory() {
    return [](bool startingUpdater, UpdaterDelegate* delegate, UserDriverDelegate*) {
        std::weak_ptr<updater::SPUUpdaterDelegate> helper;
        if (auto* sparkle = dynamic_cast<SparkleHelper*>(delegate)) {
            helper = sparkle->weak_from_this();
        }
        return std::shared_ptr<UpdaterController>(
            std::make_shared<StandardUpdaterController>(startingUpdater, helper));
    };
}

std::optional<std::string> SparkleHelper::feedURLStringForUpdater(const Updater*) {
    return std::string(zelto::kUpdateFeedAddress);
}

std::optional<std::string> SparkleHelper::feedURLStringForUpdater(const updater::SPUUpdater&) {
    return std::string(zelto::kUpdateFeedAddress);
}

void AppDelegate::applicationDidFinishLaunching(const core::Notification& notification) {
    const auto application = ui::Application::shared();
    if (notification.object != nullptr &&
        notification.object == static_cast<const void*>(application.get())) {
        application->setAppearanceName(darkAquaAppearance);
    }
}

void AppDelegate::applicationOpenURLs(const std::vector<core::URL>& urls) {
    for (const auto& url : urls) {
        handleURL(url);
    }
}

void AppDelegate::handleURL(const core::URL& url) {
    if (url.scheme() != std::optional<std::string>("tessaray")) {
        return;
    }
    if (url.host() == std::optional<std::string>("openAndUpdate")) {
        checkForUpdates();
    }
}

void AppDelegate::checkForUpdates() {
    if (!sparkleHelper || !sparkleHelper->updaterController) {
        return;
    }
    sparkleHelper->updaterController->checkForUpdates(nullptr);
}

std::vector<CommandGroup> standardCommandGroups(std::function<void()> about, std::function<void()> quit) {
    return {
        {CommandGroupPlacement::appInfo, {{localized("About %@", productName), std::move(about)}}},
        {CommandGroupPlacement::appSettings, {}},
        {CommandGroupPlacement::appVisibility, {}},
        {CommandGroupPlacement::appTermination,
         {{localized("Quit %@", productName), std::move(quit), false, "q", ui::Modifier::control}}},
    };
}

std::vector<CommandGroup> applyCommandGroups(std::vector<CommandGroup> standard,
                                             const std::vector<CommandGroup>& replacements) {
    for (const auto& replacement : replacements) {
        for (auto& group : standard) {
            if (group.placement == replacement.placement) {
                group.items = replacement.items;
            }
        }
    }
    return standard;
}

std::shared_ptr<ui::Menu> makeMenu(const std::vector<CommandGroup>& groups) {
    auto menu = std::make_shared<CommandMenu>(productName);
    for (const auto& group : groups) {
        if (group.items.empty()) {
            continue;
        }
        if (menu->numberOfItems() > 0) {
            menu->addItem(ui::MenuItem::separatorItem());
        }
        for (const auto& command : group.items) {
            if (command.isDivider) {
                menu->addItem(ui::MenuItem::separatorItem());
                continue;
            }
            auto target = std::make_shared<CommandTarget>(command.action);
            auto item = ui::MenuItem::make(command.title, CommandTarget::action, command.keyEquivalent);
            item->setKeyEquivalentModifierMask(command.keyModifiers);
            item->setTarget(target);
            menu->targets.push_back(std::move(target));
            menu->addItem(item);
        }
    }
    return menu;
}

TessarayApp::TessarayApp(const UpdaterControllerFactory& makeController)
    : appDelegate_(std::make_shared<AppDelegate>()), sparkleHelper_(std::make_shared<SparkleHelper>()) {
    sparkleHelper_->updaterController = makeController(false, sparkleHelper_.get(), nullptr);
    if (sparkleHelper_->updaterController) {
        sparkleHelper_->updaterController->startUpdater();
    }
    appDelegate_->sparkleHelper = sparkleHelper_;
}

WindowScene TessarayApp::body(std::function<void()> showAboutPanel) const {
    WindowScene scene;
    scene.title = windowTitle;
    scene.identifier = sceneIdentifier;
    scene.buttonWidth = 180;
    scene.contentSize = {windowWidth, windowHeight};
    scene.hiddenTitleBar = true;
    scene.resizable = false;
    scene.prefersDarkColorScheme = true;
    // Each action holds the helper, as the application value's copy would.
    const auto helper = sparkleHelper_;
    scene.commands = {{CommandGroupPlacement::appInfo,
                       {{localized("About"), std::move(showAboutPanel)},
                        CommandItem::divider(),
                        {localized("Check for Updates\u2026"), [helper] {
                             if (helper && helper->updaterController) {
                                 helper->updaterController->checkForUpdates(nullptr);
                             }
                         }}}}};
    return scene;
}

} // namespace tessaray
