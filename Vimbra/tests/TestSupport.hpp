#pragma once

#include "declarative/Hosting.hpp"
#include "display/HeadlessBackend.hpp"
#include "ui/Application.hpp"
#include "ui/Window.hpp"

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

// The build tree's bundles directory, registered with the named-bundle search before any test runs.
std::filesystem::path testBundlesDirectory();

namespace vimbratest {

// Closes the windows and any menu a test left, so the shared application starts the next one empty.
struct ApplicationScope {
    ~ApplicationScope();
};

// Records the actions that reach it and who sent them.
class Receiver : public ui::Responder {
public:
    explicit Receiver(std::initializer_list<const char*> actions);
    std::vector<std::string> log;
    std::vector<std::shared_ptr<ui::Object>> senders;
};

// A key window with a recording headless back end, driven by real events.
struct Scene {
    ApplicationScope scope;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<display::HeadlessBackend> backend;

    explicit Scene(graphics::Rect frame = {200, 300, 320, 200}, double scale = 1.0);
    void add(const std::shared_ptr<ui::View>& view) const;
};

// A scene whose window shows a declarative tree, brought up to date after each change.
struct HostedScene : Scene {
    std::shared_ptr<declarative::HostingView> host;

    using Scene::Scene;
    // Hosts the tree as the window's content and brings it up to date.
    void show(declarative::View root, graphics::Rect frame);
    // Runs the work queued on the main thread and the layout it asks for.
    void settle();
    // Each key as the window system delivers it, with the tree brought up to date after it.
    void type(const std::string& key);
    // The first view of type V among the host's subviews, or null.
    template <typename V> std::shared_ptr<V> hosted() const {
        for (const auto& v : host->subviews()) {
            if (auto found = std::dynamic_pointer_cast<V>(v)) {
                return found;
            }
        }
        return nullptr;
    }
};

// The middle of a view in its window's coordinates.
graphics::Point centre(const ui::View& view);

} // namespace vimbratest
