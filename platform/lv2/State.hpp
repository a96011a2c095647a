#pragma once

#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <optional>
#include <string>
#include <string_view>

namespace lv2 {

// Writes values through the store callback a host passes to save().
class StateWriter {
public:
    StateWriter(LV2_State_Store_Function store, LV2_State_Handle handle, const LV2_URID_Map* map)
        : store_(store), handle_(handle), map_(map) {}

    // Stores text as an atom:String (plain and portable). Without a map or a key the value cannot be named
    // and LV2_STATE_ERR_NO_FEATURE is returned.
    LV2_State_Status storeString(const char* keyURI, std::string_view text) const;

private:
    LV2_State_Store_Function store_;
    LV2_State_Handle handle_;
    const LV2_URID_Map* map_;
};

// Reads values through the retrieve callback a host passes to restore().
class StateReader {
public:
    StateReader(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, const LV2_URID_Map* map)
        : retrieve_(retrieve), handle_(handle), map_(map) {}

    // The text stored under the key; absent when there is none, or it is not an atom:String. A value
    // without its terminating zero is read up to its size.
    std::optional<std::string> string(const char* keyURI) const;

private:
    LV2_State_Retrieve_Function retrieve_;
    LV2_State_Handle handle_;
    const LV2_URID_Map* map_;
};

// The map a plug-in should use in save() or restore(): the one it was instantiated with, else one the host
// passes with the call.
const LV2_URID_Map* stateMap(const LV2_URID_Map* instanceMap, const LV2_Feature* const* callFeatures);

} // namespace lv2
