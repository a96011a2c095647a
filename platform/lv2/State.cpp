#include "lv2/State.hpp"

#include "lv2/Features.hpp"

#include <cstring>
#include <lv2/atom/atom.h>

namespace lv2 {

LV2_State_Status StateWriter::storeString(const char* keyURI, std::string_view text) const {
    const LV2_URID key = mapURI(map_, keyURI);
    const LV2_URID type = mapURI(map_, LV2_ATOM__String);
    if (!store_ || key == 0 || type == 0) {
        return LV2_STATE_ERR_NO_FEATURE;
    }
    // An atom:String's body includes its terminating zero; the host copies it before store returns.
    std::string body(text);
    return store_(handle_, key, body.c_str(), body.size() + 1, type,
                  LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

std::optional<std::string> StateReader::string(const char* keyURI) const {
    const LV2_URID key = mapURI(map_, keyURI);
    if (!retrieve_ || key == 0) {
        return std::nullopt;
    }
    size_t size = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
    const void* value = retrieve_(handle_, key, &size, &type, &flags);
    if (!value || type != mapURI(map_, LV2_ATOM__String)) {
        return std::nullopt;
    }
    const char* text = static_cast<const char*>(value);
    const void* zero = std::memchr(text, 0, size);
    return std::string(text, zero ? static_cast<const char*>(zero) - text : size);
}

const LV2_URID_Map* stateMap(const LV2_URID_Map* instanceMap, const LV2_Feature* const* callFeatures) {
    if (instanceMap) {
        return instanceMap;
    }
    return Features::parse(callFeatures).map;
}

} // namespace lv2
