#pragma once

// The messages of the plug-in's notification port: forged by the plug-in's audio thread, read by an editor.

#include "extension/lv2/TessarayLV2.hpp"
#include "lv2/Atoms.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <lv2/urid/urid.h>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace tessaray_lv2 {

// The analyser's bands, as many as the kernel shares.
inline constexpr int32_t kAnalyserBands = 64;

// The analyser: how many bands are in use, the analysed range in Hz and every band's level (the levels past
// the band count are sent too, and mean nothing).
struct AnalyserMessage {
    int32_t bandCount = 0;
    float rangeLo = 0.0f;
    float rangeHi = 0.0f;
    std::array<float, kAnalyserBands> levels{};

    bool operator==(const AnalyserMessage&) const = default;
};

// The current preset's name.
struct PresetNameMessage {
    std::string name;

    bool operator==(const PresetNameMessage&) const = default;
};

using NotifyMessage = std::variant<AnalyserMessage, PresetNameMessage>;

// The first kPresetNameCapacity bytes of a name at most, ending before the first character that does not fit
// whole.
std::string_view boundedPresetName(std::string_view name);

// The bytes a message takes, header and padding included.
inline constexpr uint32_t kAnalyserMessageSize =
    uint32_t(sizeof(LV2_Atom_Object) + 3 * (sizeof(LV2_Atom_Property_Body) + 8) +
             sizeof(LV2_Atom_Property_Body) + sizeof(LV2_Atom_Vector_Body) + kAnalyserBands * sizeof(float));
constexpr uint32_t presetNameMessageSize(uint32_t length) {
    return uint32_t(sizeof(LV2_Atom_Object) + sizeof(LV2_Atom_Property_Body) + ((length + 1 + 7) & ~7u));
}
inline constexpr uint32_t kLargestPresetNameMessageSize = presetNameMessageSize(kPresetNameCapacity);

// Writes and reads the messages, each an object of the plug-in's own type. Every URID is mapped when the
// codec is made, so writing never maps. Without a map nothing is written and nothing decodes.
class NotifyMessages {
public:
    NotifyMessages() = default;
    explicit NotifyMessages(const LV2_URID_Map* map);

    bool canMap() const { return urids_.atomObject != 0; }

    // Writes one message as the forge's next atom (an event's body, after its time), whole or not at all:
    // false, with nothing written, when the forge's buffer has no room for all of it. Neither allocates.
    bool writeAnalyser(LV2_Atom_Forge& forge, const AnalyserMessage& message) const;
    // A name longer than kPresetNameCapacity bytes is cut short before the first character that does not
    // fit.
    bool writePresetName(LV2_Atom_Forge& forge, std::string_view name) const;

    // The message in the available bytes at atom, or nothing when they hold none whole. Whatever the bytes,
    // nothing past them is read and what comes out is in bounds: a band count within 0...kAnalyserBands, a
    // finite range, levels that are finite and not negative (others read as 0), and a name of at most
    // kPresetNameCapacity bytes of well-formed UTF-8.
    std::optional<NotifyMessage> decode(const LV2_Atom* atom, std::size_t available) const;

private:
    std::optional<NotifyMessage> decodeAnalyser(const LV2_Atom_Object& object) const;
    std::optional<NotifyMessage> decodePresetName(const LV2_Atom_Object& object) const;

    struct URIDs {
        LV2_URID atomObject = 0, atomInt = 0, atomFloat = 0, atomString = 0, atomVector = 0, analyser = 0,
                 bandCount = 0, rangeLo = 0, rangeHi = 0, bandLevels = 0, presetNameMessage = 0,
                 presetName = 0;
    } urids_;
};

} // namespace tessaray_lv2
