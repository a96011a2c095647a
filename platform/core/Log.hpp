#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// Writes one line to stderr (a newline is added). Not for the render thread.
void log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logLine(std::string_view line);

// Text as a log line should carry it: whole up to `limit` bytes; longer text (a URL of any length that
// reached the program) as its first bytes, cut at a character boundary, then "…" and its full length.
std::string clippedForLog(std::string_view text, std::size_t limit = 200);

// Reports a resource of a bundle that is damaged or missing, as
//   <bundle>: <kind> "<name>" <fault> (<path>)
// where the bundle is the innermost "*.bundle" folder on the path (else the folder holding its
// "Resources", else the folder itself), and path is the file or resource directory concerned. Drawing asks
// for the same resource again and again, so each distinct report is logged once per process.
void logResourceFault(const std::filesystem::path& path, std::string_view kind, std::string_view name,
                      std::string_view fault);

// Replaces where log lines go; an empty hook restores stderr. Returns the previous hook.
using LogHook = std::function<void(std::string_view line)>;
LogHook setLogHook(LogHook hook);

// Collects every logged line while it lives; for tests.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() const;
    bool contains(std::string_view fragment) const;

private:
    struct State;
    std::shared_ptr<State> state_;
    LogHook previous_;
};

// A programmer error: prints the message to stderr and aborts the process.
[[noreturn]] void fatal(std::string_view message);

} // namespace core
