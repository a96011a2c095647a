#include "extension/EditorRoot.hpp"

#include "core/Bundle.hpp"
#include "extension/Settings.hpp"
#include "extension/editor/MainView.hpp"

#include <map>
#include <mutex>
#include <string>

using namespace declarative;

namespace {

// Where the editor puts each named control at its design size: laid out once from the editor itself,
// with a settings model of its own.
std::optional<graphics::Rect> designFrame(const std::string& id) {
    static std::mutex mutex;
    static std::map<std::string, graphics::Rect> frames;
    std::lock_guard lock(mutex);
    // The editor cannot be laid out before its resources are reachable; ask again later.
    if (frames.empty() && core::Bundle::find("Tessaray_TessarayEditor")) {
        auto settings = Settings::create();
        auto host = HostingView::make(makeEditorRoot(settings), {0, 0, kEditorWidth, kEditorHeight});
        for (std::size_t i = 0; i < 18; ++i) {
            const auto identifier = settings->parameterField(i).get()->identifier();
            // The knob of a dial: its frame image, drawn 16 points above the dial's centre.
            if (auto frame = host->frameOfNode(Id(identifier))) {
                frames.emplace(identifier,
                               graphics::Rect(frame->midX() - 28, frame->midY() - 16 - 32, 56, 64));
            }
        }
        for (const char* button : {"previousPreset", "nextPreset"}) {
            if (auto frame = host->frameOfNode(Id(std::string(button)))) {
                frames.emplace(button, *frame);
            }
        }
    }
    const auto it = frames.find(id);
    return it == frames.end() ? std::nullopt : std::optional(it->second);
}

} // namespace

graphics::Rect editorControlFrame(std::string_view identifier) {
    return designFrame(std::string(identifier)).value_or(graphics::Rect{});
}

graphics::Rect editorPreviousPresetFrame() {
    return designFrame("previousPreset").value_or(graphics::Rect{});
}

graphics::Rect editorNextPresetFrame() {
    return designFrame("nextPreset").value_or(graphics::Rect{});
}

View makeEditorRoot(const std::shared_ptr<Settings>& settings) {
    return View(editor::MainView{}).environmentObject(settings);
}
