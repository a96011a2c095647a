#pragma once

// Runs the application's scene: the main window with its content, the application menu (a pop-up menu
// on right-click and F10, since an X11 desktop has no global menu bar; Ctrl+Q quits), the about panel,
// and the launch sequence. Windows are X11 windows when a display is given, headless otherwise.

#include "app/App.hpp"
#include "app/ContentView.hpp"
#include "declarative/Declarative.hpp"
#include "ui/Window.hpp"

#include <functional>
#include <memory>
#include <vector>

namespace display {
class HeadlessBackend;
class X11Display;
} // namespace display

namespace ui {
class Menu;
}

namespace tessaray {

inline constexpr const char* applicationDidFinishLaunchingNotification =
    "NSApplicationDidFinishLaunchingNotification";

// The main window: closing it ends the application; a key handler sees key presses first.
class MainWindow : public ui::Window {
public:
    using ui::Window::Window;
    std::function<void()> onClose;
    std::function<bool(const ui::Event&)> keyHandler;

    void windowWillClose() override;
    void sendEvent(const ui::Event& event) override;
};

// The about panel: Escape and Ctrl+W close it.
class AboutPanel : public ui::Window {
public:
    using ui::Window::Window;
    void sendEvent(const ui::Event& event) override;
};

struct AppHostOptions {
    // The application bundle: its information (version) and its colour catalogue.
    std::shared_ptr<const core::Bundle> bundle;
    // The strip under the product name.
    declarative::View strip;
    // Shows the windows on this display; null keeps them headless.
    std::shared_ptr<display::X11Display> display;
    // Device pixels per point of headless windows.
    double headlessScale = 1.0;
    // Ends the application's run loop.
    std::function<void()> stopRunLoop;
};

class AppHost {
public:
    AppHost(TessarayApp& app, AppHostOptions options);
    ~AppHost();
    AppHost(const AppHost&) = delete;
    AppHost& operator=(const AppHost&) = delete;

    // Builds the scene's window, tells the delegate that launching has finished, shows the window and then
    // hands the launch URLs to the delegate.
    void launch(const std::vector<core::URL>& launchURLs = {});

    const WindowScene& scene() const { return scene_; }
    const std::shared_ptr<MainWindow>& window() const { return window_; }
    const std::shared_ptr<declarative::HostingView>& hostingView() const { return host_; }
    const std::shared_ptr<ui::Menu>& appMenu() const { return menu_; }
    // The headless back end of the main window (null on X11).
    std::shared_ptr<display::HeadlessBackend> headlessBackend() const;

    // The standard about panel: name, version and copyright from the bundle; shown again, it comes forward.
    void showAboutPanel();
    const std::shared_ptr<ui::Window>& aboutPanel() const { return aboutPanel_; }

    // Opens the application menu at a point of the main window (window coordinates).
    bool popUpAppMenu(graphics::Point locationInWindow);
    // Ends the application: closes the windows and stops the run loop.
    void terminate();
    bool isTerminating() const { return terminating_; }

private:
    bool handleKey(const ui::Event& event);
    void attachBackend(const std::shared_ptr<ui::Window>& window, bool fixedSize);

    TessarayApp& app_;
    AppHostOptions options_;
    WindowScene scene_;
    std::shared_ptr<MainWindow> window_;
    std::shared_ptr<declarative::HostingView> host_;
    std::shared_ptr<ui::Menu> menu_;
    std::shared_ptr<ui::Window> aboutPanel_;
    bool terminating_ = false;
};

// The about panel's content: the name, "Version <short> (<build>)" and the copyright, if any.
declarative::View aboutPanelContent(const core::Bundle& bundle);

} // namespace tessaray
