// Test helper for the end-to-end run: "make INPUT" writes a short mono input, "check INPUT OUTPUT" verifies
// that the rendered file has the input's length, two channels and sound in it, "memory TOOL FOLDER" checks
// that the tool's peak memory does not grow with the length of what it renders, "signals TOOL FOLDER" that
// an interrupted render or one past the file-size limit leaves nothing behind.

#include "tools/render/AudioFile.hpp"
#include "tools/render/DemoSignal.hpp"
#include "tools/render/RenderSummary.hpp"

#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

int make(const std::string& path) {
    // A mono fold of the demo's first 0.75 s, at 44.1 kHz, so both the channel rule and a non-default rate
    // are exercised.
    AudioBuffer demo = makeDemoSignal(44100.0, 0.75);
    AudioBuffer mono;
    mono.sampleRate = demo.sampleRate;
    mono.channels.assign(1, std::vector<float>(demo.frameCount()));
    for (std::size_t i = 0; i < demo.frameCount(); ++i) {
        mono.channels[0][i] = 0.5f * (demo.channels[0][i] + demo.channels[1][i]);
    }
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::filesystem::remove(std::filesystem::path(path).parent_path() / "output.flac");
    writeAudioFile(path, mono);
    return 0;
}

int check(const std::string& inputPath, const std::string& outputPath) {
    const AudioBuffer input = readAudioFile(inputPath);
    const AudioBuffer output = readAudioFile(outputPath);
    int failures = 0;
    auto expect = [&](bool ok, const std::string& what) {
        if (!ok) {
            std::cerr << "FAILED: " << what << "\n";
            ++failures;
        }
    };
    expect(output.frameCount() == input.frameCount(), "output length " + std::to_string(output.frameCount()) +
                                                          " equals input length " +
                                                          std::to_string(input.frameCount()));
    expect(output.channelCount() == 2, "mono input renders to two channels");
    expect(output.sampleRate == input.sampleRate, "output keeps the input's sample rate");
    const SignalLevels levels = measureLevels(output);
    expect(levels.rms > 1e-4, "output is not silent (RMS " + formatDbfs(levels.rms) + " dBFS)");
    expect(levels.peak <= 1.0, "output stays within full scale");
    return failures == 0 ? 0 : 1;
}

// Writes seconds of a 96 kHz stereo tone a block at a time.
void writeLongTone(const std::string& path, double seconds) {
    constexpr double kRate = 96000;
    constexpr std::size_t kBlock = 4096;
    AudioFileWriter writer(path, kRate, 2);
    std::vector<float> left(kBlock);
    std::vector<float> right(kBlock);
    const float* channels[] = {left.data(), right.data()};
    const auto frames = static_cast<std::size_t>(seconds * kRate);
    for (std::size_t start = 0; start < frames; start += kBlock) {
        const std::size_t count = std::min(kBlock, frames - start);
        for (std::size_t i = 0; i < count; ++i) {
            const double t = static_cast<double>(start + i) / kRate;
            left[i] = static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * 220 * t));
            right[i] = static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * 331 * t));
        }
        writer.write(channels, count);
    }
    writer.finish();
}

// The tool's peak resident memory in kilobytes when it renders seconds of 96 kHz stereo; -1 when it fails.
long renderPeak(const std::string& tool, const std::filesystem::path& folder, double seconds) {
    const std::string input = (folder / "long.wav").string();
    const std::string output = (folder / "long-out.wav").string();
    writeLongTone(input, seconds);
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execl(tool.c_str(), tool.c_str(), input.c_str(), "-o", output.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return -1;
    }
    return usage.ru_maxrss;
}

int memory(const std::string& tool, const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    // Held whole, the longer render's 10 s more would add about 15 MB of input and output (twice that with
    // the sanitizers).
    const long shorter = renderPeak(tool, folder, 2);
    const long longer = renderPeak(tool, folder, 12);
    std::filesystem::remove_all(folder);
    std::cout << "peak resident memory: " << shorter / 1024 << " MB for 2 s, " << longer / 1024
              << " MB for 12 s of 96 kHz stereo\n";
    if (shorter < 0 || longer < 0) {
        std::cerr << "FAILED: the tool did not render\n";
        return 1;
    }
    if (longer - shorter > 8 * 1024) {
        std::cerr << "FAILED: peak memory grows with the input's length\n";
        return 1;
    }
    return 0;
}

