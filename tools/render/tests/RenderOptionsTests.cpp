#include "tools/render/RenderOptions.hpp"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

OptionsResult parse(std::initializer_list<std::string_view> arguments) {
    return parseRenderOptions(std::vector<std::string_view>(arguments));
}

} // namespace

TEST(RenderOptions, ReadsInputBlockAndRepeatedSettingsInOrder) {
    const OptionsResult defaults = parse({"-o", "out.wav"});
    ASSERT_TRUE(defaults.options) << defaults.error;
    EXPECT_TRUE(defaults.options->inputPath.empty());
    EXPECT_EQ(defaults.options->blockSize, 512u);

    const OptionsResult result =
        parse({"--set", "bands=32", "in.flac", "--block", "64", "--set", "note=-50", "-o", "out.flac",
               "--set", "bands=+8", "--set", "lowFrequency=1e3", "--set", "gateAttack=0.1"});
    ASSERT_TRUE(result.options) << result.error;
    const RenderOptions& options = *result.options;
    EXPECT_EQ(options.inputPath, "in.flac");
    EXPECT_EQ(options.outputPath, "out.flac");
    EXPECT_EQ(options.blockSize, 64u);
    ASSERT_EQ(options.settings.size(), 5u);
    EXPECT_EQ(options.settings[0].parameter->identifier, "bands");
    EXPECT_FLOAT_EQ(options.settings[0].value, 32);
    EXPECT_EQ(options.settings[1].parameter->address, 11u);
    EXPECT_FLOAT_EQ(options.settings[1].value, -50);
    EXPECT_FLOAT_EQ(options.settings[2].value, 8);
    EXPECT_FLOAT_EQ(options.settings[3].value, 1000);
    EXPECT_FLOAT_EQ(options.settings[4].value, 0.1f); // the range's own end is inside
}

