#include "tools/render/RenderOptions.hpp"

#include <gtest/gtest.h>
#include <initializer_list>
#include <vector>

namespace {

OptionsResult parse(std::initializer_list<std::string_view> arguments) {
    return parseRenderOptions(std::vector<std::string_view>(arguments));
}

std::string errorOf(std::initializer_list<std::string_view> arguments) {
    const OptionsResult result = parse(arguments);
    EXPECT_FALSE(result.options.has_value());
    return result.error;
}

} // namespace

TEST(RenderOptions, DefaultsWithOnlyAnOutput) {
    const OptionsResult result = parse({"-o", "out.wav"});
    ASSERT_TRUE(result.options) << result.error;
    EXPECT_EQ(result.options->outputPath, "out.wav");
    EXPECT_TRUE(result.options->inputPath.empty());
    EXPECT_TRUE(result.options->settings.empty());
    EXPECT_EQ(result.options->blockSize, 512u);
}

TEST(RenderOptions, ReadsInputBlockAndRepeatedSettingsInOrder) {
    const OptionsResult result =
        parse({"--set", "bands=32", "in.flac", "--block", "64", "--set", "note=-50", "-o", "out.flac",
               "--set", "bands=+8", "--set", "lowFrequency=1e3", "--set", "gateAttack=0.1"});
    ASSERT_TRUE(result.options) << result.error;
    const RenderOptions& options = *result.options;
    EXPECT_EQ(options.inputPath, "in.flac");
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

TEST(RenderOptions, RejectsWrongCommandLines) {
    EXPECT_NE(errorOf({"in.wav"}).find("no output"), std::string::npos);
    EXPECT_NE(errorOf({"-o"}).find("needs a value"), std::string::npos);
    EXPECT_NE(errorOf({"-o", "a.wav", "-o", "b.wav"}).find("more than one output"), std::string::npos);
    EXPECT_NE(errorOf({"a.wav", "b.wav", "-o", "c.wav"}).find("more than one input"), std::string::npos);
    EXPECT_NE(errorOf({"--frobnicate", "-o", "c.wav"}).find("unknown option"), std::string::npos);

    EXPECT_NE(errorOf({"--set", "bands", "-o", "c.wav"}).find("IDENTIFIER=VALUE"), std::string::npos);
    EXPECT_NE(errorOf({"--set", "Bands=3", "-o", "c.wav"}).find("unknown parameter 'Bands'"),
              std::string::npos);
    for (const std::string_view bad : {"bands=", "bands=3x", "mix=nan", "mix=inf", "mix=0x10"}) {
        EXPECT_NE(errorOf({"--set", bad, "-o", "c.wav"}).find("malformed"), std::string::npos) << bad;
    }
    EXPECT_NE(errorOf({"--set", "bands=65", "-o", "c.wav"}).find("outside its range 1 to 64"),
              std::string::npos);
    EXPECT_NE(errorOf({"--set", "gateAttack=0.09", "-o", "c.wav"}).find("outside"), std::string::npos);

    for (const std::string_view bad : {"0", "-4", "12.5", "", "99999999999"}) {
        EXPECT_NE(errorOf({"--block", bad, "-o", "c.wav"}).find("--block"), std::string::npos) << bad;
    }
}

TEST(RenderOptions, HelpNeedsNothingElseAndListsEveryParameter) {
    const OptionsResult result = parse({"--set", "bogus", "--help"});
    ASSERT_TRUE(result.options);
    EXPECT_TRUE(result.options->showHelp);
    const std::string usage = renderUsage();
    for (const ParameterInfo& info : kParameterTable) {
        EXPECT_NE(usage.find(info.identifier), std::string::npos) << info.identifier;
    }
}

TEST(RenderOptions, ReadsAutomationFromTheCommandLineAndFromText) {
    const OptionsResult result =
        parse({"--automate", "1.5s:mix=0", "-o", "out.wav", "--automate", "48000:morphX=+1"});
    ASSERT_TRUE(result.options) << result.error;
    const auto& automation = result.options->automation;
    ASSERT_EQ(automation.size(), 2u);
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

TEST(RenderOptions, RejectsMalformedAutomation) {
    EXPECT_NE(errorOf({"--automate", "mix=0", "-o", "o.wav"}).find("TIME:IDENTIFIER=VALUE"),
              std::string::npos);
    EXPECT_NE(errorOf({"--automate", "-1:mix=0", "-o", "o.wav"}).find("malformed time"), std::string::npos);
    EXPECT_NE(errorOf({"--automate", "1.5:mix=0", "-o", "o.wav"}).find("malformed time"), std::string::npos);
    EXPECT_NE(errorOf({"--automate", "xs:mix=0", "-o", "o.wav"}).find("malformed time"), std::string::npos);
    EXPECT_NE(errorOf({"--automate", "1s:mix=101", "-o", "o.wav"}).find("outside its range"),
              std::string::npos);
    EXPECT_NE(errorOf({"--automate", "1s:volume=1", "-o", "o.wav"}).find("unknown parameter"),
              std::string::npos);
    EXPECT_NE(errorOf({"-o", "o.wav", "--automate"}).find("needs a value"), std::string::npos);
    EXPECT_NE(errorOf({"--automation", "/nonexistent/automation.txt", "-o", "o.wav"}).find("cannot read"),
              std::string::npos);

    std::string error;
    EXPECT_FALSE(parseAutomationText("1s mix\n", error));
    EXPECT_NE(error.find("line 1"), std::string::npos);
    EXPECT_FALSE(parseAutomationText("\n1s mix 5 6\n", error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
    EXPECT_FALSE(parseAutomationText("# ok\n2s mix 500\n", error));
    EXPECT_NE(error.find("line 2"), std::string::npos);
    EXPECT_NE(error.find("outside its range"), std::string::npos);
}

TEST(RenderOptions, PresetsByNameAndTheirList) {
    const OptionsResult result = parse({"--preset", "Ghost Choir", "--set", "mix=100", "-o", "out.wav"});
    ASSERT_TRUE(result.options) << result.error;
    EXPECT_EQ(result.options->presetName, "Ghost Choir");
    EXPECT_EQ(result.options->settings.size(), 1u);

    EXPECT_NE(errorOf({"--preset", "ghost choir", "-o", "out.wav"}).find("unknown preset 'ghost choir'"),
              std::string::npos)
        << "names are matched exactly";
    EXPECT_NE(errorOf({"-o", "out.wav", "--preset"}).find("needs a value"), std::string::npos);

    const OptionsResult list = parse({"--list-presets"});
    ASSERT_TRUE(list.options) << "no output file needed just to list";
    EXPECT_TRUE(list.options->listPresets);
}
