#include "extension/lv2/TessarayLV2UI.hpp"

#include "ZeltoCore/KitFonts.hpp"
#include "ZeltoCore/KitResources.hpp"
#include "ZeltoDialsCore/DialCatalog.hpp"
#include "core/Bundle.hpp"
#include "core/Log.hpp"
#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "declarative/Focus.hpp"
#include "declarative/Hosting.hpp"
#include "display/X11Display.hpp"
#include "display/X11Embedding.hpp"
#include "display/X11Errors.hpp"
#include "extension/AudioUnitViewController.hpp"
#include "extension/EditorRoot.hpp"
#include "extension/Settings.hpp"
#include "extension/editor/EditorAssets.hpp"
#include "extension/editor/EditorCatalog.hpp"
#include "extension/lv2/LV2EditorUnit.hpp"
#include "lv2/Features.hpp"
#include "ui/Window.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <lv2/atom/atom.h>
#include <optional>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

constexpr auto kPollInterval = std::chrono::nanoseconds(1'000'000'000 / 60);

// The kit's typefaces and the editor's resource bundles, shipped inside the plug-in's bundle: the
// bundles are found there by name, wherever the host loaded the editor's code from.
void registerResources(const char* bundlePath) {
    if (!bundlePath) {
        return;
    }
    core::Bundle::addSearchPath(fs::path(bundlePath) / "Resources");
    const fs::path fonts =
        fs::path(bundlePath) / "Resources" / "Zelto_ZeltoCore.bundle" / "Resources" / "Fonts";
    std::error_code error;
    if (fs::is_directory(fonts, error)) {
        zelto::registerKitFonts(fonts);
    }
}

// The first resource bundle the editor draws from that cannot be found, looked up as its users look it up:
// the editor's, the kit's and the dial skins' (which are otherwise looked up only when first drawn).
std::optional<std::string> missingResourceBundle() {
    const auto editorCode = reinterpret_cast<const void*>(&editor::editorBundle);
    if (!core::Bundle::find(editor::editorBundleName, editorCode)) {
        return std::string(editor::editorBundleName);
    }
    const auto kitCode = reinterpret_cast<const void*>(&zelto::moduleBundle);
    std::vector<std::string> kit{"Zelto_ZeltoCore"};
    for (const auto module : zelto::dialModules) {
        kit.push_back("Zelto_" + std::string(module));
    }
    for (const auto& name : kit) {
        if (!core::Bundle::find(name, kitCode)) {
            return name;
        }
    }
    return std::nullopt;
}

} // namespace

std::unique_ptr<lv2::UI> TessarayLV2UI::instantiate(const lv2::UIArguments& arguments) {
    registerResources(arguments.bundlePath);
    // A missing bundle stops a program of our own; inside a host it ends only this editor, before anything
    // is built, and the host goes on.
    if (const auto missing = missingResourceBundle()) {
        core::log("Tessaray: unable to find bundle named %s", missing->c_str());
        return nullptr;
    }
    return std::make_unique<TessarayLV2UI>(arguments);
}

