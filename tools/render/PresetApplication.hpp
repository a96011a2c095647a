#pragma once

#include <memory>

class Settings;
class TessarayAudioUnit;
struct FactoryPreset;

// Attaches the plug-in's settings model to the unit, as the editor does when the host creates it, applies
// the preset through the model and runs the main queue dry, so the kernel and the unit's saved preset name
// hold the preset before anything is rendered. The tool works offline: the model's update check is given
// a downloader that always fails. Keep the returned model for as long as the unit renders.
std::shared_ptr<Settings> applyFactoryPreset(const std::shared_ptr<TessarayAudioUnit>& unit,
                                             const FactoryPreset& preset);
