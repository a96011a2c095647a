#pragma once

#include <cstdint>
#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>
#include <optional>

namespace lv2 {

// The host features a plug-in may use; each is null when the host did not offer it.
struct Features {
    LV2_URID_Map* map = nullptr;
    LV2_URID_Unmap* unmap = nullptr;
    const LV2_Options_Option* options = nullptr;
    LV2_Log_Log* log = nullptr;

    // Reads a host's null-terminated feature array (which may itself be null).
    static Features parse(const LV2_Feature* const* features);
};

// 0 without a map or a URI: no URI maps to 0, so lookups against it simply fail.
LV2_URID mapURI(const LV2_URID_Map* map, const char* uri);

// The block-length and sample-rate options a host passed at instantiation.
struct HostOptions {
    std::optional<uint32_t> minBlockLength;
    std::optional<uint32_t> maxBlockLength;
    std::optional<uint32_t> nominalBlockLength;
    std::optional<float> sampleRate;

    // Options of other keys, of unusable types or with values out of range are ignored. Without a map no
    // option can be identified, so all stay absent.
    static HostOptions read(const LV2_Options_Option* options, const LV2_URID_Map* map);

    // The largest block the host promises, else its usual block, else fallback.
    uint32_t maximumBlock(uint32_t fallback) const;
};

} // namespace lv2
