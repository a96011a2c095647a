#include "core/HostTime.hpp"
#include "core/Log.hpp"
#include "core/Workspace.hpp"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// Whether this process still has children, zombies included.
bool hasChildren() {
    siginfo_t info{};
    return ::waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 || errno != ECHILD;
}

TEST(CoreOpenURL, GoesThroughTheInstalledHandlerAndRefusesNonURLs) {
    std::vector<std::string> opened;
    auto previous = core::setOpenURLHandler([&](const core::URL& url) {
        opened.push_back(url.string());
        return true;
    });
    EXPECT_TRUE(core::openURL("tessaray://openAndUpdate"));
    EXPECT_FALSE(core::openURL("--help"));
    EXPECT_FALSE(core::openURL("not a url"));
    EXPECT_FALSE(core::openURL(*core::URL::parse("relative/path")));
    EXPECT_EQ(opened, (std::vector<std::string>{"tessaray://openAndUpdate"}));
    core::setOpenURLHandler(std::move(previous));
}

// Waits (10 s at most) until `done` holds.
template <class F> bool waitFor(F done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

TEST(CoreOpenURL, SpawnsTheOpenerWithoutAShellAndReapsIt) {
    const auto previous = core::setOpenURLProgram("/bin/true");
    EXPECT_TRUE(core::openURL("https://example.com/?a=$(false);b=&c"));
    EXPECT_TRUE(waitFor([] { return !hasChildren(); })) << "the opener was not reaped";

    core::LogCapture capture;
    core::setOpenURLProgram("/nonexistent/opener");
    EXPECT_FALSE(core::openURL("https://example.com/"));
    EXPECT_TRUE(capture.contains("/nonexistent/opener"));
    core::setOpenURLProgram(previous);
}

// The opener starts with every signal at its default handling and none blocked, whatever the program's own
// handling is (one that ignores SIGPIPE, an editor's event pump that blocks it inside a host).
TEST(CoreOpenURL, TheOpenerStartsWithDefaultSignalHandlingAndNoSignalBlocked) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("core-opener-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path report = folder / "signals";

    struct sigaction ignore {};
    struct sigaction previousAction {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previousAction);
    sigset_t pipe;
    sigset_t previousMask;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &previousMask);
    const auto previous = core::setOpenURLProgram(CORE_SIGNAL_PROBE);
    EXPECT_TRUE(core::openURL("file://" + report.native()));
    core::setOpenURLProgram(previous);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    sigaction(SIGPIPE, &previousAction, nullptr);

    EXPECT_TRUE(waitFor([&] { return fs::exists(report) && !hasChildren(); }));
    std::ifstream in(report);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), "");
    fs::remove_all(folder);
}

TEST(CoreHostTime, IsMonotonicAndCanBePinnedByTests) {
    const auto a = core::hostTime();
    const auto b = core::hostTime();
    EXPECT_LE(a, b);
    {
        core::ScopedHostTime pinned(1'000);
        EXPECT_EQ(core::hostTime(), 1'000u);
        pinned.advance(500);
        EXPECT_EQ(core::hostTime(), 1'500u);
    }
    EXPECT_GE(core::hostTime(), b);
}

TEST(CoreLog, FormatsLinesForTheCaptureAndFatalPrintsAndAborts) {
    core::LogCapture capture;
    core::log("TessarayAudioUnit: missing %s.bin in extension bundle", "sine");
    core::logLine("plain");
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{"TessarayAudioUnit: missing sine.bin in extension bundle", "plain"}));
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(core::fatal("init(coder:) has not been implemented"),
                 "init\\(coder:\\) has not been implemented");
}

} // namespace
