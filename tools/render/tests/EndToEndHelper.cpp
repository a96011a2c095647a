// Test helper for the end-to-end run: "make INPUT" writes a short mono input, "check INPUT OUTPUT" verifies
// that the rendered file has the input's length, two channels and sound in it.

#include "tools/render/AudioFile.hpp"
#include "tools/render/DemoSignal.hpp"
#include "tools/render/RenderSummary.hpp"

#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

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
        std::cerr << "usage: " << argv[0] << " make INPUT | check INPUT OUTPUT\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
}
