#include "display/X11Errors.hpp"

#include "core/Log.hpp"

#include <X11/Xlib.h>
#include <algorithm>
#include <mutex>
#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <vector>

namespace display {

namespace {

struct Trapped {
    ::Display* display;
    int depth;
    int errors;
};

struct Registry {
    std::mutex mutex;
    std::vector<::Display*> displays;
    std::vector<::Display*> lost;
    std::vector<Trapped> trapped;
    XErrorHandler previous = nullptr;
    XIOErrorHandler previousIO = nullptr;
    bool installed = false;
};

Registry& registry() {
    static auto* instance = new Registry; // never destroyed: Xlib may call the handler at exit
    return *instance;
}

int logError(::Display* display, XErrorEvent* error) {
    XErrorHandler previous = nullptr;
    bool ours = false;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        ours = std::find(r.displays.begin(), r.displays.end(), display) != r.displays.end();
        previous = r.previous;
        for (auto& t : r.trapped) {
            if (ours && t.display == display) {
                ++t.errors;
                return 0;
            }
        }
    }
    if (!ours) {
        // A handler installed after ours that passes foreign errors back to us must not loop.
        static thread_local bool passing = false;
        if (passing || !previous) {
            return 0;
        }
        passing = true;
        const int result = previous(display, error);
        passing = false;
        return result;
    }
    char text[160] = {};
    XGetErrorText(display, error->error_code, text, sizeof text);
    core::log("X error: %s (request %u.%u, resource 0x%lx)", text, static_cast<unsigned>(error->request_code),
              static_cast<unsigned>(error->minor_code), error->resourceid);
    return 0;
}

// Called before the connection's exit handler. Xlib's own handler would print and exit; for our
// connections the exit handler below ends only the connection.
int noteIOError(::Display* display) {
    XIOErrorHandler previous = nullptr;
    bool ours = false;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        ours = std::find(r.displays.begin(), r.displays.end(), display) != r.displays.end();
        previous = r.previousIO;
    }
    if (!ours) {
        static thread_local bool passing = false;
        if (passing || !previous) {
            return 0;
        }
        passing = true;
        const int result = previous(display);
        passing = false;
        return result;
    }
    return 0;
}

// Returning makes the Xlib call that met the error return; the connection is marked broken, and Xlib's
// later calls on it return at once.
void endConnection(::Display* display, void*) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    if (std::find(r.lost.begin(), r.lost.end(), display) == r.lost.end()) {
        r.lost.push_back(display);
    }
}

} // namespace

bool connectionLost(::Display* display) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    return std::find(r.lost.begin(), r.lost.end(), display) != r.lost.end();
}

PipeSignalGuard::PipeSignalGuard() {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
    blocked_ = pthread_sigmask(SIG_BLOCK, &pipe, &previous_) == 0 && sigismember(&previous_, SIGPIPE) == 0;
}

PipeSignalGuard::~PipeSignalGuard() {
    if (!blocked_) {
        return;
    }
    if (!pendingBefore_) {
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE) == 1) {
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            const timespec now{};
            sigtimedwait(&pipe, nullptr, &now);
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

void registerErrorLogging(::Display* display) {
    if (!display) {
        return;
    }
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    if (std::find(r.displays.begin(), r.displays.end(), display) == r.displays.end()) {
        r.displays.push_back(display);
    }
    r.lost.erase(std::remove(r.lost.begin(), r.lost.end(), display), r.lost.end());
    XSetIOErrorExitHandler(display, &endConnection, nullptr);
    if (!r.installed) {
        r.previous = XSetErrorHandler(&logError);
        r.previousIO = XSetIOErrorHandler(&noteIOError);
        r.installed = true;
    }
}

void unregisterErrorLogging(::Display* display) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.displays.erase(std::remove(r.displays.begin(), r.displays.end(), display), r.displays.end());
    r.lost.erase(std::remove(r.lost.begin(), r.lost.end(), display), r.lost.end());
    if (r.displays.empty() && r.installed) {
        // Put the earlier handlers back only if ours are still the ones installed; otherwise whoever
        // replaced them keeps theirs (ours, if they chain to them, still pass foreign errors on).
        XErrorHandler current = XSetErrorHandler(r.previous);
        if (current != &logError) {
            XSetErrorHandler(current);
        }
        XIOErrorHandler currentIO = XSetIOErrorHandler(r.previousIO);
        if (currentIO != &noteIOError) {
            XSetIOErrorHandler(currentIO);
        }
        r.installed = false;
    }
}

X11ErrorTrap::X11ErrorTrap(::Display* display) : display_(display) {
    if (!display_) {
        return;
    }
    // Errors of earlier requests are not this trap's.
    XSync(display_, False);
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    for (auto& t : r.trapped) {
        if (t.display == display_) {
            ++t.depth;
            before_ = t.errors;
            return;
        }
    }
    r.trapped.push_back({display_, 1, 0});
}

X11ErrorTrap::~X11ErrorTrap() {
    if (!display_) {
        return;
    }
    XSync(display_, False);
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    for (auto it = r.trapped.begin(); it != r.trapped.end(); ++it) {
        if (it->display == display_) {
            if (--it->depth == 0) {
                r.trapped.erase(it);
            }
            break;
        }
    }
}

int X11ErrorTrap::errors() {
    if (!display_) {
        return 0;
    }
    XSync(display_, False);
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    for (const auto& t : r.trapped) {
        if (t.display == display_) {
            return t.errors - before_;
        }
    }
    return 0;
}

} // namespace display
