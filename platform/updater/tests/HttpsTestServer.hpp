// A tiny HTTPS server on 127.0.0.1 with a certificate made for the test, serving canned answers.
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace updater::testing {

struct CannedResponse {
    int status = 200;
    std::string body;
    // Holds the request unanswered until the client gives up or the server stops.
    bool stall = false;
    // Sends no Content-Length: the body ends when the connection closes.
    bool omitLength = false;
    // Sent as the Location header when not empty.
    std::string location;
};

// A host name the certificate is also made for; a test name server can point it at 127.0.0.1.
inline constexpr const char* kTestHostName = "feed.test";

class HttpsTestServer {
public:
    // Makes a fresh key and self-signed certificate for 127.0.0.1 and starts listening on a free port.
    HttpsTestServer();
    ~HttpsTestServer();
    HttpsTestServer(const HttpsTestServer&) = delete;
    HttpsTestServer& operator=(const HttpsTestServer&) = delete;

    // The answer to every path without an answer of its own.
    void setResponse(CannedResponse response);
    // The answer to one path.
    void setResponse(const std::string& path, CannedResponse response);
    // "https://127.0.0.1:<port><path>", or with another host.
    std::string address(const std::string& path, const std::string& host = "127.0.0.1") const;
    // The certificate in PEM, for the client to trust.
    const std::filesystem::path& certificateFile() const { return certificateFile_; }
    // The request lines received so far ("GET /feed.xml HTTP/1.1").
    std::vector<std::string> requests() const;
    // How many connections have been closed, by either side.
    int closedConnections() const { return closed_.load(); }

private:
    void serve();
    void answer(int client);

    std::filesystem::path directory_;
    std::filesystem::path certificateFile_;
    void* context_ = nullptr; // SSL_CTX
    int listener_ = -1;
    int port_ = 0;
    int stopPipe_[2] = {-1, -1};
    mutable std::mutex mutex_;
    CannedResponse response_;
    std::map<std::string, CannedResponse> responses_;
    std::vector<std::string> requests_;
    std::atomic<int> closed_{0};
    std::thread thread_;
};

} // namespace updater::testing
