#include "display/X11Errors.hpp"

#include "core/Log.hpp"

#include <X11/Xlib.h>
#include <algorithm>
#include <mutex>
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
    std::vector<Trapped> trapped;
    XErrorHandler previous = nullptr;
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

} // namespace

void registerErrorLogging(::Display* display) {
    if (!display) {
        return;
    }
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    if (std::find(r.displays.begin(), r.displays.end(), display) == r.displays.end()) {
        r.displays.push_back(display);
    }
    if (!r.installed) {
        r.previous = XSetErrorHandler(&logError);
        r.installed = true;
    }
}

void unregisterErrorLogging(::Display* display) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.displays.erase(std::remove(r.displays.begin(), r.displays.end(), display), r.displays.end());
    if (r.displays.empty() && r.installed) {
        // Put the earlier handler back only if ours is still the one installed; otherwise whoever
        // replaced it keeps theirs (ours, if they chain to it, still passes foreign errors on).
        XErrorHandler current = XSetErrorHandler(r.previous);
        if (current != &logError) {
            XSetErrorHandler(current);
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