TEST(RenderOptions, RejectsWrongCommandLinesWithTheReason) {
    // Each case: the arguments, then the text its error must contain.
    const std::vector<std::vector<std::string_view>> cases{
        {"in.wav", "no output"},
        {"-o", "needs a value"},
        {"-o", "a.wav", "-o", "b.wav", "more than one output"},
        {"a.wav", "b.wav", "-o", "c.wav", "more than one input"},
        {"--frobnicate", "-o", "c.wav", "unknown option"},
        {"--set", "bands", "-o", "c.wav", "IDENTIFIER=VALUE"},
        {"--set", "Bands=3", "-o", "c.wav", "unknown parameter 'Bands'"},
        {"--set", "bands=", "-o", "c.wav", "malformed"},
        {"--set", "bands=3x", "-o", "c.wav", "malformed"},
        {"--set", "mix=nan", "-o", "c.wav", "malformed"},
        {"--set", "mix=inf", "-o", "c.wav", "malformed"},
        {"--set", "mix=0x10", "-o", "c.wav", "malformed"},
        {"--set", "bands=65", "-o", "c.wav", "outside its range 1 to 64"},
        {"--set", "gateAttack=0.09", "-o", "c.wav", "outside"},
        {"--block", "0", "-o", "c.wav", "--block"},
        {"--block", "-4", "-o", "c.wav", "--block"},
        {"--block", "12.5", "-o", "c.wav", "--block"},
        {"--block", "", "-o", "c.wav", "--block"},
        {"--block", "99999999999", "-o", "c.wav", "--block"},
        {"--automate", "mix=0", "-o", "o.wav", "TIME:IDENTIFIER=VALUE"},
        {"--automate", "-1:mix=0", "-o", "o.wav", "malformed time"},
        {"--automate", "1.5:mix=0", "-o", "o.wav", "malformed time"},
        {"--automate", "xs:mix=0", "-o", "o.wav", "malformed time"},
        {"--automate", "1s:mix=101", "-o", "o.wav", "outside its range"},
        {"--automate", "1s:volume=1", "-o", "o.wav", "unknown parameter"},
        {"--automation", "/nonexistent/automation.txt", "-o", "o.wav", "cannot read"},
        {"--preset", "ghost choir", "-o", "out.wav", "unknown preset 'ghost choir'"},
        // Sample frames past 2^53 cannot all be held exactly.
        {"--automate", "9223372036854775807:mix=5", "-o", "o.wav", "past the last sample frame"},
        {"--automate", "99999999999999999999:mix=5", "-o", "o.wav", "past the last sample frame"},
        {"--automate", "9007199254740993:mix=5", "-o", "o.wav", "past the last sample frame"},
        {"--list-presets", "--bogus", "unknown option"},
        // Control characters, C1 controls and ill-formed bytes are shown escaped, other UTF-8 as it is.
        {"--set", "\x1b]0;title\x07\xc2\x85\xff\xe2\x82\xc3\xa9\x7f=1", "-o", "o.wav",
         "'\\x1B]0;title\\x07\\xC2\\x85\\xFF\\xE2\\x82\xc3\xa9\\x7F'"},
        {"--block",
         std::string_view("4\0"
                          "2",
                          3),
         "-o", "o.wav", "'4\\x002'"},
    };
    for (const auto& arguments : cases) {
        const OptionsResult result = parseRenderOptions({arguments.begin(), arguments.end() - 1});
        EXPECT_FALSE(result.options.has_value()) << arguments.back();
        EXPECT_NE(result.error.find(arguments.back()), std::string::npos)
            << arguments.front() << ": " << result.error;
    }

    std::string error;
    EXPECT_FALSE(parseAutomationText("\n1s mix 5 6\n", error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
    EXPECT_FALSE(parseAutomationText("# ok\n2s mix 500\n", error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
    EXPECT_NE(error.find("outside its range"), std::string::npos);
}

TEST(RenderOptions, HelpNeedsNothingElseAndListsEveryParameterInUserUnits) {
    for (const auto& arguments : {std::vector<std::string_view>{"--set", "bogus", "--help"},
                                  std::vector<std::string_view>{"--list-presets", "--bogus", "-h"}}) {
        const OptionsResult result = parseRenderOptions(arguments);
        ASSERT_TRUE(result.options);
        EXPECT_TRUE(result.options->showHelp);
    }
    const std::string usage = renderUsage();
    // Each parameter's line ends in the unit a user reads, or in its default where it has none.
    const std::vector<std::pair<std::string, std::string>> ends{
        {"bands", "64"},       {"lowFrequency", "20 Hz"}, {"slice", "10 ms"},      {"mix", "50 %"},
        {"inputGain", "0 dB"}, {"morphX", "0.5"},         {"octave", "0 octaves"}, {"note", "0 cents"}};
    for (const auto& [identifier, end] : ends) {
        const std::size_t start = usage.find("\n  " + identifier + " ");
        ASSERT_NE(start, std::string::npos) << identifier;
        std::string line = usage.substr(start + 1, usage.find('\n', start + 1) - start - 1);
        while (line.find("  ") != std::string::npos) {
            line.replace(line.find("  "), 2, " ");
        }
        EXPECT_TRUE(line.ends_with(" " + end)) << line;
    }
    for (const ParameterInfo& info : kParameterTable) {
        EXPECT_NE(usage.find(info.identifier), std::string::npos) << info.identifier;
    }
}

TEST(RenderOptions, ReadsAutomationFromTheCommandLineAndFromText) {
    const OptionsResult result = parse({"--automate", "1.5s:mix=0", "-o", "out.wav", "--automate",
                                        "48000:morphX=+1", "--automate", "9007199254740992:mix=5"});
    ASSERT_TRUE(result.options) << result.error;
    const auto& automation = result.options->automation;
    ASSERT_EQ(automation.size(), 3u);
    EXPECT_EQ(automation[2].time.frameAt(48000), int64_t{1} << 53);
    EXPECT_EQ(automation[0].setting.parameter->identifier, "mix");
    EXPECT_EQ(automation[0].time.frameAt(48000), 72000);
    EXPECT_EQ(automation[0].time.frameAt(44100), 66150);
    EXPECT_EQ(automation[1].setting.parameter->address, 17u);
    EXPECT_EQ(automation[1].setting.value, 1.0f);
    EXPECT_EQ(automation[1].time.frameAt(96000), 48000);

    std::string error;
    const auto fromText =
        parseAutomationText("# a comment\n\n  0.25s  bands 12  # trailing\n300 note -50\n", error);
    ASSERT_TRUE(fromText) << error;
    ASSERT_EQ(fromText->size(), 2u);
    EXPECT_EQ((*fromText)[0].time.frameAt(1000), 250);
    EXPECT_EQ((*fromText)[0].setting.value, 12.0f);
    EXPECT_EQ((*fromText)[1].time.frameAt(1000), 300);
    EXPECT_EQ((*fromText)[1].setting.parameter->identifier, "note");
}

TEST(RenderOptions, PresetsByNameAndTheirList) {
    const OptionsResult result = parse({"--preset", "Ghost Choir", "--set", "mix=100", "-o", "out.wav"});
    ASSERT_TRUE(result.options) << result.error;
    EXPECT_EQ(result.options->presetName, "Ghost Choir");
    EXPECT_EQ(result.options->settings.size(), 1u);

    const OptionsResult list = parse({"--list-presets"});
    ASSERT_TRUE(list.options) << "no output file needed just to list";
    EXPECT_TRUE(list.options->listPresets);
}

TEST(RenderOptions, AutomationFilesMayBeEmptyButNotDirectoriesAndLongLinesAreNotEchoedWhole) {
    const std::string folder = testing::TempDir();
    const std::string empty = folder + "/empty-automation.txt";
    std::ofstream(empty).flush();
    const OptionsResult emptyResult = parse({"--automation", empty, "-o", "out.wav"});
    ASSERT_TRUE(emptyResult.options) << emptyResult.error;
    EXPECT_TRUE(emptyResult.options->automation.empty());

    // A line quoted back shows its control characters escaped.
    const std::string control = folder + "/control-automation.txt";
    std::ofstream(control) << "1s \x1b[2Jmix 5\n";
    const OptionsResult controlResult = parse({"--automation", control, "-o", "out.wav"});
    ASSERT_FALSE(controlResult.options);
    EXPECT_NE(controlResult.error.find("line 1: unknown parameter '\\x1B[2Jmix'"), std::string::npos)
        << controlResult.error;

    const OptionsResult directory = parse({"--automation", folder, "-o", "out.wav"});
    ASSERT_FALSE(directory.options);
    EXPECT_NE(directory.error.find("cannot read"), std::string::npos);

    const std::string huge = folder + "/long-line.txt";
    {
        std::ofstream file(huge);
        file << "0 mix " << std::string(5 << 20, '7') << "x\n";
    }
    const OptionsResult longLine = parse({"--automation", huge, "-o", "out.wav"});
    ASSERT_FALSE(longLine.options);
    EXPECT_LT(longLine.error.size(), 300u) << longLine.error.substr(0, 300);
    EXPECT_NE(longLine.error.find("line 1"), std::string::npos);
    std::remove(empty.c_str());
    std::remove(control.c_str());
    std::remove(huge.c_str());
}
