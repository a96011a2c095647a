// The window with its strip drawn on the GPU (Mesa's software renderer where there is no GPU): the strip
// lives, the name stays readable over it, and its time stops while the window is not key.

#include "ZeltoCore/KitFonts.hpp"
#include "ZeltoCore/KitResources.hpp"
#include "app/AppHost.hpp"
#include "app/ContentView.hpp"
#include "app/Resources.hpp"
#include "app/ShaderKit.hpp"
#include "core/Clock.hpp"
#include "core/MainQueue.hpp"
#include "display/HeadlessBackend.hpp"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using graphics::Rect;
using namespace std::chrono_literals;

// The main controller with a renderer on a clock the test moves.
class ClockedController : public tessaray::MetalShaderViewController {
public:
    using tessaray::MetalShaderViewController::MetalShaderViewController;
    static inline std::shared_ptr<core::ManualClock> clock;

protected:
    std::shared_ptr<pelko::MetalShaderRenderer> makeRenderer(tessaray::AppShaderView& view) override {
        pelko::RendererSources sources;
        sources.clock = clock;
        sources.random = [] { return std::uint64_t{0x5eed}; };
        return std::make_shared<pelko::MetalShaderRenderer>(view, rendererName(), vertxShaderName(),
                                                            fragmentShaderName(), sources);
    }
};

struct GpuWindow {
    explicit GpuWindow(double scale) {
        ClockedController::clock = std::make_shared<core::ManualClock>();
        bundle = core::Bundle::atPath(TESSARAY_APP_BUNDLE_DIR);
        tessaray::addBundleSearchPaths(*bundle);
        static const bool fonts = zelto::registerKitFonts(zelto::kitBundle().resourcePath() / "Fonts");
        (void)fonts;
        tessaray::ContentView content;
        content.bundle = bundle;
        content.shader = tessaray::contentViewShader<ClockedController>();
        const Rect frame(0, 0, 400, 572);
        window = ui::Window::make(frame);
        window->setBackgroundColor(tessaray::appColor("background", *bundle));
        host = declarative::HostingView::make(tessaray::windowContent(content), frame);
        window->setContentView(host);
        backend = display::HeadlessBackend::attach(window, scale);
        window->makeKeyAndOrderFront();
        core::MainQueue::shared().drain();
        host->layoutIfNeeded();
        auto container = std::dynamic_pointer_cast<tessaray::ShaderContainerView>(host->subviews().front());
        controller = std::static_pointer_cast<ClockedController>(container->controller());
    }
    ~GpuWindow() {
        window->close();
        core::MainQueue::shared().drain();
    }
    // Draws the window as it would be shown now.
    void redraw() {
        window->setNeedsDisplayInRect(Rect(0, 0, 400, 572));
        window->displayIfNeeded();
    }
    Rect frame(const char* id) {
        return host->frameOfNode(declarative::Id(std::string(id))).value_or(Rect());
    }

    std::shared_ptr<core::Bundle> bundle;
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<declarative::HostingView> host;
    std::shared_ptr<display::HeadlessBackend> backend;
    std::shared_ptr<ClockedController> controller;
};

fs::path outputDirectory() {
    fs::path dir(TESSARAY_APP_TEST_OUTPUT_DIR);
    fs::create_directories(dir);
    return dir;
}

// The strip's pixels left of the name (device pixels), as bytes.
std::vector<std::uint8_t> stripSample(display::HeadlessBackend& backend, double scale) {
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < static_cast<int>(300 * scale); y += 2) {
        for (int x = 0; x < static_cast<int>(120 * scale); x += 2) {
            const auto p = backend.pixel(x, y);
            bytes.insert(bytes.end(), {p.r, p.g, p.b});
        }
    }
    return bytes;
}

