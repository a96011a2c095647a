#include "ZeltoCore/Maker.hpp"
#include "dsp/tests/AllocationCounter.hpp"
#include "extension/FactoryPreset.hpp"
#include "extension/ParameterTable.hpp"
#include "extension/lv2/EditorAccess.hpp"
#include "extension/lv2/TessarayLV2.hpp"
#include "extension/lv2/tests/UridMap.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <limits>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/patch/patch.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr const char* kURI = "https://tessaray.com/lv2/tessaray";
constexpr const char* kPresetKey = "https://tessaray.com/lv2/tessaray#currentPresetName";
constexpr double kRate = 48000.0;

using lv2test::UridMap;

// One loaded world with the plug-in, a URID map and the features a host would pass.
class LV2Host : public ::testing::Test {
protected:
    void SetUp() override {
        world_ = lilv_world_new();
        lilv_world_load_all(world_);
        LilvNode* uri = lilv_new_uri(world_, kURI);
        plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri);
        lilv_node_free(uri);
        ASSERT_NE(plugin_, nullptr) << "tessaray.lv2 not found; LV2_PATH must name the build's lv2 directory";
    }
    void TearDown() override { lilv_world_free(world_); }

    // An instance with every port connected to its own buffer, controls at their defaults.
    struct Instance {
        LilvInstance* instance = nullptr;
        std::vector<float> controls;
        std::vector<std::vector<float>> audio{4};
        std::map<std::string, uint32_t> indexBySymbol;
        // The notification port's buffer (8-byte aligned, as atoms must be).
        std::vector<uint64_t> notify = std::vector<uint64_t>(512);

        ~Instance() {
            if (instance) {
                lilv_instance_deactivate(instance);
                lilv_instance_free(instance);
            }
        }
        float& control(const std::string& symbol) { return controls.at(indexBySymbol.at(symbol)); }
        // As a host does, the notification buffer's capacity is written into its header before each run.
        void run(uint32_t frames) {
            auto* atom = reinterpret_cast<LV2_Atom*>(notify.data());
            atom->size = uint32_t(notify.size() * sizeof(uint64_t) - sizeof(LV2_Atom));
            atom->type = 0;
            lilv_instance_run(instance, frames);
        }
        const LV2_Atom_Sequence* notifications() const {
            return reinterpret_cast<const LV2_Atom_Sequence*>(notify.data());
        }
        const LV2_State_Interface* state() const {
            return static_cast<const LV2_State_Interface*>(
                lilv_instance_get_extension_data(instance, LV2_STATE__interface));
        }
    };

    std::unique_ptr<Instance> instantiate(int32_t maxBlock, uint32_t bufferFrames) {
        maxBlock_ = maxBlock;
        options_[0] = {LV2_OPTIONS_INSTANCE, 0,         map_(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
                       map_(LV2_ATOM__Int),  &maxBlock_};
        options_[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
        auto result = std::make_unique<Instance>();
        result->instance = lilv_plugin_instantiate(plugin_, kRate, features_);
        EXPECT_NE(result->instance, nullptr);
        if (!result->instance) {
            return result;
        }
        const uint32_t ports = lilv_plugin_get_num_ports(plugin_);
        result->controls.assign(ports, 0.0f);
        lilv_plugin_get_port_ranges_float(plugin_, nullptr, nullptr, result->controls.data());
        LilvNode* audioClass = lilv_new_uri(world_, LV2_CORE__AudioPort);
        LilvNode* atomClass = lilv_new_uri(world_, LV2_ATOM__AtomPort);
        uint32_t audio = 0;
        for (uint32_t i = 0; i < ports; ++i) {
            const LilvPort* port = lilv_plugin_get_port_by_index(plugin_, i);
            result->indexBySymbol[lilv_node_as_string(lilv_port_get_symbol(plugin_, port))] = i;
            if (lilv_port_is_a(plugin_, port, audioClass)) {
                result->audio[audio].assign(bufferFrames, 0.0f);
                lilv_instance_connect_port(result->instance, i, result->audio[audio++].data());
            } else if (lilv_port_is_a(plugin_, port, atomClass)) {
                lilv_instance_connect_port(result->instance, i, result->notify.data());
            } else {
                lilv_instance_connect_port(result->instance, i, &result->controls[i]);
            }
        }
        lilv_node_free(audioClass);
        lilv_node_free(atomClass);
        lilv_instance_activate(result->instance);
        return result;
    }

    // The preset name the instance saves.
    std::optional<std::string> savedPresetName(Instance& instance) {
        struct Saved {
            LV2_URID key, type;
            std::optional<std::string> name;
        } saved{map_(kPresetKey), map_(LV2_ATOM__String), std::nullopt};
        auto store = [](LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t type,
                        uint32_t) {
            auto* s = static_cast<Saved*>(h);
            if (key == s->key && type == s->type) {
                s->name = std::string(static_cast<const char*>(value),
                                      strnlen(static_cast<const char*>(value), size));
            }
            return LV2_STATE_SUCCESS;
        };
        EXPECT_EQ(
            instance.state()->save(lilv_instance_get_handle(instance.instance), store, &saved, 0, features_),
            LV2_STATE_SUCCESS);
        return saved.name;
    }

    LilvState* presetState(const std::string& label) {
        LilvNode* presetClass = lilv_new_uri(world_, LV2_PRESETS__Preset);
        LilvNode* labelPredicate = lilv_new_uri(world_, LILV_NS_RDFS "label");
        LilvNodes* presets = lilv_plugin_get_related(plugin_, presetClass);
        LilvState* found = nullptr;
        LILV_FOREACH(nodes, i, presets) {
            const LilvNode* preset = lilv_nodes_get(presets, i);
            lilv_world_load_resource(world_, preset);
            LilvNodes* labels = lilv_world_find_nodes(world_, preset, labelPredicate, nullptr);
            if (labels && lilv_nodes_size(labels) > 0 &&
                label == lilv_node_as_string(lilv_nodes_get_first(labels))) {
                found = lilv_state_new_from_world(world_, &map_.map, preset);
            }
            lilv_nodes_free(labels);
        }
        lilv_nodes_free(presets);
        lilv_node_free(labelPredicate);
        lilv_node_free(presetClass);
        return found;
    }

    static void setPortValue(const char* symbol, void* user, const void* value, uint32_t size, uint32_t) {
        auto* instance = static_cast<Instance*>(user);
        ASSERT_EQ(size, sizeof(float));
        instance->control(symbol) = *static_cast<const float*>(value);
    }

    UridMap map_;
    int32_t maxBlock_ = 1024;
    LV2_Options_Option options_[2] = {};
    LV2_Feature mapFeature_{LV2_URID__map, &map_.map};
    LV2_Feature optionsFeature_{LV2_OPTIONS__options, options_};
    const LV2_Feature* features_[3] = {&mapFeature_, &optionsFeature_, nullptr};
    LilvWorld* world_ = nullptr;
    const LilvPlugin* plugin_ = nullptr;
};

std::vector<float> noise(uint32_t frames, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> sample(-0.5f, 0.5f);
    std::vector<float> out(frames);
    for (float& s : out) {
        s = sample(random);
    }
    return out;
}

bool allFinite(const std::vector<float>& samples) {
    return std::all_of(samples.begin(), samples.end(), [](float s) { return std::isfinite(s); });
}

} // namespace

