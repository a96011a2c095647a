#include "extension/lv2/NotifyMessages.hpp"

#include "core/Text.hpp"
#include "lv2/Atoms.hpp"
#include "lv2/Features.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tessaray_lv2 {

namespace {

// The body of a property's value of the given type and exactly size bytes long, else null.
const void* bodyOf(const LV2_Atom* value, LV2_URID type, std::size_t size) {
    return value && value->type == type && value->size == size ? value + 1 : nullptr;
}

template <class T> T read(const void* body) {
    T value;
    std::memcpy(&value, body, sizeof value);
    return value;
}

} // namespace

std::string_view boundedPresetName(std::string_view name) {
    if (name.size() <= kPresetNameCapacity) {
        return name;
    }
    std::size_t length = kPresetNameCapacity;
    while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) {
        --length; // name[length] continues a character that began before it
    }
    return name.substr(0, length);
}

NotifyMessages::NotifyMessages(const LV2_URID_Map* map) {
    if (!map || !map->map) {
        return;
    }
    const auto id = [map](const char* uri) { return lv2::mapURI(map, uri); };
    urids_ = {id(LV2_ATOM__Object), id(LV2_ATOM__Int),  id(LV2_ATOM__Float),       id(LV2_ATOM__String),
              id(LV2_ATOM__Vector), id(kAnalyserURI),   id(kBandCountURI),         id(kRangeLoURI),
              id(kRangeHiURI),      id(kBandLevelsURI), id(kPresetNameMessageURI), id(kPresetNameKeyURI)};
}

bool NotifyMessages::writeAnalyser(LV2_Atom_Forge& forge, const AnalyserMessage& message) const {
    if (!canMap() || lv2::forgeRoom(forge) < kAnalyserMessageSize) {
        return false;
    }
    LV2_Atom_Forge_Frame frame;
    if (!lv2_atom_forge_object(&forge, &frame, 0, urids_.analyser)) {
        return false;
    }
    const bool written =
        lv2_atom_forge_key(&forge, urids_.bandCount) && lv2_atom_forge_int(&forge, message.bandCount) &&
        lv2_atom_forge_key(&forge, urids_.rangeLo) && lv2_atom_forge_float(&forge, message.rangeLo) &&
        lv2_atom_forge_key(&forge, urids_.rangeHi) && lv2_atom_forge_float(&forge, message.rangeHi) &&
        lv2_atom_forge_key(&forge, urids_.bandLevels) &&
        lv2_atom_forge_vector(&forge, sizeof(float), urids_.atomFloat, kAnalyserBands, message.levels.data());
    lv2_atom_forge_pop(&forge, &frame);
    return written;
}

bool NotifyMessages::writePresetName(LV2_Atom_Forge& forge, std::string_view name) const {
    const std::string_view bounded = boundedPresetName(name);
    const auto length = uint32_t(bounded.size());
    if (!canMap() || lv2::forgeRoom(forge) < presetNameMessageSize(length)) {
        return false;
    }
    LV2_Atom_Forge_Frame frame;
    if (!lv2_atom_forge_object(&forge, &frame, 0, urids_.presetNameMessage)) {
        return false;
    }
    const bool written = lv2_atom_forge_key(&forge, urids_.presetName) &&
                         lv2_atom_forge_string(&forge, bounded.data(), length);
    lv2_atom_forge_pop(&forge, &frame);
    return written;
}

std::optional<NotifyMessage> NotifyMessages::decode(const LV2_Atom* atom, std::size_t available) const {
    atom = lv2::atomWithin(atom, available);
    if (!atom || !canMap() || atom->type != urids_.atomObject || atom->size < sizeof(LV2_Atom_Object_Body)) {
        return std::nullopt;
    }
    const auto& object = *reinterpret_cast<const LV2_Atom_Object*>(atom);
    if (object.body.otype == urids_.analyser) {
        return decodeAnalyser(object);
    }
    if (object.body.otype == urids_.presetNameMessage) {
        return decodePresetName(object);
    }
    return std::nullopt;
}

std::optional<NotifyMessage> NotifyMessages::decodeAnalyser(const LV2_Atom_Object& object) const {
    // The first value of each key counts.
    const LV2_Atom* count = nullptr;
    const LV2_Atom* lo = nullptr;
    const LV2_Atom* hi = nullptr;
    const LV2_Atom* levels = nullptr;
    lv2::forEachProperty(object, [&](LV2_URID key, const LV2_Atom& value) {
        const LV2_Atom** slot = key == urids_.bandCount    ? &count
                                : key == urids_.rangeLo    ? &lo
                                : key == urids_.rangeHi    ? &hi
                                : key == urids_.bandLevels ? &levels
                                                           : nullptr;
        if (slot && !*slot) {
            *slot = &value;
        }
    });
    const void* countBody = bodyOf(count, urids_.atomInt, sizeof(int32_t));
    const void* loBody = bodyOf(lo, urids_.atomFloat, sizeof(float));
    const void* hiBody = bodyOf(hi, urids_.atomFloat, sizeof(float));
    const void* levelsBody =
        bodyOf(levels, urids_.atomVector, sizeof(LV2_Atom_Vector_Body) + kAnalyserBands * sizeof(float));
    if (!countBody || !loBody || !hiBody || !levelsBody) {
        return std::nullopt;
    }
    const auto vector = read<LV2_Atom_Vector_Body>(levelsBody);
    if (vector.child_type != urids_.atomFloat || vector.child_size != sizeof(float)) {
        return std::nullopt;
    }
    AnalyserMessage message;
    message.bandCount = std::clamp(read<int32_t>(countBody), 0, kAnalyserBands);
    message.rangeLo = read<float>(loBody);
    message.rangeHi = read<float>(hiBody);
    if (!std::isfinite(message.rangeLo) || !std::isfinite(message.rangeHi)) {
        return std::nullopt;
    }
    const auto* values = static_cast<const unsigned char*>(levelsBody) + sizeof(LV2_Atom_Vector_Body);
    for (std::size_t i = 0; i < message.levels.size(); ++i) {
        const auto level = read<float>(values + i * sizeof(float));
        message.levels[i] = std::isfinite(level) && level > 0.0f ? level : 0.0f;
    }
    return message;
}

std::optional<NotifyMessage> NotifyMessages::decodePresetName(const LV2_Atom_Object& object) const {
    const LV2_Atom* value = nullptr;
    lv2::forEachProperty(object, [&](LV2_URID key, const LV2_Atom& property) {
        if (key == urids_.presetName && !value) {
            value = &property;
        }
    });
    if (!value || value->type != urids_.atomString) {
        return std::nullopt;
    }
    // The string ends at its terminator, or with its body when a writer left that out.
    const auto* text = static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
    const std::size_t length = strnlen(text, value->size);
    return PresetNameMessage{core::validUTF8(std::string_view(text, length), kPresetNameCapacity)};
}

} // namespace tessaray_lv2
