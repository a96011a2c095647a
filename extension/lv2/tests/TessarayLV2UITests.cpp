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

namespace {

constexpr double kRate = 48000.0;
constexpr uint32_t kMixPort = tessaray_lv2::kFirstParameterPort + 8;

std::size_t entriesIn(const char* directory) {
    std::size_t count = 0;
    if (DIR* dir = opendir(directory)) {
        while (readdir(dir)) {
            ++count;
        }
        closedir(dir);
    }
    return count;
}

using lv2test::UridMap;

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
std::string hangingFetch(const std::string&, FetchCancellation& cancellation) {
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

    static displaytest::XvfbServer* server_;
    static UpdateFeedFetcher* previousFetcher_;
    ::Display* x_ = nullptr;
    ::Window parent_ = 0;
    std::vector<LV2_Feature> features_;
    std::vector<const LV2_Feature*> pointers_;
};

displaytest::XvfbServer* EditorUI::server_ = nullptr;
UpdateFeedFetcher* EditorUI::previousFetcher_ = nullptr;

} // namespace

// Opening the editor on a running session shows the host's values and writes nothing back: a fresh model's
// defaults must never reach the session.
TEST_F(EditorUI, OpensOnTheHostsValuesWithoutWritingAndEmbedsInTheParent) {
    FakeHost host;
    LV2UI_Handle handle = open(host);
    ASSERT_NE(handle, nullptr);
    TessarayLV2UI& editor = ui(handle);
    const auto ghost = factoryPresetList()[1].values();
    portEvents(handle, ghost);
    idle(handle, 3);
    EXPECT_EQ(shown(editor), ghost);
    EXPECT_TRUE(host.log.empty()) << host.log.front();
    EXPECT_EQ(host.sizes, (std::vector<std::pair<int, int>>{{760, 512}}));
    EXPECT_FALSE(editor.hasInstanceAccess());

    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(x_, editor.windowId(), &root, &parent, &children, &count);
    XFree(children);
    EXPECT_EQ(parent, parent_);
    EXPECT_EQ(editor.controller().preferredContentSize().width, 760);
    EXPECT_EQ(editor.settings().pluginWindow.lock(), editor.window()) << "recorded when the editor appeared";

    // Non-finite values and ports that are not parameters are ignored.
    const float nan = std::nanf("");
    lv2ui()->port_event(handle, kMixPort, sizeof(float), 0, &nan);
    lv2ui()->port_event(handle, tessaray_lv2::kEnabledPort, sizeof(float), 0, &nan);
    idle(handle);
    EXPECT_EQ(shown(editor), ghost);
    close(handle);
}

// A drag over a control writes its port between touch and release, every write within the event that caused
// it; the host's late echoes of earlier writes do not pull the value back while the drag goes on.
TEST_F(EditorUI, ADragWritesThePortBetweenTouchAndReleaseAndEchoesDoNotJitter) {
    FakeHost host;
    LV2UI_Handle handle = open(host);
    ASSERT_NE(handle, nullptr);
    TessarayLV2UI& editor = ui(handle);
    portEvents(handle, factoryPresetList()[0].values());
    idle(handle, 2);

    const auto mix = editorControlFrame("mix");
    const double x = mix.midX(), y = mix.midY();
    mouse(editor, ui::EventType::leftMouseDown, x, y);
    EXPECT_TRUE(host.log.empty()) << "a press alone edits nothing";
    // The knob begins with its first move past its minimum travel, then writes on every move.
    mouse(editor, ui::EventType::leftMouseDragged, x, y - 10);
    ASSERT_FALSE(host.log.empty());
    EXPECT_EQ(host.log.front(), "touch 12 on");
    std::vector<float> writes;
    for (int step = 2; step <= 5; ++step) {
        mouse(editor, ui::EventType::leftMouseDragged, x, y - step * 10);
        ASSERT_EQ(host.log.back(), "write 12") << "written during the event itself";
        writes.push_back(host.written[kMixPort]);
    }
    mouse(editor, ui::EventType::leftMouseUp, x, y - 50);
    EXPECT_EQ(host.log.back(), "touch 12 off");
    EXPECT_TRUE(std::is_sorted(writes.begin(), writes.end())) << "dragging up raises the value";
    // 40 points after the first move at half a percent of the range per point.
    EXPECT_FLOAT_EQ(writes.back(), 50.0f + 40.0f * 0.005f * 100.0f);
    idle(handle);

    // The host echoes the writes late, after the drag: the older ones do not pull the control back.
    for (std::size_t i = 1; i + 1 < writes.size(); ++i) {
        lv2ui()->port_event(handle, kMixPort, sizeof(float), 0, &writes[i]);
        idle(handle);
        EXPECT_EQ(editor.settings().mix()->value(), writes.back());
    }
    // The echo of the last write ends the wait; a host change after it shows at once.
    lv2ui()->port_event(handle, kMixPort, sizeof(float), 0, &writes.back());
    const float automation = 10.0f;
    lv2ui()->port_event(handle, kMixPort, sizeof(float), 0, &automation);
    idle(handle);
    EXPECT_EQ(editor.settings().mix()->value(), 10.0f);

    // A preset from the editor's own buttons is 18 complete edits, each between touch and release.
    host.log.clear();
    const auto next = editorNextPresetFrame();
    mouse(editor, ui::EventType::leftMouseDown, next.midX(), next.midY());
    mouse(editor, ui::EventType::leftMouseUp, next.midX(), next.midY());
    idle(handle, 2);
    EXPECT_EQ(editor.settings().currentPresetIndex.get(), std::optional<int>(1));
    const auto ghost = factoryPresetList()[1].values();
    EXPECT_EQ(shown(editor), ghost);
    for (const ParameterInfo& info : kParameterTable) {
        // Values the preset shares with the current state need no write.
        if (const auto it = host.written.find(tessaray_lv2::portOfParameter(info));
            it != host.written.end()) {
            EXPECT_EQ(it->second, ghost[parameterIndex(info)]) << info.identifier;
        }
    }
    EXPECT_EQ(host.written[kMixPort], 45.0f);
    EXPECT_EQ(std::count_if(host.log.begin(), host.log.end(),
                            [](const std::string& e) { return e.ends_with(" on"); }),
              std::count_if(host.log.begin(), host.log.end(),
                            [](const std::string& e) { return e.ends_with(" off"); }));
    close(handle);
}

