#include "extension/AudioUnitViewController.hpp"

#include "ZeltoCore/KitExtensions.hpp"
#include "core/MainQueue.hpp"
#include "declarative/Hosting.hpp"
#include "extension/EditorRoot.hpp"
#include "extension/Settings.hpp"
#include "extension/TessarayAudioUnit.hpp"
#include "ui/Window.hpp"

std::shared_ptr<AudioUnitViewController> AudioUnitViewController::create() {
    return std::shared_ptr<AudioUnitViewController>(new AudioUnitViewController());
}

AudioUnitViewController::AudioUnitViewController() : settings_(Settings::create()) {}

AudioUnitViewController::~AudioUnitViewController() = default;

const std::shared_ptr<ui::View>& AudioUnitViewController::view() {
    if (!view_) {
        view_ = std::make_shared<ui::View>(graphics::Rect(0, 0, kEditorWidth, kEditorHeight));
        viewDidLoad();
    }
    return view_;
}

void AudioUnitViewController::viewDidLoad() {
    hosting_ = declarative::HostingView::make(makeEditorRoot(settings_), view_->bounds());
    view_->addSubview(hosting_);
    zelto::anchorToAllSidesOf(hosting_, view_);
    preferredContentSize_ = {kEditorWidth, kEditorHeight};
}

void AudioUnitViewController::viewDidAppear() {
    const auto window = view_ ? view_->window() : nullptr;
    settings_->pluginWindow = window;
    settings_->pluginMainResponder = window ? window->firstResponder() : nullptr;
}

std::shared_ptr<TessarayAudioUnit>
AudioUnitViewController::createAudioUnit(const audiounit::AudioComponentDescription& description) {
    return core::runOnMainAndWait([this, &description] {
        auto unit = TessarayAudioUnit::create(description);
        audioUnit_ = unit;
        settings_->configureAudioUnit(unit);
        settings_->setupParameterTreeListeners();
        return unit;
    });
}
