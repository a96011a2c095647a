#pragma once

// What an editor in the host's process may reach of a running plug-in instance: the kernel's shared state,
// the parameters it changed, and the current preset's name. The plug-in hands it out as extension data (the
// host's data-access feature); the editor calls it with the instance handle from instance-access. Plain C
// function pointers, because plug-in and editor are two shared objects, each with its own hidden copy of our
// libraries.

#include "dsp/DSPKernel.hpp"
#include "extension/lv2/EditorChangeExchange.hpp"

#include <cstdint>
#include <lv2/core/lv2.h>

namespace tessaray_lv2 {

inline constexpr const char* kEditorAccessURI = "https://tessaray.com/lv2/tessaray#editorAccess";

inline constexpr uint32_t kEditorSlots = EditorChangeExchange::kSlots;
inline constexpr uint32_t kNoEditorSlot = EditorChangeExchange::kNoSlot;

struct EditorAccess {
    // The kernel's analyser values and parameter mirror; valid while the instance lives. The editor only
    // reads it: the dirty mask is taken through takeChanges, never directly.
    DSPSharedState* (*sharedState)(LV2_Handle instance);
    // An editor that follows the instance's parameters attaches for a slot (kNoEditorSlot when the
    // instance's kEditorSlots are all taken: that editor follows the host's port events instead), takes
    // the parameters changed since its last call (a bit per address; their values are in the parameter
    // mirror) and detaches when it closes. Every attached editor sees every change once. Editors' main
    // threads only.
    uint32_t (*attachEditor)(LV2_Handle instance);
    uint32_t (*takeChanges)(LV2_Handle instance, uint32_t slot);
    void (*detachEditor)(LV2_Handle instance, uint32_t slot);
    // A number that grows whenever the preset name is set (by a restored state, a host preset or the
    // editor), so the editor reads the name only when it changed.
    uint32_t (*presetNameSequence)(LV2_Handle instance);
    // Copies the name, cut short to capacity - 1 bytes, always terminated. Returns its full length.
    uint32_t (*presetName)(LV2_Handle instance, char* buffer, uint32_t capacity);
    // Records the name of the preset the editor applied; the host's session saves it.
    void (*setPresetName)(LV2_Handle instance, const char* name);
};

} // namespace tessaray_lv2
