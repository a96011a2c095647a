#include "extension/lv2/TessarayLV2Plugin.hpp"

#include <lv2/core/lv2.h>

// The one symbol a host looks up in the plug-in's shared object.
extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? lv2::descriptor<TessarayLV2Plugin>() : nullptr;
}
