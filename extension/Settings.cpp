#include "extension/Settings.hpp"

#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "extension/TessarayAudioUnit.hpp"
#include "extension/UpdateCheck.hpp"

#include <algorithm>
#include <chrono>

namespace {

constexpr auto kPollInterval = std::chrono::nanoseconds(1'000'000'000 / 60);

AudioParameter::ValueIncrement incrementOf(const ParameterInfo& info) {
    return info.increment == ParameterIncrement::logarithmic ? AudioParameter::ValueIncrement::logarithmic()
                                                             : AudioParameter::ValueIncrement::linear();
}

// Runs work on the main thread: at once when already there, otherwise through the main queue.
void onMain(std::function<void()> work) {
    if (core::isMainThread()) {
        work();
    } else {
        core::mainAsync(std::move(work));
    }
}

// The body of an update check. Holds the settings weakly, so a check never keeps them alive.
void runUpdateCheck(const std::weak_ptr<Settings>& weak, const std::string& ownVersion,
                    FetchCancellation& cancelled) {
    const auto feed = core::URL::parse(kUpdateFeedAddress);
    if (!feed) {
        return;
    }
    const std::string body = currentUpdateFeedFetcher()(feed->string(), cancelled);
    auto newer = newerVersionInFeed(body, ownVersion);
    if (!newer || cancelled.isCancelled()) {
        return;
    }
    onMain([weak, version = std::move(*newer)] {
        if (auto settings = weak.lock()) {
            settings->updateDetails = UpdateAvailableDetails(version);
        }
    });
}

} // namespace

std::shared_ptr<Settings> Settings::create() {
    std::shared_ptr<Settings> settings(new Settings());
    settings->init();
    return settings;
}

Settings::Settings() : factoryPresets(factoryPresetList()) {
    const int index = indexOfFactoryPreset(factoryPresets, "Default");
    if (index >= 0) {
        currentPresetIndex = index;
    }
}

void Settings::init() {
    std::vector<std::shared_ptr<AudioParameter>> list;
    for (std::size_t i = 0; i < kParameterCount; ++i) {
        const ParameterInfo& info = kParameterTable[i];
        fields_[i].set(
            AudioParameter::create(info.address, std::string(info.identifier), std::string(info.name),
                                   static_cast<AudioUnitParameterUnit>(info.unitNumber()),
                                   {info.minimum, info.maximum}, info.defaultValue, incrementOf(info)));
        list.push_back(fields_[i].peek());
    }
    setupParameters(std::move(list));
}

Settings::~Settings() {
    if (pollTimer_) {
        pollTimer_->invalidate();
    }
    cancelUpdateChecks();
}

void Settings::cancelUpdateChecks() {
    // Wakes a transfer waiting on the network at once, so closing an editor never stalls its host.
    cancelChecks_->cancel();
    waitForUpdateChecks();
}

std::string Settings::pluginVersion() const {
    if (auto unit = vantrelAudioUnit()) {
        if (auto bundle = unit->resourceBundle()) {
            if (auto version = bundle->shortVersionString()) {
                return *version;
            }
        }
    }
    return ParameterSettings::pluginVersion();
}

void Settings::configureAudioUnit(const std::shared_ptr<CorviAudioUnit>& unit) {
    ParameterSettings::configureAudioUnit(unit);
    const auto tessaray = std::dynamic_pointer_cast<TessarayAudioUnit>(unit);
    if (!tessaray) {
        return;
    }
    vantrelAudioUnit_.store(tessaray, std::memory_order_release);
    const std::weak_ptr<Settings> weakSelf = std::static_pointer_cast<Settings>(shared_from_this());

    // The unit reports a restored name on the host's thread; the index is the editor's, so it changes on
    // the main thread only.
    tessaray->setOnPresetNameUpdate([weakSelf](const std::string& name) {
        onMain([weakSelf, name] {
            if (auto settings = weakSelf.lock()) {
                settings->selectPreset(name);
            }
        });
    });
    selectPreset(tessaray->currentPresetName());

    if (pollTimer_) {
        pollTimer_->invalidate();
    }
    pollTimer_ = core::RunLoop::main().scheduleRepeating(kPollInterval, [weakSelf] {
        if (auto settings = weakSelf.lock()) {
            settings->pollKernelState();
        }
    });

    if (auto tree = tessaray->parameterTree()) {
        tree->setImplementorValueProvider(
            [weakUnit = std::weak_ptr<TessarayAudioUnit>(tessaray)](const audiounit::AUParameter& parameter) {
                if (auto unit = weakUnit.lock()) {
                    const uint64_t address = parameter.address();
                    return address < kParameterAddressCount
                               ? unit->sharedState().paramValues[address].load(std::memory_order_relaxed)
                               : 0.0f;
                }
                return parameter.storedValue();
            });
    }

    startUpdateCheck();
}

void Settings::pollKernelState() {
    const auto unit = vantrelAudioUnit();
    if (!unit) {
        return;
    }
    DSPSharedState& shared = unit->sharedState();

    // The kernel publishes at most 64 bands; never trust the count for an allocation size.
    const int32_t count =
        std::clamp<int32_t>(shared.vizBandCount.load(std::memory_order_relaxed), 0, DSPSharedState::kBands);
    std::vector<float> amps(static_cast<std::size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        amps[static_cast<std::size_t>(i)] = shared.vizBandAmps[i].load(std::memory_order_relaxed);
    }
    analyzerBandAmps = std::move(amps);
    analyzerRangeLo = shared.vizRangeLo.load(std::memory_order_relaxed);
    analyzerRangeHi = shared.vizRangeHi.load(std::memory_order_relaxed);

    const uint32_t mask = shared.dirtyMask.exchange(0, std::memory_order_acq_rel);
    if (mask == 0) {
        return;
    }
    for (uint64_t address = 0; address < kParameterAddressCount; ++address) {
        if ((mask & (1u << address)) != 0) {
            // The kernel already holds this value; writing it back could undo a newer automation value.
            updateParameter(shared.paramValues[address].load(std::memory_order_relaxed), address,
                            ParameterEditor::parameterObserver);
        }
    }
}

std::optional<FactoryPreset> Settings::currentPreset() const {
    const auto index = currentPresetIndex.get();
    if (!index || *index < 0 || static_cast<std::size_t>(*index) >= factoryPresets.size()) {
        return std::nullopt;
    }
    return factoryPresets[static_cast<std::size_t>(*index)];
}

bool Settings::isCurrentPresetModified() const {
    if (isApplyingPreset.get()) {
        return false;
    }
    const auto preset = currentPreset();
    if (!preset) {
        return false;
    }
    const auto values = preset->values();
    for (std::size_t i = 0; i < kParameterCount; ++i) {
        if (fields_[i].get()->value() != values[i]) {
            return true;
        }
    }
    return false;
}

void Settings::selectPreset(const std::string& name) {
    const int index = indexOfFactoryPreset(factoryPresets, name.empty() ? std::string("Default") : name);
    currentPresetIndex = index >= 0 ? std::optional<int>(index) : std::nullopt;
}

void Settings::applyPreset(const FactoryPreset& preset) {
    const int index = indexOfFactoryPreset(factoryPresets, preset.name);
    currentPresetIndex = index >= 0 ? std::optional<int>(index) : std::nullopt;
    if (auto unit = vantrelAudioUnit()) {
        // The unit reports the name back through its callback, which selects the same preset again.
        unit->setCurrentPresetName(preset.name);
    } else if (presetNameRecorder_) {
        presetNameRecorder_(preset.name);
    }
    isApplyingPreset = true;
    const auto values = preset.values();
    for (std::size_t i = 0; i < kParameterCount; ++i) {
        fields_[i].peek()->setValue(values[i], ParameterEditor::ui, ParameterEditorState::change);
    }
    // Queued after the parameters' own updates, so the flag clears once they all hold the preset's values.
    core::mainAsync([weak = std::weak_ptr<Settings>(std::static_pointer_cast<Settings>(shared_from_this()))] {
        if (auto settings = weak.lock()) {
            settings->isApplyingPreset = false;
        }
    });
}

void Settings::nextPreset() {
    const int count = static_cast<int>(factoryPresets.size());
    if (count == 0) {
        return;
    }
    const int current = currentPresetIndex.get().value_or(-1);
    applyPreset(factoryPresets[static_cast<std::size_t>(((current + 1) % count + count) % count)]);
}

void Settings::previousPreset() {
    const int count = static_cast<int>(factoryPresets.size());
    if (count == 0) {
        return;
    }
    const int current = currentPresetIndex.get().value_or(0);
    applyPreset(factoryPresets[static_cast<std::size_t>(((current - 1) % count + count) % count)]);
}

void Settings::checkForUpdates() {
    runUpdateCheck(std::static_pointer_cast<Settings>(shared_from_this()), pluginVersion(), *cancelChecks_);
}

void Settings::startUpdateCheck() {
    std::weak_ptr<Settings> weak = std::static_pointer_cast<Settings>(shared_from_this());
    std::lock_guard lock(workersMutex_);
    // Checks that have finished are joined here rather than piling up until destruction.
    std::erase_if(workers_, [](Worker& worker) {
        if (!worker.finished->load(std::memory_order_acquire)) {
            return false;
        }
        worker.thread.join();
        return true;
    });
    auto finished = std::make_shared<std::atomic<bool>>(false);
    workers_.push_back(
        Worker{std::thread([weak, version = pluginVersion(), cancelled = cancelChecks_, finished] {
                   try {
                       runUpdateCheck(weak, version, *cancelled);
                   } catch (...) {
                       // No network, a time-out, a refused redirect: the next attachment tries again.
                   }
                   finished->store(true, std::memory_order_release);
               }),
               finished});
}

std::size_t Settings::updateCheckThreadCount() {
    std::lock_guard lock(workersMutex_);
    return workers_.size();
}

void Settings::waitForUpdateChecks() {
    std::vector<Worker> workers;
    {
        std::lock_guard lock(workersMutex_);
        workers.swap(workers_);
    }
    for (auto& worker : workers) {
        if (worker.thread.joinable()) {
            worker.thread.join();
        }
    }
}