TEST_F(LV2Host, PresetNameStateRoundTripsThroughTheHost) {
    auto first = instantiate(1024, 64);
    ASSERT_TRUE(first->instance);
    EXPECT_EQ(savedPresetName(*first), "") << "a fresh instance has no preset";

    LilvState* ghost = presetState("Ghost Choir");
    ASSERT_NE(ghost, nullptr);
    lilv_state_restore(ghost, first->instance, &LV2Host::setPortValue, first.get(), 0, features_);
    lilv_state_free(ghost);
    EXPECT_EQ(savedPresetName(*first), "Ghost Choir");

    // What the host saves from one instance (ports and state) restores the same name into another.
    LV2_URID floatType = map_(LV2_ATOM__Float);
    struct Context {
        Instance* instance;
        LV2_URID floatType;
    } context{first.get(), floatType};
    LilvState* session = lilv_state_new_from_instance(
        plugin_, first->instance, &map_.map, nullptr, nullptr, nullptr, nullptr,
        [](const char* symbol, void* user, uint32_t* size, uint32_t* type) -> const void* {
            auto* c = static_cast<Context*>(user);
            *size = sizeof(float);
            *type = c->floatType;
            return &c->instance->control(symbol);
        },
        &context, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features_);
    ASSERT_NE(session, nullptr);

    auto second = instantiate(1024, 64);
    ASSERT_TRUE(second->instance);
    lilv_state_restore(session, second->instance, &LV2Host::setPortValue, second.get(), 0, features_);
    EXPECT_EQ(savedPresetName(*second), "Ghost Choir");
    EXPECT_EQ(second->control("blur"), 25.0f) << "port values travel with the session";
    lilv_state_free(session);

    // A state without the name restores the empty name.
    auto nothing = [](LV2_State_Handle, uint32_t, size_t*, uint32_t*, uint32_t*) -> const void* {
        return nullptr;
    };
    second->state()->restore(lilv_instance_get_handle(second->instance), nothing, nullptr, 0, features_);
    EXPECT_EQ(savedPresetName(*second), "");
}

