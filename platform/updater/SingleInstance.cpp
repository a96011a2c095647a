#include "updater/SingleInstance.hpp"

#include "core/Log.hpp"

#include <algorithm>
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

using Clock = std::chrono::steady_clock;

int millisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<int64_t>(left, 0, 60'000));
}

// Connects to the running instance's socket before the deadline, trying again while nobody listens yet (an
// instance that holds the lock is still setting up) or its backlog is full. -1, with the reason, otherwise.
int connectTo(const std::filesystem::path& path, Clock::time_point deadline, std::string& problem) {
    sockaddr_un address;
    if (!fillAddress(path, address)) {
        problem = path.string() + " is too long for a socket";
        return -1;
    }
    while (true) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0) {
            problem = std::string("no socket: ") + std::strerror(errno);
            return -1;
        }
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            return fd;
        }
        const int error = errno;
        close(fd);
        if (error != EAGAIN && error != ECONNREFUSED && error != ENOENT && error != EINTR) {
            problem = "the running instance cannot be reached on " + path.string() + " (" +
                      std::strerror(error) + ")";
            return -1;
        }
        const int left = millisecondsUntil(deadline);
        if (left == 0) {
            problem = "the running instance does not accept connections on " + path.string();
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, 10)));
    }
}

// Waits until the socket is ready for the events or the deadline passes.
bool waitFor(int fd, short events, Clock::time_point deadline) {
    while (true) {
        pollfd wait{fd, events, 0};
        const int ready = poll(&wait, 1, millisecondsUntil(deadline));
        if (ready > 0) {
            return true;
        }
        if (ready == 0 || errno != EINTR) {
            return false;
        }
    }
}

bool sendAll(int fd, std::string_view data, Clock::time_point deadline) {
    while (!data.empty()) {
        const ssize_t sent = send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) {
                continue;
            }
            if ((errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(fd, POLLOUT, deadline)) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

// Hands the URLs over and waits, until the deadline, for the instance to acknowledge them.
bool handOver(int fd, const std::vector<core::URL>& urls, std::size_t maximumSize, Clock::time_point deadline,
              std::string& problem) {
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
    if (!sendAll(fd, message, deadline) || shutdown(fd, SHUT_WR) != 0) {
        problem = "the running instance did not take the message";
        return false;
    }
    std::string answer;
    while (answer.size() < kInstanceAcknowledgement.size()) {
        char buffer[16];
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got > 0) {
            answer.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (waitFor(fd, POLLIN, deadline)) {
                continue;
            }
            problem = "the running instance did not acknowledge the message in time";
            return false;
        }
        break; // closed or reset
    }
    if (answer.rfind(kInstanceAcknowledgement, 0) != 0) {
        problem = "the running instance closed the connection without taking the message";
        return false;
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
        // Another instance holds the lock. It may still be setting up its socket, or be stopped or wedged:
        // every step is bounded, and a hand-over that is not acknowledged is not taken for one.
        close(lockFd);
        const int fd = connectTo(socketPath, Clock::now() + options.connectTimeout, claim.problem);
        if (fd >= 0) {
            const bool taken = handOver(fd, urls, options.maximumMessageSize,
                                        Clock::now() + options.acknowledgementTimeout, claim.problem);
            close(fd);
            if (taken) {
                claim.role = Role::handedOver;
                return claim;
            }
        }
        claim.role = Role::unanswered;
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
    const std::string message = std::move(connection.message);
    // The acknowledgement tells the sender its message has been taken. A sender that has given up by now
    // has closed its end, so the acknowledgement cannot be sent, and its URLs are not acted on: it has
    // reported that they were not handed over.
    const bool acknowledged =
        complete &&
        send(connection.fd, kInstanceAcknowledgement.data(), kInstanceAcknowledgement.size(),
             MSG_NOSIGNAL | MSG_DONTWAIT) == static_cast<ssize_t>(kInstanceAcknowledgement.size());
    drop(id);
    if (acknowledged && handler_) {
        handler_(parseInstanceMessage(message));
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
