#include "TestNameServer.hpp"

#include <arpa/inet.h>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace updater::testing {

TestNameServer::TestNameServer(Mode mode) : mode_(mode) {
    socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (socket_ < 0 || bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        pipe2(stopPipe_, O_CLOEXEC) != 0) {
        throw std::runtime_error("test name server: cannot listen");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

TestNameServer::~TestNameServer() {
    const char stop = 's';
    [[maybe_unused]] const auto written = write(stopPipe_[1], &stop, 1);
    thread_.join();
    close(socket_);
    close(stopPipe_[0]);
    close(stopPipe_[1]);
}

std::string TestNameServer::servers() const {
    return "127.0.0.1:" + std::to_string(port_);
}

bool TestNameServer::awaitQuery(std::chrono::seconds bound) const {
    const auto giveUp = std::chrono::steady_clock::now() + bound;
    while (queries_.load() == 0) {
        if (std::chrono::steady_clock::now() > giveUp) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void TestNameServer::serve() {
    while (true) {
        pollfd fds[2] = {{socket_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            continue;
        }
        if (fds[1].revents != 0) {
            return;
        }
        uint8_t query[512];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t got =
            recvfrom(socket_, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 12) {
            continue;
        }
        ++queries_;
        if (mode_ == Mode::silent) {
            continue;
        }
        // The question: labels up to the empty one, then its type and class.
        std::size_t end = 12;
        while (end < static_cast<std::size_t>(got) && query[end] != 0) {
            end += query[end] + 1u;
        }
        end += 5;
        if (end > static_cast<std::size_t>(got)) {
            continue;
        }
        const bool askingForIPv4 = query[end - 4] == 0 && query[end - 3] == 1;
        std::vector<uint8_t> answer(query, query + end);
        answer[2] = 0x81; // a response, recursion desired
        answer[3] = 0x80; // recursion available, no error
        answer[6] = 0;
        answer[7] = askingForIPv4 ? 1 : 0;
        answer[8] = answer[9] = answer[10] = answer[11] = 0;
        if (askingForIPv4) {
            // The question's name, type A, class IN, a minute to live, four bytes: 127.0.0.1.
            const uint8_t record[] = {0xc0, 0x0c, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4, 127, 0, 0, 1};
            answer.insert(answer.end(), std::begin(record), std::end(record));
        }
        sendto(socket_, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
    }
}

namespace {

// The kernel's flag for a task that has begun to exit (PF_EXITING in linux/sched.h).
constexpr unsigned long kTaskExiting = 0x4;

// Whether the task is still running code of ours. A joined thread can stay listed for a moment after
// pthread_join returns: the join is woken when the thread's memory is released, partway through its exit,
// and the task leaves /proc only when its exit ends. The flag is set at the very start of the exit, so
// every joined thread has it. A task that has gone meanwhile counts as gone.
bool taskIsLive(const std::filesystem::path& task) {
    std::ifstream file(task / "stat");
    std::string stat;
    if (!std::getline(file, stat)) {
        return false;
    }
    // "tid (name) state ppid pgrp session tty tpgid flags ...": the name may hold spaces and parentheses.
    const std::size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos) {
        return false;
    }
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string skipped;
    for (int i = 0; i < 6; ++i) {
        fields >> skipped;
    }
    unsigned long flags = 0;
    if (!(fields >> flags)) {
        return false;
    }
    return (flags & kTaskExiting) == 0;
}

} // namespace

int threadCount() {
    int count = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error)) {
        if (taskIsLive(entry.path())) {
            ++count;
        }
    }
    return count;
}

} // namespace updater::testing