TEST_F(LV2Host, RestoredPresetNamesAreKeptToTheirCapacityAsValidUTF8) {
    auto instance = instantiate(1024, 64);
    ASSERT_TRUE(instance->instance);
    struct Stored {
        LV2_URID key;
        LV2_URID type;
        std::string value;
    } stored{map_(kPresetKey), map_(LV2_ATOM__String), {}};
    auto retrieve = [](LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                       uint32_t* flags) -> const void* {
        auto* state = static_cast<Stored*>(handle);
        if (key != state->key) {
            return nullptr;
        }
        *size = state->value.size() + 1;
        *type = state->type;
        *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
        return state->value.c_str();
    };
    const auto restored = [&](std::string value) {
        stored.value = std::move(value);
        instance->state()->restore(lilv_instance_get_handle(instance->instance), retrieve, &stored, 0,
                                   features_);
        return savedPresetName(*instance);
    };
    EXPECT_EQ(restored("Ghost Choir"), "Ghost Choir");
    EXPECT_EQ(restored(std::string(std::size_t{64} << 20, 'n')), std::string(128, 'n')) << "64 MiB";
    EXPECT_EQ(restored(std::string(126, 'n') + "\xC3\xA9!"), std::string(126, 'n') + "\xC3\xA9");
    EXPECT_EQ(restored(std::string(127, 'n') + "\xC3\xA9"), std::string(127, 'n')) << "no half character";
    EXPECT_EQ(restored("Bad \xFF"
                       "name \xC3"),
              "Bad \xEF\xBF\xBD"
              "name \xEF\xBF\xBD");
}

TEST_F(LV2Host, EachFactoryPresetAppliesItsValuesAndName) {
    auto instance = instantiate(1024, 64);
    ASSERT_TRUE(instance->instance);
    for (const FactoryPreset& preset : factoryPresetList()) {
        SCOPED_TRACE(preset.name);
        for (float& c : instance->controls) {
            c = -12345.0f;
        }
        LilvState* state = presetState(preset.name);
        ASSERT_NE(state, nullptr);
        lilv_state_restore(state, instance->instance, &LV2Host::setPortValue, instance.get(), 0, features_);
        lilv_state_free(state);

        const auto values = preset.values();
        for (const ParameterInfo& info : kParameterTable) {
            EXPECT_EQ(instance->control(std::string(info.identifier)), values[parameterIndex(info)])
                << info.identifier;
        }
        EXPECT_EQ(instance->control("enabled"), -12345.0f) << "a preset leaves the bypass switch alone";
        EXPECT_EQ(savedPresetName(*instance), preset.name);
        instance->run(64);
    }
}

TEST_F(LV2Host, StartsFromThePortValuesWithoutGliding) {
    // Fully dry at unity gain: the output must equal the input from the very first sample after activation,
    // which it would not if the mix glided from its previous value.
    auto instance = instantiate(1024, 256);
    ASSERT_TRUE(instance->instance);
    const auto input = noise(256, 1);
    instance->audio[0] = input;
    instance->audio[1] = input;
    instance->control("mix") = 0.0f;
    instance->run(256);
    EXPECT_EQ(instance->audio[2], input);

    // Wet again, run, then a fresh activation with the dry setting: again no glide.
    instance->control("mix") = 100.0f;
    instance->run(256);
    lilv_instance_deactivate(instance->instance);
    lilv_instance_activate(instance->instance);
    instance->control("mix") = 0.0f;
    instance->audio[0] = input;
    instance->run(256);
    EXPECT_EQ(instance->audio[2], input);
}

