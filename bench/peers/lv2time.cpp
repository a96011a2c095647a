// A small lilv host that times only the run calls of an LV2 plug-in on a generated dense stereo signal.
//
// Usage: lv2time PLUGIN_URI [SYMBOL=VALUE]...
// Prints "<uri> <x> x real time". Every audio input gets the signal (left on even, right on odd inputs);
// control inputs take their defaults unless given; other ports get scratch buffers.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 48000.0;
constexpr uint32_t kBlock = 512;
constexpr int kSeconds = 20;

std::map<std::string, LV2_URID>& uridTable() {
    static std::map<std::string, LV2_URID> table;
    return table;
}

LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
    auto& table = uridTable();
    const auto found = table.find(uri);
    if (found != table.end()) {
        return found->second;
    }
    const auto id = static_cast<LV2_URID>(table.size() + 1);
    table.emplace(uri, id);
    return id;
}

const char* unmapUri(LV2_URID_Unmap_Handle, LV2_URID urid) {
    for (const auto& [uri, id] : uridTable()) {
        if (id == urid) {
            return uri.c_str();
        }
    }
    return nullptr;
}

// The benchmark's dense signal: chords of naive sawtooths over five octaves, changing every half second,
// plus white noise.
void denseSignal(std::vector<float>& left, std::vector<float>& right) {
    const size_t frames = static_cast<size_t>(kSeconds * kRate);
    left.resize(frames);
    right.resize(frames);
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    const int chordNotes[][4] = {{0, 4, 7, 11}, {2, 5, 9, 12}, {-3, 0, 4, 7}, {5, 9, 12, 16}};
    double phases[2][20] = {};
    for (size_t n = 0; n < frames; ++n) {
        const auto& chord = chordNotes[(n / 24000) % 4];
        for (int c = 0; c < 2; ++c) {
            double x = 0.0;
            for (int octave = 0; octave < 5; ++octave) {
                for (int v = 0; v < 4; ++v) {
                    const double hz = 55.0 * std::pow(2.0, octave + (chord[v] + 0.07 * c) / 12.0);
                    double& phase = phases[c][octave * 4 + v];
                    x += 2.0 * phase - 1.0;
                    phase += hz / kRate;
                    phase -= phase >= 1.0 ? 1.0 : 0.0;
                }
            }
            (c == 0 ? left : right)[n] = static_cast<float>(0.03 * x + 0.05 * noise(rng));
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PLUGIN_URI [SYMBOL=VALUE]...\n", argv[0]);
        return 2;
    }
    LilvWorld* world = lilv_world_new();
    lilv_world_load_all(world);
    LilvNode* uri = lilv_new_uri(world, argv[1]);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    if (plugin == nullptr) {
        std::fprintf(stderr, "%s: plug-in not found\n", argv[1]);
        return 1;
    }

    LV2_URID_Map map{nullptr, mapUri};
    LV2_URID_Unmap unmap{nullptr, unmapUri};
    const int32_t blockLength = kBlock;
    const float rate = static_cast<float>(kRate);
    const LV2_URID intType = mapUri(nullptr, LV2_ATOM__Int);
    const LV2_Options_Option options[] = {
        {LV2_OPTIONS_INSTANCE, 0, mapUri(nullptr, LV2_BUF_SIZE__minBlockLength), sizeof(int32_t), intType,
         &blockLength},
        {LV2_OPTIONS_INSTANCE, 0, mapUri(nullptr, LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t), intType,
         &blockLength},
        {LV2_OPTIONS_INSTANCE, 0, mapUri(nullptr, LV2_BUF_SIZE__nominalBlockLength), sizeof(int32_t), intType,
         &blockLength},
        {LV2_OPTIONS_INSTANCE, 0, mapUri(nullptr, "http://lv2plug.in/ns/ext/parameters#sampleRate"),
         sizeof(float), mapUri(nullptr, LV2_ATOM__Float), &rate},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    const LV2_Feature mapFeature{LV2_URID__map, &map};
    const LV2_Feature unmapFeature{LV2_URID__unmap, &unmap};
    const LV2_Feature optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
    const LV2_Feature boundedFeature{LV2_BUF_SIZE__boundedBlockLength, nullptr};
    const LV2_Feature* features[] = {&mapFeature, &unmapFeature, &optionsFeature, &boundedFeature, nullptr};

    LilvInstance* instance = lilv_plugin_instantiate(plugin, kRate, features);
    if (instance == nullptr) {
        std::fprintf(stderr, "%s: cannot instantiate\n", argv[1]);
        return 1;
    }

    std::map<std::string, float> given;
    for (int a = 2; a < argc; ++a) {
        const char* equals = std::strchr(argv[a], '=');
        if (equals != nullptr) {
            given[std::string(argv[a], static_cast<size_t>(equals - argv[a]))] =
                std::strtof(equals + 1, nullptr);
        }
    }

    LilvNode* audioClass = lilv_new_uri(world, LV2_CORE__AudioPort);
    LilvNode* controlClass = lilv_new_uri(world, LV2_CORE__ControlPort);
    LilvNode* inputClass = lilv_new_uri(world, LV2_CORE__InputPort);
    const uint32_t portCount = lilv_plugin_get_num_ports(plugin);
    std::vector<float> defaults(portCount, 0.0f);
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
    std::vector<float> controls(portCount, 0.0f);
    std::vector<std::vector<float>> scratch(portCount, std::vector<float>(8192, 0.0f));
    std::vector<std::pair<float*, int>> audioInputs; // buffer, channel
    int audioInputIndex = 0;
    for (uint32_t p = 0; p < portCount; ++p) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
        const bool input = lilv_port_is_a(plugin, port, inputClass);
        if (lilv_port_is_a(plugin, port, controlClass)) {
            const char* symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
            const auto found = given.find(symbol);
            controls[p] =
                found != given.end() ? found->second : (std::isnan(defaults[p]) ? 0.0f : defaults[p]);
            lilv_instance_connect_port(instance, p, &controls[p]);
        } else if (lilv_port_is_a(plugin, port, audioClass) && input) {
            audioInputs.emplace_back(scratch[p].data(), audioInputIndex++ % 2);
            lilv_instance_connect_port(instance, p, scratch[p].data());
        } else {
            // Audio outputs, CV and atom ports: an empty atom sequence reads as no events.
            auto* atom = reinterpret_cast<LV2_Atom*>(scratch[p].data());
            atom->size = sizeof(LV2_Atom_Sequence_Body);
            atom->type = mapUri(nullptr, LV2_ATOM__Sequence);
            lilv_instance_connect_port(instance, p, scratch[p].data());
        }
    }

    std::vector<float> left, right;
    denseSignal(left, right);
    lilv_instance_activate(instance);
    std::chrono::steady_clock::duration busy{};
    for (size_t start = 0; start + kBlock <= left.size(); start += kBlock) {
        for (auto [buffer, channel] : audioInputs) {
            std::memcpy(buffer, (channel == 0 ? left : right).data() + start, sizeof(float) * kBlock);
        }
        const auto begin = std::chrono::steady_clock::now();
        lilv_instance_run(instance, kBlock);
        busy += std::chrono::steady_clock::now() - begin;
    }
    lilv_instance_deactivate(instance);
    const double seconds = std::chrono::duration<double>(busy).count();
    std::printf("%-50s %8.1f x real time\n", argv[1], kSeconds / seconds);

    lilv_instance_free(instance);
    lilv_node_free(audioClass);
    lilv_node_free(controlClass);
    lilv_node_free(inputClass);
    lilv_node_free(uri);
    lilv_world_free(world);
    return 0;
}
