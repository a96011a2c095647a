// A DNS server on 127.0.0.1 for tests: it either never answers, or answers every name with 127.0.0.1.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace updater::testing {

class TestNameServer {
public:
    enum class Mode {
        silent,   // reads queries and never answers, like a server behind a dead link
        loopback, // every A query gets 127.0.0.1; every other query an empty answer
    };
    explicit TestNameServer(Mode mode);
    ~TestNameServer();
    TestNameServer(const TestNameServer&) = delete;
    TestNameServer& operator=(const TestNameServer&) = delete;

    // "127.0.0.1:<port>", for FetchOptions::nameServers.
    std::string servers() const;
    int queries() const { return queries_.load(); }
    // Waits (with a generous bound that only keeps a broken build from hanging) until a query has come.
    bool awaitQuery(std::chrono::seconds bound = std::chrono::seconds(30)) const;

private:
    void serve();

    Mode mode_;
    int socket_ = -1;
    int port_ = 0;
    int stopPipe_[2] = {-1, -1};
    std::atomic<int> queries_{0};
    std::thread thread_;
};

// The threads of this process that have not begun to exit, as /proc lists them.
int threadCount();

} // namespace updater::testing
