#pragma once

// Test support: an Xvfb server of our own for tests that need a real X server. Every X test and
// benchmark starts its server through this class (XSendEvents.hpp has the input and pumping helpers).

#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace displaytest {

// An Xvfb server of our own on a display number the server picks itself (-displayfd), so the test
// needs no $DISPLAY and never meets another test's server, however many start at once. name() is set
// only once the server accepts connections; a server that does not start or never accepts them is
// killed and another one tried. The server dies with the test, even when the test is killed.
class XvfbServer {
public:
    // screen: the screen's geometry and depth, WIDTHxHEIGHTxDEPTH.
    explicit XvfbServer(const std::string& screen = "640x480x24") {
        if (access("/usr/bin/Xvfb", X_OK) != 0) {
            return;
        }
        for (int attempt = 0; attempt < 3 && name_.empty(); ++attempt) {
            start(screen);
        }
    }
    ~XvfbServer() { stop(); }
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // ":N", or empty when no server could be started.
    const std::string& name() const { return name_; }
    int number() const { return number_; }

private:
    void start(const std::string& screen) {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        const std::string fd = std::to_string(fds[1]);
        // -noreset: otherwise the server resets whenever its last client leaves (the readiness probe below
        // is one), and a connection made during the reset fails.
        const char* argv[] = {"Xvfb",      "-displayfd", fd.c_str(),  "-screen", "0",        screen.c_str(),
                              "-nolisten", "tcp",        "-nolisten", "unix",    "-noreset", nullptr};
        // Abstract sockets only: no files under /tmp/.X11-unix are needed.
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            // Not the test's output either: a server outliving a crashed test would keep ctest reading it.
            const int null = open("/dev/null", O_RDWR);
            if (getppid() != parent || null < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0) {
                _exit(127);
            }
            close(fds[0]);
            execv("/usr/bin/Xvfb", const_cast<char**>(argv));
            _exit(127);
        }
        close(fds[1]);
        if (pid_ < 0) {
            pid_ = 0;
            close(fds[0]);
            return;
        }
        // The server writes its number once it listens; a busy machine may take a while.
        std::string number;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 250) <= 0) {
                continue;
            }
            char c;
            if (read(fds[0], &c, 1) != 1 || c == '\n') {
                break;
            }
            number += c;
        }
        close(fds[0]);
        if (number.empty() || !waitForConnections(std::stoi(number))) {
            stop();
            return;
        }
        number_ = std::stoi(number);
        name_ = ":" + number;
    }

    // Whether the server's abstract socket takes a connection within ten seconds.
    static bool waitForConnections(int number) {
        const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
        for (int i = 0; i < 500; ++i) {
            const int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (s < 0) {
                return false;
            }
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::memcpy(address.sun_path + 1, path.data(), path.size()); // abstract: leading NUL
            const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
            const bool accepted = connect(s, reinterpret_cast<sockaddr*>(&address), length) == 0;
            close(s);
            if (accepted) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

public:
    // Ends the server now, under its clients' feet (as at its end).
    void stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            // A server that ignores the request (stuck) is killed after a while.
            for (int i = 0; i < 200; ++i) {
                if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                    pid_ = 0;
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = 0;
    }

private:
    pid_t pid_ = 0;
    int number_ = -1;
    std::string name_;
};

} // namespace displaytest
