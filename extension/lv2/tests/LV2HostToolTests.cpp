// The plug-in in lilv's command-line hosts: lv2info reads its metadata, lv2apply runs a file through it (to
// be compared with the offline render tool) and lv2bench times it.
#include "extension/ParameterTable.hpp"
#include "tools/render/AudioFile.hpp"
#include "tools/render/DemoSignal.hpp"
#include "tools/render/RenderSummary.hpp"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

constexpr const char* kURI = "https://tessaray.com/lv2/tessaray";

struct Result {
    int status = -1;
    std::string output;
};

// Runs a shell command with stdout captured (stderr too, for the failure message).
Result runCommand(const std::string& command) {
    // A sanitized plug-in needs the sanitizer runtime preloaded into hosts that were built without it.
    std::string prefix;
    if (std::string(TESSARAY_LV2_HOST_PRELOAD).size() > 0) {
        prefix = "env LD_PRELOAD=" + std::string(TESSARAY_LV2_HOST_PRELOAD) + " ASAN_OPTIONS=detect_leaks=0 ";
    }
    Result result;
    FILE* pipe = popen((prefix + command + " 2>&1").c_str(), "r");
    if (!pipe) {
        return result;
    }
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        result.output += buffer;
    }
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class LV2HostTools : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = std::filesystem::temp_directory_path() /
                     ("tessaray-lv2-" + std::to_string(::getpid()) + "-" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(directory_);
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }

    std::filesystem::path directory_;
};

// Port blocks of lv2info's listing, by symbol: "Minimum" -> "1.000000" and so on.
std::map<std::string, std::map<std::string, std::string>> portsOf(const std::string& listing) {
    std::map<std::string, std::map<std::string, std::string>> ports;
    std::map<std::string, std::string> current;
    std::istringstream lines(listing + "\nPort end\n");
    for (std::string line; std::getline(lines, line);) {
        line.erase(0, line.find_first_not_of(" \t"));
        if (line.rfind("Port ", 0) == 0) {
            if (current.count("Symbol")) {
                ports[current["Symbol"]] = current;
            }
            current.clear();
        } else if (const auto colon = line.find(':'); colon != std::string::npos) {
            const auto value = line.find_first_not_of(" \t", colon + 1);
            current[line.substr(0, colon)] = value == std::string::npos ? "" : line.substr(value);
        }
    }
    return ports;
}

std::string fixed(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", double(value));
    return text;
}

} // namespace

TEST_F(LV2HostTools, Lv2InfoListsEveryParameterWithItsRangeAndTheBypassSwitch) {
    const Result info = runCommand(std::string("lv2info ") + kURI);
    ASSERT_EQ(info.status, 0) << info.output;
    const auto ports = portsOf(info.output);
    EXPECT_EQ(ports.size(), kParameterCount + 1 + 4 + 1) << info.output; // and the editor's "notify"
    for (const ParameterInfo& parameter : kParameterTable) {
        const std::string symbol(parameter.identifier);
        ASSERT_TRUE(ports.count(symbol)) << symbol;
        const auto& port = ports.at(symbol);
        EXPECT_EQ(port.at("Name"), std::string(parameter.name)) << symbol;
        EXPECT_EQ(port.at("Minimum"), fixed(parameter.minimum)) << symbol;
        EXPECT_EQ(port.at("Maximum"), fixed(parameter.maximum)) << symbol;
        EXPECT_EQ(port.at("Default"), fixed(parameter.defaultValue)) << symbol;
    }
    ASSERT_TRUE(ports.count("enabled"));
    EXPECT_EQ(ports.at("enabled").at("Default"), fixed(1.0f));
    EXPECT_NE(info.output.find("http://lv2plug.in/ns/lv2core#enabled"), std::string::npos)
        << "the bypass port carries the enabled designation";
    EXPECT_NE(info.output.find("Ghost Choir"), std::string::npos) << "presets are listed";
    EXPECT_NE(info.output.find("https://tessaray.com/lv2/tessaray#ui"), std::string::npos)
        << "the editor is listed";
}

TEST_F(LV2HostTools, Lv2ApplyMatchesTheRenderToolForTheSameSettingsAndBlocks) {
    if (!std::filesystem::exists(TESSARAY_RENDER_TOOL)) {
        GTEST_SKIP() << "the render tool is not built";
    }
    // Half a second of the demo signal, which has sound in every band for the analysis to find.
    writeAudioFile((directory_ / "in.wav").string(), makeDemoSignal(48000.0, 0.5));

    // lilv's lv2apply runs the plug-in one frame at a time, so the render tool uses blocks of one frame.
    const std::vector<std::pair<std::string, std::string>> settings{
        {"slice", "40"}, {"mix", "70"}, {"morphX", "0.3"}, {"octave", "1"}, {"age", "10"}, {"bands", "24"}};
    std::string lv2apply =
        "lv2apply -i " + (directory_ / "in.wav").string() + " -o " + (directory_ / "lv2.wav").string();
    std::string render = std::string(TESSARAY_RENDER_TOOL) + " " + (directory_ / "in.wav").string() + " -o " +
                         (directory_ / "render.wav").string() + " --block 1";
    for (const auto& [symbol, value] : settings) {
        lv2apply += " -c " + symbol + " " + value;
        render += " --set " + symbol + "=" + value;
    }
    lv2apply += std::string(" ") + kURI;

    const Result applied = runCommand(lv2apply);
    ASSERT_EQ(applied.status, 0) << applied.output;
    const Result rendered = runCommand(render);
    ASSERT_EQ(rendered.status, 0) << rendered.output;

    const AudioBuffer fromHost = readAudioFile((directory_ / "lv2.wav").string());
    const AudioBuffer fromTool = readAudioFile((directory_ / "render.wav").string());
    ASSERT_EQ(fromHost.channelCount(), 2u);
    ASSERT_EQ(fromTool.channelCount(), 2u);
    ASSERT_EQ(fromHost.frameCount(), fromTool.frameCount());
    std::size_t differing = 0;
    for (std::size_t c = 0; c < 2; ++c) {
        for (std::size_t i = 0; i < fromHost.frameCount(); ++i) {
            differing += fromHost.channels[c][i] != fromTool.channels[c][i];
        }
    }
    EXPECT_EQ(differing, 0u);
    EXPECT_GT(measureLevels(fromHost).rms, 0.01)
        << "the comparison is only worth something if there is sound";
}

TEST_F(LV2HostTools, Lv2BenchRunsThePlugin) {
    const Result bench = runCommand(std::string("lv2bench -n 48000 -b 512 ") + kURI);
    ASSERT_EQ(bench.status, 0) << bench.output;
    ASSERT_NE(bench.output.find(kURI), std::string::npos) << bench.output;
    std::printf("%s", bench.output.c_str());
}