// A 16-bit stereo WAV file that claims hours of silence, made without writing them (a sparse file).
void writeEndlessSilence(const std::string& path) {
    constexpr uint32_t kDataBytes = 0x7FFF0000;
    auto le = [](std::string& out, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out += static_cast<char>((value >> (8 * i)) & 0xFF);
        }
    };
    std::string header = "RIFF";
    le(header, 36 + kDataBytes, 4);
    header += "WAVEfmt ";
    le(header, 16, 4);
    le(header, 1, 2);         // integer samples
    le(header, 2, 2);         // channels
    le(header, 48000, 4);     // frames per second
    le(header, 48000 * 4, 4); // bytes per second
    le(header, 4, 2);         // bytes per frame
    le(header, 16, 2);        // bits per sample
    header += "data";
    le(header, kDataBytes, 4);
    std::ofstream(path, std::ios::binary) << header;
    std::filesystem::resize_file(path, header.size() + kDataBytes);
}

// Starts the tool on input into folder/out.wav, its output and errors going to folder/log, under a file-size
// limit when one is given.
pid_t startRender(const std::string& tool, const std::filesystem::path& folder, const std::string& input,
                  rlim_t fileSizeLimit = RLIM_INFINITY) {
    const std::string output = (folder / "out.wav").string();
    const std::string log = (folder / "log").string();
    const pid_t child = fork();
    if (child == 0) {
        const int logFile = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(logFile, STDOUT_FILENO);
        dup2(logFile, STDERR_FILENO);
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
        execl(tool.c_str(), tool.c_str(), input.c_str(), "-o", output.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

// What the folder holds besides the input and the log: the output, or a temporary left behind.
std::vector<std::string> leftovers(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name != "endless.wav" && name != "log") {
            names.push_back(name);
        }
    }
    return names;
}

int signals(const std::string& tool, const std::filesystem::path& folder) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string input = (folder / "endless.wav").string();
    writeEndlessSilence(input);
    int failures = 0;
    auto expect = [&](bool ok, const std::string& what) {
        if (!ok) {
            std::cerr << "FAILED: " << what << "\n";
            ++failures;
        }
    };
    auto log = [&] {
        std::ifstream in(folder / "log");
        return std::string(std::istreambuf_iterator<char>(in), {});
    };

    // SIGTERM once the render has begun writing: the temporary goes and the signal still ends the tool.
    const pid_t interrupted = startRender(tool, folder, input);
    for (int i = 0; i < 60000 && leftovers(folder).empty(); ++i) {
        usleep(1000); // the render takes hours: waits until the temporary appears
    }
    expect(!leftovers(folder).empty(), "the render began writing within a minute");
    kill(interrupted, SIGTERM);
    int status = 0;
    waitpid(interrupted, &status, 0);
    expect(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM, "SIGTERM ended the tool as its own signal");
    expect(leftovers(folder).empty(), "the interrupted render left no file behind");

    // Past the file-size limit the write fails with the system's reason, as on a full disk.
    const pid_t limited = startRender(tool, folder, input, 256 * 1024);
    waitpid(limited, &status, 0);
    expect(WIFEXITED(status) && WEXITSTATUS(status) == 1, "the limited render exits 1, not of SIGXFSZ");
    expect(log().find("File too large") != std::string::npos, "the limited render says why: " + log());
    expect(leftovers(folder).empty(), "the limited render left no file behind");
    std::filesystem::remove_all(folder);
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const std::string mode = argc > 1 ? argv[1] : "";
        if (mode == "make" && argc == 3) {
            return make(argv[2]);
        }
        if (mode == "check" && argc == 4) {
            return check(argv[2], argv[3]);
        }
        if (mode == "memory" && argc == 4) {
            return memory(argv[2], argv[3]);
        }
        if (mode == "signals" && argc == 4) {
            return signals(argv[2], argv[3]);
        }
        std::cerr << "usage: " << argv[0]
                  << " make INPUT | check INPUT OUTPUT | memory TOOL FOLDER | signals TOOL FOLDER\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
}
