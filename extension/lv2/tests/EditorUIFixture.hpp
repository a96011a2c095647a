// The LV2 editor under test: a fake host, a running plug-in instance and the X server they share.
#pragma once

// clang-format off
// gtest first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
// clang-format on

#include "../../../platform/display/tests/Xvfb.hpp"
#include "core/Clock.hpp"
#include "core/MainQueue.hpp"
#include "declarative/Declarative.hpp"
#include "display/HeadlessBackend.hpp"
#include "display/X11Display.hpp"
#include "extension/AudioUnitViewController.hpp"
#include "extension/EditorRoot.hpp"
#include "extension/FactoryPreset.hpp"
#include "extension/Settings.hpp"
#include "extension/UpdateCheck.hpp"
#include "extension/lv2/LV2EditorUnit.hpp"
#include "extension/lv2/TessarayLV2Plugin.hpp"
#include "extension/lv2/TessarayLV2UI.hpp"
#include "extension/lv2/tests/UridMap.hpp"
#include "extension/tests/EditorFrames.hpp"
#include "ui/Window.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <cairo.h>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <filesystem>
#include <functional>
#include <lv2/atom/util.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/urid/urid.h>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <utility>
#include <vector>

// XTest after the LV2 headers: Xlib's macros must not reach them.
#include "../../../platform/display/tests/XTestInput.hpp"


namespace lv2test {

constexpr double kRate = 48000.0;
constexpr uint32_t kMixPort = tessaray_lv2::kFirstParameterPort + 8;

inline std::size_t entriesIn(const char* directory) {
    std::size_t count = 0;
    if (DIR* dir = opendir(directory)) {
        while (readdir(dir)) {
            ++count;
        }
        closedir(dir);
    }
    return count;
}

// The host's side of the editor: what it was written and touched, in order, and the features it offers.
struct FakeHost {
    std::vector<std::string> log;
    std::map<uint32_t, float> written;
    std::vector<std::pair<int, int>> sizes;
    UridMap urids;
    LV2UI_Touch touch{this, [](LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
                          static_cast<FakeHost*>(h)->log.push_back("touch " + std::to_string(port) +
                                                                   (grabbed ? " on" : " off"));
                      }};
    LV2UI_Resize resize{this, [](LV2UI_Feature_Handle h, int w, int height) {
                            static_cast<FakeHost*>(h)->sizes.emplace_back(w, height);
                            return 0;
                        }};
    LV2_Extension_Data_Feature dataAccess{nullptr};
    // What the host does with a write beyond recording it (a session sets its port).
    std::function<void(uint32_t port, float value)> onWrite;

    static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
                      const void* buffer) {
        auto* host = static_cast<FakeHost*>(controller);
        ASSERT_EQ(protocol, 0u);
        ASSERT_EQ(size, sizeof(float));
        const float value = *static_cast<const float*>(buffer);
        host->written[port] = value;
        host->log.push_back("write " + std::to_string(port));
        if (host->onWrite) {
            host->onWrite(port, value);
        }
    }

    std::vector<LV2_Feature> features(unsigned long parent, LV2_Handle instance,
                                      const LV2_Descriptor* plugin) {
        std::vector<LV2_Feature> list{{LV2_URID__map, &urids.map},
                                      {LV2_UI__touch, &touch},
                                      {LV2_UI__resize, &resize},
                                      {LV2_UI__idleInterface, nullptr}};
        if (parent) {
            list.push_back({LV2_UI__parent, reinterpret_cast<void*>(parent)});
        }
        if (instance && plugin) {
            dataAccess.data_access = plugin->extension_data;
            list.push_back({LV2_INSTANCE_ACCESS_URI, instance});
            list.push_back({LV2_DATA_ACCESS_URI, &dataAccess});
        }
        return list;
    }
    LV2_URID id(const char* uri) { return urids.map.map(urids.map.handle, uri); }
};

