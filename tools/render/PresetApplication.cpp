#include "tools/render/PresetApplication.hpp"

#include "core/MainQueue.hpp"
#include "extension/Settings.hpp"
#include "extension/TessarayAudioUnit.hpp"
#include "extension/UpdateCheck.hpp"

std::shared_ptr<Settings> applyFactoryPreset(const std::shared_ptr<TessarayAudioUnit>& unit,
                                             const FactoryPreset& preset) {
    setUpdateFeedFetcher([](const std::string&, FetchCancellation&) -> std::string {
        throw UpdateFeedError("the render tool does not check for updates");
    });
    auto settings = Settings::create();
    settings->configureAudioUnit(unit);
    settings->setupParameterTreeListeners();
    settings->applyPreset(preset);
    core::MainQueue::shared().drain();
    return settings;
}
