#pragma once

#include "extension/ParameterTable.hpp"

#include <cstdint>

// The plug-in's identity and port layout, shared by the plug-in and the generator of its metadata.
namespace tessaray_lv2 {

inline constexpr const char* kPluginURI = "https://tessaray.com/lv2/tessaray";
// The state key of the current preset's name (an atom:String).
inline constexpr const char* kPresetNameKeyURI = "https://tessaray.com/lv2/tessaray#currentPresetName";
inline constexpr const char* kBundleName = "tessaray.lv2";
inline constexpr const char* kBinaryName = "tessaray.so";

// 0-1 audio in (left, right), 2-3 audio out, then one control port per parameter in table order, then the
// host's bypass switch.
inline constexpr uint32_t kAudioInLeft = 0;
inline constexpr uint32_t kAudioInRight = 1;
inline constexpr uint32_t kAudioOutLeft = 2;
inline constexpr uint32_t kAudioOutRight = 3;
inline constexpr uint32_t kFirstParameterPort = 4;
inline constexpr uint32_t kEnabledPort = kFirstParameterPort + uint32_t(kParameterCount);
inline constexpr uint32_t kPortCount = kEnabledPort + 1;
inline constexpr const char* kEnabledSymbol = "enabled";

// When the host states no block length.
inline constexpr uint32_t kDefaultMaximumBlock = 1024;
// Larger host blocks are rendered in pieces of this size, so a host's huge (or bogus) maximum costs no
// memory.
inline constexpr uint32_t kLargestInternalBlock = 8192;

} // namespace tessaray_lv2
