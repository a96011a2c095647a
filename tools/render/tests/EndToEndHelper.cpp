// Test helper for the end-to-end run: "make INPUT" writes a short mono input, "check INPUT OUTPUT" verifies
// that the rendered file has the input's length, two channels and sound in it, "memory TOOL FOLDER" checks
// that the tool's peak memory does not grow with the length of what it renders.

#include "tools/render/AudioFile.hpp"
#include "tools/render/DemoSignal.hpp"
#include "tools/render/RenderSummary.hpp"

#include <cmath>
#include <exception>
#include <fcntl.h>
#include <filesystem>
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
        std::cerr << "usage: " << argv[0] << " make INPUT | check INPUT OUTPUT | memory TOOL FOLDER\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
}
