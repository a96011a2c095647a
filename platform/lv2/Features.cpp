#include "lv2/Features.hpp"

#include <cmath>
#include <cstring>
#include <limits>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/parameters/parameters.h>

namespace lv2 {

Features Features::parse(const LV2_Feature* const* features) {
    Features result;
    if (!features) {
        return result;
    }
    for (const LV2_Feature* const* f = features; *f; ++f) {
        const char* uri = (*f)->URI;
        if (!uri) {
            continue;
        }
        if (std::strcmp(uri, LV2_URID__map) == 0) {
            result.map = static_cast<LV2_URID_Map*>((*f)->data);
        } else if (std::strcmp(uri, LV2_URID__unmap) == 0) {
            result.unmap = static_cast<LV2_URID_Unmap*>((*f)->data);
        } else if (std::strcmp(uri, LV2_OPTIONS__options) == 0) {
            result.options = static_cast<const LV2_Options_Option*>((*f)->data);
        } else if (std::strcmp(uri, LV2_LOG__log) == 0) {
            result.log = static_cast<LV2_Log_Log*>((*f)->data);
        }
    }
    return result;
}

LV2_URID mapURI(const LV2_URID_Map* map, const char* uri) {
    if (!map || !map->map || !uri) {
        return 0;
    }
    return map->map(map->handle, uri);
}

namespace {

// An option's value as a number, whichever numeric atom type the host chose.
std::optional<double> numberOf(const LV2_Options_Option& option, LV2_URID intType, LV2_URID longType,
                               LV2_URID floatType, LV2_URID doubleType) {
    if (!option.value || option.type == 0) {
        return std::nullopt;
    }
    double value = 0.0;
    if (option.type == intType && option.size >= sizeof(int32_t)) {
        value = *static_cast<const int32_t*>(option.value);
    } else if (option.type == longType && option.size >= sizeof(int64_t)) {
        value = double(*static_cast<const int64_t*>(option.value));
    } else if (option.type == floatType && option.size >= sizeof(float)) {
        value = *static_cast<const float*>(option.value);
    } else if (option.type == doubleType && option.size >= sizeof(double)) {
        value = *static_cast<const double*>(option.value);
    } else {
        return std::nullopt;
    }
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

std::optional<uint32_t> blockLength(std::optional<double> value) {
    // A block length of 0 or one no buffer could hold is no promise at all.
    if (!value || *value < 1.0 || *value > double(std::numeric_limits<int32_t>::max())) {
        return std::nullopt;
    }
    return uint32_t(*value);
}

} // namespace

HostOptions HostOptions::read(const LV2_Options_Option* options, const LV2_URID_Map* map) {
    HostOptions result;
    if (!options || !map) {
        return result;
    }
    const LV2_URID intType = mapURI(map, LV2_ATOM__Int);
    const LV2_URID longType = mapURI(map, LV2_ATOM__Long);
    const LV2_URID floatType = mapURI(map, LV2_ATOM__Float);
    const LV2_URID doubleType = mapURI(map, LV2_ATOM__Double);
    const LV2_URID minKey = mapURI(map, LV2_BUF_SIZE__minBlockLength);
    const LV2_URID maxKey = mapURI(map, LV2_BUF_SIZE__maxBlockLength);
    const LV2_URID nominalKey = mapURI(map, LV2_BUF_SIZE__nominalBlockLength);
    const LV2_URID rateKey = mapURI(map, LV2_PARAMETERS__sampleRate);

    for (const LV2_Options_Option* o = options; o->key != 0 || o->value != nullptr; ++o) {
        if (o->context != LV2_OPTIONS_INSTANCE || o->key == 0) {
            continue;
        }
        const auto value = numberOf(*o, intType, longType, floatType, doubleType);
        if (o->key == minKey) {
            result.minBlockLength = blockLength(value);
        } else if (o->key == maxKey) {
            result.maxBlockLength = blockLength(value);
        } else if (o->key == nominalKey) {
            result.nominalBlockLength = blockLength(value);
        } else if (o->key == rateKey && value && *value > 0.0) {
            result.sampleRate = float(*value);
        }
    }
    return result;
}

uint32_t HostOptions::maximumBlock(uint32_t fallback) const {
    if (maxBlockLength) {
        return *maxBlockLength;
    }
    if (nominalBlockLength) {
        return *nominalBlockLength;
    }
    return fallback;
}

} // namespace lv2
