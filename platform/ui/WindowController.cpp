#include "ui/WindowController.hpp"

#include "core/FileManager.hpp"
#include "core/MainQueue.hpp"
#include "core/NotificationCenter.hpp"
#include "ui/Screen.hpp"
#include "ui/Window.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <utility>

namespace ui {

using graphics::Rect;

namespace {

constexpr std::size_t maximumNameLength = 200;
constexpr std::size_t maximumEntrySize = 256;
constexpr double maximumCoordinate = 1e6;
constexpr double maximumSize = 1e5;

// The file name of a name: bytes other than letters, digits, '-' and '_' (and a leading '.') as %XX.
std::optional<std::string> fileNameFor(const std::string& name) {
    if (name.empty() || name.size() > maximumNameLength) {
        return std::nullopt;
    }
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        const bool plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
                           b == '-' || b == '_' || (b == '.' && !out.empty());
        if (plain) {
            out += c;
        } else {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 15];
        }
    }
    return out;
}

// "x y w h" with an optional final newline, nothing else.
std::optional<Rect> parseFrame(const std::string& text) {
    std::array<double, 4> values{};
    const char* p = text.data();
    const char* end = text.data() + text.size();
    if (end != p && end[-1] == '\n') {
        --end;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) {
            if (p == end || *p != ' ') {
                return std::nullopt;
            }
            ++p;
        }
        auto [next, ec] = std::from_chars(p, end, values[i]);
        if (ec != std::errc() || !std::isfinite(values[i])) {
            return std::nullopt;
        }
        p = next;
    }
    if (p != end) {
        return std::nullopt;
    }
    const auto [x, y, w, h] = values;
    if (std::abs(x) > maximumCoordinate || std::abs(y) > maximumCoordinate || !(w > 0) || !(h > 0) ||
        w > maximumSize || h > maximumSize) {
        return std::nullopt;
    }
    return Rect(x, y, w, h);
}

std::string formatFrame(const Rect& r) {
    std::string out;
    const double values[] = {r.origin.x, r.origin.y, r.size.width, r.size.height};
    for (std::size_t i = 0; i < 4; ++i) {
        char buffer[64];
        auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, values[i]);
        if (ec != std::errc()) {
            return {};
        }
        if (i > 0) {
            out += ' ';
        }
        out.append(buffer, end);
    }
    out += '\n';
    return out;
}

} // namespace

std::filesystem::path WindowController::frameAutosaveDirectory() {
    return core::FileManager::userConfigDirectory() / "tessaray" / "window-frames";
}

std::optional<Rect> WindowController::savedFrame(const std::string& name) {
    const auto file = fileNameFor(name);
    if (!file) {
        return std::nullopt;
    }
    try {
        return parseFrame(core::FileManager::contents(frameAutosaveDirectory() / *file, maximumEntrySize));
    } catch (const std::exception&) {
        return std::nullopt; // missing, a directory, a FIFO, too large, unreadable
    }
}

bool WindowController::saveFrame(const std::string& name, const Rect& frame) {
    const auto file = fileNameFor(name);
    const std::string text = formatFrame(frame);
    if (!file || text.empty() || !parseFrame(text)) {
        return false;
    }
    try {
        const auto directory = frameAutosaveDirectory();
        core::FileManager::createDirectory(directory, true);
        core::FileManager::writeAtomically(directory / *file, text);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

WindowController::WindowController(std::shared_ptr<Window> window) : window_(std::move(window)) {}

WindowController::~WindowController() {
    if (*savePending_) {
        saveNow();
    }
    *savePending_ = false;
}

void WindowController::setWindow(std::shared_ptr<Window> window) {
    if (window == window_) {
        return;
    }
    observations_.clear();
    pendingFrame_.reset();
    window_ = std::move(window);
    if (!autosaveName_.empty()) {
        observeWindow();
    }
}

void WindowController::showWindow(const std::shared_ptr<Object>&) {
    if (window_) {
        if (pendingFrame_) {
            window_->ensureBackend();
            const Rect saved = *std::exchange(pendingFrame_, std::nullopt);
            restore(saved);
        }
        window_->makeKeyAndOrderFront();
    }
}

void WindowController::close() {
    if (window_) {
        if (!autosaveName_.empty()) {
            saveNow();
        }
        window_->close();
    }
}

void WindowController::setWindowFrameAutosaveName(std::string name) {
    if (name == autosaveName_) {
        return;
    }
    autosaveName_ = std::move(name);
    observations_.clear();
    pendingFrame_.reset();
    if (autosaveName_.empty() || !window_) {
        return;
    }
    if (auto saved = savedFrame(autosaveName_)) {
        if (window_->screen()) {
            restore(*saved);
        } else {
            pendingFrame_ = saved;
        }
    } else {
        saveNow();
    }
    observeWindow();
}

void WindowController::restore(const Rect& saved) {
    Rect frame(saved.origin, window_->frame().size);
    if (window_->styleMask() & WindowStyle::resizable) {
        frame.size = saved.size;
    }
    if (auto screen = window_->screen()) {
        const Rect visible = screen->visibleFrame();
        if (window_->styleMask() & WindowStyle::resizable) {
            frame.size.width = std::min(frame.size.width, visible.size.width);
            frame.size.height = std::min(frame.size.height, visible.size.height);
        }
        frame.origin.x = std::clamp(frame.origin.x, visible.minX(),
                                    std::max(visible.minX(), visible.maxX() - frame.size.width));
        frame.origin.y = std::clamp(frame.origin.y, visible.minY(),
                                    std::max(visible.minY(), visible.maxY() - frame.size.height));
    }
    window_->setFrame(frame);
}

void WindowController::observeWindow() {
    if (!window_) {
        return;
    }
    auto& center = core::NotificationCenter::defaultCenter();
    const void* object = window_.get();
    for (const char* name : {windowDidMoveNotification, windowDidResizeNotification}) {
        observations_.push_back(
            center.addObserver(name, object, [this](const core::Notification&) { scheduleSave(); }));
    }
    observations_.push_back(center.addObserver(windowWillCloseNotification, object,
                                               [this](const core::Notification&) { saveNow(); }));
}

void WindowController::scheduleSave() {
    // One write per main-queue turn, however many moves (an animation) came before it.
    if (*savePending_) {
        return;
    }
    *savePending_ = true;
    core::mainAsync([this, pending = std::weak_ptr<bool>(savePending_)] {
        if (auto flag = pending.lock(); flag && *flag) {
            saveNow();
        }
    });
}

void WindowController::saveNow() {
    *savePending_ = false;
    if (pendingFrame_) {
        return; // the saved frame has not been restored yet: keep it
    }
    if (window_ && !autosaveName_.empty()) {
        saveFrame(autosaveName_, window_->frame());
    }
}

} // namespace ui
