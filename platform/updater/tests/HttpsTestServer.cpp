#include "HttpsTestServer.hpp"

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace updater::testing {

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(std::string("test server: ") + what);
    }
}

std::filesystem::path makeDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessaray-https-XXXXXX").string();
    check(mkdtemp(pattern.data()) != nullptr, "mkdtemp");
    return pattern;
}

// A P-256 key and a certificate for 127.0.0.1 and kTestHostName signed with it, valid for a day.
SSL_CTX* makeContext(const std::filesystem::path& certificateFile) {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    check(key != nullptr, "key");
    X509* certificate = X509_new();
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -60);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 24 * 3600);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"),
                               -1, -1, 0);
    X509_set_issuer_name(certificate, name);
    X509V3_CTX v3;
    X509V3_set_ctx_nodb(&v3);
    X509V3_set_ctx(&v3, certificate, certificate, nullptr, nullptr, 0);
    for (const auto& [nid, value] : {std::pair{NID_subject_alt_name, "IP:127.0.0.1,DNS:feed.test"},
                                     std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
        X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &v3, nid, value);
        check(extension != nullptr, "extension");
        X509_add_ext(certificate, extension, -1);
        X509_EXTENSION_free(extension);
    }
    check(X509_sign(certificate, key, EVP_sha256()) > 0, "sign");

    FILE* file = std::fopen(certificateFile.c_str(), "w");
    check(file != nullptr, "certificate file");
    PEM_write_X509(file, certificate);
    std::fclose(file);

    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    check(context != nullptr, "context");
    check(SSL_CTX_use_certificate(context, certificate) == 1, "use certificate");
    check(SSL_CTX_use_PrivateKey(context, key) == 1, "use key");
    X509_free(certificate);
    EVP_PKEY_free(key);
    return context;
}

} // namespace

HttpsTestServer::HttpsTestServer() {
    // A client that hangs up mid-answer must not kill the test with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    directory_ = makeDirectory();
    certificateFile_ = directory_ / "server.pem";
    context_ = makeContext(certificateFile_);

    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    check(listener_ >= 0, "socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    check(bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0, "bind");
    check(listen(listener_, 16) == 0, "listen");
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    check(pipe2(stopPipe_, O_CLOEXEC) == 0, "pipe");
    thread_ = std::thread([this] { serve(); });
}

HttpsTestServer::~HttpsTestServer() {
    const char stop = 's';
    [[maybe_unused]] const auto written = write(stopPipe_[1], &stop, 1);
    thread_.join();
    close(listener_);
    close(stopPipe_[0]);
    close(stopPipe_[1]);
    SSL_CTX_free(static_cast<SSL_CTX*>(context_));
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

void HttpsTestServer::setResponse(CannedResponse response) {
    std::lock_guard lock(mutex_);
    response_ = std::move(response);
}

void HttpsTestServer::setResponse(const std::string& path, CannedResponse response) {
    std::lock_guard lock(mutex_);
    responses_[path] = std::move(response);
}

std::string HttpsTestServer::address(const std::string& path, const std::string& host) const {
    return "https://" + host + ":" + std::to_string(port_) + path;
}

std::vector<std::string> HttpsTestServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void HttpsTestServer::serve() {
    while (true) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            continue;
        }
        if (fds[1].revents != 0) {
            return;
        }
        const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            answer(client);
            close(client);
            ++closed_;
        }
    }
}

void HttpsTestServer::answer(int client) {
    SSL* ssl = SSL_new(static_cast<SSL_CTX*>(context_));
    SSL_set_fd(ssl, client);
    if (SSL_accept(ssl) != 1) {
        SSL_free(ssl);
        return;
    }
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        const int got = SSL_read(ssl, buffer, sizeof buffer);
        if (got <= 0) {
            SSL_free(ssl);
            return;
        }
        request.append(buffer, static_cast<std::size_t>(got));
    }
    CannedResponse response;
    {
        std::lock_guard lock(mutex_);
        const std::string line = request.substr(0, request.find("\r\n"));
        requests_.push_back(line);
        const std::size_t pathStart = line.find(' ') + 1;
        const auto path = responses_.find(line.substr(pathStart, line.find(' ', pathStart) - pathStart));
        response = path != responses_.end() ? path->second : response_;
    }
    if (response.stall) {
        // Until the client hangs up (its data or EOF wakes us) or the server stops.
        pollfd fds[2] = {{client, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
        poll(fds, 2, -1);
        SSL_free(ssl);
        return;
    }
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " Canned\r\n";
    if (!response.omitLength) {
        head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    }
    if (!response.location.empty()) {
        head += "Location: " + response.location + "\r\n";
    }
    head += "Content-Type: application/xml\r\nConnection: close\r\n\r\n";
    const std::string all = head + response.body;
    std::size_t sent = 0;
    while (sent < all.size()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(all.size() - sent, 1 << 14));
        const int wrote = SSL_write(ssl, all.data() + sent, chunk);
        if (wrote <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(wrote);
    }
    SSL_shutdown(ssl);
    SSL_free(ssl);
}

} // namespace updater::testing
