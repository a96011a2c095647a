// The application window's cost: one full display pass of the 400 x 572 window with the strip drawing a
// new frame, and the real program's CPU use while its window is not the key window (on an Xvfb server).
#include "../platform/display/tests/Xvfb.hpp"
#include "ZeltoCore/KitFonts.hpp"
#include "ZeltoCore/KitResources.hpp"
#include "app/AppHost.hpp"
#include "app/Resources.hpp"
#include "app/ShaderKit.hpp"
#include "core/MainQueue.hpp"
#include "display/HeadlessBackend.hpp"

#include <X11/Xlib.h>
#include <spawn.h>
#include <X11/Xutil.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

std::shared_ptr<core::Bundle> appBundle() {
    static const auto bundle = [] {
        auto found = core::Bundle::atPath(TESSARAY_APP_BUNDLE_DIR);
        tessaray::addBundleSearchPaths(*found);
        zelto::registerKitFonts(zelto::kitBundle().resourcePath() / "Fonts");
        return found;
    }();
    return bundle;
}

// A whole frame of the window as its display pass draws it when the strip asks for a redraw: the strip's
// frame, then everything the window shows, at 1x or 2x.
void BM_WindowFrame(benchmark::State& state) {
    tessaray::TessarayApp app([](bool, tessaray::UpdaterDelegate*, tessaray::UserDriverDelegate*) {
        return std::shared_ptr<tessaray::UpdaterController>();
    });
    tessaray::AppHostOptions options;
    options.bundle = appBundle();
    options.strip = tessaray::contentViewShader<tessaray::MetalShaderViewController>();
    options.headlessScale = static_cast<double>(state.range(0));
    tessaray::AppHost host(app, options);
    host.launch();
    core::MainQueue::shared().drain();
    auto window = host.window();
    for (auto _ : state) {
        window->setNeedsDisplayInRect(graphics::Rect(0, 272, 400, 300));
        window->display();
    }
    state.SetLabel(std::to_string(state.range(0)) + "x");
}
BENCHMARK(BM_WindowFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// CPU seconds a process has used (user and system), from /proc.
double processSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) {
            utime = std::stoul(field);
        } else if (i == 15) {
            stime = std::stoul(field);
        }
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

Window findWindow(Display* dpy) {
    Window root = 0, parent = 0, found = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i) {
            XClassHint hint{};
            if (XGetClassHint(dpy, children[i], &hint)) {
                if (hint.res_name && std::string(hint.res_name) == "tessaray") {
                    found = children[i];
                }
                XFree(hint.res_name);
                XFree(hint.res_class);
            }
        }
        XFree(children);
    }
    return found;
}

// The program with its window not key: it gets the focus once and loses it, then runs for three seconds.
// Reported: the share of one core it used over those seconds.
void BM_ProgramIdleWindowNotKey(benchmark::State& state) {
    displaytest::XvfbServer server("800x700x24");
    if (server.name().empty()) {
        state.SkipWithError("Xvfb is not available");
        return;
    }
    Display* dpy = XOpenDisplay(server.name().c_str());
    setenv("DISPLAY", server.name().c_str(), 1);
    // A runtime folder of its own, so that no other Tessaray takes the launch over.
    char runtime[] = "/tmp/tessaray-bench-XXXXXX";
    if (mkdtemp(runtime) != nullptr) {
        setenv("XDG_RUNTIME_DIR", runtime, 1);
    }
    pid_t pid = 0;
    const char* argv[] = {TESSARAY_APP_EXECUTABLE, nullptr};
    if (!dpy || posix_spawn(&pid, TESSARAY_APP_EXECUTABLE, nullptr, nullptr, const_cast<char**>(argv),
                            environ) != 0) {
        state.SkipWithError("cannot start the program");
        return;
    }
    Window window = 0;
    auto viewable = [&] {
        XWindowAttributes attributes;
        return window && XGetWindowAttributes(dpy, window, &attributes) && attributes.map_state == IsViewable;
    };
    for (int i = 0; i < 1500 && !viewable(); ++i) {
        window = findWindow(dpy);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // The animating window's share, for comparison.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double animatingStart = processSeconds(pid);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    state.counters["key_core_share_percent"] = (processSeconds(pid) - animatingStart) / 2.0 * 100;
    double share = 0;
    for (auto _ : state) {
        XSetInputFocus(dpy, window, RevertToParent, CurrentTime);
        XSync(dpy, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        XSetInputFocus(dpy, None, RevertToNone, CurrentTime);
        XSync(dpy, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const double start = processSeconds(pid);
        std::this_thread::sleep_for(std::chrono::seconds(3));
        share = (processSeconds(pid) - start) / 3.0;
    }
    state.counters["core_share_percent"] = share * 100;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    XCloseDisplay(dpy);
}
BENCHMARK(BM_ProgramIdleWindowNotKey)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
