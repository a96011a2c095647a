#pragma once

#include <optional>
#include <string>

// The Turtle files of the plug-in's bundle, written from the parameter table and the factory presets so
// that the metadata can never disagree with the code.
// The project's version: LV2 hosts compare minor and micro; browsers show the whole text.
struct LV2MetadataVersion {
    int minor = 0;
    int micro = 0;
    std::string text;

    // "MAJOR.MINOR.MICRO" with plain decimal numbers, else nothing.
    static std::optional<LV2MetadataVersion> parse(const std::string& text);
};

// What hosts show in their plug-in browsers.
inline constexpr const char* kPluginHomepage = "https://tessaray.app/";
inline constexpr const char* kPluginDescription =
    "Spectral-peak resynthesiser: every slice it finds the strongest peak in up to 64 bands of its input "
    "and re-sings them with morphing sawtooth, square and sine wavetable oscillators.";

std::string manifestTurtle();
std::string pluginTurtle(const LV2MetadataVersion& version);
std::string presetsTurtle();

// The shortest decimal that reads back as exactly this float, always with a fraction ("64.0", "0.35").
std::string turtleNumber(float value);
