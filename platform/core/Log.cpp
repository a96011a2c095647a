#include "core/Log.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <set>
#include <utility>
#include <vector>

namespace core {

namespace {

std::mutex& hookMutex() {
    static std::mutex mutex;
    return mutex;
}

LogHook& currentHook() {
    static LogHook hook;
    return hook;
}

} // namespace

void logLine(std::string_view line) {
    LogHook hook;
    {
        std::lock_guard lock(hookMutex());
        hook = currentHook();
    }
    if (hook) {
        hook(line);
        return;
    }
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
}

void log(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<std::size_t>(length));
    }
    va_end(args);
    logLine(text);
}

std::string clippedForLog(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return std::string(text);
    }
    std::size_t end = limit;
    // Back to the start of a UTF-8 sequence, so no character is cut in half.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xc0) == 0x80) {
        --end;
    }
    return std::string(text.substr(0, end)) + "\u2026 (" + std::to_string(text.size()) + " bytes)";
}

namespace {

// The name a path's bundle goes by.
std::string bundleOf(const std::filesystem::path& path) {
    std::string bundle;
    std::string beforeResources;
    std::string previous;
    for (const auto& part : path) {
        if (part.extension() == ".bundle") {
            bundle = part.string();
        } else if (part == "Resources") {
            beforeResources = previous;
        }
        previous = part.string();
    }
    if (!bundle.empty()) {
        return bundle;
    }
    if (!beforeResources.empty()) {
        return beforeResources;
    }
    // A loose folder: the folder itself, or the one holding the file.
    return (path.has_extension() ? path.parent_path() : path).string();
}

} // namespace

void logResourceFault(const std::filesystem::path& path, std::string_view kind, std::string_view name,
                      std::string_view fault) {
    std::string line = bundleOf(path);
    line.append(": ").append(kind).append(" \"").append(name).append("\" ").append(fault);
    line.append(" (").append(path.string()).append(")");
    static std::mutex mutex;
    static std::set<std::string, std::less<>> reported;
    {
        std::lock_guard lock(mutex);
        if (!reported.insert(line).second) {
            return;
        }
    }
    logLine(line);
}

LogHook setLogHook(LogHook hook) {
    std::lock_guard lock(hookMutex());
    return std::exchange(currentHook(), std::move(hook));
}

struct LogCapture::State {
    mutable std::mutex mutex;
    std::vector<std::string> lines;
};

LogCapture::LogCapture() : state_(std::make_shared<State>()) {
    previous_ = setLogHook([state = state_](std::string_view line) {
        std::lock_guard lock(state->mutex);
        state->lines.emplace_back(line);
    });
}

LogCapture::~LogCapture() {
    setLogHook(std::move(previous_));
}

std::vector<std::string> LogCapture::lines() const {
    std::lock_guard lock(state_->mutex);
    return state_->lines;
}

bool LogCapture::contains(std::string_view fragment) const {
    std::lock_guard lock(state_->mutex);
    for (const auto& line : state_->lines) {
        if (line.find(fragment) != std::string::npos) {
            return true;
        }
    }
    return false;
}

void fatal(std::string_view message) {
    std::fprintf(stderr, "Fatal error: %.*s\n", static_cast<int>(message.size()), message.data());
    std::fflush(stderr);
    std::abort();
}

} // namespace core
