#pragma once

// Test support: an Xvfb server of our own for tests that need a real X server.

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string>
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
        // Abstract sockets only: no files under /tmp/.X11-unix are needed.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // Not the test's output either: a server outliving a crashed test would keep ctest reading it.
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, "/usr/bin/Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) != 0) {
            pid_ = 0;
        }
        posix_spawn_file_actions_destroy(&actions);
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
