#pragma once

// Drives a render backend over a whole buffer, block by block.

#include "tools/render/AudioFile.hpp"
#include "tools/render/RenderBackend.hpp"
#include "tools/render/RenderOptions.hpp"

#include <cstdint>
#include <filesystem>
#include <span>

// Mono becomes stereo, as the effect is stereo; every other layout keeps its channel count.
uint32_t outputChannelCount(std::size_t inputChannels);

// Pushes every parameter's default first, then the settings in order, as the plug-in's settings model does
// when it attaches, so the kernel's own start-up values never leak into a render.
void applyParameters(RenderBackend& backend, std::span<const ParameterSetting> settings);

// $TESSARAY_EXTENSION_BUNDLE when set and not empty, else the extension bundle of the build tree.
std::filesystem::path extensionBundleDirectory();

// Processes the whole input in blocks of at most blockSize frames; the output has the input's length. Each
// automation event reaches the backend in the block that holds its frame, at its offset there (events at the
// same frame keep their order); events at or past the end of the input change nothing.
AudioBuffer renderBuffer(RenderBackend& backend, const AudioBuffer& input, uint32_t blockSize,
                         std::span<const AutomationEvent> automation = {});
