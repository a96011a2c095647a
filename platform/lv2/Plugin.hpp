#pragma once

#include "lv2/Features.hpp"
#include "lv2/State.hpp"

#include <cstdint>
#include <cstring>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <memory>

namespace lv2 {

// What a host hands a plug-in at instantiation.
struct InstantiateArguments {
    double sampleRate = 0.0;
    const char* bundlePath = nullptr;
    Features features;
};

// Base of a plug-in instance. The descriptor below turns the host's C calls into these members, and keeps
// exceptions from crossing back into the host.
class Plugin {
public:
    virtual ~Plugin() = default;

    // Audio class: no allocation, lock or system call.
    virtual void connectPort(uint32_t port, void* location) = 0;
    virtual void run(uint32_t frames) = 0;

    // Instantiation class.
    virtual void activate() {}
    virtual void deactivate() {}

    // State interface; only offered to hosts when the plug-in type declares kHasState.
    virtual LV2_State_Status save(const LV2_URID_Map* /*map*/, const StateWriter& /*writer*/) {
        return LV2_STATE_SUCCESS;
    }
    virtual LV2_State_Status restore(const LV2_URID_Map* /*map*/, const StateReader& /*reader*/) {
        return LV2_STATE_SUCCESS;
    }

    // The map the instance was made with, used by save and restore when the host passes none with them.
    const LV2_URID_Map* instanceMap() const { return instanceMap_; }
    void setInstanceMap(const LV2_URID_Map* map) { instanceMap_ = map; }

private:
    const LV2_URID_Map* instanceMap_ = nullptr;
};

namespace detail {

template <class T> struct Glue {
    static LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char* bundlePath,
                                  const LV2_Feature* const* features) {
        InstantiateArguments arguments{rate, bundlePath, Features::parse(features)};
        try {
            std::unique_ptr<Plugin> plugin = T::instantiate(arguments);
            if (!plugin) {
                return nullptr;
            }
            plugin->setInstanceMap(arguments.features.map);
            return plugin.release();
        } catch (...) {
            // A host has no way to receive an exception; a null handle is how instantiation fails.
            return nullptr;
        }
    }
    static void connectPort(LV2_Handle handle, uint32_t port, void* location) {
        static_cast<Plugin*>(handle)->connectPort(port, location);
    }
    static void activate(LV2_Handle handle) { static_cast<Plugin*>(handle)->activate(); }
    static void run(LV2_Handle handle, uint32_t frames) { static_cast<Plugin*>(handle)->run(frames); }
    static void deactivate(LV2_Handle handle) { static_cast<Plugin*>(handle)->deactivate(); }
    static void cleanup(LV2_Handle handle) { delete static_cast<Plugin*>(handle); }

    static LV2_State_Status save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state,
                                 uint32_t, const LV2_Feature* const* features) {
        auto* plugin = static_cast<Plugin*>(handle);
        const LV2_URID_Map* map = stateMap(plugin->instanceMap(), features);
        try {
            return plugin->save(map, StateWriter(store, state, map));
        } catch (...) {
            return LV2_STATE_ERR_UNKNOWN;
        }
    }
    static LV2_State_Status restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve,
                                    LV2_State_Handle state, uint32_t, const LV2_Feature* const* features) {
        auto* plugin = static_cast<Plugin*>(handle);
        const LV2_URID_Map* map = stateMap(plugin->instanceMap(), features);
        try {
            return plugin->restore(map, StateReader(retrieve, state, map));
        } catch (...) {
            return LV2_STATE_ERR_UNKNOWN;
        }
    }

    static const void* extensionData(const char* uri) {
        static const LV2_State_Interface state{&Glue::save, &Glue::restore};
        if constexpr (T::kHasState) {
            if (uri && std::strcmp(uri, LV2_STATE__interface) == 0) {
                return &state;
            }
        }
        if constexpr (requires { T::pluginExtensionData(uri); }) {
            if (uri) {
                return T::pluginExtensionData(uri);
            }
        }
        return nullptr;
    }

    static inline const LV2_Descriptor descriptor{T::kURI,         &Glue::instantiate,  &Glue::connectPort,
                                                  &Glue::activate, &Glue::run,          &Glue::deactivate,
                                                  &Glue::cleanup,  &Glue::extensionData};
};

} // namespace detail

// The descriptor of plug-in type T, which provides
//   static constexpr const char* kURI;
//   static constexpr bool kHasState;
//   static std::unique_ptr<lv2::Plugin> instantiate(const lv2::InstantiateArguments&);  // may throw
// and optionally
//   static const void* pluginExtensionData(const char* uri);  // further extension data, else null
template <class T> const LV2_Descriptor* descriptor() {
    return &detail::Glue<T>::descriptor;
}

} // namespace lv2