// The plug-in itself, with every port connected, for the editor to reach.
struct Plugin {
    const LV2_Descriptor* descriptor = lv2::descriptor<TessarayLV2Plugin>();
    LV2_Handle handle = nullptr;
    std::vector<float> controls = std::vector<float>(tessaray_lv2::kPortCount, 0.0f);
    std::vector<std::vector<float>> audio = std::vector<std::vector<float>>(4, std::vector<float>(256, 0.0f));
    std::vector<uint64_t> notify = std::vector<uint64_t>(512);

    explicit Plugin(FakeHost& host) {
        LV2_Feature map{LV2_URID__map, &host.urids.map};
        const LV2_Feature* features[] = {&map, nullptr};
        handle = descriptor->instantiate(descriptor, kRate, TESSARAY_LV2_BUNDLE_DIR, features);
        for (const ParameterInfo& info : kParameterTable) {
            controls[tessaray_lv2::portOfParameter(info)] = info.defaultValue;
        }
        controls[tessaray_lv2::kEnabledPort] = 1.0f;
        for (uint32_t port = 0; port < tessaray_lv2::kPortCount; ++port) {
            void* location = port < 4                            ? static_cast<void*>(audio[port].data())
                             : port == tessaray_lv2::kNotifyPort ? static_cast<void*>(notify.data())
                                                                 : static_cast<void*>(&controls[port]);
            descriptor->connect_port(handle, port, location);
        }
        descriptor->activate(handle);
    }
    ~Plugin() {
        descriptor->deactivate(handle);
        descriptor->cleanup(handle);
    }
    void run(uint32_t frames = 256) {
        auto* atom = reinterpret_cast<LV2_Atom*>(notify.data());
        atom->size = uint32_t(notify.size() * sizeof(uint64_t) - sizeof(LV2_Atom));
        atom->type = 0;
        descriptor->run(handle, frames);
    }
    void noise(unsigned seed) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> sample(-0.5f, 0.5f);
        for (int c = 0; c < 2; ++c) {
            for (float& s : audio[std::size_t(c)]) {
                s = sample(random);
            }
        }
    }
    const LV2_Atom_Sequence* notifications() const {
        return reinterpret_cast<const LV2_Atom_Sequence*>(notify.data());
    }
};

// An update check that waits for the network until it is cancelled, as one on a dead network does.
inline std::string hangingFetch(const std::string&, FetchCancellation& cancellation) {
    std::mutex mutex;
    std::condition_variable woken;
    bool cancelled = false;
    auto registration = cancellation.onCancel([&] {
        std::lock_guard lock(mutex);
        cancelled = true;
        woken.notify_all();
    });
    std::unique_lock lock(mutex);
    woken.wait(lock, [&] { return cancelled; });
    throw std::runtime_error("cancelled");
}

