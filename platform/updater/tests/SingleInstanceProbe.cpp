// A launch of a program with one running instance, for the two-process tests: it claims the instance in the
// given directory, and as the running instance logs every launch's URLs until it is killed.
#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "updater/SingleInstance.hpp"

#include <cstdio>
#include <string>
#include <vector>

namespace {

void append(const std::string& file, const std::string& line) {
    if (FILE* out = std::fopen(file.c_str(), "a")) {
        std::fprintf(out, "%s\n", line.c_str());
        std::fclose(out);
    }
}

std::string joined(const std::vector<core::URL>& urls) {
    std::string text;
    for (const auto& url : urls) {
        text += " " + url.string();
    }
    return text;
}

} // namespace

// probe <directory> <log file> [arguments...]
int main(int argc, char** argv) {
    if (argc < 3) {
        return 64;
    }
    const std::string logFile = argv[2];
    updater::InstanceOptions options;
    options.directory = argv[1];
    const auto urls = updater::urlsInArguments(std::vector<std::string>(argv + 3, argv + argc));
    auto claim = updater::SingleInstance::claim(urls, options);
    if (claim.role == updater::SingleInstance::Role::handedOver) {
        return 0;
    }
    if (claim.role == updater::SingleInstance::Role::unanswered) {
        std::fprintf(stderr, "probe: not handed over: %s\n", claim.problem.c_str());
        return 3;
    }
    if (claim.role == updater::SingleInstance::Role::failed) {
        std::fprintf(stderr, "probe: %s\n", claim.problem.c_str());
        return 2;
    }
    core::RunLoop& loop = core::RunLoop::main();
    claim.instance->listen(
        loop, [&](std::vector<core::URL> received) { append(logFile, "message" + joined(received)); });
    // The launch's own URLs are handled once the instance is up, like every later launch's.
    append(logFile, "running" + joined(urls));
    loop.run();
    return 0;
}
