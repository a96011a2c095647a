#include "app/AppHost.hpp"

#include "Vimbra/Assets.hpp"
#include "Vimbra/FieldsAndComponents/ButtonStyles.hpp"
#include "app/Resources.hpp"
#include "core/MainQueue.hpp"
#include "display/HeadlessBackend.hpp"
#include "display/X11Display.hpp"
#include "ui/Application.hpp"
#include "ui/Menu.hpp"
#include "ui/Screen.hpp"

#include <algorithm>
#include <cmath>

namespace tessaray {
namespace {

constexpr graphics::Size aboutPanelSize{280, 170};

// Centred on the visible part of the window's screen: exactly for the main window; a little above the
// middle, as panels and alerts sit, for the others.
void placeOnScreen(ui::Window& window, bool exactlyCentred) {
    auto screen = window.screen();
    if (!screen) {
        return;
    }
    const graphics::Rect visible = screen->visibleFrame();
    const graphics::Size size = window.frame().size;
    const double share = exactlyCentred ? 0.5 : 2.0 / 3.0;
    window.setFrameOrigin(
        {std::round(visible.midX() - size.width / 2),
         std::round(visible.minY() + std::max(0.0, visible.size.height - size.height) * share)});
}

bool isF10(const ui::Event& event) {
    return event.charactersIgnoringModifiers == ui::utf8(ui::SpecialKey::f1 + 9) ||
           event.characters == ui::utf8(ui::SpecialKey::f1 + 9);
}

} // namespace

void MainWindow::windowWillClose() {
    ui::Window::windowWillClose();
    if (auto close = onClose) {
        close();
    }
}

void AboutPanel::sendEvent(const ui::Event& event) {
    // Escape and Ctrl+W close the panel, as they close any panel.
    if (event.type == ui::EventType::keyDown &&
        (event.specialKey() == ui::SpecialKey::escape ||
         ((event.charactersIgnoringModifiers == "w" || event.charactersIgnoringModifiers == "W") &&
          (event.modifierFlags & (ui::Modifier::shift | ui::Modifier::control | ui::Modifier::option |
                                  ui::Modifier::command)) == ui::Modifier::control))) {
        performClose();
        return;
    }
    ui::Window::sendEvent(event);
}

void MainWindow::sendEvent(const ui::Event& event) {
    if (event.type == ui::EventType::keyDown && keyHandler && keyHandler(event)) {
        return;
    }
    ui::Window::sendEvent(event);
}

declarative::View aboutPanelContent(const core::Bundle& bundle) {
    using declarative::Text;
    const auto name = bundle.infoString("CFBundleName").value_or(productName);
    const auto color = appColor("buttonText", bundle);
    std::vector<declarative::View> lines{
        Text(name).font(vimbra::roundedSystemFont(18, graphics::FontWeight::bold)),
        Text("Version " + bundle.shortVersionString().value_or("") + " (" +
             bundle.bundleVersionString().value_or("") + ")")
            .font(vimbra::roundedSystemFont(12, graphics::FontWeight::medium))};
    if (auto copyright = bundle.infoString("NSHumanReadableCopyright")) {
        lines.push_back(Text(*copyright).font(vimbra::roundedSystemFont(11, graphics::FontWeight::medium)));
    }
    std::vector<declarative::View> column;
    if (auto logo = vimbra::VmImages::windowLogo()) {
        column.push_back(declarative::Image(logo->isTemplate() && color ? logo->tinted(color) : logo));
    }
    column.push_back(declarative::VStack({.spacing = 6}, std::move(lines)));
    return declarative::VStack({.spacing = 12}, std::move(column))
        .foregroundColor(color)
        .frame(aboutPanelSize.width, aboutPanelSize.height)
        .background(appColor("background", bundle));
}

AppHost::AppHost(TessarayApp& app, AppHostOptions options) : app_(app), options_(std::move(options)) {
    if (options_.display) {
        // Every window of the application, its alerts too, carries its class.
        options_.display->setWindowClass("tessaray", productName);
    }
    scene_ = app_.body([this] { showAboutPanel(); });
    auto groups = applyCommandGroups(
        standardCommandGroups([this] { showAboutPanel(); }, [this] { terminate(); }), scene_.commands);
    menu_ = makeMenu(groups);
}

AppHost::~AppHost() {
    terminating_ = true;
    if (aboutPanel_) {
        aboutPanel_->close();
    }
    if (window_) {
        window_->onClose = nullptr;
        window_->keyHandler = nullptr;
        window_->close();
    }
}

void AppHost::attachBackend(const std::shared_ptr<ui::Window>& window, bool fixedSize) {
    if (options_.display) {
        if (auto backend = options_.display->createWindow(window)) {
            const double scale = backend->backingScaleFactor();
            const auto size = window->frame().size;
            backend->setWindowManagerHints(window->title(), {size.width * scale, size.height * scale},
                                           fixedSize);
        }
    } else {
        display::HeadlessBackend::attach(window, options_.headlessScale);
    }
}

void AppHost::launch(const std::vector<core::URL>& launchURLs) {
    const graphics::Rect contentRect({0, 0}, scene_.contentSize);
    window_ = ui::Window::make<MainWindow>(contentRect);
    window_->setTitle(scene_.title);
    if (options_.bundle) {
        window_->setBackgroundColor(appColor("background", *options_.bundle));
    }
    ContentView content;
    content.buttonWidth = scene_.buttonWidth;
    content.bundle = options_.bundle;
    content.shader = options_.strip;
    host_ = declarative::HostingView::make(windowContent(std::move(content)), contentRect);
    host_->setMenu(menu_);
    window_->setContentView(host_);
    window_->onClose = [this] { terminate(); };
    window_->keyHandler = [this](const ui::Event& event) { return handleKey(event); };
    attachBackend(window_, !scene_.resizable);
    placeOnScreen(*window_, true);

    core::Notification launched{
        applicationDidFinishLaunchingNotification, ui::Application::shared().get(), {}};
    app_.appDelegate()->applicationDidFinishLaunching(launched);

    window_->makeKeyAndOrderFront();
    if (!launchURLs.empty()) {
        app_.appDelegate()->applicationOpenURLs(launchURLs);
    }
}

std::shared_ptr<display::HeadlessBackend> AppHost::headlessBackend() const {
    return window_ ? std::dynamic_pointer_cast<display::HeadlessBackend>(window_->backend()) : nullptr;
}

void AppHost::showAboutPanel() {
    if (terminating_) {
        return;
    }
    if (!aboutPanel_ || aboutPanel_->isClosed()) {
        const graphics::Rect contentRect({0, 0}, aboutPanelSize);
        aboutPanel_ = ui::Window::make<AboutPanel>(contentRect);
        aboutPanel_->setTitle(localized("About %@", productName));
        if (options_.bundle) {
            aboutPanel_->setBackgroundColor(appColor("background", *options_.bundle));
            aboutPanel_->setContentView(
                declarative::HostingView::make(aboutPanelContent(*options_.bundle), contentRect));
        }
        attachBackend(aboutPanel_, true);
        placeOnScreen(*aboutPanel_, false);
    }
    aboutPanel_->makeKeyAndOrderFront();
}

bool AppHost::popUpAppMenu(graphics::Point locationInWindow) {
    if (!window_ || !host_ || !menu_) {
        return false;
    }
    const auto location = host_->convertPointFromView(locationInWindow, nullptr);
    return menu_->popUp(nullptr, location, host_);
}

bool AppHost::handleKey(const ui::Event& event) {
    if (menu_ && menu_->performKeyEquivalent(event)) {
        return true;
    }
    if (isF10(event)) {
        // Under the window's top-left corner, where a menu bar would be.
        popUpAppMenu({8, window_ ? window_->frame().height() - 8 : 0});
        return true;
    }
    return false;
}

void AppHost::terminate() {
    if (terminating_) {
        return;
    }
    terminating_ = true;
    if (aboutPanel_) {
        aboutPanel_->close();
    }
    if (window_ && !window_->isClosed()) {
        window_->onClose = nullptr;
        window_->close();
    }
    if (options_.stopRunLoop) {
        options_.stopRunLoop();
    }
}

} // namespace tessaray
