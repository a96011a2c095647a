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

// The editor: an X11 UI in its own shared object, so the plug-in never links X11 or Cairo.
inline constexpr const char* kUIURI = "https://tessaray.com/lv2/tessaray#ui";
inline constexpr const char* kUIBinaryName = "tessaray_ui.so";

// 0-1 audio in (left, right), 2-3 audio out, then one control port per parameter in table order, the host's
// bypass switch and the notification output to editors without instance access.
inline constexpr uint32_t kAudioInLeft = 0;
inline constexpr uint32_t kAudioInRight = 1;
inline constexpr uint32_t kAudioOutLeft = 2;
inline constexpr uint32_t kAudioOutRight = 3;
inline constexpr uint32_t kFirstParameterPort = 4;
inline constexpr uint32_t kEnabledPort = kFirstParameterPort + uint32_t(kParameterCount);
inline constexpr uint32_t kNotifyPort = kEnabledPort + 1;
inline constexpr uint32_t kPortCount = kNotifyPort + 1;
inline constexpr const char* kEnabledSymbol = "enabled";
inline constexpr const char* kNotifySymbol = "notify";
// The host's buffer for the notification port must hold at least this many bytes.
inline constexpr uint32_t kNotifyMinimumSize = 4096;

// Messages on the notification port, objects of the plug-in's own types: about 60 times a second of audio,
// an analyser object with the band count (atom:Int), the analysed range (two atom:Float) and the band levels
// (an atom:Vector of 64 atom:Float); and, whenever the name changes, a preset-name object holding the
// preset-name property (an atom:String). Both go out again once a second for editors opened since. Neither
// is a patch message: hosts treat a patch:Set as a change of one of their declared parameters.
inline constexpr const char* kAnalyserURI = "https://tessaray.com/lv2/tessaray#Analyser";
inline constexpr const char* kPresetNameMessageURI = "https://tessaray.com/lv2/tessaray#PresetName";
inline constexpr const char* kBandCountURI = "https://tessaray.com/lv2/tessaray#bandCount";
inline constexpr const char* kRangeLoURI = "https://tessaray.com/lv2/tessaray#rangeLo";
inline constexpr const char* kRangeHiURI = "https://tessaray.com/lv2/tessaray#rangeHi";
inline constexpr const char* kBandLevelsURI = "https://tessaray.com/lv2/tessaray#bandLevels";
inline constexpr uint32_t kNotifyRate = 60;
// The bytes a preset name holds (no terminator; the factory names are far shorter): a restored name is cut
// short at a character boundary, and so are longer names on the notification port.
inline constexpr uint32_t kPresetNameCapacity = 128;

// The port of a parameter, and the parameter of a port (null for every other port).
constexpr uint32_t portOfParameter(const ParameterInfo& info) {
    return kFirstParameterPort + uint32_t(parameterIndex(info));
}
constexpr const ParameterInfo* parameterOfPort(uint32_t port) {
    return port >= kFirstParameterPort && port < kEnabledPort ? &kParameterTable[port - kFirstParameterPort]
                                                              : nullptr;
}

// When the host states no block length.
inline constexpr uint32_t kDefaultMaximumBlock = 1024;
// Larger host blocks are rendered in pieces of this size, so a host's huge (or bogus) maximum costs no
// memory.
inline constexpr uint32_t kLargestInternalBlock = 8192;

} // namespace tessaray_lv2
