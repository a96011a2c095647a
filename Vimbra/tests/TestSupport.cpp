#include "Vimbra/tests/TestSupport.hpp"

#include "core/Bundle.hpp"
#include "core/MainQueue.hpp"
#include "ui/MenuTracking.hpp"

std::filesystem::path testBundlesDirectory() {
    return VIMBRA_TEST_BUNDLES_DIR;
}

namespace {

const bool registered = [] {
    core::Bundle::addSearchPath(testBundlesDirectory());
    return true;
}();

} // namespace

namespace vimbratest {

ApplicationScope::~ApplicationScope() {
    auto app = ui::Application::shared();
    if (auto tracking = app->menuTracking()) {
        tracking->cancel();
    }
    for (auto& window : app->windows()) {
        window->close();
    }
    app->setKeyWindow(nullptr);
    app->setDelegate(nullptr);
}

Receiver::Receiver(std::initializer_list<const char*> actions) {
    for (const char* action : actions) {
        setActionHandler(action, [this, action](const std::shared_ptr<ui::Object>& sender) {
            log.push_back(action);
            senders.push_back(sender);
        });
    }
}

Scene::Scene(graphics::Rect frame, double scale) : window(ui::Window::make(frame)) {
    backend = display::HeadlessBackend::attach(window, scale, true);
    window->makeKeyAndOrderFront();
}

void Scene::add(const std::shared_ptr<ui::View>& view) const {
    window->contentView()->addSubview(view);
}

void HostedScene::show(declarative::View root, graphics::Rect frame) {
    host = declarative::HostingView::make(std::move(root), frame);
    window->setContentView(host);
    settle();
}

void HostedScene::settle() {
    core::MainQueue::shared().drain();
    host->layoutIfNeeded();
    core::MainQueue::shared().drain();
}

void HostedScene::type(const std::string& key) {
    backend->typeKey(key);
    settle();
}

graphics::Point centre(const ui::View& view) {
    const auto r = view.convertRectToView(view.bounds(), nullptr);
    return {r.midX(), r.midY()};
}

} // namespace vimbratest
