#pragma once

// Bounded reading of atoms from buffers that cannot be trusted, and the room left in a forge's buffer.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <lv2/atom/atom.h>
// The forge names a member Bool, which Xlib defines as a macro: the forge is safe to include through this
// header after Xlib's.
#pragma push_macro("Bool")
#undef Bool
#include <lv2/atom/forge.h>
#pragma pop_macro("Bool")

namespace lv2 {

// The atom at buffer when it is aligned as atoms are and its header and body lie within size bytes, else
// null. Everything inside it is still unchecked.
const LV2_Atom* atomWithin(const void* buffer, std::size_t size);

// Calls visit(key, value) for each property of an object whose header and body lie within its buffer (as
// atomWithin checked), in order. The walk stops at the first property whose header or value reaches past
// the object's body, so every value visited lies whole within it.
template <class Visit> void forEachProperty(const LV2_Atom_Object& object, Visit&& visit) {
    if (object.atom.size < sizeof(LV2_Atom_Object_Body)) {
        return;
    }
    const auto* at = reinterpret_cast<const uint8_t*>(&object.body + 1);
    std::size_t left = object.atom.size - sizeof(LV2_Atom_Object_Body);
    while (left >= sizeof(LV2_Atom_Property_Body)) {
        const auto* property = reinterpret_cast<const LV2_Atom_Property_Body*>(at);
        const std::size_t valueSize = property->value.size;
        if (valueSize > left - sizeof(LV2_Atom_Property_Body)) {
            return;
        }
        visit(property->key, property->value);
        // Every property starts 64-bit aligned; the padding after the last may be missing.
        const std::size_t step = sizeof(LV2_Atom_Property_Body) + ((valueSize + 7) & ~std::size_t{7});
        if (step >= left) {
            return;
        }
        at += step;
        left -= step;
    }
}

// The bytes a forge's buffer has left (unbounded for a forge that writes to a sink).
inline uint32_t forgeRoom(const LV2_Atom_Forge& forge) {
    if (!forge.buf) {
        return std::numeric_limits<uint32_t>::max();
    }
    return forge.offset < forge.size ? forge.size - forge.offset : 0;
}

} // namespace lv2