TessarayLV2UI::TessarayLV2UI(const lv2::UIArguments& arguments) : arguments_(arguments) {
    if (!arguments.writeFunction) {
        throw std::runtime_error("Tessaray: the host gave the editor no write function");
    }
    // The thread that calls the UI is the editor's main thread: the main queue and timers run there.
    core::claimMainThread();

    display_ = display::X11Display::open(nullptr);
    if (!display_) {
        throw std::runtime_error("Tessaray: no X server");
    }

    const lv2::UIFeatures& features = arguments.features;
    if (features.instance) {
        access_ = static_cast<const tessaray_lv2::EditorAccess*>(
            features.instanceExtensionData(tessaray_lv2::kEditorAccessURI));
    }
    if (const LV2_URID_Map* map = features.map) {
        eventTransfer_ = lv2::mapURI(map, LV2_ATOM__eventTransfer);
        messages_ = tessaray_lv2::NotifyMessages(map);
    }

    controller_ = AudioUnitViewController::create();
    Settings& model = settings();

    // The model's audio unit is the host: every edit becomes a port write between touch and release.
    unit_ = std::make_shared<LV2EditorUnit>(
        LV2EditorUnit::Host{arguments.writeFunction, arguments.controller, features.touch});
    std::vector<std::shared_ptr<audiounit::AUParameter>> children;
    for (const auto& parameter : model.parameters()) {
        children.push_back(parameter->auParameter());
    }
    tree_ = audiounit::AUParameterTree::createTree(std::move(children));
    treeObserver_ = tree_->addParameterObserver(
        [weak = std::weak_ptr<LV2EditorUnit>(unit_)](const audiounit::AUParameterEvent& e) {
            if (auto unit = weak.lock()) {
                unit->parameterEvent(e);
            }
        });
    // Unlike an audio unit made in this process, the session is already running: nothing is pushed to it.
    // The values shown start from the instance (when reachable); changes then come from the instance, or
    // from the host's port events.
    model.setAudioUnit(unit_);
    if (access_) {
        LV2_Handle instance = features.instance;
        const tessaray_lv2::EditorAccess* access = access_;
        model.setPresetNameRecorder(
            [access, instance](const std::string& name) { access->setPresetName(instance, name.c_str()); });
        // Attached before the values are read, so no change falls between the two.
        editorSlot_ = access_->attachEditor(instance);
        const DSPSharedState* shared = access_->sharedState(instance);
        for (const ParameterInfo& info : kParameterTable) {
            const float value = shared->paramValues[info.address].load(std::memory_order_relaxed);
            if (auto parameter = model.parameterWithAddress(info.address);
                parameter && std::isfinite(value)) {
                parameter->setObservedValue(parameter->clamped(value));
            }
        }
    }

    window_ = ui::Window::make(graphics::Rect(0, 0, kEditorWidth, kEditorHeight));
    window_->setTitle("Tessaray");
    window_->setContentView(controller_->view());
    backend_ = display_->createWindow(window_, reinterpret_cast<uintptr_t>(features.parent));
    if (!backend_) {
        // Nothing of a failed editor stays attached to the host or the instance.
        detachFromHost();
        throw std::runtime_error("Tessaray: the editor's window could not be made");
    }
    embedding_ = std::make_unique<display::X11EmbeddedWindow>(display_, backend_,
                                                              reinterpret_cast<uintptr_t>(features.parent));
    window_->makeKeyAndOrderFront();
    controller_->viewDidAppear();

    // The size the window was made at: the design size at the window's scale, fitted to the screen.
    if (features.resize && features.resize->ui_resize) {
        const auto [width, height] = embedding_->pixelSize();
        if (width > 0 && height > 0) {
            features.resize->ui_resize(features.resize->handle, width, height);
        }
    }

    poll();
    pollTimer_ = core::RunLoop::main().scheduleRepeating(kPollInterval, [this] { poll(); });
    model.startUpdateCheck();
}

TessarayLV2UI::~TessarayLV2UI() {
    // The server may have gone since the last idle call: no SIGPIPE reaches the host from our requests.
    display::PipeSignalGuard pipeGuard;
    detachFromHost();

    // The host may have destroyed its parent window, and ours with it, already.
    embedding_->end([this] {
        display_->pump();
        window_->close();
        backend_.reset();
    });
    embedding_.reset();
    window_.reset();
    controller_.reset();
    tree_.reset();
    unit_.reset();
    // Work queued for this editor (value updates, display passes, a finished update check's result) runs
    // now, while its code is still loaded; it holds only weak references to what is gone.
    core::MainQueue::shared().drain();
    display_.reset();
}

void TessarayLV2UI::detachFromHost() {
    if (pollTimer_) {
        pollTimer_->invalidate();
    }
    if (followsInstance()) {
        access_->detachEditor(arguments_.features.instance, editorSlot_);
        editorSlot_ = tessaray_lv2::kNoEditorSlot;
    }
    // The host's callbacks end with this call: nothing may reach them from here on.
    unit_->detach();
    tree_->removeParameterObserver(treeObserver_);
    Settings& model = settings();
    model.setAudioUnit(nullptr);
    model.setPresetNameRecorder(nullptr);
    model.cancelUpdateChecks();
}

LV2UI_Widget TessarayLV2UI::widget() const {
    return reinterpret_cast<LV2UI_Widget>(static_cast<uintptr_t>(backend_->xid()));
}

unsigned long TessarayLV2UI::windowId() const {
    return backend_ ? backend_->xid() : 0;
}

Settings& TessarayLV2UI::settings() const {
    return *controller_->settings();
}

void TessarayLV2UI::receiveHostValue(uint64_t address, float value) {
    if (std::isfinite(value) && unit_->acceptHostValue(address, value)) {
        settings().setValue(value, address, ParameterEditor::parameterObserver);
    }
}