TEST_F(LV2Host, SplitsLongBlocksProcessesInPlaceAndBypasses) {
    constexpr uint32_t kFrames = 1000;
    const auto left = noise(kFrames, 2);
    const auto right = noise(kFrames, 3);

    // A 1000-frame block with a 256-frame maximum sounds exactly like the host splitting it itself.
    auto whole = instantiate(256, kFrames);
    ASSERT_TRUE(whole->instance);
    whole->audio[0] = left;
    whole->audio[1] = right;
    whole->run(kFrames);

    auto pieces = instantiate(256, kFrames);
    ASSERT_TRUE(pieces->instance);
    std::vector<float> outLeft, outRight;
    for (uint32_t offset = 0; offset < kFrames; offset += 256) {
        const uint32_t n = std::min(256u, kFrames - offset);
        std::copy_n(left.begin() + offset, n, pieces->audio[0].begin());
        std::copy_n(right.begin() + offset, n, pieces->audio[1].begin());
        pieces->run(n);
        outLeft.insert(outLeft.end(), pieces->audio[2].begin(), pieces->audio[2].begin() + n);
        outRight.insert(outRight.end(), pieces->audio[3].begin(), pieces->audio[3].begin() + n);
    }
    EXPECT_EQ(whole->audio[2], outLeft);
    EXPECT_EQ(whole->audio[3], outRight);

    // In place: the host's input buffers are also the outputs.
    auto inPlace = instantiate(256, kFrames);
    ASSERT_TRUE(inPlace->instance);
    std::vector<float> bufferLeft = left, bufferRight = right;
    for (const auto& [symbol, buffer] : {std::pair{"in_l", &bufferLeft}, std::pair{"out_l", &bufferLeft},
                                         std::pair{"in_r", &bufferRight}, std::pair{"out_r", &bufferRight}}) {
        lilv_instance_connect_port(inPlace->instance, inPlace->indexBySymbol.at(symbol), buffer->data());
    }
    inPlace->run(kFrames);
    EXPECT_EQ(bufferLeft, whole->audio[2]);
    EXPECT_EQ(bufferRight, whole->audio[3]);

    // Switched off, the input passes unchanged.
    whole->control("enabled") = 0.0f;
    whole->audio[0] = left;
    whole->audio[1] = right;
    whole->run(kFrames);
    EXPECT_EQ(whole->audio[2], left);
    EXPECT_EQ(whole->audio[3], right);
}

TEST_F(LV2Host, SurvivesMissingPortsAndHostileControlValues) {
    auto instance = instantiate(128, 512);
    ASSERT_TRUE(instance->instance);
    // No inputs: silence goes in. A NaN or out-of-range control must not poison the output.
    lilv_instance_connect_port(instance->instance, instance->indexBySymbol.at("in_l"), nullptr);
    lilv_instance_connect_port(instance->instance, instance->indexBySymbol.at("in_r"), nullptr);
    instance->control("outputGain") = std::nanf("");
    instance->control("bands") = 1e9f;
    instance->control("lowFrequency") = -5.0f;
    instance->run(512);
    EXPECT_TRUE(allFinite(instance->audio[2]) && allFinite(instance->audio[3]));

    // No outputs and no controls at all: runs, writes nowhere.
    for (const char* symbol : {"out_l", "out_r", "mix", "enabled"}) {
        lilv_instance_connect_port(instance->instance, instance->indexBySymbol.at(symbol), nullptr);
    }
    instance->run(512);
    instance->run(0);

    // A host claiming an absurd maximum block still gets a working instance.
    auto huge = instantiate(std::numeric_limits<int32_t>::max(), 20000);
    ASSERT_TRUE(huge->instance);
    const auto input = noise(20000, 4);
    std::copy(input.begin(), input.end(), huge->audio[0].begin()); // the port keeps pointing at this storage
    huge->run(20000);
    EXPECT_TRUE(allFinite(huge->audio[2]));
}

TEST_F(LV2Host, RunAllocatesNothing) {
    auto instance = instantiate(256, 1000);
    ASSERT_TRUE(instance->instance);
    const auto left = noise(1000, 4), right = noise(1000, 5);
    instance->audio[0] = left; // copies into the connected buffers
    instance->audio[1] = right;
    instance->run(1000);
    lilv_instance_deactivate(instance->instance);
    lilv_instance_activate(instance->instance);
    // The first run after activation (every port pushed, smoothers snapped), changed controls split across
    // chunks, and the bypass switch: the audio thread must not touch the heap in any of them.
    const long allocations = alloccount::allocationsDuring([&] {
        instance->run(1000);
        instance->control("mix") = 80.0f;
        instance->control("bands") = 12.0f;
        instance->run(1000);
        instance->control("enabled") = 0.0f;
        instance->run(1000);
    });
    EXPECT_EQ(allocations, 0);
}

