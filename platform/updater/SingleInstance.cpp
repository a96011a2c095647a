#include "updater/SingleInstance.hpp"

#include "core/Log.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace updater {

namespace {

// A directory of ours, not a symbolic link, that nobody else may enter or write to.
bool isPrivateDirectory(const std::filesystem::path& directory, std::string& problem) {
    struct stat info {};
    if (lstat(directory.c_str(), &info) != 0) {
        problem = directory.string() + " cannot be read";
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        problem = directory.string() + " is not a directory";
        return false;
    }
    if (info.st_uid != geteuid()) {
        problem = directory.string() + " belongs to another user";
        return false;
    }
    if ((info.st_mode & 0077) != 0) {
        problem = directory.string() + " is open to other users";
        return false;
    }
    return true;
}

bool fillAddress(const std::filesystem::path& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    const std::string& text = path.native();
    if (text.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return true;
}

// Connects to the running instance's socket; -1 when nobody listens there.
int connectTo(const std::filesystem::path& path) {
    sockaddr_un address;
    if (!fillAddress(path, address)) {
        return -1;
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t sent = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

// Hands the URLs over and waits a little for the instance to close the connection, which it does once it
// has read the message.
bool handOver(int fd, const std::vector<core::URL>& urls, std::size_t maximumSize) {
    std::string message;
    for (const core::URL& url : urls) {
        if (message.size() + url.string().size() + 1 > maximumSize) {
            core::log("Too many URLs to hand to the running instance; %s and later ones are left out",
                      core::clippedForLog(url.string()).c_str());
            break;
        }
        message += url.string();
        message += '\n';
    }
    if (!sendAll(fd, message) || shutdown(fd, SHUT_WR) != 0) {
        return false;
    }
    pollfd wait{fd, POLLIN, 0};
    if (poll(&wait, 1, 5000) > 0) {
        char byte;
        [[maybe_unused]] const ssize_t got = recv(fd, &byte, 1, 0);
    }
    return true;
}

} // namespace

std::optional<std::filesystem::path> runtimeDirectory(std::string& problem, std::string_view name,
                                                      const std::filesystem::path& fallbackBase) {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] == '/') {
        std::string ignored;
        if (isPrivateDirectory(runtime, ignored)) {
            return std::filesystem::path(runtime);
        }
        core::log("XDG_RUNTIME_DIR is not usable (%s); using a private folder instead", ignored.c_str());
    }
    const std::filesystem::path directory =
        fallbackBase / (std::string(name) + "-" + std::to_string(geteuid()));
    if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
        problem = directory.string() + " cannot be made";
        return std::nullopt;
    }
    if (!isPrivateDirectory(directory, problem)) {
        return std::nullopt;
    }
    return directory;
}

std::vector<core::URL> urlsInArguments(const std::vector<std::string>& arguments) {
    std::vector<core::URL> urls;
    for (const std::string& argument : arguments) {
        if (auto url = core::URL::parse(argument); url && url->scheme()) {
            urls.push_back(std::move(*url));
        }
    }
    return urls;
}

