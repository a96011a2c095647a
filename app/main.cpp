// The Tessaray application: its window on the X display named by $DISPLAY.

#include "ZeltoCore/KitFonts.hpp"
#include "ZeltoCore/KitResources.hpp"
#include "app/AppHost.hpp"
#include "app/Resources.hpp"
#include "app/ShaderKit.hpp"
#include "core/Bundle.hpp"
#include "core/Log.hpp"
#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "display/X11Display.hpp"
#include "updater/SingleInstance.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string_view>
#include <unistd.h>

namespace {

// SIGINT and SIGTERM end the application as its Quit command does: the handler only writes a byte that
// the run loop reads.
int signalPipe[2] = {-1, -1};

void noteSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = write(signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char** argv) {
    core::claimMainThread();
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::puts("Usage: tessaray [URL...]\n"
                      "Shows the Tessaray window. A tessaray://openAndUpdate URL checks for updates.");
            return 0;
        }
    }
    // Any other option is refused before a window opens or the arguments go to a running Tessaray.
    std::vector<core::URL> launchURLs;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.starts_with('-')) {
            std::fprintf(stderr, "tessaray: unknown option '%s' (see --help)\n", argv[i]);
            return 2;
        }
        if (auto url = core::URL::parse(argument); url && url->scheme()) {
            launchURLs.push_back(*url);
        }
    }

    // One Tessaray per user: a later launch hands its URLs to the running one and ends here.
    auto claim = updater::SingleInstance::claim(launchURLs);
    if (claim.role == updater::SingleInstance::Role::handedOver) {
        return 0;
    }
    if (claim.role == updater::SingleInstance::Role::unanswered) {
        std::fprintf(stderr, "tessaray: the URLs were not handed over: %s\n", claim.problem.c_str());
        return 1;
    }
    if (claim.role == updater::SingleInstance::Role::failed) {
        core::log("Tessaray: running without the single-instance socket: %s", claim.problem.c_str());
    }

    // A write to an X server that has just gone fails instead of ending the program silently; the lost
    // connection then ends it below, with a message.
    std::signal(SIGPIPE, SIG_IGN);
    auto display = display::X11Display::open();
    if (!display) {
        std::fprintf(stderr, "tessaray: cannot open the X display (is DISPLAY set?)\n");
        return 1;
    }
    const auto bundle = core::Bundle::main();
    if (!bundle) {
        std::fprintf(stderr, "tessaray: cannot find the program's own folder\n");
        return 1;
    }
    tessaray::addBundleSearchPaths(*bundle);
    auto& runLoop = core::RunLoop::main();
    display->attach(runLoop);
    zelto::registerKitFonts(zelto::kitBundle().resourcePath() / "Fonts");

    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        std::signal(SIGINT, noteSignal);
        std::signal(SIGTERM, noteSignal);
    }

    int status = 0;
    display->setConnectionLostHandler([&runLoop, &status] {
        const char* name = std::getenv("DISPLAY");
        std::fprintf(stderr, "tessaray: lost the connection to the X server %s; quitting\n",
                     name ? name : "");
        status = 1;
        runLoop.stop();
    });
    {
        tessaray::TessarayApp app;
        tessaray::AppHostOptions options;
        options.bundle = bundle;
        options.strip = tessaray::contentViewShader<tessaray::MetalShaderViewController>();
        options.display = display;
        options.stopRunLoop = [&runLoop] { runLoop.stop(); };
        tessaray::AppHost host(app, options);
        core::RunLoop::WatchId signalWatch = 0;
        if (signalPipe[0] >= 0) {
            signalWatch = runLoop.watchFileDescriptor(signalPipe[0], POLLIN, [&host](short) {
                char buffer[16];
                while (read(signalPipe[0], buffer, sizeof buffer) > 0) {
                }
                host.terminate();
            });
        }
        host.launch(launchURLs);
        if (claim.instance) {
            // A later launch: the window comes forward, then its URLs are handled as the delegate's.
            claim.instance->listen(runLoop, [&host, &app](std::vector<core::URL> urls) {
                if (host.isTerminating()) {
                    return;
                }
                if (auto window = host.window()) {
                    window->makeKeyAndOrderFront();
                }
                if (!urls.empty()) {
                    app.appDelegate()->applicationOpenURLs(urls);
                }
            });
        }
        if (!host.isTerminating() && !display->isConnectionLost()) {
            runLoop.run();
        }
        if (signalWatch != 0) {
            runLoop.unwatchFileDescriptor(signalWatch);
        }
    }
    display->detach();
    return status;
}
