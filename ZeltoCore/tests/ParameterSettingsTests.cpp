#include "ZeltoCore/ParameterSettings.hpp"
#include "audiounit/AudioUnitBase.hpp"
#include "core/Bundle.hpp"
#include "core/MainQueue.hpp"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <unistd.h>

using namespace zelto;

using Unit = audiounit::AudioUnitParameterUnit;
using VI = AudioParameter::ValueIncrement;

namespace {

struct Push {
    uint64_t address;
    float value;
};

class FakeUnit : public audiounit::AudioUnitBase, public CorviAudioUnit {
public:
    FakeUnit() : audiounit::AudioUnitBase(audiounit::AudioComponentDescription{}) {}
    void setParameter(uint64_t address, float value) override { pushes.push_back({address, value}); }
    std::vector<Push> pushes;
};

// Records the dependents hook together with the parameter's value at that moment.
class RecordingSettings : public ParameterSettings {
public:
    void updateDependentValues(uint64_t address, float value) override {
        hooks.push_back({address, value});
        pendingAtHook = core::MainQueue::shared().pendingCount();
    }
    std::vector<Push> hooks;
    std::size_t pendingAtHook = 0;
};

class ParameterSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        core::claimMainThread();
        core::MainQueue::shared().drain();
        settings = std::make_shared<RecordingSettings>();
        settings->setupParameters({
            AudioParameter::create(0, "bands", "Bands", Unit::indexed, {1, 64}, 64, VI::linear(),
                                   std::vector<std::string>{"one", "two", "three"}),
            AudioParameter::create(5, "mode", "Mode", Unit::generic, {0, 1}, 0, VI::linear(), std::nullopt,
                                   std::vector<uint64_t>{0}),
            AudioParameter::create(3, "slice", "Slice", Unit::milliseconds, {10, 1000}, 10,
                                   VI::logarithmic()),
        });
        unit = std::make_shared<FakeUnit>();
    }
    void TearDown() override {
        core::MainQueue::shared().drain();
        core::Bundle::setMainBundlePath(std::nullopt);
    }

    std::shared_ptr<RecordingSettings> settings;
    std::shared_ptr<FakeUnit> unit;
};

TEST_F(ParameterSettingsTest, ConfiguringBuildsTheTreeInOrderPushesEachValueOnceAndRoutesWrites) {
    settings->parameters()[2]->setObservedValue(40.0f);
    settings->configureAudioUnit(unit);

    ASSERT_TRUE(unit->parameterTree());
    const auto& tree = unit->parameterTree()->allParameters();
    ASSERT_EQ(tree.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(tree[i], settings->parameters()[i]->auParameter());
    }
    ASSERT_EQ(unit->pushes.size(), 3u);
    EXPECT_EQ(unit->pushes[0].address, 0u);
    EXPECT_EQ(unit->pushes[2].address, 3u);
    EXPECT_FLOAT_EQ(unit->pushes[2].value, 40.0f);
    EXPECT_EQ(settings->audioUnit(), unit);

    // Routed values reach the unit unclamped and the parameter clamped.
    unit->pushes.clear();
    settings->setValue(5000.0f, 3, ParameterEditor::parameterObserver);
    settings->setValue(1.5f, 9, ParameterEditor::parameterObserver);
    ASSERT_EQ(unit->pushes.size(), 2u);
    EXPECT_FLOAT_EQ(unit->pushes[0].value, 5000.0f);
    EXPECT_EQ(unit->pushes[1].address, 9u) << "an address without a parameter still reaches the unit";
    core::MainQueue::shared().drain();
    EXPECT_FLOAT_EQ(settings->parameters()[2]->value(), 1000.0f);

    // Parameters with dependents run the hook after the parameter has been set.
    settings->setValue(1.0f, 5, ParameterEditor::parameterObserver);
    ASSERT_EQ(settings->hooks.size(), 1u);
    EXPECT_EQ(settings->hooks[0].address, 5u);
    EXPECT_EQ(settings->pendingAtHook, 1u);
    settings->setValue(2.0f, 0, ParameterEditor::parameterObserver);
    EXPECT_EQ(settings->hooks.size(), 1u);

    // A later parameter list leaves the tree alone.
    settings->setupParameters({});
    EXPECT_EQ(unit->parameterTree()->allParameters().size(), 3u);
    // The set holds the unit weakly.
    unit.reset();
    EXPECT_EQ(settings->audioUnit(), nullptr);
    settings->setValue(20.0f, 3, ParameterEditor::parameterObserver);
}