// A host that passes on a NaN, an infinity or a burst of huge samples gets finite output back, and the
// effect keeps singing afterwards, whatever the mix and feedback, also after bypass was switched on and off.
TEST_F(LV2Host, NonFiniteAndHugeInputNeverPoisonsTheOutput) {
    for (const float mix : {0.0f, 50.0f, 100.0f}) {
        for (const float feedback : {0.0f, 100.0f}) {
            auto instance = instantiate(512, 512);
            ASSERT_TRUE(instance->instance);
            instance->control("mix") = mix;
            instance->control("feedback") = feedback;
            bool finite = true;
            double lateEnergy = 0.0;
            for (int block = 0; block < 90; ++block) {
                const auto input = noise(512, static_cast<unsigned>(block + 1));
                instance->audio[0] = input;
                instance->audio[1] = input;
                if (block == 10) {
                    instance->audio[0][3] = std::nanf("");
                } else if (block == 20) {
                    instance->audio[1][400] = INFINITY;
                } else if (block >= 30 && block < 40) {
                    std::fill(instance->audio[0].begin(), instance->audio[0].end(), 1e36f);
                    std::fill(instance->audio[1].begin(), instance->audio[1].end(), -1e36f);
                }
                instance->control("enabled") = block >= 45 && block < 50 ? 0.0f : 1.0f;
                instance->run(512);
                if (block >= 45 && block < 50) {
                    continue; // bypassed: the host's own signal passes
                }
                for (int out = 2; out < 4; ++out) {
                    for (const float sample : instance->audio[static_cast<std::size_t>(out)]) {
                        finite = finite && std::isfinite(sample);
                        if (block >= 70) {
                            lateEnergy += static_cast<double>(sample) * sample;
                        }
                    }
                }
            }
            EXPECT_TRUE(finite) << "mix " << mix << ", feedback " << feedback;
            EXPECT_GT(lateEnergy, 1e-3) << "mix " << mix << ", feedback " << feedback;
        }
    }
}

namespace {

// What one run wrote to the notification port: the analyser messages and the preset names, in order.
struct Notifications {
    std::vector<std::vector<float>> analyser; // band levels, cut to the band count
    std::vector<std::pair<float, float>> ranges;
    std::vector<std::string> names;
    std::vector<LV2_URID> setProperties; // the property of every patch:Set
};

Notifications readNotifications(const LV2_Atom_Sequence* sequence, UridMap& map) {
    Notifications out;
    LV2_ATOM_SEQUENCE_FOREACH(sequence, event) {
        if (event->body.type != map(LV2_ATOM__Object)) {
            continue;
        }
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
        if (object->body.otype == map(tessaray_lv2::kAnalyserURI)) {
            const LV2_Atom *count = nullptr, *lo = nullptr, *hi = nullptr, *levels = nullptr;
            lv2_atom_object_get(object, map(tessaray_lv2::kBandCountURI), &count,
                                map(tessaray_lv2::kRangeLoURI), &lo, map(tessaray_lv2::kRangeHiURI), &hi,
                                map(tessaray_lv2::kBandLevelsURI), &levels, 0);
            EXPECT_TRUE(count && lo && hi && levels);
            if (!(count && lo && hi && levels)) {
                continue;
            }
            const auto* vector = reinterpret_cast<const LV2_Atom_Vector*>(levels);
            EXPECT_EQ(vector->body.child_type, map(LV2_ATOM__Float));
            const auto* values = reinterpret_cast<const float*>(&vector->body + 1);
            const int n = reinterpret_cast<const LV2_Atom_Int*>(count)->body;
            out.analyser.emplace_back(values, values + n);
            out.ranges.emplace_back(reinterpret_cast<const LV2_Atom_Float*>(lo)->body,
                                    reinterpret_cast<const LV2_Atom_Float*>(hi)->body);
        } else if (object->body.otype == map(tessaray_lv2::kPresetNameMessageURI)) {
            const LV2_Atom* value = nullptr;
            lv2_atom_object_get(object, map(kPresetKey), &value, 0);
            EXPECT_TRUE(value && value->type == map(LV2_ATOM__String));
            if (value) {
                out.names.emplace_back(static_cast<const char*>(LV2_ATOM_BODY_CONST(value)));
            }
        } else if (object->body.otype == map(LV2_PATCH__Set)) {
            const LV2_Atom* property = nullptr;
            lv2_atom_object_get(object, map(LV2_PATCH__property), &property, 0);
            EXPECT_TRUE(property && property->type == map(LV2_ATOM__URID));
            if (property) {
                out.setProperties.push_back(reinterpret_cast<const LV2_Atom_URID*>(property)->body);
            }
        }
    }
    return out;
}

} // namespace

