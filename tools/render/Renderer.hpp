#pragma once

// Drives a render backend block by block, over a whole buffer or streaming from a source into a file.

#include "tools/render/AudioFile.hpp"
#include "tools/render/RenderBackend.hpp"
#include "tools/render/RenderOptions.hpp"
#include "tools/render/RenderSummary.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

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

// Gives the next frames of the input into non-interleaved channels and says how many: fewer than asked only
// at the end of the input.
using BlockReader = std::function<std::size_t(float* const* channels, std::size_t frames)>;

// Reads a buffer from its start.
BlockReader bufferReader(const AudioBuffer& buffer);

struct FileRender {
    WriteReport written;
    RenderFigures figures;
    std::size_t changesPastEnd = 0; // automation events at or past the input's end, which never happened
};

// Streams an input of that rate and channel count through the prepared backend into the file at
// outputPath, with the blocks and automation timing of renderBuffer and the levels of both sides measured
// on the way; only a block at a time is held. Writes as AudioFileWriter does, so nothing appears when the
// render or the write fails or the output holds non-finite samples. Throws AudioFileError, or what the
// backend throws.
FileRender renderToFile(RenderBackend& backend, double sampleRate, std::size_t inputChannels,
                        const BlockReader& read, const std::string& outputPath, uint32_t blockSize,
                        std::span<const AutomationEvent> automation = {});