// The bridge on its own: edits from the parameter tree are its only writes, and its echo rule holds back
// echoes that differ from the latest write until that write's echo or the end of the window.
TEST(LV2EditorUnit, WritesOnlyTreeEditsAndHoldsBackDifferingEchoes) {
    static std::vector<std::string>* sink = nullptr;
    std::vector<std::string> log;
    sink = &log;
    LV2UI_Touch touch{nullptr, [](LV2UI_Feature_Handle, uint32_t port, bool grabbed) {
                          sink->push_back("touch " + std::to_string(port) + (grabbed ? " on" : " off"));
                      }};
    auto clock = std::make_shared<core::ManualClock>();
    LV2EditorUnit unit({[](LV2UI_Controller, uint32_t port, uint32_t, uint32_t, const void* buffer) {
                            sink->push_back("write " + std::to_string(port) + " " +
                                            std::to_string(int(*static_cast<const float*>(buffer))));
                        },
                        nullptr, &touch},
                       clock);
    const uint64_t mix = 8;
    const auto edit = [&unit](uint64_t address, float value,
                              audiounit::AUParameterAutomationEventType type =
                                  audiounit::AUParameterAutomationEventType::value) {
        unit.parameterEvent({0, address, value, type});
    };

    // What the model passes on after a host value is never written back.
    unit.setParameter(mix, 33.0f);
    EXPECT_TRUE(log.empty());

    EXPECT_TRUE(unit.acceptHostValue(mix, 1.0f)) << "nothing pending: every host value shows";
    edit(mix, 10.0f);
    EXPECT_EQ(log, (std::vector<std::string>{"touch 12 on", "write 12 10", "touch 12 off"}))
        << "a value outside a gesture is a complete edit";
    log.clear();
    edit(mix, 10.0f, audiounit::AUParameterAutomationEventType::touch);
    edit(mix, 20.0f);
    EXPECT_TRUE(unit.isTouching(mix));
    edit(mix, 20.0f, audiounit::AUParameterAutomationEventType::release);
    EXPECT_EQ(log, (std::vector<std::string>{"touch 12 on", "write 12 20", "touch 12 off"}));
    EXPECT_FALSE(unit.acceptHostValue(mix, 10.0f)) << "a stale echo";
    EXPECT_TRUE(unit.acceptHostValue(17, 0.3f)) << "other parameters are not held";
    EXPECT_TRUE(unit.acceptHostValue(mix, 20.0f)) << "the echo of the latest write";
    EXPECT_TRUE(unit.acceptHostValue(mix, 30.0f)) << "then the host is followed again";

    // A host that rounds (or automation arriving in the window) shows once the window has passed.
    edit(mix, 40.5f);
    EXPECT_FALSE(unit.acceptHostValue(mix, 40.0f));
    std::vector<std::pair<uint64_t, float>> expired;
    unit.takeExpired([&](uint64_t a, float v) { expired.emplace_back(a, v); });
    EXPECT_TRUE(expired.empty());
    clock->advance(LV2EditorUnit::kPendingWindow);
    unit.takeExpired([&](uint64_t a, float v) { expired.emplace_back(a, v); });
    EXPECT_EQ(expired, (std::vector<std::pair<uint64_t, float>>{{mix, 40.0f}}));
    EXPECT_TRUE(unit.acceptHostValue(mix, 41.0f));

    // Address 9 has no port; after detaching nothing is written.
    log.clear();
    edit(9, 1.0f);
    unit.detach();
    edit(mix, 1.0f);
    EXPECT_TRUE(
        std::none_of(log.begin(), log.end(), [](const std::string& e) { return e.starts_with("write"); }));
}

