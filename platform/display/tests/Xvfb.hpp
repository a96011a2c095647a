#pragma once

// Test support: an Xvfb server of our own for tests that need a real X server.

#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace displaytest {

// An Xvfb server of our own on a display number it picks itself, so the test needs no $DISPLAY and
// never meets another server.
class XvfbServer {
public:
    // screen: the screen's geometry and depth, WIDTHxHEIGHTxDEPTH.
    explicit XvfbServer(const std::string& screen = "640x480x24") {
        int fds[2];
        if (access("/usr/bin/Xvfb", X_OK) != 0 || pipe(fds) != 0) {
            return;
        }
        const std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb",      "-displayfd", fd.c_str(),  "-screen", "0",    screen.c_str(),
                              "-nolisten", "tcp",        "-nolisten", "unix",    nullptr};
        // Abstract sockets only: no files under /tmp/.X11-unix are needed. The server dies with the test,
        // even when the test is killed: a left-over server would run for good.
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
        if (pid_ < 0) {
            pid_ = 0;
        }
        close(fds[1]);
        std::string number;
        char c;
        while (pid_ > 0 && read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(fds[0]);
        if (!number.empty()) {
            name_ = ":" + number;
        }
    }
    ~XvfbServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = 0;
    std::string name_;
};

} // namespace displaytest