TEST(GpuWindow, TheStripLivesUnderTheNameAndChangesWithTime) {
    for (double scale : {1.0, 2.0}) {
        GpuWindow w(scale);
        if (!w.controller || !w.controller->renderer()) {
            GTEST_SKIP() << "no GPU device, not even the software renderer";
        }
        ClockedController::clock->advance(2s);
        w.redraw();
        const std::string suffix = scale == 1.0 ? "@1x.png" : "@2x.png";
        ASSERT_TRUE(w.backend->writePNG(outputDirectory() / ("window" + suffix)));
        const auto first = stripSample(*w.backend, scale);
        // The strip is drawn: bright waveform pixels, not just the background.
        int bright = 0;
        for (std::size_t i = 0; i + 2 < first.size(); i += 3) {
            bright += (first[i] + first[i + 1] + first[i + 2] > 240) ? 1 : 0;
        }
        EXPECT_GT(bright, 20) << suffix;
        // The name is still white over it.
        const Rect name = w.frame("productName");
        int white = 0;
        for (double y = name.y(); y < name.maxY(); y += 1) {
            for (double x = name.x(); x < name.maxX(); x += 1) {
                const auto p = w.backend->pixel(static_cast<int>(x * scale), static_cast<int>(y * scale));
                white += (p.r > 240 && p.g > 240 && p.b > 240) ? 1 : 0;
            }
        }
        EXPECT_GT(white, 50) << suffix;

        ClockedController::clock->advance(700ms);
        w.redraw();
        ASSERT_TRUE(w.backend->writePNG(outputDirectory() / ("window-later" + suffix)));
        EXPECT_NE(stripSample(*w.backend, scale), first) << "the strip animates";
    }
}

TEST(GpuWindow, TheStripsTimeStopsWhileTheWindowIsNotKey) {
    GpuWindow w(1.0);
    auto renderer = w.controller ? w.controller->renderer() : nullptr;
    if (!renderer) {
        GTEST_SKIP() << "no GPU device, not even the software renderer";
    }
    auto view = w.controller->metalKitView();
    ClockedController::clock->advance(10s);
    w.backend->focusOut();
    EXPECT_TRUE(view->isPaused());
    ClockedController::clock->advance(5s);
    w.backend->focusIn();
    EXPECT_FALSE(view->isPaused());
    EXPECT_NEAR(renderer->runningTime().seconds(), 10.0, 1e-6) << "the time continues from the pause";
    // A disappearance and a new appearance start a new renderer at time 0.
    auto container = w.controller->view();
    auto host = container->superview();
    container->removeFromSuperview();
    host->addSubview(container);
    ASSERT_NE(w.controller->renderer(), nullptr);
    EXPECT_NE(w.controller->renderer(), renderer);
    EXPECT_NEAR(w.controller->renderer()->runningTime().seconds(), 0.0, 1e-6);
}

TEST(GpuWindow, TheSwitchPanelTakesItsScreensScaleAndFollowsTheWindow) {
    tessaray::addBundleSearchPaths(*core::Bundle::atPath(TESSARAY_APP_BUNDLE_DIR));
    auto window = ui::Window::make(Rect(0, 0, 240, 80));
    display::HeadlessBackend::attach(window, 2.0);
    auto container = std::make_shared<tessaray::ShaderContainerView>(Rect(0, 0, 240, 80));
    auto controller = std::make_shared<tessaray::SupporterShaderViewController>(container, "Supporter");
    container->setController(controller);
    controller->setInitialButtonStates(false, true, false, false, false, true);
    window->contentView()->addSubview(container);
    auto renderer = controller->renderer();
    if (!renderer) {
        window->close();
        GTEST_SKIP() << "no GPU device, not even the software renderer";
    }
    EXPECT_EQ(renderer->scale(), 2.0f);
    EXPECT_EQ(renderer->switchOnState(), (pelko::SupporterShaderRenderer::SwitchArray{0, 1, 0, 0, 0, 1}));
    controller->switchOn(2);
    EXPECT_EQ(renderer->switchHistory()[0], 2.0f);

    // The window moves to a screen of scale 1: the view and the renderer follow at the next frame.
    display::HeadlessBackend::attach(window, 1.0);
    controller->metalKitView()->drawFrame();
    EXPECT_EQ(controller->metalKitView()->contentsScale(), 1.0);
    EXPECT_EQ(renderer->scale(), 1.0f);
    window->close();
    core::MainQueue::shared().drain();
}

} // namespace
