#pragma once

// Test support: a host's URID map, handing out 1, 2, 3... to URIs in the order they are first asked.

#include <lv2/urid/urid.h>
#include <map>
#include <string>

namespace lv2test {

struct UridMap {
    std::map<std::string, LV2_URID> ids;
    LV2_URID_Map map{this, [](LV2_URID_Map_Handle h, const char* uri) {
                         auto* self = static_cast<UridMap*>(h);
                         return self->ids.emplace(uri, LV2_URID(self->ids.size() + 1)).first->second;
                     }};
    LV2_URID operator()(const char* uri) { return map.map(map.handle, uri); }
};

} // namespace lv2test