// In the host's process the editor follows the kernel: its values, the host's automation, the analyser and
// the preset name; a preset chosen in the editor is recorded in the instance, so the session saves it.
TEST_F(EditorUI, WithInstanceAccessItFollowsTheKernelAndRecordsItsPreset) {
    FakeHost host;
    Plugin plugin(host);
    plugin.controls[kMixPort] = 70.0f;
    plugin.noise(3);
    for (int i = 0; i < 8; ++i) {
        plugin.run();
    }
    const auto* access = static_cast<const tessaray_lv2::EditorAccess*>(
        plugin.descriptor->extension_data(tessaray_lv2::kEditorAccessURI));
    access->setPresetName(plugin.handle, "Slow Melt");

    LV2UI_Handle handle = open(host, &plugin);
    ASSERT_NE(handle, nullptr);
    TessarayLV2UI& editor = ui(handle);
    EXPECT_TRUE(editor.hasInstanceAccess());
    EXPECT_EQ(editor.settings().mix()->value(), 70.0f) << "without a single port event";
    EXPECT_EQ(editor.settings().currentPresetIndex.get(), std::optional<int>(3));
    EXPECT_FALSE(editor.settings().analyzerBandAmps.get().empty());
    EXPECT_TRUE(host.log.empty());

    // Automation: the host changes the port, the kernel flags it, the next poll shows it.
    plugin.controls[kMixPort] = 25.0f;
    plugin.run();
    for (int i = 0; i < 40 && editor.settings().mix()->value() != 25.0f; ++i) {
        usleep(5000);
        idle(handle);
    }
    EXPECT_EQ(editor.settings().mix()->value(), 25.0f);

    editor.settings().applyPreset(factoryPresetList()[4]);
    idle(handle);
    char name[64];
    access->presetName(plugin.handle, name, sizeof name);
    EXPECT_STREQ(name, "Sub Monster");
    EXPECT_EQ(host.written[kMixPort], 60.0f);
    close(handle);
}

// Two editors open on one instance. The host owns the ports: an editor's write sets its port, and the host
// reports changed ports to its editors later, as hosts do. With instance access each editor follows the
// instance instead, and the instance's one taker of the kernel's changes hands every change to both.
class TwoEditors : public EditorUI, public ::testing::WithParamInterface<bool> {};

TEST_P(TwoEditors, BothFollowTheHostAndAnEditInOneReachesTheHostOnceAndShowsInTheOther) {
    const bool instanceAccess = GetParam();
    FakeHost hosts[2];
    Plugin plugin(hosts[0]);
    plugin.run();
    std::vector<uint32_t> changedPorts;
    for (FakeHost& host : hosts) {
        host.onWrite = [&](uint32_t port, float value) {
            plugin.controls[port] = value;
            changedPorts.push_back(port);
        };
    }
    LV2UI_Handle handles[2] = {open(hosts[0], instanceAccess ? &plugin : nullptr),
                               open(hosts[1], instanceAccess ? &plugin : nullptr)};
    ASSERT_TRUE(handles[0] && handles[1]);
    TessarayLV2UI* editors[2] = {&ui(handles[0]), &ui(handles[1])};
    ASSERT_EQ(editors[1]->followsInstance(), instanceAccess);
    if (!instanceAccess) {
        for (LV2UI_Handle handle : handles) {
            portEvents(handle, factoryPresetList()[0].values());
        }
    }
    // One turn of the session: the instance runs, the host reports the ports that changed, and each editor
    // polls and runs its queued work.
    const auto turn = [&] {
        plugin.run();
        for (uint32_t port : changedPorts) {
            for (LV2UI_Handle handle : handles) {
                if (!instanceAccess) {
                    lv2ui()->port_event(handle, port, sizeof(float), 0, &plugin.controls[port]);
                }
            }
        }
        changedPorts.clear();
        for (TessarayLV2UI* editor : editors) {
            editor->poll();
        }
        for (LV2UI_Handle handle : handles) {
            idle(handle, 2);
        }
    };
    turn();

    // The host's automation, in three rounds: each reaches both editors.
    for (const float mix : {25.0f, 80.0f, 5.0f}) {
        plugin.controls[kMixPort] = mix;
        changedPorts.push_back(kMixPort);
        turn();
        EXPECT_EQ(editors[0]->settings().mix()->value(), mix);
        EXPECT_EQ(editors[1]->settings().mix()->value(), mix) << "the second editor misses nothing";
    }

    // A dial's edit in one editor: written once by that editor alone, shown by the other, echoed by none.
    const auto writesTo = [](const FakeHost& host, uint32_t port) {
        return std::count(host.log.begin(), host.log.end(), "write " + std::to_string(port));
    };
    for (int from = 0; from < 2; ++from) {
        const int other = 1 - from;
        hosts[0].log.clear();
        hosts[1].log.clear();
        const float value = from == 0 ? 60.0f : 35.0f;
        const auto& mix = editors[from]->settings().mix();
        mix->setIsBeingInteractivelyEdited(true);
        mix->setValue(mix->value(), ParameterEditor::ui, ParameterEditorState::beginInteractive);
        mix->setValue(value, ParameterEditor::ui, ParameterEditorState::change);
        mix->setIsBeingInteractivelyEdited(false);
        mix->setValue(value, ParameterEditor::ui, ParameterEditorState::endInteractive);
        for (int i = 0; i < 4; ++i) {
            turn();
        }
        EXPECT_EQ(writesTo(hosts[from], kMixPort), 1) << "editor " << from;
        EXPECT_EQ(hosts[other].log, std::vector<std::string>{}) << "editor " << other << " writes nothing";
        EXPECT_EQ(plugin.controls[kMixPort], value);
        EXPECT_EQ(editors[other]->settings().mix()->value(), value) << "editor " << other;
        EXPECT_EQ(editors[from]->settings().mix()->value(), value);
    }
    close(handles[0]);
    close(handles[1]);
}

