#include "core/Log.hpp"
#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "updater/SingleInstance.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <spawn.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace updater {
namespace {

namespace fs = std::filesystem;

fs::path makePrivateDirectory() {
    std::string pattern = (fs::temp_directory_path() / "tessaray-instance-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        return {};
    }
    return pattern;
}

std::vector<std::string> readLines(const fs::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Waits for something another process or thread brings about; the bound only keeps a broken build from
// hanging and measures nothing.
bool waitUntil(const std::function<bool()>& condition) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > giveUp) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<std::string> urlStrings(const std::vector<core::URL>& urls) {
    std::vector<std::string> strings;
    for (const auto& url : urls) {
        strings.push_back(url.string());
    }
    return strings;
}

TEST(InstanceMessageTest, OnlyURLsWithASchemeAreTakenAndNothingElseIsRead) {
    EXPECT_EQ(urlStrings(urlsInArguments({"--verbose", "tessaray://openAndUpdate", "file name",
                                          "relative/path", "https://tessaray.app/x?y#z"})),
              (std::vector<std::string>{"tessaray://openAndUpdate", "https://tessaray.app/x?y#z"}));
    const std::string garbage = std::string("\0\xff\xfe junk\n", 10) + "not a url\n" +
                                "tessaray://openAndUpdate\r\n\n  \n" + std::string("tessaray://a\0b\n", 15) +
                                "tessaray://%zz\n" + "TESSARAY://openAndUpdate";
    EXPECT_EQ(urlStrings(parseInstanceMessage(garbage)),
              (std::vector<std::string>{"tessaray://openAndUpdate", "TESSARAY://openAndUpdate"}))
        << "case is kept as given; whoever handles the URL compares it";
}

TEST(InstanceDirectoryTest, OnlyAPrivateDirectoryOfOursIsUsed) {
    const fs::path base = makePrivateDirectory();
    ASSERT_FALSE(base.empty());
    const char* previous = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = previous != nullptr ? previous : "";
    core::LogCapture log;
    std::string problem;

    // A runtime directory open to others is passed over for a private folder of our own.
    const fs::path open = base / "open";
    fs::create_directory(open);
    chmod(open.c_str(), 0755);
    setenv("XDG_RUNTIME_DIR", open.c_str(), 1);
    const auto fallback = runtimeDirectory(problem, "tessaray-test", base);
    ASSERT_TRUE(fallback.has_value()) << problem;
    EXPECT_EQ(*fallback, base / ("tessaray-test-" + std::to_string(geteuid())));
    EXPECT_EQ(fs::status(*fallback).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(runtimeDirectory(problem, "tessaray-test", base), fallback) << "found again on the next launch";

    chmod(open.c_str(), 0700);
    EXPECT_EQ(runtimeDirectory(problem, "tessaray-test", base), open);

    // A fallback that someone has prepared for us is refused: widened, replaced by a link, or another's.
    unsetenv("XDG_RUNTIME_DIR");
    chmod(fallback->c_str(), 0777);
    EXPECT_EQ(runtimeDirectory(problem, "tessaray-test", base), std::nullopt);
    EXPECT_NE(problem.find("open to other users"), std::string::npos);
    fs::remove(*fallback);
    fs::create_directory_symlink(open, *fallback);
    EXPECT_EQ(runtimeDirectory(problem, "tessaray-test", base), std::nullopt);
    fs::remove(*fallback);
    if (geteuid() == 0) {
        fs::create_directory(*fallback);
        chmod(fallback->c_str(), 0700);
        ASSERT_EQ(chown(fallback->c_str(), 65534, 65534), 0);
        EXPECT_EQ(runtimeDirectory(problem, "tessaray-test", base), std::nullopt);
        EXPECT_NE(problem.find("another user"), std::string::npos);
    }
    // Claiming in such a directory fails before anything is sent or bound.
    InstanceOptions options;
    options.directory = open;
    chmod(open.c_str(), 0755);
    const auto claim = SingleInstance::claim({}, options);
    EXPECT_EQ(claim.role, SingleInstance::Role::failed);
    EXPECT_FALSE(fs::exists(open / "tessaray.socket"));

    if (previous != nullptr) {
        setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    }
    fs::remove_all(base);
}

// Two real launches of the probe program: the running instance and a later one.
class TwoLaunchesTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = makePrivateDirectory();
        ASSERT_FALSE(directory_.empty());
    }
    void TearDown() override {
        for (pid_t pid : running_) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        fs::remove_all(directory_);
    }

