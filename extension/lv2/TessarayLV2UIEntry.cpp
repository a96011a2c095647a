#include "extension/lv2/TessarayLV2UI.hpp"

// The one symbol a host looks up in the editor's shared object.
extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? lv2::uiDescriptor<TessarayLV2UI>() : nullptr;
}
