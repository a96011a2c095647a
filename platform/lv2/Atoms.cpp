#include "lv2/Atoms.hpp"

namespace lv2 {

const LV2_Atom* atomWithin(const void* buffer, std::size_t size) {
    if (!buffer || reinterpret_cast<uintptr_t>(buffer) % alignof(LV2_Atom) != 0 || size < sizeof(LV2_Atom)) {
        return nullptr;
    }
    const auto* atom = static_cast<const LV2_Atom*>(buffer);
    return atom->size <= size - sizeof(LV2_Atom) ? atom : nullptr;
}

} // namespace lv2