    pid_t launch(const fs::path& log, const std::vector<std::string>& arguments,
                 const fs::path& errors = {}) {
        std::vector<std::string> all = {TESSARAY_INSTANCE_PROBE, directory_.string(), log.string()};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& argument : all) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!errors.empty()) {
            posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        }
        pid_t pid = -1;
        const int spawned =
            posix_spawn(&pid, TESSARAY_INSTANCE_PROBE, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            return -1;
        }
        running_.push_back(pid);
        return pid;
    }

    // Launches and waits for the launch to end; returns its exit status, or -1. A launch that has not ended
    // within a minute is left to TearDown, which kills it.
    int launchAndWait(const std::vector<std::string>& arguments, const fs::path& errors = {}) {
        const pid_t pid = launch(directory_ / "later.log", arguments, errors);
        int status = 0;
        if (pid < 0 || !waitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; })) {
            return -1;
        }
        std::erase(running_, pid);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void killInstance(pid_t pid) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        std::erase(running_, pid);
    }

    fs::path directory_;
    std::vector<pid_t> running_;
};

TEST_F(TwoLaunchesTest, ALaterLaunchHandsItsURLsToTheRunningInstanceAndExits) {
    const fs::path log = directory_ / "first.log";
    const pid_t first = launch(log, {"tessaray://openAndUpdate"});
    ASSERT_GT(first, 0);
    ASSERT_TRUE(waitUntil([&] { return !readLines(log).empty(); }));
    EXPECT_EQ(readLines(log)[0], "running tessaray://openAndUpdate") << "the first launch's own URL";

    EXPECT_EQ(launchAndWait({"tessaray://openAndUpdate", "--flag", "https://tessaray.app/"}), 0);
    EXPECT_EQ(launchAndWait({}), 0) << "a launch without URLs only asks for the window";
    ASSERT_TRUE(waitUntil([&] { return readLines(log).size() >= 3; }));
    EXPECT_EQ(readLines(log), (std::vector<std::string>{
                                  "running tessaray://openAndUpdate",
                                  "message tessaray://openAndUpdate https://tessaray.app/", "message"}));
    const auto mode = fs::status(directory_ / "tessaray.socket").permissions() & fs::perms::all;
    EXPECT_EQ(mode & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);

    // The instance dies without cleaning up: its socket stays behind, and the next launch takes over.
    killInstance(first);
    ASSERT_TRUE(fs::exists(directory_ / "tessaray.socket"));
    const fs::path nextLog = directory_ / "next.log";
    ASSERT_GT(launch(nextLog, {}), 0);
    ASSERT_TRUE(waitUntil([&] { return !readLines(nextLog).empty(); }));
    EXPECT_EQ(launchAndWait({"tessaray://openAndUpdate"}), 0);
    ASSERT_TRUE(waitUntil([&] { return readLines(nextLog).size() >= 2; }));
    EXPECT_EQ(readLines(nextLog)[1], "message tessaray://openAndUpdate");
}

