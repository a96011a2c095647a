// Stands in for the URL opener: reports the signals it started with ignored or blocked, one "ignored N" or
// "blocked N" line each, in the file that the file URL it is given names (complete once it appears there).
#include <csignal>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    const std::string scheme = "file://";
    if (argc != 2 || std::string(argv[1]).rfind(scheme, 0) != 0) {
        return 2;
    }
    const std::string path = argv[1] + scheme.size();
    sigset_t blocked;
    sigprocmask(SIG_BLOCK, nullptr, &blocked);
    std::string report;
    for (int signal = 1; signal < NSIG; ++signal) {
        // Signals the C library keeps for itself cannot be asked about, and are no program's concern.
        struct sigaction action {};
        if (sigaction(signal, nullptr, &action) != 0) {
            continue;
        }
        if (action.sa_handler == SIG_IGN) {
            report += "ignored " + std::to_string(signal) + "\n";
        }
        if (sigismember(&blocked, signal) == 1) {
            report += "blocked " + std::to_string(signal) + "\n";
        }
    }
    const std::string part = path + ".part";
    FILE* file = std::fopen(part.c_str(), "w");
    if (!file) {
        return 1;
    }
    std::fputs(report.c_str(), file);
    return std::fclose(file) == 0 && std::rename(part.c_str(), path.c_str()) == 0 ? 0 : 1;
}