INSTANTIATE_TEST_SUITE_P(EditorUI, TwoEditors, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "WithInstanceAccess" : "WithoutInstanceAccess";
                         });

// Without instance access the analyser and the preset name come from the notification port.
TEST_F(EditorUI, WithoutInstanceAccessTheNotificationPortFeedsTheAnalyserAndPresetName) {
    FakeHost host;
    Plugin plugin(host);
    LV2UI_Handle handle = open(host);
    ASSERT_NE(handle, nullptr);
    TessarayLV2UI& editor = ui(handle);
    const auto* access = static_cast<const tessaray_lv2::EditorAccess*>(
        plugin.descriptor->extension_data(tessaray_lv2::kEditorAccessURI));
    access->setPresetName(plugin.handle, "Shimmer Halo");
    plugin.noise(7);
    const LV2_URID transfer = host.id(LV2_ATOM__eventTransfer);
    // The last message of each kind as it came, for the forgeries below.
    std::map<LV2_URID, std::vector<uint8_t>> sent;
    for (int block = 0; block < 8; ++block) {
        plugin.run();
        LV2_ATOM_SEQUENCE_FOREACH(plugin.notifications(), event) {
            const uint32_t size = sizeof(LV2_Atom) + event->body.size;
            lv2ui()->port_event(handle, tessaray_lv2::kNotifyPort, size, transfer, &event->body);
            const auto* bytes = reinterpret_cast<const uint8_t*>(&event->body);
            sent[reinterpret_cast<const LV2_Atom_Object*>(&event->body)->body.otype].assign(bytes,
                                                                                            bytes + size);
        }
    }
    idle(handle);
    EXPECT_EQ(editor.settings().currentPresetIndex.get(), std::optional<int>(2));
    EXPECT_EQ(editor.settings().analyzerBandAmps.get().size(), 64u);
    EXPECT_EQ(editor.settings().analyzerRangeHi.get(), 20000.0f);
    const std::vector<float> amps = editor.settings().analyzerBandAmps.get();

    // Truncated or foreign atoms are ignored.
    const LV2_Atom bogus{64, host.id(LV2_ATOM__Object)};
    lv2ui()->port_event(handle, tessaray_lv2::kNotifyPort, sizeof bogus, transfer, &bogus);
    const LV2_Atom_Int number{{sizeof(int32_t), host.id(LV2_ATOM__Int)}, 5};
    lv2ui()->port_event(handle, tessaray_lv2::kNotifyPort, sizeof number, transfer, &number);

    // So are messages cut short inside (the last value claims bytes past the message's end, which is the end
    // of its buffer here) and an analyser whose range is not a number.
    const auto sendExactly = [&](std::vector<uint8_t> bytes, uint32_t cut) {
        bytes.resize(bytes.size() - cut);
        reinterpret_cast<LV2_Atom*>(bytes.data())->size -= cut;
        // Exactly as long as the message (new[] aligns it for atoms), so any read past it is caught.
        const auto buffer = std::make_unique<uint8_t[]>(bytes.size());
        std::memcpy(buffer.get(), bytes.data(), bytes.size());
        lv2ui()->port_event(handle, tessaray_lv2::kNotifyPort, uint32_t(bytes.size()), transfer,
                            buffer.get());
    };
    const std::vector<uint8_t>& analyser = sent[host.id(tessaray_lv2::kAnalyserURI)];
    const std::vector<uint8_t>& name = sent[host.id(tessaray_lv2::kPresetNameMessageURI)];
    ASSERT_FALSE(analyser.empty());
    ASSERT_EQ(name.size(), sizeof(LV2_Atom_Object) + sizeof(LV2_Atom_Property_Body) + 16) << "Shimmer Halo";
    sendExactly(analyser, 61 * sizeof(float) - 2); // three levels and a half
    sendExactly(name, 4);                          // up to the terminator
    std::vector<uint8_t> notANumber = analyser;
    const LV2_Atom* rangeHi = nullptr;
    lv2_atom_object_get(reinterpret_cast<LV2_Atom_Object*>(notANumber.data()),
                        host.id(tessaray_lv2::kRangeHiURI), &rangeHi, 0);
    ASSERT_NE(rangeHi, nullptr);
    const_cast<LV2_Atom_Float*>(reinterpret_cast<const LV2_Atom_Float*>(rangeHi))->body = std::nanf("");
    sendExactly(notANumber, 0);
    idle(handle);
    EXPECT_EQ(editor.settings().currentPresetIndex.get(), std::optional<int>(2));
    EXPECT_EQ(editor.settings().analyzerBandAmps.get(), amps);
    EXPECT_EQ(editor.settings().analyzerRangeHi.get(), 20000.0f);
    close(handle);
}