// An instance that holds the lock and listens in this process, and never takes a message.
class WedgedInstance {
public:
    WedgedInstance(const fs::path& directory, int backlog) {
        lock_ = open((directory / "tessaray.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        flock(lock_, LOCK_EX | LOCK_NB);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, (directory / "tessaray.socket").c_str(), sizeof address.sun_path - 1);
        unlink(address.sun_path); // left behind by an instance that was killed
        listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        bound_ = bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                 ::listen(listener_, backlog) == 0;
        // Fills the backlog: connections that nobody accepts, until the next one is refused.
        if (bound_ && backlog == 0) {
            for (int i = 0; i < 64; ++i) {
                const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
                if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                    close(fd);
                    break;
                }
                fillers_.push_back(fd);
            }
        }
    }
    ~WedgedInstance() {
        for (int fd : fillers_) {
            close(fd);
        }
        for (int fd : accepted_) {
            close(fd);
        }
        close(listener_);
        close(lock_);
    }
    bool ready() const { return bound_ && lock_ >= 0; }
    // Accepts whatever has come and never answers it.
    void acceptAll() {
        for (int fd; (fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
            accepted_.push_back(fd);
        }
    }
    std::size_t acceptedCount() const { return accepted_.size(); }

private:
    int lock_ = -1;
    int listener_ = -1;
    bool bound_ = false;
    std::vector<int> fillers_;
    std::vector<int> accepted_;
};

std::string readAll(const fs::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A later launch never hangs on a running instance that cannot answer: it says so and fails. The bounds
// are generous; the launches take about one second (no connection) or two (no acknowledgement).
TEST_F(TwoLaunchesTest, ALaunchThatIsNotAcknowledgedSaysSoAndFailsInsteadOfHanging) {
    const fs::path errors = directory_ / "errors.txt";
    constexpr auto kBound = std::chrono::seconds(20);

    // The running instance is stopped: the connection is made, the acknowledgement never comes.
    const fs::path log = directory_ / "first.log";
    const pid_t first = launch(log, {});
    ASSERT_GT(first, 0);
    ASSERT_TRUE(waitUntil([&] { return !readLines(log).empty(); }));
    ASSERT_EQ(kill(first, SIGSTOP), 0);
    auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(launchAndWait({"tessaray://openAndUpdate"}, errors), 3);
    EXPECT_LT(std::chrono::steady_clock::now() - before, kBound);
    EXPECT_NE(readAll(errors).find("did not acknowledge"), std::string::npos) << readAll(errors);
    // Resumed, the instance finds its sender gone and does not act on what was reported as not handed over;
    // the next launch is handed over as usual.
    ASSERT_EQ(kill(first, SIGCONT), 0);
    EXPECT_EQ(launchAndWait({"tessaray://next"}), 0);
    ASSERT_TRUE(waitUntil([&] { return readLines(log).size() >= 2; }));
    EXPECT_EQ(readLines(log), (std::vector<std::string>{"running", "message tessaray://next"}));
    killInstance(first);

    // A listen backlog that is full: the connection is never made.
    {
        WedgedInstance wedged(directory_, 0);
        ASSERT_TRUE(wedged.ready());
        before = std::chrono::steady_clock::now();
        EXPECT_EQ(launchAndWait({"tessaray://openAndUpdate"}, errors), 3);
        EXPECT_LT(std::chrono::steady_clock::now() - before, kBound);
        EXPECT_NE(readAll(errors).find("does not accept connections"), std::string::npos) << readAll(errors);
    }

    // An instance that accepts the connection and never answers.
    {
        WedgedInstance wedged(directory_, 16);
        ASSERT_TRUE(wedged.ready());
        const pid_t later = launch(directory_ / "later.log", {"tessaray://openAndUpdate"}, errors);
        ASSERT_GT(later, 0);
        before = std::chrono::steady_clock::now();
        int status = 0;
        EXPECT_TRUE(waitUntil([&] {
            wedged.acceptAll();
            return waitpid(later, &status, WNOHANG) == later;
        }));
        std::erase(running_, later);
        EXPECT_LT(std::chrono::steady_clock::now() - before, kBound);
        EXPECT_EQ(wedged.acceptedCount(), 1u);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3);
        EXPECT_NE(readAll(errors).find("did not acknowledge"), std::string::npos) << readAll(errors);
    }
}

// The running instance in this process, against clients that misbehave.
class HostileClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = makePrivateDirectory();
        ASSERT_FALSE(directory_.empty());
        InstanceOptions options;
        options.directory = directory_;
        options.maximumConnections = 3;
        options.connectionDeadline = std::chrono::milliseconds(200);
        auto claim = SingleInstance::claim({}, options);
        ASSERT_EQ(claim.role, SingleInstance::Role::primary) << claim.problem;
        instance_ = std::move(claim.instance);
        instance_->listen(loop_,
                          [this](std::vector<core::URL> urls) { messages_.push_back(urlStrings(urls)); });
    }
    void TearDown() override {
        instance_.reset();
        fs::remove_all(directory_);
    }

    int connectClient() {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, instance_->socketPath().c_str(), sizeof address.sun_path - 1);
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            close(fd);
            return -1;
        }
        return fd;
    }

    // Runs the instance's loop until the condition holds.
    // Runs the instance's loop in short turns until the condition holds.
    bool serveUntil(const std::function<bool()>& condition) {
        return waitUntil([&] {
            loop_.runOnce(std::chrono::milliseconds(5));
            return condition();
        });
    }

    // What the instance sent before closing its end, or none while it has not closed it.
    static std::optional<std::string> answerAfterClose(int fd) {
        std::string answer;
        char buffer[16];
        while (true) {
            const ssize_t got = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got > 0) {
                answer.append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0) {
                return answer;
            } else {
                return std::nullopt;
            }
        }
    }

    // The instance has closed its end: an end of stream, or a reset when it left data unread.
    static bool closedByPeer(int fd) {
        char byte;
        const ssize_t got = recv(fd, &byte, 1, MSG_DONTWAIT);
        return got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
    }

    fs::path directory_;
    core::RunLoop loop_{core::MainQueue::shared()};
    std::unique_ptr<SingleInstance> instance_;
    std::vector<std::vector<std::string>> messages_;
    core::LogCapture log_;
};