// Editors that cannot reach the instance learn the analyser (about 60 times a second of audio, only when it
// changed, and again once a second) and the preset name (when it changes) from the notification port.
TEST_F(LV2Host, NotificationsAreThrottledByAudioTimeAndCarryThePresetName) {
    auto instance = instantiate(256, 200);
    ASSERT_TRUE(instance->instance);
    const auto left = noise(200, 1), right = noise(200, 2);
    std::copy(left.begin(), left.end(),
              instance->audio[0].begin()); // the ports keep pointing at this storage
    std::copy(right.begin(), right.end(), instance->audio[1].begin());

    // 48000 / 60 = 800 frames between analyser messages; the name goes out at once.
    std::vector<int> analyserAt;
    std::vector<std::string> names;
    for (int block = 0; block < 24; ++block) {
        instance->run(200);
        const auto got = readNotifications(instance->notifications(), map_);
        for (std::size_t i = 0; i < got.analyser.size(); ++i) {
            analyserAt.push_back(block);
            EXPECT_GE(got.analyser[i].size(), 1u);
            EXPECT_LE(got.analyser[i].size(), 64u);
            EXPECT_EQ(got.ranges[i].first, 20.0f) << "the default low frequency";
        }
        names.insert(names.end(), got.names.begin(), got.names.end());
    }
    EXPECT_EQ(analyserAt, (std::vector<int>{3, 7, 11, 15, 19, 23}));
    EXPECT_EQ(names, (std::vector<std::string>{""}));

    LilvState* melt = presetState("Slow Melt");
    ASSERT_NE(melt, nullptr);
    lilv_state_restore(melt, instance->instance, &LV2Host::setPortValue, instance.get(), 0, features_);
    lilv_state_free(melt);
    instance->run(200);
    EXPECT_EQ(readNotifications(instance->notifications(), map_).names,
              (std::vector<std::string>{"Slow Melt"}));

    // Silence settles the analyser: once it stops changing, only the once-a-second refresh goes out.
    std::fill(instance->audio[0].begin(), instance->audio[0].end(), 0.0f);
    std::fill(instance->audio[1].begin(), instance->audio[1].end(), 0.0f);
    int messages = 0;
    for (int block = 0; block < 240 * 3; ++block) { // 3 s
        instance->run(200);
        if (block >= 240) {
            messages += int(readNotifications(instance->notifications(), map_).analyser.size());
        }
    }
    EXPECT_GE(messages, 1);
    EXPECT_LE(messages, 3);

    // A buffer too small for a message gets none, and stays a valid (empty) sequence.
    auto* atom = reinterpret_cast<LV2_Atom*>(instance->notify.data());
    for (int block = 0; block < 8; ++block) { // past an analyser tick
        instance->notify.assign(instance->notify.size(), 0);
        atom->size = 40;
        lilv_instance_run(instance->instance, 200);
        EXPECT_EQ(atom->size, sizeof(LV2_Atom_Sequence_Body));
    }
}

// A name longer than the port carries goes out cut short before the first character that does not fit
// whole, never ending in half of one.
TEST_F(LV2Host, LongPresetNamesGoOutWithoutAHalfCharacter) {
    auto instance = instantiate(256, 256);
    ASSERT_TRUE(instance->instance);
    const auto* access = static_cast<const tessaray_lv2::EditorAccess*>(
        lilv_instance_get_extension_data(instance->instance, tessaray_lv2::kEditorAccessURI));
    ASSERT_NE(access, nullptr);
    const std::string fits(tessaray_lv2::kPresetNameCapacity - 1, 'n');
    access->setPresetName(lilv_instance_get_handle(instance->instance), (fits + "\xC3\xA9 and more").c_str());
    instance->run(256);
    EXPECT_EQ(readNotifications(instance->notifications(), map_).names, (std::vector<std::string>{fits}));
}