// Hosts unload the editor's code right after cleanup: nothing it started may be left running or queued, and
// opening and closing it again and again leaks no threads or descriptors. An update check stuck on the
// network is cancelled and joined.
TEST_F(EditorUI, CleanupLeavesNoThreadsTasksOrDescriptorsBehind) {
    FakeHost host;
    Plugin plugin(host);
    close(open(host, &plugin)); // the first opening loads fonts and caches for good
    core::MainQueue::shared().drain();
    const std::size_t threads = entriesIn("/proc/self/task");
    const std::size_t descriptors = entriesIn("/proc/self/fd");
    for (int i = 0; i < 50; ++i) {
        LV2UI_Handle first = open(host, i % 2 == 0 ? &plugin : nullptr);
        LV2UI_Handle second = open(host, &plugin); // two editors at once
        ASSERT_TRUE(first && second);
        idle(first);
        idle(second);
        EXPECT_GT(entriesIn("/proc/self/task"), threads) << "each editor checks for updates";
        close(first);
        idle(second);
        close(second);
        EXPECT_EQ(core::MainQueue::shared().pendingCount(), 0u);
    }
    EXPECT_EQ(entriesIn("/proc/self/task"), threads);
    EXPECT_EQ(entriesIn("/proc/self/fd"), descriptors);
}

// The editor's X connection is its own: when its server goes away, the editor closes (idle says so) and
// the host, which has no connection to that server, goes on, as does an editor on another server.
TEST_F(EditorUI, AServerGoingAwayClosesTheEditorAndNotTheHost) {
    FakeHost host;
    LV2UI_Handle survivor = open(host);
    ASSERT_NE(survivor, nullptr);
    displaytest::XvfbServer doomed("640x480x24");
    if (doomed.name().empty()) {
        close(survivor);
        GTEST_SKIP() << "Xvfb is not available";
    }
    setenv("DISPLAY", doomed.name().c_str(), 1);
    const ::Window parent = std::exchange(parent_, 0); // a top-level editor: the host has no window there
    LV2UI_Handle handle = open(host);
    parent_ = parent;
    setenv("DISPLAY", server_->name().c_str(), 1);
    ASSERT_NE(handle, nullptr);
    idle(handle, 3);

    doomed.stop();
    const auto* interface =
        static_cast<const LV2UI_Idle_Interface*>(lv2ui()->extension_data(LV2_UI__idleInterface));
    int closed = 0;
    for (int i = 0; i < 200 && closed == 0; ++i) {
        closed = interface->idle(handle);
        usleep(5000);
    }
    EXPECT_NE(closed, 0) << "idle reports the editor closed";
    EXPECT_NE(interface->idle(handle), 0);
    close(handle);
    idle(survivor, 3);
    close(survivor);
}

