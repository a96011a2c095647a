// The main window's content: the version line, the links, the layout numbers and headless renders.

#include "FakeShaderKit.hpp"
#include "ZeltoCore/KitFonts.hpp"
#include "ZeltoCore/KitResources.hpp"
#include "app/AppHost.hpp"
#include "app/ContentView.hpp"
#include "app/Resources.hpp"
#include "app/ShaderKit.hpp"
#include "core/MainQueue.hpp"
#include "core/Workspace.hpp"
#include "display/HeadlessBackend.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using graphics::Point;
using graphics::Rect;

std::shared_ptr<core::Bundle> appBundle() {
    static const auto bundle = [] {
        auto found = core::Bundle::atPath(TESSARAY_APP_BUNDLE_DIR);
        tessaray::addBundleSearchPaths(*found);
        return found;
    }();
    return bundle;
}

fs::path outputDirectory() {
    fs::path dir(TESSARAY_APP_TEST_OUTPUT_DIR);
    fs::create_directories(dir);
    return dir;
}

// The content in a headless window of the window's size.
struct Window {
    explicit Window(declarative::View strip, double scale = 1.0, bool pango = true) {
        (void)appBundle(); // makes the kit's bundle findable
        static const bool fonts = zelto::registerKitFonts(zelto::kitBundle().resourcePath() / "Fonts");
        (void)fonts;
        tessaray::ContentView content;
        content.bundle = appBundle();
        content.shader = std::move(strip);
        const Rect frame(0, 0, 400, 572);
        window = ui::Window::make(frame);
        window->setBackgroundColor(tessaray::appColor("background", *appBundle()));
        host = declarative::HostingView::make(tessaray::windowContent(content), frame);
        if (!pango) {
            host->setTextMeasurer(std::make_shared<declarative::FixedTextMeasurer>());
        }
        window->setContentView(host);
        backend = display::HeadlessBackend::attach(window, scale);
        window->makeKeyAndOrderFront();
        settle();
    }
    ~Window() {
        window->close();
        core::MainQueue::shared().drain();
    }
    void settle() {
        core::MainQueue::shared().drain();
        host->layoutIfNeeded();
    }
    Rect frame(const char* id) {
        return host->frameOfNode(declarative::Id(std::string(id))).value_or(Rect());
    }

    std::shared_ptr<ui::Window> window;
    std::shared_ptr<declarative::HostingView> host;
    std::shared_ptr<display::HeadlessBackend> backend;
};