// A host takes a patch:Set on a notification port as a change of one of the plug-in's declared parameters
// and complains about any other, from its audio thread, once per message. Whatever the port carries while
// the editor renames, a preset is applied and the once-a-second refresh repeats everything for late
// editors, every patch:Set names an lv2:Parameter the metadata lets hosts read or write; the preset name
// goes out in the plug-in's own message, again each second, as the string the metadata describes.
TEST_F(LV2Host, EveryPatchSetOnTheNotificationPortIsADeclaredParameter) {
    auto instance = instantiate(256, 256);
    ASSERT_TRUE(instance->instance);
    const auto* access = static_cast<const tessaray_lv2::EditorAccess*>(
        lilv_instance_get_extension_data(instance->instance, tessaray_lv2::kEditorAccessURI));
    ASSERT_NE(access, nullptr);
    std::set<LV2_URID> setProperties;
    std::vector<std::string> names;
    const auto runFor = [&](int blocks) {
        for (int block = 0; block < blocks; ++block) {
            instance->run(256);
            const auto got = readNotifications(instance->notifications(), map_);
            setProperties.insert(got.setProperties.begin(), got.setProperties.end());
            names.insert(names.end(), got.names.begin(), got.names.end());
        }
    };
    runFor(10);
    access->setPresetName(lilv_instance_get_handle(instance->instance), "Sub Monster");
    runFor(10);
    LilvState* melt = presetState("Slow Melt");
    ASSERT_NE(melt, nullptr);
    lilv_state_restore(melt, instance->instance, &LV2Host::setPortValue, instance.get(), 0, features_);
    lilv_state_free(melt);
    runFor(int(2.5 * kRate / 256)); // two refreshes

    LilvNode* plugin = lilv_new_uri(world_, kURI);
    LilvNode* type = lilv_new_uri(world_, LILV_NS_RDF "type");
    LilvNode* parameter = lilv_new_uri(world_, LV2_CORE_PREFIX "Parameter");
    LilvNode* readable = lilv_new_uri(world_, LV2_PATCH__readable);
    LilvNode* writable = lilv_new_uri(world_, LV2_PATCH__writable);
    for (const LV2_URID id : setProperties) {
        std::string uri;
        for (const auto& [text, mapped] : map_.ids) {
            uri = mapped == id ? text : uri;
        }
        LilvNode* property = lilv_new_uri(world_, uri.c_str());
        EXPECT_TRUE(lilv_world_ask(world_, property, type, parameter)) << uri << " is no lv2:Parameter";
        EXPECT_TRUE(lilv_world_ask(world_, plugin, readable, property) ||
                    lilv_world_ask(world_, plugin, writable, property))
            << uri << " is neither readable nor writable";
        lilv_node_free(property);
    }
    EXPECT_EQ(std::count(names.begin(), names.end(), "Sub Monster"), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), "Slow Melt"), 3) << "on change and on each refresh";

    // The metadata describes the name's property; its port promises no patch messages.
    LilvNode* key = lilv_new_uri(world_, kPresetKey);
    LilvNode* range = lilv_new_uri(world_, LILV_NS_RDFS "range");
    LilvNode* string = lilv_new_uri(world_, LV2_ATOM__String);
    EXPECT_TRUE(lilv_world_ask(world_, key, range, string));
    LilvNode* supports = lilv_new_uri(world_, LV2_ATOM__supports);
    LilvNode* message = lilv_new_uri(world_, LV2_PATCH__Message);
    LilvNode* symbol = lilv_new_string(world_, tessaray_lv2::kNotifySymbol);
    const LilvPort* notify = lilv_plugin_get_port_by_symbol(plugin_, symbol);
    ASSERT_NE(notify, nullptr);
    LilvNodes* supported = lilv_port_get_value(plugin_, notify, supports);
    EXPECT_FALSE(supported && lilv_nodes_contains(supported, message));
    lilv_nodes_free(supported);
    for (LilvNode* node :
         {plugin, type, parameter, readable, writable, key, range, string, supports, message, symbol}) {
        lilv_node_free(node);
    }
}

// An editor in the host's process reads the kernel's shared state and the preset name, and records the
// preset it applied, through the editor access.
TEST_F(LV2Host, EditorAccessReachesTheKernelAndThePresetName) {
    auto instance = instantiate(256, 256);
    ASSERT_TRUE(instance->instance);
    const auto* access = static_cast<const tessaray_lv2::EditorAccess*>(
        lilv_instance_get_extension_data(instance->instance, tessaray_lv2::kEditorAccessURI));
    ASSERT_NE(access, nullptr);
    LV2_Handle handle = lilv_instance_get_handle(instance->instance);

    instance->run(256); // the first block after activation starts from the ports
    instance->control("mix") = 70.0f;
    instance->run(256);
    DSPSharedState* shared = access->sharedState(handle);
    EXPECT_EQ(shared->paramValues[8].load(), 70.0f);
    EXPECT_NE(shared->dirtyMask.load() & (1u << 8), 0u) << "host changes are flagged for the editor's poll";

    const uint32_t before = access->presetNameSequence(handle);
    access->setPresetName(handle, "Sub Monster");
    EXPECT_GT(access->presetNameSequence(handle), before);
    EXPECT_EQ(savedPresetName(*instance), "Sub Monster");
    char name[8];
    EXPECT_EQ(access->presetName(handle, name, sizeof name), 11u);
    EXPECT_STREQ(name, "Sub Mon") << "cut short to the buffer, always terminated";
    instance->run(256);
    EXPECT_EQ(readNotifications(instance->notifications(), map_).names,
              (std::vector<std::string>{"Sub Monster"}));
}