void TessarayLV2UI::portEvent(uint32_t port, uint32_t size, uint32_t protocol, const void* buffer) {
    if (protocol == 0) {
        // An editor that follows the instance has these values from it already, and sooner.
        const ParameterInfo* info = tessaray_lv2::parameterOfPort(port);
        if (info && size == sizeof(float) && !followsInstance()) {
            // The host's buffer need not be aligned for a float.
            float value = 0;
            std::memcpy(&value, buffer, sizeof value);
            receiveHostValue(info->address, value);
        }
        return;
    }
    // The instance's own state is fresher than its messages when it can be reached.
    if (port == tessaray_lv2::kNotifyPort && protocol == eventTransfer_ && eventTransfer_ != 0 && !access_) {
        notification(buffer, size);
    }
}

void TessarayLV2UI::notification(const void* buffer, uint32_t size) {
    const auto message = messages_.decode(static_cast<const LV2_Atom*>(buffer), size);
    if (!message) {
        return;
    }
    Settings& model = settings();
    if (const auto* analyser = std::get_if<tessaray_lv2::AnalyserMessage>(&*message)) {
        model.analyzerBandAmps =
            std::vector<float>(analyser->levels.begin(), analyser->levels.begin() + analyser->bandCount);
        model.analyzerRangeLo = analyser->rangeLo;
        model.analyzerRangeHi = analyser->rangeHi;
    } else if (const auto* name = std::get_if<tessaray_lv2::PresetNameMessage>(&*message)) {
        model.selectPreset(name->name);
    }
}

void TessarayLV2UI::poll() {
    unit_->takeExpired([this](uint64_t address, float value) {
        settings().setValue(value, address, ParameterEditor::parameterObserver);
    });
    if (!access_) {
        return;
    }
    LV2_Handle instance = arguments_.features.instance;
    Settings& model = settings();
    DSPSharedState& shared = *access_->sharedState(instance);

    const int32_t count =
        std::clamp<int32_t>(shared.vizBandCount.load(std::memory_order_relaxed), 0, DSPSharedState::kBands);
    std::vector<float> amps(static_cast<std::size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        amps[static_cast<std::size_t>(i)] = shared.vizBandAmps[i].load(std::memory_order_relaxed);
    }
    model.analyzerBandAmps = std::move(amps);
    model.analyzerRangeLo = shared.vizRangeLo.load(std::memory_order_relaxed);
    model.analyzerRangeHi = shared.vizRangeHi.load(std::memory_order_relaxed);

    // Values the kernel took from the host since the last poll: automation, edits in other editors and
    // echoes of our own.
    const uint32_t mask = followsInstance() ? access_->takeChanges(instance, editorSlot_) : 0;
    for (uint64_t address = 0; mask != 0 && address < kParameterAddressCount; ++address) {
        if ((mask & (1u << address)) != 0) {
            receiveHostValue(address, shared.paramValues[address].load(std::memory_order_relaxed));
        }
    }

    const uint32_t sequence = access_->presetNameSequence(instance);
    if (sequence != presetNameSequence_) {
        presetNameSequence_ = sequence;
        char name[tessaray_lv2::kPresetNameCapacity + 1];
        access_->presetName(instance, name, sizeof name);
        model.selectPreset(name);
    }
}

int TessarayLV2UI::idle() {
    // The editor's own X connection ends only the editor: a server that has gone closes it.
    if (!backend_ || backend_->isClosed() || display_->isConnectionLost()) {
        return 1;
    }
    display_->pump();
    if (display_->isConnectionLost()) {
        return 1;
    }
    followKeyboardFocus();
    return backend_->isClosed() ? 1 : 0;
}

void TessarayLV2UI::followKeyboardFocus() {
    // Hosts seldom pass keys on to an embedded window: while a label is edited the keyboard is ours, and
    // goes back to whoever had it when editing began.
    const auto& host = controller_->hostingController();
    embedding_->holdKeyboard(host && host->focusManager().focusedNode() != nullptr);
}

int TessarayLV2UI::resize(int width, int height) {
    if (width <= 0 || height <= 0 || !window_) {
        return 1;
    }
    // The window's configure notification resizes the editor, which scales itself to the new size.
    display::PipeSignalGuard pipeGuard;
    embedding_->resize(width, height);
    return 0;
}
