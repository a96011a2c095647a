#include "tools/render/RenderOptions.hpp"

#include "extension/FactoryPreset.hpp"
#include "tools/render/QuotedText.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

namespace {

// User text quoted back in a message, escaped and cut to a readable length: a line of an automation file
// can be megabytes long.
std::string echo(std::string_view text) {
    constexpr std::size_t kLimit = 80;
    if (text.size() <= kLimit) {
        return quotedText(text);
    }
    std::size_t cut = kLimit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) {
        --cut; // never split a UTF-8 sequence
    }
    return "'" + escapedText(text.substr(0, cut)) + "…' (" + std::to_string(text.size()) + " bytes)";
}

// The whole of a regular file no larger than the limit; nothing for a directory, device or missing file.
std::optional<std::string> readSmallTextFile(const std::string& path, std::uintmax_t limit) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error) || std::filesystem::file_size(path, error) > limit ||
        error) {
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    std::string contents((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file && !file.eof()) {
        return std::nullopt;
    }
    return contents;
}

std::optional<float> parseNumber(std::string_view text) {
    // from_chars takes a minus sign but no plus sign; "+3" is a natural way to write an octave.
    if (text.size() > 1 && text[0] == '+' && text[1] != '+' && text[1] != '-') {
        text.remove_prefix(1);
    }
    float value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<uint32_t> parseBlockSize(std::string_view text) {
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 1 ||
        value > kMaximumBlockSize) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

std::string formatNumber(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

// Sample frames above this cannot all be told apart once the time is held as a double.
constexpr int64_t kLastExactFrame = int64_t{1} << 53;

std::string badTime(std::string_view text) {
    return "malformed time " + echo(text) + " (seconds as 1.5s or a sample frame as 48000)";
}

// "1.5s" is seconds, a bare whole number is a sample frame; neither may be negative, and a sample frame may
// not pass kLastExactFrame.
std::optional<AutomationTime> parseTime(std::string_view text, std::string& error) {
    if (text.size() > 1 && text.back() == 's') {
        const std::string_view number = text.substr(0, text.size() - 1);
        double seconds = 0;
        const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), seconds);
        if (ec != std::errc() || end != number.data() + number.size() || !std::isfinite(seconds) ||
            seconds < 0) {
            error = badTime(text);
            return std::nullopt;
        }
        return AutomationTime{seconds, true};
    }
    int64_t frame = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), frame);
    const bool tooLarge = ec == std::errc::result_out_of_range && text.front() != '-';
    if (text.empty() || (ec != std::errc() && !tooLarge) || end != text.data() + text.size() || frame < 0) {
        error = badTime(text);
        return std::nullopt;
    }
    if (tooLarge || frame > kLastExactFrame) {
        error = "time " + echo(text) + " is past the last sample frame " + std::to_string(kLastExactFrame);
        return std::nullopt;
    }
    return AutomationTime{static_cast<double>(frame), false};
}

// The unit a user reads beside a value: none for counts and plain numbers; the octave is the one index
// counted in a unit of its own.
std::string_view userUnit(const ParameterInfo& info) {
    switch (info.unit) {
    case ParameterUnit::hertz:
        return "Hz";
    case ParameterUnit::milliseconds:
        return "ms";
    case ParameterUnit::decibels:
        return "dB";
    case ParameterUnit::percent:
        return "%";
    case ParameterUnit::absoluteCents:
        return "cents";
    case ParameterUnit::indexed:
        return info.identifier == "octave" ? "octaves" : "";
    case ParameterUnit::generic:
        return "";
    }
    return "";
}

OptionsResult failure(std::string message) {
    return {std::nullopt, std::move(message)};
}

} // namespace

