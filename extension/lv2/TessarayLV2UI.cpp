#include "extension/lv2/TessarayLV2UI.hpp"

#include "ZeltoCore/KitFonts.hpp"
#include "core/Bundle.hpp"
#include "core/MainQueue.hpp"
#include "core/RunLoop.hpp"
#include "declarative/Focus.hpp"
#include "declarative/Hosting.hpp"
#include "display/X11Display.hpp"
#include "display/X11Embedding.hpp"
#include "extension/AudioUnitViewController.hpp"
#include "extension/EditorRoot.hpp"
#include "extension/Settings.hpp"
#include "extension/lv2/LV2EditorUnit.hpp"
#include "lv2/Features.hpp"
#include "ui/Window.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <lv2/atom/util.h>
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

} // namespace

std::unique_ptr<lv2::UI> TessarayLV2UI::instantiate(const lv2::UIArguments& arguments) {
    return std::make_unique<TessarayLV2UI>(arguments);
}

TessarayLV2UI::TessarayLV2UI(const lv2::UIArguments& arguments) : arguments_(arguments) {
    if (!arguments.writeFunction) {
        throw std::runtime_error("Tessaray: the host gave the editor no write function");
    }
    // The thread that calls the UI is the editor's main thread: the main queue and timers run there.
    core::claimMainThread();
    registerResources(arguments.bundlePath);

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
        const auto id = [map](const char* uri) { return lv2::mapURI(map, uri); };
        urids_ = {id(LV2_ATOM__eventTransfer),
                  id(tessaray_lv2::kAnalyserURI),
                  id(tessaray_lv2::kBandCountURI),
                  id(tessaray_lv2::kRangeLoURI),
                  id(tessaray_lv2::kRangeHiURI),
                  id(tessaray_lv2::kBandLevelsURI),
                  id(tessaray_lv2::kPresetNameMessageURI),
                  id(tessaray_lv2::kPresetNameKeyURI),
                  id(LV2_ATOM__Int),
                  id(LV2_ATOM__Float),
                  id(LV2_ATOM__String),
                  id(LV2_ATOM__Vector),
                  id(LV2_ATOM__Object)};
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
    // The values shown come from the instance (when reachable) and then from the host's port events.
    model.setAudioUnit(unit_);
    if (access_) {
        LV2_Handle instance = features.instance;
        const tessaray_lv2::EditorAccess* access = access_;
        model.setPresetNameRecorder(
            [access, instance](const std::string& name) { access->setPresetName(instance, name.c_str()); });
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
        throw std::runtime_error("Tessaray: the editor's window could not be made");
    }
    embedding_ = std::make_unique<display::X11EmbeddedWindow>(display_, backend_,
                                                              reinterpret_cast<uintptr_t>(features.parent));
    window_->makeKeyAndOrderFront();
    controller_->viewDidAppear();

    if (features.resize && features.resize->ui_resize) {
        const double scale = window_->backingScaleFactor();
        features.resize->ui_resize(features.resize->handle, int(std::lround(kEditorWidth * scale)),
                                   int(std::lround(kEditorHeight * scale)));
    }

    poll();
    pollTimer_ = core::RunLoop::main().scheduleRepeating(kPollInterval, [this] { poll(); });
    model.startUpdateCheck();
}

