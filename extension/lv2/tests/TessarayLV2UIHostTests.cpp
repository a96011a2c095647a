#include "extension/lv2/tests/EditorUIFixture.hpp"

using namespace lv2test;

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