class EditorUI : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new displaytest::XvfbServer("1280x1024x24");
        if (!server_->name().empty()) {
            setenv("DISPLAY", server_->name().c_str(), 1);
        }
        setenv("TESSARAY_SCALE", "1", 1);
        previousFetcher_ = new UpdateFeedFetcher(setUpdateFeedFetcher(&hangingFetch));
    }
    static void TearDownTestSuite() {
        setUpdateFeedFetcher(*previousFetcher_);
        delete previousFetcher_;
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        if (server_->name().empty()) {
            GTEST_SKIP() << "Xvfb is not available";
        }
        x_ = XOpenDisplay(server_->name().c_str());
        ASSERT_NE(x_, nullptr);
        // The host's window that the editor embeds into.
        parent_ = XCreateSimpleWindow(x_, DefaultRootWindow(x_), 0, 0, 760, 512, 0, 0, 0);
        XMapWindow(x_, parent_);
        XSync(x_, False);
    }
    void TearDown() override {
        if (x_) {
            XDestroyWindow(x_, parent_);
            XCloseDisplay(x_);
        }
    }

    // The host's instantiate through a descriptor (this program's editor unless another is given).
    LV2UI_Handle instantiate(FakeHost& host, Plugin* plugin = nullptr,
                             const LV2UI_Descriptor* descriptor = lv2ui(),
                             const char* bundlePath = TESSARAY_LV2_BUNDLE_DIR,
                             LV2UI_Widget* widget = nullptr) {
        features_ =
            host.features(parent_, plugin ? plugin->handle : nullptr, plugin ? plugin->descriptor : nullptr);
        pointers_.clear();
        for (auto& f : features_) {
            pointers_.push_back(&f);
        }
        pointers_.push_back(nullptr);
        return descriptor->instantiate(descriptor, tessaray_lv2::kPluginURI, bundlePath, &FakeHost::write,
                                       &host, widget, pointers_.data());
    }
    LV2UI_Handle open(FakeHost& host, Plugin* plugin = nullptr) {
        LV2UI_Widget widget = nullptr;
        LV2UI_Handle handle = instantiate(host, plugin, lv2ui(), TESSARAY_LV2_BUNDLE_DIR, &widget);
        EXPECT_NE(handle, nullptr);
        if (handle) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(widget), ui(handle).windowId());
        }
        return handle;
    }
    static const LV2UI_Descriptor* lv2ui() { return lv2::uiDescriptor<TessarayLV2UI>(); }
    static TessarayLV2UI& ui(LV2UI_Handle handle) {
        return *static_cast<TessarayLV2UI*>(static_cast<lv2::UI*>(handle));
    }
    void idle(LV2UI_Handle handle, int times = 1) {
        const auto* interface =
            static_cast<const LV2UI_Idle_Interface*>(lv2ui()->extension_data(LV2_UI__idleInterface));
        for (int i = 0; i < times; ++i) {
            EXPECT_EQ(interface->idle(handle), 0);
        }
    }
    // Idles the editor until the server shows its window, for half a second at the most.
    void idleUntilViewable(LV2UI_Handle handle) {
        for (int i = 0; i < 100; ++i) {
            idle(handle);
            XWindowAttributes attributes{};
            XGetWindowAttributes(x_, ui(handle).windowId(), &attributes);
            if (attributes.map_state == IsViewable) {
                break;
            }
            usleep(5000);
        }
    }
    void close(LV2UI_Handle handle) { lv2ui()->cleanup(handle); }

    // Each value from an odd address: a host's buffer need not be aligned for a float.
    static void portEvents(LV2UI_Handle handle, const std::array<float, kParameterCount>& values) {
        alignas(float) char buffer[sizeof(float) + 1];
        for (const ParameterInfo& info : kParameterTable) {
            const float v = values[parameterIndex(info)];
            std::memcpy(buffer + 1, &v, sizeof v);
            lv2ui()->port_event(handle, tessaray_lv2::portOfParameter(info), sizeof(float), 0, buffer + 1);
        }
    }
    static std::array<float, kParameterCount> shown(TessarayLV2UI& editor) {
        std::array<float, kParameterCount> values{};
        for (const ParameterInfo& info : kParameterTable) {
            values[parameterIndex(info)] = editor.settings().parameterWithAddress(info.address)->value();
        }
        return values;
    }
    // A mouse event at a point of the editor's design (top-left origin) in its window at scale 1.
    static void mouse(TessarayLV2UI& editor, ui::EventType type, double x, double y) {
        editor.window()->sendEvent(
            ui::Event::mouseEvent(type, {x, kEditorHeight - y}, 0, 0, editor.window(), 1));
    }

    inline static displaytest::XvfbServer* server_ = nullptr;
    inline static UpdateFeedFetcher* previousFetcher_ = nullptr;
    ::Display* x_ = nullptr;
    ::Window parent_ = 0;
    std::vector<LV2_Feature> features_;
    std::vector<const LV2_Feature*> pointers_;
};

} // namespace lv2test
