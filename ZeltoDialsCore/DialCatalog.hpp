#pragma once

// The dial skins' frame sequences: which module's bundle holds each sequence, its image names, size and
// colour. Read by the skins and by the artwork generator that draws the frames.

#include <array>
#include <string_view>

namespace zelto {

inline constexpr int dialFrameCount = 51;

// The body of a dial: the chaos and large dials share one hardware look, the medium and tiny dials
// have their own.
enum class DialBody { chaos, large, medium, tiny };

struct DialSequence {
    std::string_view module; // the bundle is "Zelto_" + module + ".bundle"
    std::string_view prefix; // frame i is prefix + two-digit i, from "01" to "51"
    double width;            // points
    double height;           // points
    DialBody body;
    std::string_view accent; // "#RRGGBB": the indicator and value arc
};

inline constexpr std::array<DialSequence, 12> dialSequences{{
    {"ZeltoChaosDial", "knobs/chaos-dial-grey_", 56, 64, DialBody::chaos, "#B9BDC5"},
    {"ZeltoLargeDialBlue", "knobs/chaos-dial-large-blue_", 72, 82, DialBody::large, "#4FA3F7"},
    {"ZeltoLargeDialRed", "knobs/chaos-dial-large-red_", 72, 82, DialBody::large, "#EF5B5B"},
    {"ZeltoLargeDialYellow", "knobs/chaos-dial-large-yellow_", 72, 82, DialBody::large, "#F2C94C"},
    {"ZeltoLargeDialPurple", "knobs/chaos-dial-large-purple_", 72, 82, DialBody::large, "#A98BF5"},
    {"ZeltoLargeDialGrey", "knobs/chaos-dial-large-grey_", 72, 82, DialBody::large, "#B9BDC5"},
    {"ZeltoLargeDialOrange", "knobs/chaos-dial-large-orange_", 72, 82, DialBody::large, "#F2994A"},
    {"ZeltoMediumDial", "knobs/dial-medium-blue-", 68, 84, DialBody::medium, "#4FA3F7"},
    {"ZeltoMediumDial", "knobs/dial-medium-yellow-", 68, 84, DialBody::medium, "#F2C94C"},
    {"ZeltoMediumDial", "knobs/dial-medium-red-", 68, 84, DialBody::medium, "#EF5B5B"},
    {"ZeltoMediumDial", "knobs/dial-medium-purple-", 68, 84, DialBody::medium, "#A98BF5"},
    {"ZeltoTinyDial", "knobs/dial-small-grey-", 34, 40, DialBody::tiny, "#B9BDC5"},
}};

// The nine bundles that hold frames, in the order above without repeats.
inline constexpr std::array<std::string_view, 9> dialModules{
    "ZeltoChaosDial",       "ZeltoLargeDialBlue",   "ZeltoLargeDialRed",
    "ZeltoLargeDialYellow", "ZeltoLargeDialPurple", "ZeltoLargeDialGrey",
    "ZeltoLargeDialOrange", "ZeltoMediumDial",      "ZeltoTinyDial"};

} // namespace zelto