// Real pointer events, through the X server: a drag reaches the host's port within the idle call that
// handles the events.
TEST_F(EditorUI, AnXTestDragReachesThePortWithinOneIdleCall) {
    displaytest::XTestInput input(x_);
    if (!input.available()) {
        GTEST_SKIP() << "no XTest";
    }
    FakeHost host;
    LV2UI_Handle handle = open(host);
    ASSERT_NE(handle, nullptr);
    TessarayLV2UI& editor = ui(handle);
    portEvents(handle, factoryPresetList()[0].values());
    for (int i = 0; i < 200 && !host.sizes.empty() && editor.window()->isVisible(); ++i) {
        idle(handle);
        XWindowAttributes attributes{};
        XGetWindowAttributes(x_, editor.windowId(), &attributes);
        if (attributes.map_state == IsViewable) {
            break;
        }
        usleep(5000);
    }
    idle(handle, 2);

    // The editor scales its design to the window the host gave it.
    const auto size = editor.window()->frame().size;
    const double scale = std::min(size.width / kEditorWidth, size.height / kEditorHeight);
    const auto mix = editorControlFrame("mix");
    const auto [x, y] =
        input.rootPosition(editor.windowId(), int(mix.midX() * scale), int(mix.midY() * scale));
    input.moveTo(x, y);
    input.button(1, true);
    int calls = 0;
    while (host.log.empty() && calls < 100) {
        idle(handle);
        ++calls;
        if (host.log.empty()) {
            usleep(2000);
        }
    }
    EXPECT_TRUE(host.log.empty()) << "a press alone edits nothing";
    // The first move past the knob's minimum travel begins the edit.
    input.moveTo(x, y - 10);
    for (int n = 0; n < 100 && host.log.empty(); ++n) {
        idle(handle);
        usleep(2000);
    }
    ASSERT_FALSE(host.log.empty());
    EXPECT_EQ(host.log.front(), "touch 12 on");

    std::vector<int> callsPerStep;
    for (int step = 2; step <= 5; ++step) {
        const std::size_t before = host.log.size();
        input.moveTo(x, y - step * 10);
        int n = 0;
        while (host.log.size() == before && n < 100) {
            idle(handle);
            ++n;
            if (host.log.size() == before) {
                usleep(2000);
            }
        }
        callsPerStep.push_back(n);
        EXPECT_EQ(host.log.back(), "write 12");
    }
    input.button(1, false);
    for (int n = 0; n < 100 && host.log.back() != "touch 12 off"; ++n) {
        idle(handle);
        usleep(2000);
    }
    EXPECT_EQ(host.log.back(), "touch 12 off");
    EXPECT_EQ(host.written[kMixPort], 70.0f);
    // Events the server has sent by the time the test's own request is answered are normally read by the
    // next idle call.
    std::printf("idle calls until each drag step was written: %d %d %d %d\n", callsPerStep[0],
                callsPerStep[1], callsPerStep[2], callsPerStep[3]);
    close(handle);
}

// Hosts seldom pass keys on to an embedded window: while a text field of the editor has focus the editor
// takes the keyboard, and gives it back to whoever had it when editing ends.
TEST_F(EditorUI, TextEditingTakesTheKeyboardAndGivesItBack) {
    FakeHost host;
    // The host's own focus is in its window when the editor appears.
    XSetInputFocus(x_, parent_, RevertToParent, CurrentTime);
    XSync(x_, False);
    LV2UI_Handle handle = open(host);
    ASSERT_NE(handle, nullptr);
    TessarayLV2UI& editor = ui(handle);
    idleUntilViewable(handle);
    // A label to edit, in place of the editor's content.
    auto name = std::make_shared<core::Observed<std::string>>(std::string("Lead"));
    editor.controller().hostingController()->setRootView(
        declarative::TextField(declarative::Binding<std::string>::to(*name)).frame(200, 24));
    idle(handle, 3);
    const auto focus = [&] {
        ::Window window = 0;
        int revert = 0;
        XGetInputFocus(x_, &window, &revert);
        return window;
    };
    EXPECT_EQ(focus(), parent_);

    mouse(editor, ui::EventType::leftMouseDown, kEditorWidth / 2, kEditorHeight / 2);
    mouse(editor, ui::EventType::leftMouseUp, kEditorWidth / 2, kEditorHeight / 2);
    idle(handle, 2);
    ASSERT_NE(editor.controller().hostingController()->focusManager().focusedNode(), nullptr);
    EXPECT_EQ(focus(), editor.windowId()) << "keys now come to the editor";

    editor.controller().hostingController()->focusManager().focus(nullptr);
    idle(handle, 2);
    EXPECT_EQ(focus(), parent_) << "and go back where they came from";
    close(handle);
}

