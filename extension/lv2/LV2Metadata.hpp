#pragma once

#include <string>

// The Turtle files of the plug-in's bundle, written from the parameter table and the factory presets so
// that the metadata can never disagree with the code.
struct LV2MetadataVersion {
    int minor = 0;
    int micro = 0;
};

std::string manifestTurtle();
std::string pluginTurtle(const LV2MetadataVersion& version);
std::string presetsTurtle();

// The shortest decimal that reads back as exactly this float, always with a fraction ("64.0", "0.35").
std::string turtleNumber(float value);
