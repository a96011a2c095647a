#include "lv2/UI.hpp"

#include <lv2/instance-access/instance-access.h>

namespace lv2 {

UIFeatures UIFeatures::parse(const LV2_Feature* const* features) {
    UIFeatures result;
    if (!features) {
        return result;
    }
    for (const LV2_Feature* const* f = features; *f; ++f) {
        const char* uri = (*f)->URI;
        void* data = (*f)->data;
        if (!uri) {
            continue;
        }
        if (std::strcmp(uri, LV2_URID__map) == 0) {
            result.map = static_cast<LV2_URID_Map*>(data);
        } else if (std::strcmp(uri, LV2_URID__unmap) == 0) {
            result.unmap = static_cast<LV2_URID_Unmap*>(data);
        } else if (std::strcmp(uri, LV2_UI__parent) == 0) {
            result.parent = data;
        } else if (std::strcmp(uri, LV2_UI__resize) == 0) {
            result.resize = static_cast<const LV2UI_Resize*>(data);
        } else if (std::strcmp(uri, LV2_UI__touch) == 0) {
            result.touch = static_cast<const LV2UI_Touch*>(data);
        } else if (std::strcmp(uri, LV2_INSTANCE_ACCESS_URI) == 0) {
            result.instance = data;
        } else if (std::strcmp(uri, LV2_DATA_ACCESS_URI) == 0) {
            result.dataAccess = static_cast<const LV2_Extension_Data_Feature*>(data);
        } else if (std::strcmp(uri, LV2_UI__idleInterface) == 0) {
            result.idleInterface = true;
        }
    }
    return result;
}

} // namespace lv2