// A value typed into a dial's label reaches the host's port, and the keyboard then goes back to whoever had
// it when editing began: the keys typed next reach the host again.
TEST_F(EditorUI, KeysTypedAfterALabelEditReachTheHostAgain) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(x_, &eventBase, &errorBase, &major, &minor)) {
        GTEST_SKIP() << "no XTest";
    }
    FakeHost host;
    // Keys go to the window under the pointer when it lies inside the focused one: the pointer is kept
    // off the editor (an earlier test may have left it there).
    XTestFakeMotionEvent(x_, -1, DisplayWidth(x_, DefaultScreen(x_)) - 1,
                         DisplayHeight(x_, DefaultScreen(x_)) - 1, 0);
    XSelectInput(x_, parent_, KeyPressMask);
    XSetInputFocus(x_, parent_, RevertToParent, CurrentTime);
    XSync(x_, False);
    LV2UI_Handle handle = open(host);
    ASSERT_NE(handle, nullptr);
    TessarayLV2UI& editor = ui(handle);
    portEvents(handle, factoryPresetList()[0].values());
    idleUntilViewable(handle);
    idle(handle, 2);
    const auto focus = [&] {
        ::Window window = 0;
        int revert = 0;
        XGetInputFocus(x_, &window, &revert);
        return window;
    };
    const auto type = [&](KeySym key) {
        const KeyCode code = XKeysymToKeycode(x_, key);
        XTestFakeKeyEvent(x_, code, True, 0);
        XTestFakeKeyEvent(x_, code, False, 0);
        XSync(x_, False);
        for (int i = 0; i < 5; ++i) {
            idle(handle);
            usleep(2000);
        }
    };
    const auto& responder = editor.settings().pluginMainResponder;
    ASSERT_EQ(focus(), parent_);

    const auto value = editorValueFrame("mix");
    mouse(editor, ui::EventType::leftMouseDown, value.midX(), value.midY());
    mouse(editor, ui::EventType::leftMouseUp, value.midX(), value.midY());
    idle(handle, 2);
    ASSERT_NE(editor.controller().hostingController()->focusManager().focusedNode(), nullptr);
    ASSERT_EQ(focus(), editor.windowId()) << "the editor takes the keyboard while a value is typed";
    XSync(x_, True); // nothing typed so far counts

    for (const KeySym key : {XK_BackSpace, XK_BackSpace, XK_BackSpace, XK_BackSpace, XK_3, XK_0, XK_Return}) {
        type(key);
    }
    for (int i = 0; i < 100 && focus() != parent_; ++i) {
        idle(handle);
        usleep(2000);
    }
    EXPECT_EQ(host.written[kMixPort], 30.0f);
    EXPECT_EQ(editor.window()->firstResponder(), responder.lock()) << "the main responder has it back";
    EXPECT_EQ(focus(), parent_);

    XEvent event{};
    EXPECT_FALSE(XCheckTypedWindowEvent(x_, parent_, KeyPress, &event))
        << "the edit's keys were the editor's";
    type(XK_a);
    bool reached = false;
    for (int i = 0; i < 100 && !reached; ++i) {
        reached = XCheckTypedWindowEvent(x_, parent_, KeyPress, &event);
        if (!reached) {
            usleep(2000);
        }
    }
    EXPECT_TRUE(reached) << "a key typed after the edit reaches the host's window";
    EXPECT_EQ(host.written[kMixPort], 30.0f);
    close(handle);
}

// A host that resizes the editor gets the editor scaled to the new size (the smaller ratio, from the top
// left); its controls are where they are drawn.
TEST_F(EditorUI, FollowsTheHostsResizesAndScalesItself) {
    FakeHost host;
    LV2UI_Handle handle = open(host);
    ASSERT_NE(handle, nullptr);
    TessarayLV2UI& editor = ui(handle);
    portEvents(handle, factoryPresetList()[0].values());
    const auto* resize = static_cast<const LV2UI_Resize*>(lv2ui()->extension_data(LV2_UI__resize));
    ASSERT_NE(resize, nullptr);
    EXPECT_EQ(resize->ui_resize(handle, 380, 300), 0);
    for (int i = 0; i < 200 && editor.window()->frame().size.width != 380; ++i) {
        idle(handle);
        usleep(2000);
    }
    idle(handle, 2);
    EXPECT_EQ(editor.window()->frame().size, graphics::Size(380, 300));
    EXPECT_EQ(editor.controller().hostingController()->frame().size, graphics::Size(380, 300))
        << "the hosting view stays pinned to all sides";

    // At half size the mix control sits at half its design position.
    const auto mix = editorControlFrame("mix");
    const double x = mix.midX() / 2, y = mix.midY() / 2;
    editor.window()->sendEvent(
        ui::Event::mouseEvent(ui::EventType::leftMouseDown, {x, 300 - y}, 0, 0, editor.window()));
    editor.window()->sendEvent(
        ui::Event::mouseEvent(ui::EventType::leftMouseDragged, {x, 300 - y + 7}, 0, 0, editor.window()));
    editor.window()->sendEvent(
        ui::Event::mouseEvent(ui::EventType::leftMouseDragged, {x, 300 - y + 32}, 0, 0, editor.window()));
    editor.window()->sendEvent(
        ui::Event::mouseEvent(ui::EventType::leftMouseUp, {x, 300 - y + 32}, 0, 0, editor.window()));
    EXPECT_EQ(host.log.front(), "touch 12 on");
    EXPECT_FLOAT_EQ(host.written[kMixPort], 75.0f) << "25 points at half scale are 50 design points";
    EXPECT_EQ(resize->ui_resize(handle, 0, 10), 1) << "a size of nothing is refused";

    // Wider than X's coordinates and the screen: the editor is fitted to the screen and goes on drawing.
    EXPECT_EQ(resize->ui_resize(handle, 40000, 100), 0);
    for (int i = 0; i < 200 && editor.window()->frame().size.width != 1280; ++i) {
        idle(handle);
        usleep(2000);
    }
    EXPECT_EQ(editor.window()->frame().size, graphics::Size(1280, 100));
    idle(handle, 2);
    close(handle);
}