// Hosts title the plug-in's windows and group their plug-in lists by its maker, the one the kit names.
TEST_F(LV2Host, TheMakerIsTheKitsMaker) {
    LilvNode* name = lilv_plugin_get_name(plugin_);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(lilv_node_as_string(name), "Tessaray");
    lilv_node_free(name);
    LilvNode* author = lilv_plugin_get_author_name(plugin_);
    ASSERT_NE(author, nullptr) << "no doap:maintainer with a foaf:name";
    EXPECT_STREQ(lilv_node_as_string(author), zelto::kMakerName);
    lilv_node_free(author);
    LilvNode* homepage = lilv_plugin_get_author_homepage(plugin_);
    ASSERT_NE(homepage, nullptr);
    EXPECT_STREQ(lilv_node_as_uri(homepage), zelto::kMakerSiteAddress);
    lilv_node_free(homepage);
}

// Hosts find the editor: an X11 UI in its own binary that needs the idle interface, and hears about every
// parameter port and the notification port.
TEST_F(LV2Host, TheEditorIsAnX11UIThatHearsEveryControl) {
    LilvUIs* uis = lilv_plugin_get_uis(plugin_);
    ASSERT_NE(uis, nullptr);
    ASSERT_EQ(lilv_uis_size(uis), 1u);
    const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
    EXPECT_STREQ(lilv_node_as_uri(lilv_ui_get_uri(ui)), tessaray_lv2::kUIURI);
    LilvNode* x11 = lilv_new_uri(world_, LV2_UI__X11UI);
    EXPECT_TRUE(lilv_ui_is_a(ui, x11));
    char* binary = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
    EXPECT_TRUE(std::string(binary).ends_with("/tessaray.lv2/tessaray_ui.so"));
    lilv_free(binary);

    const auto objects = [&](const char* predicate) {
        LilvNode* p = lilv_new_uri(world_, predicate);
        LilvNodes* nodes = lilv_world_find_nodes(world_, lilv_ui_get_uri(ui), p, nullptr);
        std::vector<const LilvNode*> out;
        LILV_FOREACH(nodes, i, nodes) {
            out.push_back(lilv_nodes_get(nodes, i));
        }
        std::vector<std::string> text;
        for (const LilvNode* n : out) {
            text.push_back(lilv_node_as_string(n));
        }
        lilv_nodes_free(nodes);
        lilv_node_free(p);
        return text;
    };
    EXPECT_EQ(objects(LV2_CORE__requiredFeature), (std::vector<std::string>{LV2_UI__idleInterface}));
    EXPECT_EQ(objects(LV2_CORE__extensionData).size(), 2u);

    // One notification per parameter port and one for "notify".
    LilvNode* notification = lilv_new_uri(world_, LV2_UI__portNotification);
    LilvNode* symbol = lilv_new_uri(world_, LV2_CORE__symbol);
    LilvNodes* entries = lilv_world_find_nodes(world_, lilv_ui_get_uri(ui), notification, nullptr);
    std::vector<std::string> symbols;
    LILV_FOREACH(nodes, i, entries) {
        LilvNode* s = lilv_world_get(world_, lilv_nodes_get(entries, i), symbol, nullptr);
        ASSERT_NE(s, nullptr);
        symbols.push_back(lilv_node_as_string(s));
        lilv_node_free(s);
    }
    std::sort(symbols.begin(), symbols.end());
    std::vector<std::string> expected{tessaray_lv2::kNotifySymbol};
    for (const ParameterInfo& info : kParameterTable) {
        expected.emplace_back(info.identifier);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(symbols, expected);
    lilv_nodes_free(entries);
    lilv_node_free(symbol);
    lilv_node_free(notification);
    lilv_node_free(x11);
    lilv_uis_free(uis);
}