std::optional<ParameterSetting> parseParameterSetting(std::string_view text, std::string& error) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        error = "expected IDENTIFIER=VALUE after --set, got " + echo(text);
        return std::nullopt;
    }
    const std::string_view identifier = text.substr(0, equals);
    const std::string_view valueText = text.substr(equals + 1);
    const ParameterInfo* parameter = parameterByIdentifier(identifier);
    if (parameter == nullptr) {
        error = "unknown parameter " + echo(identifier) + " (--help lists them)";
        return std::nullopt;
    }
    const std::optional<float> value = parseNumber(valueText);
    if (!value) {
        error = "malformed value " + echo(valueText) + " for " + std::string(identifier);
        return std::nullopt;
    }
    if (!parameter->contains(*value)) {
        error = std::string(identifier) + "=" + echo(valueText) + " is outside its range " +
                formatNumber(parameter->minimum) + " to " + formatNumber(parameter->maximum);
        return std::nullopt;
    }
    return ParameterSetting{parameter, *value};
}

int64_t AutomationTime::frameAt(double sampleRate) const {
    const double frame = inSeconds ? std::round(amount * sampleRate) : amount;
    // Clamped before the conversion, which is undefined outside int64_t's range; NaN counts as frame 0.
    if (frame >= 9.2e18) {
        return std::numeric_limits<int64_t>::max();
    }
    return frame > 0 ? static_cast<int64_t>(frame) : 0;
}

std::optional<AutomationEvent> parseAutomationEvent(std::string_view text, std::string& error) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || text.find('=') == std::string_view::npos) {
        error = "expected TIME:IDENTIFIER=VALUE after --automate, got " + echo(text);
        return std::nullopt;
    }
    const std::optional<AutomationTime> time = parseTime(text.substr(0, colon), error);
    if (!time) {
        return std::nullopt;
    }
    const std::optional<ParameterSetting> setting = parseParameterSetting(text.substr(colon + 1), error);
    if (!setting) {
        return std::nullopt;
    }
    return AutomationEvent{*time, *setting};
}

std::optional<std::vector<AutomationEvent>> parseAutomationText(std::string_view text, std::string& error) {
    std::vector<AutomationEvent> events;
    std::istringstream lines{std::string(text)};
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (const std::size_t hash = line.find('#'); hash != std::string::npos) {
            line.erase(hash);
        }
        std::istringstream fields(line);
        std::string time, identifier, value, extra;
        if (!(fields >> time)) {
            continue;
        }
        const std::string where = "line " + std::to_string(number) + ": ";
        if (!(fields >> identifier >> value) || (fields >> extra)) {
            error = where + "expected TIME IDENTIFIER VALUE";
            return std::nullopt;
        }
        const std::optional<AutomationTime> at = parseTime(time, error);
        if (!at) {
            error = where + error;
            return std::nullopt;
        }
        const std::optional<ParameterSetting> setting =
            parseParameterSetting(identifier + "=" + value, error);
        if (!setting) {
            error = where + error;
            return std::nullopt;
        }
        events.push_back({*at, *setting});
    }
    return events;
}