// The host is asked for the size the editor's window was made at: never nothing, never past the screen,
// whatever the scale.
TEST_F(EditorUI, AsksTheHostForTheSizeItsWindowWasMadeAt) {
    for (const auto& [scale, size] :
         {std::pair{"0.0001", std::pair{1, 1}}, std::pair{"1e-300", std::pair{1, 1}},
          std::pair{"8", std::pair{1280, 1024}}}) {
        setenv("TESSARAY_SCALE", scale, 1);
        FakeHost host;
        LV2UI_Handle handle = open(host);
        ASSERT_NE(handle, nullptr);
        EXPECT_EQ(host.sizes, (std::vector<std::pair<int, int>>{size})) << "at scale " << scale;
        XWindowAttributes attributes{};
        XGetWindowAttributes(x_, ui(handle).windowId(), &attributes);
        EXPECT_EQ(std::pair(attributes.width, attributes.height), size);
        close(handle);
    }
    setenv("TESSARAY_SCALE", "1", 1);
}

// A ui:parent that is no window (destroyed by the host before the editor came, or never made) fails the
// instantiate, and the failed editors let go of the instance: a later one still follows it.
TEST_F(EditorUI, AParentThatIsNoWindowFailsTheInstantiate) {
    FakeHost host;
    Plugin plugin(host);
    const ::Window window = parent_;
    const ::Window destroyed = XCreateSimpleWindow(x_, DefaultRootWindow(x_), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(x_, destroyed);
    XSync(x_, False);
    for (uint32_t i = 0; i < tessaray_lv2::kEditorSlots; ++i) {
        parent_ = i % 2 == 0 ? destroyed : 0x1fffffff;
        LV2UI_Handle handle = instantiate(host, &plugin);
        EXPECT_EQ(handle, nullptr) << "parent 0x" << std::hex << parent_;
        if (handle) {
            close(handle);
        }
    }
    parent_ = window;
    LV2UI_Handle handle = open(host, &plugin);
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(ui(handle).followsInstance());
    close(handle);
}

// A damaged install ends only the editor, never the host: with a resource bundle missing from the plug-in's
// bundle, or the editor's code loaded from elsewhere without a bundle path, instantiate says which bundle it
// misses, in one line, and fails. Through copies of the built editor, loaded as a host loads them.
TEST_F(EditorUI, AMissingResourceBundleFailsTheInstantiateAndNotTheHost) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("tessaray-damaged-" + std::to_string(getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "loose");
    const fs::path bundle = root / "tessaray.lv2";
    // Linked rather than copied where the file system allows; the loose editor is a file of its own, so that
    // it loads as an object of its own.
    std::error_code linking;
    fs::copy(TESSARAY_LV2_BUNDLE_DIR, bundle,
             fs::copy_options::recursive | fs::copy_options::create_hard_links, linking);
    if (linking) {
        fs::remove_all(bundle);
        fs::copy(TESSARAY_LV2_BUNDLE_DIR, bundle, fs::copy_options::recursive);
    }
    fs::copy_file(bundle / "tessaray_ui.so", root / "loose" / "tessaray_ui.so");

    // Failed instantiates of the editor at `library` that logged one line naming `missing`.
    auto fails = [&](const fs::path& library, const char* bundlePath, const std::string& missing) {
        void* code = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(code, nullptr) << dlerror();
        const auto entry =
            code ? reinterpret_cast<const LV2UI_Descriptor* (*)(uint32_t)>(dlsym(code, "lv2ui_descriptor"))
                 : nullptr;
        if (!entry) {
            return false;
        }
        FakeHost host;
        testing::internal::CaptureStderr();
        LV2UI_Handle handle = instantiate(host, nullptr, entry(0), bundlePath);
        const std::string logged = testing::internal::GetCapturedStderr();
        if (handle) {
            entry(0)->cleanup(handle);
        }
        EXPECT_EQ(logged, "Tessaray: unable to find bundle named " + missing + "\n");
        return handle == nullptr;
    };
    for (const std::string name :
         {"Tessaray_TessarayEditor", "Zelto_ZeltoCore", "Zelto_ZeltoLargeDialOrange"}) {
        const fs::path present = bundle / "Resources" / (name + ".bundle");
        fs::rename(present, root / "away");
        EXPECT_TRUE(fails(bundle / "tessaray_ui.so", bundle.c_str(), name)) << name;
        fs::rename(root / "away", present);
    }
    EXPECT_TRUE(fails(root / "loose" / "tessaray_ui.so", nullptr, "Tessaray_TessarayEditor"));
    fs::remove_all(root);
}