TEST_F(HostileClientTest, HugeBrokenOffAndSilentClientsCannotHurtTheInstance) {
    // A message far past the limit is dropped whole and its connection closed.
    const int huge = connectClient();
    ASSERT_GE(huge, 0);
    std::thread flood([huge] {
        const std::string chunk(64 * 1024, 'x');
        for (int i = 0; i < 16; ++i) {
            if (send(huge, chunk.data(), chunk.size(), MSG_NOSIGNAL) < 0) {
                break;
            }
        }
        shutdown(huge, SHUT_WR);
    });
    EXPECT_TRUE(serveUntil([&] { return closedByPeer(huge); }));
    flood.join();
    close(huge);
    EXPECT_TRUE(log_.contains("was dropped"));

    // Clients that connect and say nothing hold no one up: they are closed at their deadline, and the
    // oldest gives way when too many are open.
    std::vector<int> silent;
    for (int i = 0; i < 5; ++i) {
        silent.push_back(connectClient());
        ASSERT_GE(silent.back(), 0);
    }
    const int garbage = connectClient();
    ASSERT_GE(garbage, 0);
    const std::string message = std::string("\0\x01garbage\n", 10) + "tessaray://openAndUpdate\n" +
                                std::string(300, '\xff') + "\nrm -rf /\n";
    ASSERT_EQ(send(garbage, message.data(), message.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(message.size()));
    shutdown(garbage, SHUT_WR);
    ASSERT_TRUE(serveUntil([&] { return !messages_.empty(); }));
    EXPECT_EQ(messages_, (std::vector<std::vector<std::string>>{{"tessaray://openAndUpdate"}}));
    std::optional<std::string> answer;
    EXPECT_TRUE(serveUntil([&] { return (answer = answerAfterClose(garbage)).has_value(); }));
    EXPECT_EQ(answer, std::string(kInstanceAcknowledgement)) << "a complete message is acknowledged";
    close(garbage);
    EXPECT_TRUE(serveUntil(
        [&] { return std::all_of(silent.begin(), silent.end(), [](int fd) { return closedByPeer(fd); }); }));
    for (int fd : silent) {
        close(fd);
    }

    // A client that breaks off in the middle of a line delivers nothing.
    const int brokenOff = connectClient();
    ASSERT_GE(brokenOff, 0);
    const std::string partial = "tessaray://openAndUpd";
    send(brokenOff, partial.data(), partial.size(), MSG_NOSIGNAL);
    linger abort{1, 0};
    setsockopt(brokenOff, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    close(brokenOff);
    // The instance still answers a well-behaved client afterwards.
    const int polite = connectClient();
    ASSERT_GE(polite, 0);
    const std::string hello = "tessaray://openAndUpdate\n";
    send(polite, hello.data(), hello.size(), MSG_NOSIGNAL);
    shutdown(polite, SHUT_WR);
    ASSERT_TRUE(serveUntil([&] { return messages_.size() >= 2; }));
    close(polite);
    EXPECT_EQ(messages_.back(), std::vector<std::string>{"tessaray://openAndUpdate"});
    EXPECT_LE(messages_.size(), 3u);
}

} // namespace
TEST(InstanceHandOverTest, AHugeURLThatCannotBeHandedOverIsLoggedClipped) {
    // A running instance as far as the claim can tell: the lock is held and the socket answers.
    const fs::path directory = makePrivateDirectory();
    const int lock = open((directory / "tessaray.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0);
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = (directory / "tessaray.socket").string();
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    std::thread instance([listener] {
        if (const int client = accept(listener, nullptr, nullptr); client >= 0) {
            char buffer[256];
            while (recv(client, buffer, sizeof buffer, 0) > 0) {
            }
            close(client);
        }
    });

    const std::string huge = "tessaray://openAndUpdate/" + std::string(20000, 'a');
    core::LogCapture log;
    InstanceOptions options;
    options.directory = directory;
    const auto claim = SingleInstance::claim({*core::URL::parse(huge)}, options);
    instance.join();
    EXPECT_EQ(claim.role, SingleInstance::Role::handedOver);
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_LT(lines[0].size(), 400u) << "the URL is not logged whole";
    EXPECT_NE(lines[0].find("tessaray://openAndUpdate/aaa"), std::string::npos);
    EXPECT_NE(lines[0].find("\u2026 (" + std::to_string(huge.size()) + " bytes)"), std::string::npos);
    close(listener);
    close(lock);
    fs::remove_all(directory);
}

} // namespace updater
