#pragma once

// The editor bundle's catalogue: every colour and image of "Tessaray_TessarayEditor.bundle", read by the
// editor's code and by the artwork generator that draws the bundle, so the two never disagree on a name.

#include <array>
#include <string_view>

namespace editor {

struct EditorColorEntry {
    std::string_view name;
    std::string_view hex; // "#RRGGBB"
};

inline constexpr std::array<EditorColorEntry, 5> editorColors{{
    {"background", "#141519"},    // behind the canvas artwork
    {"barActive", "#58B7F2"},     // the lit part of an analyser bar
    {"barBackground", "#1C2128"}, // the empty slot of an analyser bar
    {"buttonBlue", "#6CB8F4"},    // preset name, version, update notice
    {"values", "#A3D2F7"},        // dial values and captions
}};

struct EditorImageEntry {
    std::string_view name;
    double width;  // points
    double height; // points
};

inline constexpr std::array<EditorImageEntry, 8> editorImages{{
    {"background", 760, 512},
    {"kestrova-logo", 92, 18},
    {"header-preset", 212, 22},
    {"header-preset-next", 22, 22},
    {"header-preset-previous", 22, 22},
    {"header-preset-revert", 16, 16},
    {"morph-dot", 18, 18},
    {"morph-dot-down", 18, 18},
}};

inline constexpr std::string_view editorBundleName = "Tessaray_TessarayEditor";

// The canvas and the places of its blocks, which the artwork's panels frame.
namespace canvas {
inline constexpr double width = 760;
inline constexpr double height = 512;
inline constexpr double headerTop = 16;
inline constexpr double headerHeight = 22;
inline constexpr double analyserX = 32;
inline constexpr double analyserY = 54;
inline constexpr double analyserWidth = 698;
inline constexpr double analyserHeight = 182;
inline constexpr double dialAreaTop = 240;
inline constexpr double dialAreaHeight = 272;
inline constexpr double leftColumnX = 26;
inline constexpr double centreColumnX = 332;
inline constexpr double rightColumnX = 458;
inline constexpr double groupWidth = 276;
inline constexpr double padWidth = 96;
inline constexpr double padHeight = 146;
} // namespace canvas

} // namespace editor
