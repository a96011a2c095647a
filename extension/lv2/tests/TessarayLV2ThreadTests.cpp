// The plug-in's state shared between the audio thread and the threads of the host and the editor.
#include "extension/ParameterTable.hpp"
#include "extension/lv2/EditorAccess.hpp"
#include "extension/lv2/TessarayLV2Plugin.hpp"
#include "extension/lv2/tests/UridMap.hpp"

#include <atomic>
#include <gtest/gtest.h>
#include <lv2/atom/util.h>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

using lv2test::UridMap;

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

// The exchange of one instance's changed-parameter word on its own: every attached editor gets every change
// once, a slot freed by a closed editor is reused empty, and past the last slot an editor gets none.
TEST(LV2Threads, EveryAttachedEditorTakesEveryChangeOnce) {
    tessaray_lv2::EditorChangeExchange exchange;
    std::atomic<uint32_t> dirty{0};
    const uint32_t a = exchange.attach(), b = exchange.attach();
    ASSERT_NE(a, b);
    dirty.fetch_or(1u << 8);
    EXPECT_EQ(exchange.take(dirty, a), 1u << 8);
    EXPECT_EQ(dirty.load(), 0u) << "the kernel's word is left at 0";
    dirty.fetch_or(1u << 17);
    EXPECT_EQ(exchange.take(dirty, b), (1u << 8) | (1u << 17)) << "the change a took reached b too";
    EXPECT_EQ(exchange.take(dirty, a), 1u << 17);
    EXPECT_EQ(exchange.take(dirty, a), 0u) << "once";
    EXPECT_EQ(exchange.take(dirty, b), 0u);

    // An editor that closes with changes pending leaves nothing to its successor in the slot.
    dirty.fetch_or(1u << 3);
    EXPECT_EQ(exchange.take(dirty, a), 1u << 3);
    exchange.detach(b);
    EXPECT_EQ(exchange.attach(), b);
    EXPECT_EQ(exchange.take(dirty, b), 0u);

    std::vector<uint32_t> slots{a, b};
    while (slots.size() < tessaray_lv2::kEditorSlots) {
        slots.push_back(exchange.attach());
        ASSERT_NE(slots.back(), tessaray_lv2::kNoEditorSlot);
    }
    EXPECT_EQ(exchange.attach(), tessaray_lv2::kNoEditorSlot) << "every slot taken";
    EXPECT_EQ(exchange.take(dirty, tessaray_lv2::kNoEditorSlot), 0u);
    exchange.detach(slots[4]);
    EXPECT_EQ(exchange.attach(), slots[4]);
    EXPECT_EQ(exchange.attachedCount(), tessaray_lv2::kEditorSlots);
}

// Several editors polling one running instance through the editor access, each on its own thread, while
// the audio thread applies the host's changes: each editor sees every parameter change.
TEST(LV2Threads, EditorsPollingOneRunningInstanceEachSeeEveryChange) {
    const LV2_Descriptor* descriptor = lv2::descriptor<TessarayLV2Plugin>();
    LV2_Handle plugin = descriptor->instantiate(descriptor, 48000, TESSARAY_LV2_BUNDLE_DIR, nullptr);
    ASSERT_NE(plugin, nullptr);
    std::vector<float> controls(tessaray_lv2::kPortCount, 0.0f), audio(4 * 64, 0.0f);
    for (const ParameterInfo& info : kParameterTable) {
        controls[tessaray_lv2::portOfParameter(info)] = info.defaultValue;
    }
    for (uint32_t port = 0; port < tessaray_lv2::kPortCount; ++port) {
        if (port != tessaray_lv2::kNotifyPort) {
            descriptor->connect_port(plugin, port,
                                     port < 4 ? static_cast<void*>(&audio[port * 64])
                                              : static_cast<void*>(&controls[port]));
        }
    }
    descriptor->activate(plugin);
    descriptor->run(plugin, 64); // the first block takes the ports as they are
    const auto* access = static_cast<const tessaray_lv2::EditorAccess*>(
        descriptor->extension_data(tessaray_lv2::kEditorAccessURI));
    access->takeChanges(plugin, access->attachEditor(plugin)); // empties the word; this slot stays attached

    constexpr int kEditors = 3;
    std::vector<uint32_t> slots;
    for (int e = 0; e < kEditors; ++e) {
        slots.push_back(access->attachEditor(plugin));
    }
    std::atomic<bool> done{false};
    std::vector<uint32_t> seen(kEditors, 0);
    std::vector<std::thread> editors;
    for (int e = 0; e < kEditors; ++e) {
        editors.emplace_back([&, e] {
            // Bounded: the audio thread ends after a fixed number of blocks.
            while (!done.load()) {
                seen[std::size_t(e)] |= access->takeChanges(plugin, slots[std::size_t(e)]);
                std::this_thread::yield();
            }
        });
    }
    uint32_t changed = 0;
    for (int block = 0; block < 2000; ++block) {
        const ParameterInfo& info = kParameterTable[std::size_t(block) % kParameterCount];
        float& port = controls[tessaray_lv2::portOfParameter(info)];
        port = port == info.minimum ? info.maximum : info.minimum;
        changed |= 1u << info.address;
        descriptor->run(plugin, 64);
    }
    done = true;
    for (auto& editor : editors) {
        editor.join();
    }
    for (int e = 0; e < kEditors; ++e) {
        // The next poll of each: a change one editor was handing out as another took its own arrives here.
        seen[std::size_t(e)] |= access->takeChanges(plugin, slots[std::size_t(e)]);
        EXPECT_EQ(seen[std::size_t(e)], changed) << "editor " << e;
        access->detachEditor(plugin, slots[std::size_t(e)]);
    }
    descriptor->deactivate(plugin);
    descriptor->cleanup(plugin);
}