OptionsResult parseRenderOptions(std::span<const std::string_view> arguments) {
    RenderOptions options;
    bool haveOutput = false;
    bool haveInput = false;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--help" || arguments[i] == "-h") {
            options.showHelp = true;
            return {std::move(options), {}};
        }
    }
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const bool takesValue = argument == "-o" || argument == "--set" || argument == "--block" ||
                                argument == "--automate" || argument == "--automation" ||
                                argument == "--preset";
        if (takesValue && i + 1 >= arguments.size()) {
            return failure(std::string(argument) + " needs a value");
        }

        if (argument == "--list-presets") {
            options.listPresets = true;
        } else if (argument == "-o") {
            if (haveOutput) {
                return failure("more than one output file given");
            }
            options.outputPath = arguments[++i];
            haveOutput = true;
            if (options.outputPath.empty()) {
                return failure("the output file name is empty");
            }
        } else if (argument == "--set") {
            std::string error;
            std::optional<ParameterSetting> setting = parseParameterSetting(arguments[++i], error);
            if (!setting) {
                return failure(std::move(error));
            }
            options.settings.push_back(*setting);
        } else if (argument == "--block") {
            const std::string_view text = arguments[++i];
            const std::optional<uint32_t> block = parseBlockSize(text);
            if (!block) {
                return failure("--block needs a whole number from 1 to " + std::to_string(kMaximumBlockSize) +
                               ", got " + echo(text));
            }
            options.blockSize = *block;
        } else if (argument == "--preset") {
            const std::string name(arguments[++i]);
            if (indexOfFactoryPreset(factoryPresetList(), name) < 0) {
                return failure("unknown preset " + echo(name) + " (--list-presets lists them)");
            }
            options.presetName = name;
        } else if (argument == "--automate") {
            std::string error;
            std::optional<AutomationEvent> event = parseAutomationEvent(arguments[++i], error);
            if (!event) {
                return failure(std::move(error));
            }
            options.automation.push_back(*event);
        } else if (argument == "--automation") {
            const std::string path(arguments[++i]);
            // An empty file holds no events and is fine; a directory, a device or a huge file is not.
            const std::optional<std::string> contents = readSmallTextFile(path, kMaximumAutomationFileSize);
            if (!contents) {
                return failure("cannot read the automation file " + echo(path));
            }
            std::string error;
            std::optional<std::vector<AutomationEvent>> events = parseAutomationText(*contents, error);
            if (!events) {
                return failure(echo(path) + ", " + error);
            }
            options.automation.insert(options.automation.end(), events->begin(), events->end());
            options.automationPaths.push_back(path);
        } else if (argument.size() > 1 && argument.front() == '-') {
            return failure("unknown option " + echo(argument));
        } else {
            if (haveInput) {
                return failure("more than one input file given");
            }
            if (argument.empty()) {
                return failure("the input file name is empty");
            }
            options.inputPath = argument;
            haveInput = true;
        }
    }

    if (!haveOutput && !options.listPresets) {
        return failure("no output file given (-o OUTPUT)");
    }
    return {std::move(options), {}};
}

std::string renderUsage() {
    std::string text =
        "Usage: tessaray-render [options] [INPUT] -o OUTPUT\n"
        "\n"
        "Runs a sound file through the Tessaray effect. INPUT is a WAV or FLAC file; without one, a "
        "built-in\n"
        "6 s stereo demo signal at 48 kHz is rendered. The output has the input's sample rate, length and\n"
        "channel count, except that mono input renders to stereo (the effect is stereo). OUTPUT ending in\n"
        ".flac is written as 24-bit FLAC, any other name as 32-bit float WAV.\n"
        "\n"
        "Options:\n"
        "  -o OUTPUT               the file to write (required)\n"
        "  --set IDENTIFIER=VALUE  set a parameter in its own unit; repeatable, a later one wins.\n"
        "                          Parameters not set keep the defaults below.\n"
        "  --block N               process in blocks of N frames (default 512, 1 to " +
        std::to_string(kMaximumBlockSize) +
        ")\n"
        "  --automate TIME:IDENTIFIER=VALUE\n"
        "                          change a parameter at TIME while rendering, in seconds (1.5s) or as a\n"
        "                          sample frame (48000); repeatable\n"
        "  --automation FILE       read automation from FILE: one 'TIME IDENTIFIER VALUE' per line,\n"
        "                          '#' starts a comment\n"
        "  --preset NAME           apply a factory preset first, as the editor does; --set values\n"
        "                          then change it (names with blanks need quotes)\n"
        "  --list-presets          list the factory presets and exit\n"
        "  -h, --help              show this text\n"
        "\n"
        "The effect's audio unit reads its wavetables from its bundle: $TESSARAY_EXTENSION_BUNDLE when set,\n"
        "else the build's bundles/TessarayExtension.bundle.\n"
        "\n"
        "Parameters:\n";
    for (const ParameterInfo& info : kParameterTable) {
        char line[160];
        std::snprintf(line, sizeof line, "  %-14s %-10s %8s to %-8s default %-7s %s",
                      std::string(info.identifier).c_str(), std::string(info.name).c_str(),
                      formatNumber(info.minimum).c_str(), formatNumber(info.maximum).c_str(),
                      formatNumber(info.defaultValue).c_str(), std::string(userUnit(info)).c_str());
        std::string_view row = line;
        row.remove_suffix(row.size() - (row.find_last_not_of(' ') + 1)); // no blanks after a unitless value
        text += row;
        text += '\n';
    }
    text +=
        "\nExit status: 0 on success, 1 when a file cannot be read or written, 2 for a wrong command line.\n";
    return text;
}
