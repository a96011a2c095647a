// The editor's cost while it is open on a running plug-in with silent input: the host calls its idle
// interface 30 times a second (jalv's rate) and the plug-in runs between the calls. Reported: the CPU time
// of one idle call, and the share of one core that makes at 30 calls a second.
#include "../platform/display/tests/Xvfb.hpp"
#include "extension/ParameterTable.hpp"
#include "extension/lv2/TessarayLV2Plugin.hpp"
#include "extension/lv2/TessarayLV2UI.hpp"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <lv2/instance-access/instance-access.h>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct UridMap {
    std::map<std::string, LV2_URID> ids;
    LV2_URID_Map map{this, [](LV2_URID_Map_Handle h, const char* uri) {
                         auto* self = static_cast<UridMap*>(h);
                         return self->ids.emplace(uri, LV2_URID(self->ids.size() + 1)).first->second;
                     }};
};

void writeNothing(LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {}

void BM_OpenEditorIdleWithSilentInput(benchmark::State& state) {
    displaytest::XvfbServer server;
    if (server.name().empty()) {
        state.SkipWithError("Xvfb is not available");
        return;
    }
    setenv("DISPLAY", server.name().c_str(), 1);
    const bool instanceAccess = state.range(0) != 0;

    UridMap urids;
    LV2_Feature map{LV2_URID__map, &urids.map};
    const LV2_Feature* pluginFeatures[] = {&map, nullptr};
    const LV2_Descriptor* plugin = lv2::descriptor<TessarayLV2Plugin>();
    LV2_Handle instance = plugin->instantiate(plugin, 48000, TESSARAY_LV2_BUNDLE_DIR, pluginFeatures);
    constexpr uint32_t kFrames = 1600; // 1/30 s
    std::vector<float> silence(kFrames, 0.0f), out(kFrames * 2);
    std::vector<float> controls(tessaray_lv2::kPortCount, 0.0f);
    std::vector<uint64_t> notify(512);
    for (const ParameterInfo& info : kParameterTable) {
        controls[tessaray_lv2::portOfParameter(info)] = info.defaultValue;
    }
    controls[tessaray_lv2::kEnabledPort] = 1;
    for (uint32_t port = 0; port < tessaray_lv2::kPortCount; ++port) {
        void* location = port < 2   ? static_cast<void*>(silence.data())
                         : port < 4 ? static_cast<void*>(out.data() + (port - 2) * kFrames)
                         : port == tessaray_lv2::kNotifyPort ? static_cast<void*>(notify.data())
                                                             : static_cast<void*>(&controls[port]);
        plugin->connect_port(instance, port, location);
    }
    plugin->activate(instance);
    const auto run = [&] {
        reinterpret_cast<LV2_Atom*>(notify.data())->size = uint32_t(notify.size() * 8 - 8);
        plugin->run(instance, kFrames);
    };

    LV2_Extension_Data_Feature dataAccess{plugin->extension_data};
    LV2_Feature idle{LV2_UI__idleInterface, nullptr};
    LV2_Feature access{LV2_INSTANCE_ACCESS_URI, instance};
    LV2_Feature data{LV2_DATA_ACCESS_URI, &dataAccess};
    std::vector<const LV2_Feature*> features{&map, &idle};
    if (instanceAccess) {
        features.push_back(&access);
        features.push_back(&data);
    }
    features.push_back(nullptr);
    const LV2UI_Descriptor* editor = lv2::uiDescriptor<TessarayLV2UI>();
    LV2UI_Widget widget = nullptr;
    LV2UI_Handle ui = editor->instantiate(editor, tessaray_lv2::kPluginURI, TESSARAY_LV2_BUNDLE_DIR,
                                          &writeNothing, nullptr, &widget, features.data());
    const auto* idler =
        static_cast<const LV2UI_Idle_Interface*>(editor->extension_data(LV2_UI__idleInterface));
    for (const ParameterInfo& info : kParameterTable) {
        editor->port_event(ui, tessaray_lv2::portOfParameter(info), sizeof(float), 0,
                           &controls[tessaray_lv2::portOfParameter(info)]);
    }
    // Settle: the first display passes and the analyser's fall to silence.
    for (int i = 0; i < 90; ++i) {
        run();
        idler->idle(ui);
        std::this_thread::sleep_for(std::chrono::milliseconds(33));
    }

    double busy = 0;
    int64_t calls = 0;
    auto next = std::chrono::steady_clock::now();
    for (auto _ : state) {
        run();
        const double before = threadSeconds();
        idler->idle(ui);
        const double spent = threadSeconds() - before;
        state.SetIterationTime(spent);
        busy += spent;
        ++calls;
        next += std::chrono::microseconds(33333);
        std::this_thread::sleep_until(next);
    }
    state.counters["core_percent_at_30Hz"] = calls > 0 ? busy / double(calls) * 30.0 * 100.0 : 0.0;

    editor->cleanup(ui);
    plugin->deactivate(instance);
    plugin->cleanup(instance);
}

} // namespace

// Argument: 1 with instance access (the kernel polled 60 times a second), 0 through port events only.
BENCHMARK(BM_OpenEditorIdleWithSilentInput)
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Iterations(150)
    ->Unit(benchmark::kMicrosecond);