std::vector<core::URL> parseInstanceMessage(std::string_view message) {
    std::vector<core::URL> urls;
    while (!message.empty()) {
        const std::size_t end = message.find('\n');
        std::string_view line = message.substr(0, end);
        message.remove_prefix(end == std::string_view::npos ? message.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        // The parser refuses control characters (NUL included), spaces and bytes beyond ASCII.
        if (auto url = core::URL::parse(line); url && url->scheme()) {
            urls.push_back(std::move(*url));
        }
    }
    return urls;
}

struct SingleInstance::Connection {
    int fd = -1;
    core::RunLoop::WatchId watch = 0;
    std::shared_ptr<core::Timer> deadline;
    std::string message;
};

SingleInstance::Claim SingleInstance::claim(const std::vector<core::URL>& urls, InstanceOptions options) {
    Claim claim;
    std::filesystem::path directory = options.directory;
    if (directory.empty()) {
        auto found = runtimeDirectory(claim.problem, options.name);
        if (!found) {
            return claim;
        }
        directory = *found;
    } else if (!isPrivateDirectory(directory, claim.problem)) {
        return claim;
    }
    const std::filesystem::path socketPath = directory / (options.name + ".socket");
    const std::filesystem::path lockPath = directory / (options.name + ".lock");
    sockaddr_un address;
    if (!fillAddress(socketPath, address)) {
        claim.problem = socketPath.string() + " is too long for a socket";
        return claim;
    }

    const int lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd < 0) {
        claim.problem = lockPath.string() + " cannot be opened";
        return claim;
    }
    if (flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        // Another instance holds the lock. It may still be setting up its socket, so try for a while.
        close(lockFd);
        for (int attempt = 0; attempt < 250; ++attempt) {
            if (const int fd = connectTo(socketPath); fd >= 0) {
                const bool sent = handOver(fd, urls, options.maximumMessageSize);
                close(fd);
                if (sent) {
                    claim.role = Role::handedOver;
                } else {
                    claim.problem = "the running instance did not take the message";
                }
                return claim;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        claim.problem = "the running instance does not answer on " + socketPath.string();
        return claim;
    }

    // The lock is ours, so a socket left behind belongs to an instance that died.
    unlink(socketPath.c_str());
    const int listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const mode_t previousMask = umask(0077);
    const bool bound =
        listenFd >= 0 && bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    umask(previousMask);
    if (!bound || ::listen(listenFd, 16) != 0) {
        claim.problem = socketPath.string() + " cannot be listened on (" + std::strerror(errno) + ")";
        if (listenFd >= 0) {
            close(listenFd);
        }
        close(lockFd);
        return claim;
    }
    claim.role = Role::primary;
    claim.instance.reset(new SingleInstance(std::move(options), socketPath, lockFd, listenFd));
    return claim;
}

SingleInstance::SingleInstance(InstanceOptions options, std::filesystem::path socketPath, int lockFd,
                               int listenFd)
    : options_(std::move(options)), socketPath_(std::move(socketPath)), lockFd_(lockFd), listenFd_(listenFd),
      self_(std::make_shared<SingleInstance*>(this)) {}

SingleInstance::~SingleInstance() {
    while (!connections_.empty()) {
        drop(connections_.begin()->first);
    }
    if (loop_ != nullptr) {
        loop_->unwatchFileDescriptor(listenWatch_);
    }
    unlink(socketPath_.c_str());
    close(listenFd_);
    close(lockFd_);
}

void SingleInstance::listen(core::RunLoop& loop, Handler handler) {
    if (loop_ != nullptr) {
        loop_->unwatchFileDescriptor(listenWatch_);
    }
    loop_ = &loop;
    handler_ = std::move(handler);
    listenWatch_ = loop.watchFileDescriptor(listenFd_, POLLIN, [this](short) { acceptConnections(); });
}

void SingleInstance::acceptConnections() {
    while (true) {
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            return; // EAGAIN: all taken; anything else: try again on the next wake-up
        }
        // The directory keeps others out already; the peer's credentials say so once more.
        ucred peer{};
        socklen_t length = sizeof peer;
        if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != geteuid()) {
            close(fd);
            continue;
        }
        if (connections_.size() >= std::max<std::size_t>(options_.maximumConnections, 1)) {
            drop(connections_.begin()->first);
        }
        const std::uint64_t id = nextConnection_++;
        auto connection = std::make_unique<Connection>();
        connection->fd = fd;
        connection->watch = loop_->watchFileDescriptor(fd, POLLIN, [this, id](short) { readFrom(id); });
        connection->deadline = loop_->scheduleOnce(options_.connectionDeadline,
                                                   [self = std::weak_ptr<SingleInstance*>(self_), id] {
                                                       if (auto instance = self.lock()) {
                                                           (*instance)->drop(id);
                                                       }
                                                   });
        connections_.emplace(id, std::move(connection));
    }
}

void SingleInstance::readFrom(std::uint64_t id) {
    const auto found = connections_.find(id);
    if (found == connections_.end()) {
        return;
    }
    Connection& connection = *found->second;
    char buffer[4096];
    ssize_t got = 0;
    while (true) {
        got = recv(connection.fd, buffer, sizeof buffer, 0);
        if (got > 0) {
            if (connection.message.size() + static_cast<std::size_t>(got) > options_.maximumMessageSize) {
                core::log("A message to the running instance was longer than %zu bytes and was dropped",
                          options_.maximumMessageSize);
                drop(id);
                return;
            }
            connection.message.append(buffer, static_cast<std::size_t>(got));
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return; // the rest comes later
        } else {
            break;
        }
    }
    // Only a message that ends cleanly counts; a connection that broke off delivers nothing.
    const bool complete = got == 0;
    std::vector<core::URL> urls =
        complete ? parseInstanceMessage(connection.message) : std::vector<core::URL>{};
    // Closing tells the sender its message has been taken.
    drop(id);
    if (complete && handler_) {
        handler_(std::move(urls));
    }
}

void SingleInstance::drop(std::uint64_t id) {
    const auto found = connections_.find(id);
    if (found == connections_.end()) {
        return;
    }
    Connection& connection = *found->second;
    loop_->unwatchFileDescriptor(connection.watch);
    if (connection.deadline) {
        connection.deadline->invalidate();
    }
    close(connection.fd);
    connections_.erase(found);
}

} // namespace updater
