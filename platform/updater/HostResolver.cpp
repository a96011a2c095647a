#include "updater/HostResolver.hpp"

#include <algorithm>
#include <ares.h>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace updater {

namespace {

struct Lookup {
    bool done = false;
    int status = ARES_ENOTFOUND;
    std::vector<std::string> addresses;
};

void collectAddresses(void* argument, int status, int, ares_addrinfo* result) {
    auto& lookup = *static_cast<Lookup*>(argument);
    lookup.done = true;
    lookup.status = status;
    if (result == nullptr) {
        return;
    }
    for (const ares_addrinfo_node* node = result->nodes; node != nullptr; node = node->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        if (node->ai_family == AF_INET) {
            const auto* address = reinterpret_cast<const sockaddr_in*>(node->ai_addr);
            if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr) {
                lookup.addresses.emplace_back(text);
            }
        } else if (node->ai_family == AF_INET6) {
            const auto* address = reinterpret_cast<const sockaddr_in6*>(node->ai_addr);
            if (inet_ntop(AF_INET6, &address->sin6_addr, text, sizeof text) != nullptr) {
                lookup.addresses.push_back("[" + std::string(text) + "]");
            }
        }
    }
    ares_freeaddrinfo(result);
}

// The channel's sockets must not leak into programs the process starts (the browser, say).
int closeOnExec(ares_socket_t socket, int, void*) {
    return fcntl(socket, F_SETFD, FD_CLOEXEC) == 0 ? ARES_SUCCESS : -1;
}

// Owns a channel; destroying it closes its sockets and ends its queries at once (the callback hears
// ARES_EDESTRUCTION), with no thread left behind.
struct Channel {
    ares_channel channel = nullptr;
    ~Channel() {
        if (channel != nullptr) {
            ares_destroy(channel);
        }
    }
};

// An eventfd that the cancellation writes to, so that a wait in poll() ends at once.
struct Wake {
    int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ~Wake() {
        if (fd >= 0) {
            close(fd);
        }
    }
};

int millisecondsUntil(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<int64_t>(left.count(), 0, 60'000));
}

} // namespace

std::vector<std::string> resolveHostName(const std::string& host, FetchCancellation& cancellation,
                                         std::chrono::steady_clock::time_point deadline,
                                         const std::string& nameServers) {
    static std::once_flag libraryInit;
    std::call_once(libraryInit, [] { ares_library_init(ARES_LIB_INIT_ALL); });

    Lookup lookup; // outlives the channel, whose destruction still reports to it
    Wake wake;
    if (wake.fd < 0) {
        throw FeedError("cannot start a name look-up");
    }
    Channel channel;
    if (ares_init(&channel.channel) != ARES_SUCCESS) {
        throw FeedError("cannot start a name look-up");
    }
    ares_set_socket_callback(channel.channel, &closeOnExec, nullptr);
    if (!nameServers.empty() &&
        ares_set_servers_ports_csv(channel.channel, nameServers.c_str()) != ARES_SUCCESS) {
        throw FeedError("cannot use the name servers " + nameServers);
    }
    // Declared after the eventfd, so it is gone (and the waker never runs again) before the fd closes.
    const core::Cancellable registration = cancellation.onCancel([fd = wake.fd] {
        const uint64_t one = 1;
        [[maybe_unused]] const auto written = write(fd, &one, sizeof one);
    });

    ares_addrinfo_hints hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    ares_getaddrinfo(channel.channel, host.c_str(), nullptr, &hints, &collectAddresses, &lookup);

    while (!lookup.done) {
        if (cancellation.isCancelled()) {
            cancellation.markNoticed();
            throw FeedError("update check cancelled");
        }
        const int left = millisecondsUntil(deadline);
        if (left == 0) {
            throw FeedError("Resolving timed out: " + host);
        }
        ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
        const int bits = ares_getsock(channel.channel, sockets, ARES_GETSOCK_MAXNUM);
        pollfd fds[ARES_GETSOCK_MAXNUM + 1];
        nfds_t count = 0;
        fds[count++] = {wake.fd, POLLIN, 0};
        for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
            short events = 0;
            if (ARES_GETSOCK_READABLE(bits, i)) {
                events |= POLLIN;
            }
            if (ARES_GETSOCK_WRITABLE(bits, i)) {
                events |= POLLOUT;
            }
            if (events != 0) {
                fds[count++] = {sockets[i], events, 0};
            }
        }
        // The channel's own retry timer, never past the deadline.
        timeval most{left / 1000, (left % 1000) * 1000};
        timeval next{};
        ares_timeout(channel.channel, &most, &next);
        const int wait = static_cast<int>(next.tv_sec * 1000 + (next.tv_usec + 999) / 1000);
        if (poll(fds, count, wait) < 0 && errno != EINTR) {
            throw FeedError("name look-up failed");
        }
        if (fds[0].revents != 0) {
            continue; // cancelled: noticed at the top
        }
        bool any = false;
        for (nfds_t i = 1; i < count; ++i) {
            if (fds[i].revents != 0) {
                any = true;
                const bool readable = (fds[i].revents & (POLLIN | POLLERR | POLLHUP)) != 0;
                const bool writable = (fds[i].revents & (POLLOUT | POLLERR | POLLHUP)) != 0;
                ares_process_fd(channel.channel, readable ? fds[i].fd : ARES_SOCKET_BAD,
                                writable ? fds[i].fd : ARES_SOCKET_BAD);
            }
        }
        if (!any) {
            ares_process_fd(channel.channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD); // time-outs and retries
        }
    }
    if (lookup.status != ARES_SUCCESS || lookup.addresses.empty()) {
        throw FeedError("Could not resolve host: " + host);
    }
    return std::move(lookup.addresses);
}

} // namespace updater
