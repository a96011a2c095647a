#pragma once

// The render tool's command line.

#include "extension/ParameterTable.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct ParameterSetting {
    const ParameterInfo* parameter;
    float value;
};

inline constexpr uint32_t kDefaultBlockSize = 512;
// Large enough for any host block, small enough that the per-block buffers stay modest.
inline constexpr uint32_t kMaximumBlockSize = 1u << 20;
// Automation files larger than this are refused rather than read.
inline constexpr std::uintmax_t kMaximumAutomationFileSize = 64u << 20;

// When an automated change happens: seconds ("1.5s") or a sample frame ("48000").
struct AutomationTime {
    double amount = 0;
    bool inSeconds = false;

    // The sample frame at the rate; seconds round to the nearest frame.
    int64_t frameAt(double sampleRate) const;
};

struct AutomationEvent {
    AutomationTime time;
    ParameterSetting setting;
};

struct RenderOptions {
    std::string inputPath; // empty: render the built-in demo signal
    std::string outputPath;
    std::vector<ParameterSetting> settings;  // in command-line order; a later one wins
    std::vector<AutomationEvent> automation; // --automate and --automation, in the order given
    std::vector<std::string> automationPaths; // the --automation files read
    uint32_t blockSize = kDefaultBlockSize;
    std::string presetName; // a factory preset applied before the --set values; empty: none
    bool listPresets = false;
    bool showHelp = false;
};

struct OptionsResult {
    std::optional<RenderOptions> options; // empty when the command line is wrong
    std::string error;
};

// Arguments without the program name. --help wins over everything else on the line; --list-presets needs no
// output but the rest of the line must still be right.
OptionsResult parseRenderOptions(std::span<const std::string_view> arguments);

// Parses "IDENTIFIER=VALUE", checking the identifier and the parameter's range.
std::optional<ParameterSetting> parseParameterSetting(std::string_view text, std::string& error);

// Parses "TIME:IDENTIFIER=VALUE" (one --automate argument). A sample frame above 2^53 is refused: past it a
// double no longer holds every frame.
std::optional<AutomationEvent> parseAutomationEvent(std::string_view text, std::string& error);

// Parses an automation file: one "TIME IDENTIFIER VALUE" per line, separated by blanks; '#' starts a comment
// and empty lines are skipped. Errors name the line.
std::optional<std::vector<AutomationEvent>> parseAutomationText(std::string_view text, std::string& error);

std::string renderUsage();