std::shared_ptr<core::Bundle> bundleWithInfo(const std::string& json) {
    static int serial = 0;
    const auto dir = fs::temp_directory_path() /
                     ("tessaray-app-info-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
    fs::create_directories(dir);
    std::ofstream(dir / "Info.json") << json;
    return core::Bundle::atPath(dir);
}

TEST(VersionString, JoinsShortAndBuildVersionsAndShowsMissingOrNonTextValuesAsEmpty) {
    EXPECT_EQ(tessaray::versionString(
                  *bundleWithInfo(R"({"CFBundleShortVersionString": "1.2", "CFBundleVersion": "34"})")),
              "1.2 (34)");
    EXPECT_EQ(tessaray::versionString(*bundleWithInfo(R"({"CFBundleShortVersionString": "1.2"})")), "1.2 ()");
    EXPECT_EQ(tessaray::versionString(*bundleWithInfo("{}")), " ()");
    EXPECT_EQ(tessaray::versionString(
                  *bundleWithInfo(R"({"CFBundleShortVersionString": 1.2, "CFBundleVersion": 34})")),
              " ()");
    // The application's own bundle carries the project's version.
    EXPECT_EQ(tessaray::versionString(*appBundle()).rfind("1.0.0 (", 0), 0u);
}

TEST(WindowContent, CentresTheNameOnTheStripAndSharesTheSpareHeightBetweenTheSpacers) {
    Window w(declarative::ColorView(graphics::Color::white(0.5)), 1.0, false);
    const Rect strip = w.frame("strip");
    EXPECT_EQ(strip, Rect(0, 0, 400, 300));
    const Rect name = w.frame("productName");
    EXPECT_NEAR(name.midX(), 200, 0.5);
    EXPECT_NEAR(name.midY(), 150, 0.5);

    const Rect help = w.frame("help");
    const Rect website = w.frame("website");
    EXPECT_EQ(help, Rect(16, 534, 176, 24)) << "the bezel overhangs the 176-point layout frame by 2 points";
    EXPECT_EQ(website, Rect(208, 534, 176, 24));
    EXPECT_EQ(572 - help.maxY(), 14);

    // The two spacers share what is left equally.
    const Rect information = w.frame("information");
    const Rect logo = w.frame("logo");
    EXPECT_EQ(logo.y(), information.maxY());
    EXPECT_EQ(logo.size, graphics::Size(64, 64)) << "the logo at its natural size";
    EXPECT_NEAR(information.y() - strip.maxY(), help.y() - logo.maxY(), 0.5);
    EXPECT_GT(information.y() - strip.maxY(), 0);
}

TEST(WindowContent, TheButtonsOpenTheHelpPageAndTheMakersSite) {
    std::vector<std::string> opened;
    auto previous = core::setOpenURLHandler([&opened](const core::URL& url) {
        opened.push_back(url.string());
        return false; // a failure to open is not looked at
    });
    {
        Window w(declarative::View(), 1.0, false);
        for (const char* id : {"help", "website"}) {
            const Rect r = w.frame(id);
            w.backend->click({r.midX(), 572 - r.midY()});
            w.settle();
        }
    }
    core::setOpenURLHandler(std::move(previous));
    EXPECT_EQ(opened, (std::vector<std::string>{tessaray::helpAddress, tessaray::websiteAddress}));
}

TEST(WindowContent, TheRepresentableMakesTheMainControllerOnceAndAsksForRedisplayOnUpdates) {
    core::Observed<int> counter{0};
    struct Reader {
        core::Observed<int>* counter;
        declarative::View body(declarative::Context&) const {
            (void)counter->get();
            return tessaray::contentViewShader<apptest::FakeController>();
        }
    };
    const Rect frame(0, 0, 400, 300);
    auto window = ui::Window::make(frame);
    auto host = declarative::HostingView::make(declarative::View(Reader{&counter}), frame);
    window->setContentView(host);
    display::HeadlessBackend::attach(window);
    window->makeKeyAndOrderFront();
    core::MainQueue::shared().drain();
    host->layoutIfNeeded();

    ASSERT_EQ(host->subviews().size(), 1u);
    auto container = std::dynamic_pointer_cast<tessaray::ShaderContainerView>(host->subviews().front());
    ASSERT_NE(container, nullptr);
    auto controller = std::static_pointer_cast<apptest::FakeController>(container->controller());
    EXPECT_EQ(controller->rendererName(), "Main");
    EXPECT_EQ(controller->vertxShaderName(), "audioWaveformVertexShader");
    EXPECT_EQ(controller->fragmentShaderName(), "audioWaveformFragmentShader");
    ASSERT_NE(controller->metalKitView(), nullptr) << "the container appeared in the window";
    EXPECT_EQ(container->frame(), frame);
    const int before = controller->metalKitView()->redisplays;

    counter.set(1);
    core::MainQueue::shared().drain();
    host->layoutIfNeeded();
    EXPECT_EQ(host->subviews().front(), container) << "made once for the life of the hosting view";
    EXPECT_EQ(controller->metalKitView()->redisplays, before + 1);

    // Before the first appearance (no drawing view) an update does nothing.
    auto lone = std::make_shared<tessaray::ShaderContainerView>(Rect(0, 0, 300, 300));
    apptest::FakeController idle(lone, "Main", "v", "f");
    idle.setNeedsDisplay();
    EXPECT_EQ(idle.metalKitView(), nullptr);
    window->close();
    core::MainQueue::shared().drain();
}

bool isBackground(const display::HeadlessBackend::RGBA& p) {
    return std::abs(p.r - 0x15) <= 2 && std::abs(p.g - 0x13) <= 2 && std::abs(p.b - 0x1C) <= 2;
}

TEST(WindowRender, WithoutAGPUTheStripIsEmptyAndEverythingElseDraws) {
    setenv("TESSARAY_NO_GPU", "1", 1);
    struct Restore {
        ~Restore() { unsetenv("TESSARAY_NO_GPU"); }
    } restore;
    for (double scale : {1.0, 2.0}) {
        Window w(tessaray::contentViewShader<tessaray::MetalShaderViewController>(), scale);
        const auto file =
            outputDirectory() / (scale == 1.0 ? "window-no-gpu@1x.png" : "window-no-gpu@2x.png");
        ASSERT_TRUE(w.backend->writePNG(file));
        auto at = [&](double x, double y) {
            return w.backend->pixel(static_cast<int>(x * scale), static_cast<int>(y * scale));
        };
        // The strip's corners show the window's background; the name is drawn over it in white.
        EXPECT_TRUE(isBackground(at(10, 10))) << file;
        EXPECT_TRUE(isBackground(at(390, 290))) << file;
        const Rect name = w.frame("productName");
        int white = 0;
        for (double y = name.y(); y < name.maxY(); y += 1.0 / scale) {
            for (double x = name.x(); x < name.maxX(); x += 1.0 / scale) {
                const auto p = at(x, y);
                white += (p.r > 240 && p.g > 240 && p.b > 240) ? 1 : 0;
            }
        }
        EXPECT_GT(white, 50 * scale * scale) << file;
        // The buttons' bezels are drawn 2 points beyond their layout frames.
        const Rect help = w.frame("help");
        EXPECT_FALSE(isBackground(at(help.x() - 1, help.midY()))) << file;
        EXPECT_TRUE(isBackground(at(help.x() - 4, help.midY()))) << file;
    }
}

// The name's three shadows fall below it: on a light strip the rows under the letters darken, the rows
// above stay untouched.
TEST(WindowRender, TheProductNameCastsItsStackedShadowsDownwards) {
    const double grey = 0.6;
    Window w(declarative::ColorView(graphics::Color::white(grey)), 2.0);
    ASSERT_TRUE(w.backend->writePNG(outputDirectory() / "window-grey-strip@2x.png"));
    const Rect name = w.frame("productName");
    const int greyByte = static_cast<int>(grey * 255 + 0.5);
    // The letters' bottom edge: the lowest row with white pixels.
    int bottom = -1;
    int top = -1;
    for (int y = static_cast<int>(name.y() * 2); y < static_cast<int>(name.maxY() * 2); ++y) {
        for (int x = static_cast<int>(name.x() * 2); x < static_cast<int>(name.maxX() * 2); ++x) {
            const auto p = w.backend->pixel(x, y);
            if (p.r > 245 && p.g > 245) {
                bottom = y;
                top = top < 0 ? y : top;
            }
        }
    }
    ASSERT_GT(bottom, 0);
    auto darkestInRow = [&](int y) {
        int darkest = 255;
        for (int x = static_cast<int>(name.x() * 2); x < static_cast<int>(name.maxX() * 2); ++x) {
            darkest = std::min<int>(darkest, w.backend->pixel(x, y).g);
        }
        return darkest;
    };
    // Two points below the letters the sharp and the soft shadows overlap.
    EXPECT_LT(darkestInRow(bottom + 3), greyByte - 40);
    // Eight points below, only the widest shadow's fading edge remains.
    EXPECT_LT(darkestInRow(bottom + 12), greyByte - 3);
    EXPECT_GT(darkestInRow(bottom + 12), darkestInRow(bottom + 3));
    // Above the letters nothing changed.
    EXPECT_GE(darkestInRow(top - 4), greyByte - 1);
}

} // namespace
