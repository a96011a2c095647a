// One running instance per user: the first launch listens on a Unix socket, later launches hand it their
// URLs.
#pragma once

#include "core/RunLoop.hpp"
#include "core/URL.hpp"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace updater {

struct InstanceOptions {
    // Where the socket and its lock file live; empty for runtimeDirectory().
    std::filesystem::path directory;
    // The files are <name>.socket and <name>.lock.
    std::string name = "tessaray";
    // A message longer than this is dropped whole.
    std::size_t maximumMessageSize = 8192;
    // Connections open at once; a new one beyond this closes the oldest.
    std::size_t maximumConnections = 8;
    // How long a connection may take to send its message.
    std::chrono::milliseconds connectionDeadline{5000};
    // A later launch: how long it tries to reach the running instance, and then how long it waits for the
    // instance to acknowledge its message.
    std::chrono::milliseconds connectTimeout{1000};
    std::chrono::milliseconds acknowledgementTimeout{2000};
};

// What the running instance answers once it has taken a complete message, before it closes the connection.
inline constexpr std::string_view kInstanceAcknowledgement = "ok\n";

// The per-user directory for the socket: $XDG_RUNTIME_DIR when it is a directory of ours that nobody else
// may enter, otherwise <fallbackBase>/<name>-<uid>, made with mode 0700. None, with the reason, when the
// fallback exists but is not a directory of ours with mode 0700 (a symbolic link is refused too).
std::optional<std::filesystem::path> runtimeDirectory(std::string& problem,
                                                      std::string_view name = "tessaray",
                                                      const std::filesystem::path& fallbackBase = "/tmp");

// The URLs among a launch's arguments, in order: the ones that parse as URLs with a scheme.
std::vector<core::URL> urlsInArguments(const std::vector<std::string>& arguments);

// A message's URLs: one per line, in order; lines that are not URLs with a scheme are dropped.
std::vector<core::URL> parseInstanceMessage(std::string_view message);

class SingleInstance {
public:
    enum class Role {
        primary,    // this process is the running instance
        handedOver, // the running instance has acknowledged the URLs; this launch is done
        unanswered, // an instance runs but did not take the URLs in time (it may be stopped or wedged)
        failed,     // neither: the directory or the socket is unusable
    };
    struct Claim {
        Role role = Role::failed;
        std::unique_ptr<SingleInstance> instance; // set for primary
        std::string problem;                      // set for unanswered and failed
    };

    // Becomes the running instance (recovering the socket of one that died), or hands the URLs to the one
    // that runs, which brings its window forward and handles them. Never runs anything the URLs name. Never
    // waits longer than options.connectTimeout plus options.acknowledgementTimeout.
    static Claim claim(const std::vector<core::URL>& urls, InstanceOptions options = {});

    // Closes every connection, removes the socket and lets the next launch take over.
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Answers later launches on the run loop (main thread): each complete message is acknowledged and then
    // calls the handler with its URLs, possibly none (a launch without URLs only asks for the window). A
    // message whose sender has already given up on the acknowledgement is not acted on.
    using Handler = std::function<void(std::vector<core::URL> urls)>;
    void listen(core::RunLoop& loop, Handler handler);

    const std::filesystem::path& socketPath() const { return socketPath_; }

private:
    struct Connection;

    SingleInstance(InstanceOptions options, std::filesystem::path socketPath, int lockFd, int listenFd);
    void acceptConnections();
    void readFrom(std::uint64_t id);
    void drop(std::uint64_t id);

    InstanceOptions options_;
    std::filesystem::path socketPath_;
    int lockFd_ = -1;
    int listenFd_ = -1;
    core::RunLoop* loop_ = nullptr;
    core::RunLoop::WatchId listenWatch_ = 0;
    Handler handler_;
    std::map<std::uint64_t, std::unique_ptr<Connection>> connections_;
    std::uint64_t nextConnection_ = 1;
    // Lets deadline timers that outlive the instance know it is gone.
    std::shared_ptr<SingleInstance*> self_;
};

} // namespace updater
