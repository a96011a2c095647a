// The plug-in's state shared between the audio thread and the threads of the host and the editor.
#include "extension/ParameterTable.hpp"
#include "extension/lv2/EditorAccess.hpp"
#include "extension/lv2/TessarayLV2Plugin.hpp"

#include <atomic>
#include <gtest/gtest.h>
#include <lv2/atom/util.h>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

struct UridMap {
    std::map<std::string, LV2_URID> ids;
    LV2_URID_Map map{this, [](LV2_URID_Map_Handle h, const char* uri) {
                         auto* self = static_cast<UridMap*>(h);
                         return self->ids.emplace(uri, LV2_URID(self->ids.size() + 1)).first->second;
                     }};
    LV2_URID operator()(const char* uri) { return map.map(map.handle, uri); }
};

} // namespace

// Names set by the editor (or a restored state) while the audio thread sends them on the notification
// port arrive whole: never a mix of two names, and the last one set always goes out.
TEST(LV2Threads, PresetNamesSetWhileRunningArriveWhole) {
    UridMap urids;
    // Every URID is mapped here first: the map is not thread-safe, and run() never maps.
    const LV2_URID object = urids(LV2_ATOM__Object), message = urids(tessaray_lv2::kPresetNameMessageURI),
                   value = urids(tessaray_lv2::kPresetNameKeyURI);
    LV2_Feature map{LV2_URID__map, &urids.map};
    const LV2_Feature* features[] = {&map, nullptr};
    const LV2_Descriptor* descriptor = lv2::descriptor<TessarayLV2Plugin>();
    LV2_Handle plugin = descriptor->instantiate(descriptor, 48000, TESSARAY_LV2_BUNDLE_DIR, features);
    ASSERT_NE(plugin, nullptr);
    std::vector<float> controls(tessaray_lv2::kPortCount, 0.0f), audio(4 * 64, 0.0f);
    std::vector<uint64_t> notify(512);
    for (const ParameterInfo& info : kParameterTable) {
        controls[tessaray_lv2::portOfParameter(info)] = info.defaultValue;
    }
    for (uint32_t port = 0; port < tessaray_lv2::kPortCount; ++port) {
        descriptor->connect_port(plugin, port,
                                 port < 4                            ? static_cast<void*>(&audio[port * 64])
                                 : port == tessaray_lv2::kNotifyPort ? static_cast<void*>(notify.data())
                                                                     : static_cast<void*>(&controls[port]));
    }
    descriptor->activate(plugin);
    const auto* access = static_cast<const tessaray_lv2::EditorAccess*>(
        descriptor->extension_data(tessaray_lv2::kEditorAccessURI));

    const std::vector<std::string> names{"Ghost Choir", "Sub Monster Sub Monster Sub Monster Sub Monster",
                                         ""};
    std::atomic<bool> done{false};
    std::thread editor([&] {
        for (int i = 0; i < 3000; ++i) {
            access->setPresetName(plugin, names[std::size_t(i) % names.size()].c_str());
        }
        access->setPresetName(plugin, "Slow Melt");
        done = true;
    });
    std::set<std::string> seen;
    std::string last;
    const auto runOnce = [&] {
        reinterpret_cast<LV2_Atom*>(notify.data())->size = uint32_t(notify.size() * 8 - 8);
        descriptor->run(plugin, 64);
        LV2_ATOM_SEQUENCE_FOREACH(reinterpret_cast<const LV2_Atom_Sequence*>(notify.data()), event) {
            if (event->body.type != object) {
                continue;
            }
            const auto* o = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
            if (o->body.otype == message) {
                const LV2_Atom* text = nullptr;
                lv2_atom_object_get(o, value, &text, 0);
                ASSERT_NE(text, nullptr);
                last = static_cast<const char*>(LV2_ATOM_BODY_CONST(text));
                seen.insert(last);
            }
        }
    };
    while (!done) {
        runOnce();
    }
    editor.join();
    runOnce();
    for (const std::string& name : seen) {
        EXPECT_TRUE(name == "Slow Melt" || std::find(names.begin(), names.end(), name) != names.end())
            << name;
    }
    EXPECT_EQ(last, "Slow Melt");
    descriptor->deactivate(plugin);
    descriptor->cleanup(plugin);
}
