#include "extension/FactoryPreset.hpp"
#include "extension/Settings.hpp"
#include "extension/TessarayAudioUnit.hpp"
#include "tools/render/AudioFile.hpp"
#include "tools/render/AudioUnitBackend.hpp"
#include "tools/render/DemoSignal.hpp"
#include "tools/render/PresetApplication.hpp"
#include "tools/render/QuotedText.hpp"
#include "tools/render/RenderOptions.hpp"
#include "tools/render/RenderSummary.hpp"
#include "tools/render/Renderer.hpp"

#include <exception>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const OptionsResult parsed = parseRenderOptions(arguments);
    if (!parsed.options) {
        std::cerr << "tessaray-render: " << parsed.error << "\nTry 'tessaray-render --help'.\n";
        return 2;
    }
    const RenderOptions& options = *parsed.options;
    if (options.showHelp) {
        std::cout << renderUsage();
        return 0;
    }
    if (options.listPresets) {
        for (const FactoryPreset& preset : factoryPresetList()) {
            std::cout << preset.name << "\n";
        }
        return 0;
    }

    // Rendering onto a file the tool reads would destroy it (links and symbolic links included).
    std::error_code sameFileError;
    if (!options.inputPath.empty() &&
        std::filesystem::equivalent(options.inputPath, options.outputPath, sameFileError)) {
        std::cerr << "tessaray-render: the output " << quotedText(options.outputPath)
                  << " is the input file\n";
        return 2;
    }
    for (const std::string& automationPath : options.automationPaths) {
        if (std::filesystem::equivalent(automationPath, options.outputPath, sameFileError)) {
            std::cerr << "tessaray-render: the output " << quotedText(options.outputPath)
                      << " is the automation file\n";
            return 2;
        }
    }
    removeTemporaryFilesOnSignals();

    try {
        // A file is read a block at a time as the render goes; the short demo signal is made whole.
        std::optional<AudioFileReader> file;
        AudioBuffer demo;
        if (options.inputPath.empty()) {
            demo = makeDemoSignal();
        } else {
            file.emplace(options.inputPath);
        }
        const double sampleRate = file ? file->sampleRate() : demo.sampleRate;
        const std::size_t inputChannels = file ? file->channelCount() : demo.channelCount();
        const BlockReader read =
            file ? BlockReader(std::bind_front(&AudioFileReader::read, &*file)) : bufferReader(demo);

        AudioUnitBackend backend(extensionBundleDirectory());
        std::shared_ptr<Settings> settings;
        if (options.presetName.empty()) {
            applyParameters(backend, options.settings);
        } else {
            const auto& presets = factoryPresetList();
            settings = applyFactoryPreset(
                std::dynamic_pointer_cast<TessarayAudioUnit>(backend.unit().shared_from_this()),
                presets[static_cast<std::size_t>(indexOfFactoryPreset(presets, options.presetName))]);
            for (const ParameterSetting& setting : options.settings) {
                backend.setParameter(setting.parameter->address, setting.value);
            }
        }
        backend.prepare(sampleRate, static_cast<uint32_t>(inputChannels), outputChannelCount(inputChannels),
                        options.blockSize);

        const FileRender rendered = renderToFile(backend, sampleRate, inputChannels, read, options.outputPath,
                                                 options.blockSize, options.automation);
        if (rendered.written.clippedSamples > 0) {
            std::cerr << "tessaray-render: warning: " << rendered.written.clippedSamples
                      << " samples beyond full scale were clipped in " << quotedText(options.outputPath)
                      << "\n";
        }
        if (rendered.changesPastEnd > 0) {
            std::cerr << "tessaray-render: warning: " << rendered.changesPastEnd << " automated change"
                      << (rendered.changesPastEnd == 1 ? "" : "s")
                      << " at or past the end of the input (frame " << rendered.figures.frames
                      << ") did not happen\n";
        }

        std::cout << "wrote " << escapedText(options.outputPath) << "\n"
                  << formatSummary(rendered.figures, backend.analyser());
    } catch (const std::exception& error) {
        std::cerr << "tessaray-render: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
