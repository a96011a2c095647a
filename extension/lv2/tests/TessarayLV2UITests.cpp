#include "extension/lv2/tests/EditorUIFixture.hpp"

using namespace lv2test;

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
    auto lastWrite = std::chrono::steady_clock::now();
    for (int step = 2; step <= 5; ++step) {
        lastWrite = std::chrono::steady_clock::now(); // no later than the write's own time
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

    // The host echoes the writes late, after the drag: within the wait for the last write's echo the older
    // ones do not pull the control back. (A machine too busy to get here within the wait shows nothing.)
    for (std::size_t i = 1; i + 1 < writes.size(); ++i) {
        lv2ui()->port_event(handle, kMixPort, sizeof(float), 0, &writes[i]);
        idle(handle);
        if (std::chrono::steady_clock::now() - lastWrite < LV2EditorUnit::kPendingWindow) {
            EXPECT_EQ(editor.settings().mix()->value(), writes.back());
        }
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
