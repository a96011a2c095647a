#pragma once

// The extension's principal object: it owns the settings model, hosts the editor with the model in its
// environment, and, as the audio unit factory, makes the unit and connects the model to it.

#include "audiounit/AudioUnitBase.hpp"
#include "graphics/Geometry.hpp"

#include <memory>

class Settings;
class TessarayAudioUnit;
namespace declarative {
class HostingView;
}
namespace ui {
class View;
}

class AudioUnitViewController : public std::enable_shared_from_this<AudioUnitViewController> {
public:
    // A controller with a new settings model; its view is loaded on first use.
    static std::shared_ptr<AudioUnitViewController> create();
    ~AudioUnitViewController();
    AudioUnitViewController(const AudioUnitViewController&) = delete;
    AudioUnitViewController& operator=(const AudioUnitViewController&) = delete;

    const std::shared_ptr<Settings>& settings() const { return settings_; }
    const std::shared_ptr<TessarayAudioUnit>& audioUnit() const { return audioUnit_; }
    // The view hosting the editor; null until the view is loaded.
    const std::shared_ptr<declarative::HostingView>& hostingController() const { return hosting_; }

    // The controller's view: loaded (and viewDidLoad run) on first use. Its one subview, the hosting view,
    // fills it and follows its size.
    const std::shared_ptr<ui::View>& view();
    bool isViewLoaded() const { return view_ != nullptr; }
    // 760 x 512 once the view is loaded; zero before.
    graphics::Size preferredContentSize() const { return preferredContentSize_; }

    // The view is on screen: the settings learn its window and that window's first responder (both empty
    // without a window).
    void viewDidAppear();

    // Makes the audio unit on the main thread (waiting for it there when called on another thread) and
    // connects the settings model to it. An error of the unit's creation reaches the caller and leaves the
    // controller as it was.
    std::shared_ptr<TessarayAudioUnit>
    createAudioUnit(const audiounit::AudioComponentDescription& description);

private:
    AudioUnitViewController();
    void viewDidLoad();

    std::shared_ptr<TessarayAudioUnit> audioUnit_;
    std::shared_ptr<declarative::HostingView> hosting_;
    std::shared_ptr<Settings> settings_;
    std::shared_ptr<ui::View> view_;
    graphics::Size preferredContentSize_{};
};
