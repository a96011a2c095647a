#pragma once

// The plug-in's editor as an LV2 X11 UI. It hosts the editor in a window of its own X connection, embedded
// in the host's parent window, and is driven by the host's idle calls: each one handles X events, runs the
// main queue and due timers (the 60 Hz poll among them) and redraws what changed. Edits reach the host as
// port writes between touch and release, and nowhere else. Values come in by one way: from the running
// instance when the host grants instance access (every editor attached to it sees every change), otherwise
// as the host's port events; either way into the settings model's setValue, past the bridge's echo rule.

#include "extension/lv2/EditorAccess.hpp"
#include "extension/lv2/NotifyMessages.hpp"
#include "extension/lv2/TessarayLV2.hpp"
#include "lv2/UI.hpp"

#include <array>
#include <memory>
#include <string>

class AudioUnitViewController;
class LV2EditorUnit;
class Settings;
namespace audiounit {
class AUParameterTree;
}
namespace core {
class Timer;
}
namespace display {
class X11Display;
class X11EmbeddedWindow;
class X11WindowBackend;
} // namespace display
namespace ui {
class Window;
}

class TessarayLV2UI : public lv2::UI {
public:
    static constexpr const char* kURI = tessaray_lv2::kUIURI;

    // Null (and a line logged) when a resource bundle the editor draws from cannot be found. Throws when
    // there is no X server or no write function, or when the host's parent is not a window.
    static std::unique_ptr<lv2::UI> instantiate(const lv2::UIArguments& arguments);

    explicit TessarayLV2UI(const lv2::UIArguments& arguments);
    // The host's cleanup: everything this editor started (timers, threads, queued work, windows, its X
    // connection) is stopped and gone before it returns, since hosts unload the code right after.
    ~TessarayLV2UI() override;

    LV2UI_Widget widget() const override;
    void portEvent(uint32_t port, uint32_t size, uint32_t protocol, const void* buffer) override;
    int idle() override;
    int resize(int width, int height) override;

    // The editor's parts, for tests.
    Settings& settings() const;
    AudioUnitViewController& controller() const { return *controller_; }
    LV2EditorUnit& editorUnit() const { return *unit_; }
    const std::shared_ptr<ui::Window>& window() const { return window_; }
    display::X11Display& display() const { return *display_; }
    unsigned long windowId() const;
    bool hasInstanceAccess() const { return access_ != nullptr; }
    // Whether parameter values come from the instance (attached to it) rather than from port events.
    bool followsInstance() const { return editorSlot_ != tessaray_lv2::kNoEditorSlot; }

    // Reads the instance's analyser, changed parameters and preset name. The poll timer runs it every
    // 1/60 s; without instance access only held-back host values are handed on.
    void poll();

private:
    // Ends every tie to the host and the instance (timers, the instance's editor slot, port writes, the
    // model's audio unit, update checks); the window stays.
    void detachFromHost();
    // The one way in: a host value, past the bridge's echo rule, into the settings model.
    void receiveHostValue(uint64_t address, float value);
    void notification(const void* atom, uint32_t size);
    void followKeyboardFocus();

    lv2::UIArguments arguments_;
    const tessaray_lv2::EditorAccess* access_ = nullptr;
    uint32_t editorSlot_ = tessaray_lv2::kNoEditorSlot;
    std::shared_ptr<display::X11Display> display_;
    std::shared_ptr<AudioUnitViewController> controller_;
    std::shared_ptr<LV2EditorUnit> unit_;
    std::shared_ptr<audiounit::AUParameterTree> tree_;
    uint64_t treeObserver_ = 0;
    std::shared_ptr<ui::Window> window_;
    std::shared_ptr<display::X11WindowBackend> backend_;
    std::shared_ptr<core::Timer> pollTimer_;
    uint32_t presetNameSequence_ = ~0u;
    // The keyboard handed over while a label is edited, and back to the host's window afterwards.
    std::unique_ptr<display::X11EmbeddedWindow> embedding_;

    uint32_t eventTransfer_ = 0;
    tessaray_lv2::NotifyMessages messages_;
};