TessarayLV2UI::~TessarayLV2UI() {
    if (pollTimer_) {
        pollTimer_->invalidate();
    }
    // The host's callbacks end with this call: nothing may reach them from here on.
    unit_->detach();
    tree_->removeParameterObserver(treeObserver_);
    Settings& model = settings();
    model.setAudioUnit(nullptr);
    model.setPresetNameRecorder(nullptr);
    model.cancelUpdateChecks();

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

LV2UI_Widget TessarayLV2UI::widget() const {
    return reinterpret_cast<LV2UI_Widget>(static_cast<uintptr_t>(backend_->xid()));
}

unsigned long TessarayLV2UI::windowId() const {
    return backend_ ? backend_->xid() : 0;
}

Settings& TessarayLV2UI::settings() const {
    return *controller_->settings();
}

void TessarayLV2UI::showHostValue(uint64_t address, float value) {
    if (!std::isfinite(value) || !unit_->acceptHostValue(address, value)) {
        return;
    }
    if (auto parameter = settings().parameterWithAddress(address)) {
        // Shown only: the host already holds the value, so nothing is written back.
        parameter->setValue(value, ParameterEditor::parameterObserver, ParameterEditorState::change);
    }
}

void TessarayLV2UI::portEvent(uint32_t port, uint32_t size, uint32_t protocol, const void* buffer) {
    if (protocol == 0) {
        const ParameterInfo* info = tessaray_lv2::parameterOfPort(port);
        if (info && size == sizeof(float)) {
            showHostValue(info->address, *static_cast<const float*>(buffer));
        }
        return;
    }
    // The instance's own state is fresher than its messages when it can be reached.
    if (port == tessaray_lv2::kNotifyPort && protocol == urids_.eventTransfer && urids_.eventTransfer != 0 &&
        !access_) {
        notification(buffer, size);
    }
}

void TessarayLV2UI::notification(const void* buffer, uint32_t size) {
    const auto* atom = static_cast<const LV2_Atom*>(buffer);
    if (size < sizeof(LV2_Atom) || atom->size > size - sizeof(LV2_Atom) || atom->type != urids_.atomObject ||
        atom->size < sizeof(LV2_Atom_Object_Body)) {
        return;
    }
    const auto* object = reinterpret_cast<const LV2_Atom_Object*>(atom);
    Settings& model = settings();
    if (object->body.otype == urids_.analyser) {
        const LV2_Atom* count = nullptr;
        const LV2_Atom* lo = nullptr;
        const LV2_Atom* hi = nullptr;
        const LV2_Atom* levels = nullptr;
        lv2_atom_object_get(object, urids_.bandCount, &count, urids_.rangeLo, &lo, urids_.rangeHi, &hi,
                            urids_.bandLevels, &levels, 0);
        if (!count || count->type != urids_.atomInt || !lo || lo->type != urids_.atomFloat || !hi ||
            hi->type != urids_.atomFloat || !levels || levels->type != urids_.atomVector ||
            levels->size < sizeof(LV2_Atom_Vector_Body)) {
            return;
        }
        const auto* vector = reinterpret_cast<const LV2_Atom_Vector*>(levels);
        if (vector->body.child_type != urids_.atomFloat || vector->body.child_size != sizeof(float)) {
            return;
        }
        const auto available = std::size_t((levels->size - sizeof(LV2_Atom_Vector_Body)) / sizeof(float));
        const auto* values = reinterpret_cast<const float*>(&vector->body + 1);
        const int32_t n = std::clamp<int32_t>(reinterpret_cast<const LV2_Atom_Int*>(count)->body, 0,
                                              DSPSharedState::kBands);
        std::vector<float> amps(static_cast<std::size_t>(n), 0.0f);
        for (std::size_t i = 0; i < amps.size() && i < available; ++i) {
            amps[i] = values[i];
        }
        model.analyzerBandAmps = std::move(amps);
        model.analyzerRangeLo = reinterpret_cast<const LV2_Atom_Float*>(lo)->body;
        model.analyzerRangeHi = reinterpret_cast<const LV2_Atom_Float*>(hi)->body;
    } else if (object->body.otype == urids_.presetNameMessage) {
        const LV2_Atom* value = nullptr;
        lv2_atom_object_get(object, urids_.presetName, &value, 0);
        if (value && value->type == urids_.atomString) {
            const char* text = static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
            model.selectPreset(std::string(text, strnlen(text, value->size)));
        }
    }
}

void TessarayLV2UI::poll() {
    unit_->takeExpired([this](uint64_t address, float value) {
        if (auto parameter = settings().parameterWithAddress(address)) {
            parameter->setValue(value, ParameterEditor::parameterObserver, ParameterEditorState::change);
        }
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

    // Values the kernel took from the host since the last poll: automation, and echoes of our own edits.
    const uint32_t mask = shared.dirtyMask.exchange(0, std::memory_order_acq_rel);
    for (uint64_t address = 0; mask != 0 && address < kParameterAddressCount; ++address) {
        if ((mask & (1u << address)) != 0) {
            showHostValue(address, shared.paramValues[address].load(std::memory_order_relaxed));
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
    if (!backend_ || backend_->isClosed()) {
        return 1;
    }
    display_->pump();
    followKeyboardFocus();
    return backend_->isClosed() ? 1 : 0;
}

void TessarayLV2UI::followKeyboardFocus() {
    // Hosts seldom pass keys on to an embedded window: while a label is edited the keyboard is ours, and
    // goes back to whoever had it when the editor appeared.
    const auto& host = controller_->hostingController();
    embedding_->holdKeyboard(host && host->focusManager().focusedNode() != nullptr);
}

int TessarayLV2UI::resize(int width, int height) {
    if (width <= 0 || height <= 0 || !window_) {
        return 1;
    }
    // The window's configure notification resizes the editor, which scales itself to the new size.
    embedding_->resize(width, height);
    return 0;
}