TEST_F(ParameterSettingsTest, TreeCallbacksObserveAndConvert) {
    // Without a unit nothing is installed and nothing fails.
    settings->setupParameterTreeListeners();

    settings->configureAudioUnit(unit);
    settings->setupParameterTreeListeners();
    unit->pushes.clear();
    auto& bands = *unit->parameterTree()->allParameters()[0];
    auto& slice = *unit->parameterTree()->allParameters()[2];

    // A host write goes through the set to the unit and the parameter.
    slice.setValue(250.0f);
    ASSERT_EQ(unit->pushes.size(), 1u);
    EXPECT_FLOAT_EQ(unit->pushes[0].value, 250.0f);
    core::MainQueue::shared().drain();
    EXPECT_FLOAT_EQ(settings->parameters()[2]->value(), 250.0f);

    const auto text = [](const audiounit::AUParameter& p, float v) { return p.stringFromValue(&v); };
    EXPECT_EQ(text(bands, 1.7f), "two");
    EXPECT_EQ(text(bands, -0.5f), "one");
    EXPECT_EQ(text(bands, 3.0f), "3");
    EXPECT_EQ(text(bands, std::numeric_limits<float>::quiet_NaN()), "-");
    EXPECT_EQ(text(bands, std::numeric_limits<float>::infinity()), "inf");
    EXPECT_EQ(text(bands, 1e30f), "1000000015047466219876688855040");
    EXPECT_EQ(text(slice, 12.4f), "12");
    EXPECT_EQ(ParameterSettings::stringFromValue(slice, nullptr), "-");

    EXPECT_FLOAT_EQ(slice.valueFromString("12.5"), 12.5f);
    EXPECT_FLOAT_EQ(slice.valueFromString("-3e2"), -300.0f);
    for (const char* bad : {"abc", "", " 12", "12 ", "nan", "inf", "-inf", "0x10", "1e999"}) {
        EXPECT_EQ(slice.valueFromString(bad), 0.0f) << '"' << bad << '"';
    }
    EXPECT_EQ(bands.valueFromString("two"), 0.0f) << "value strings are not consulted";

    // Once the set is gone the observer stays on the tree and does nothing.
    settings.reset();
    unit->pushes.clear();
    slice.setValue(400.0f);
    EXPECT_TRUE(unit->pushes.empty());
}

TEST_F(ParameterSettingsTest, PluginVersionAndHash) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("zelto-version-" + std::to_string(::getpid()));
    fs::create_directories(dir / "Resources");
    std::ofstream(dir / "Info.json") << R"({"CFBundleShortVersionString": "2.3.1"})";
    core::Bundle::setMainBundlePath(dir);
    EXPECT_EQ(settings->pluginVersion(), "2.3.1");

    const fs::path bare = dir / "bare";
    fs::create_directories(bare);
    core::Bundle::setMainBundlePath(bare);
    EXPECT_EQ(settings->pluginVersion(), "Unknown");
    fs::remove_all(dir);

    const auto twin = std::make_shared<ParameterSettings>();
    twin->setupParameters({
        AudioParameter::create(0, "a", "A", Unit::generic, {-1, 1}, 0.0f, VI::linear()),
        AudioParameter::create(1, "b", "B", Unit::generic, {-1, 1}, 0.5f, VI::linear()),
    });
    const auto hashBefore = twin->paramsHash();
    twin->parameters()[0]->setObservedValue(-0.0f);
    EXPECT_EQ(twin->paramsHash(), hashBefore) << "-0 hashes as +0";
    twin->parameters()[1]->setObservedValue(0.25f);
    EXPECT_NE(twin->paramsHash(), hashBefore);
}

} // namespace
