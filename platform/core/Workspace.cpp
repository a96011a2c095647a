#include "core/Workspace.hpp"

#include "core/Log.hpp"

#include <csignal>
#include <cstring>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <utility>

extern char** environ;

namespace core {

namespace {

struct State {
    std::mutex mutex;
    OpenURLHandler handler;
    std::string program = "xdg-open";
};

State& state() {
    static auto* instance = new State;
    return *instance;
}

bool spawnOpener(const std::string& program, const URL& url) {
    std::string argument = url.string();
    std::string programName = program;
    char* argv[] = {programName.data(), argument.data(), nullptr};
    pid_t pid = 0;
    // The opener starts as any program does, whatever this process does with signals (a program that
    // ignores SIGPIPE, a host's thread that blocks it): every signal that can be caught at its default
    // handling, none blocked.
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigfillset(&signals);
    sigdelset(&signals, SIGKILL);
    sigdelset(&signals, SIGSTOP);
    ::posix_spawnattr_setsigdefault(&attributes, &signals);
    sigemptyset(&signals);
    ::posix_spawnattr_setsigmask(&attributes, &signals);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    // No shell: the URL is one argument, never interpreted.
    const int error = ::posix_spawnp(&pid, program.c_str(), nullptr, &attributes, argv, environ);
    ::posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        log("openURL: unable to run %s: %s", program.c_str(), std::strerror(error));
        return false;
    }
    // Reap only our own child, so that nobody else's children are touched.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

} // namespace

bool openURL(const URL& url) {
    // A URL without a scheme could be taken for an option or a file name by the opener.
    if (!url.scheme()) {
        return false;
    }
    OpenURLHandler handler;
    std::string program;
    {
        std::lock_guard lock(state().mutex);
        handler = state().handler;
        program = state().program;
    }
    if (handler) {
        return handler(url);
    }
    return spawnOpener(program, url);
}

bool openURL(std::string_view url) {
    const auto parsed = URL::parse(url);
    return parsed ? openURL(*parsed) : false;
}

OpenURLHandler setOpenURLHandler(OpenURLHandler handler) {
    std::lock_guard lock(state().mutex);
    return std::exchange(state().handler, std::move(handler));
}

std::string setOpenURLProgram(std::string program) {
    std::lock_guard lock(state().mutex);
    return std::exchange(state().program, std::move(program));
}

} // namespace core
