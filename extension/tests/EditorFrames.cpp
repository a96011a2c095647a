#include "extension/tests/EditorFrames.hpp"

#include "core/Bundle.hpp"
#include "declarative/Hosting.hpp"
#include "extension/EditorRoot.hpp"
#include "extension/Settings.hpp"

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace {

// Laid out once from an editor of its own, with a settings model of its own.
std::optional<graphics::Rect> designFrame(const std::string& id) {
    static std::mutex mutex;
    static std::map<std::string, graphics::Rect> frames;
    std::lock_guard lock(mutex);
    // The editor cannot be laid out before its resources are reachable; ask again later.
    if (frames.empty() && core::Bundle::find("Tessaray_TessarayEditor")) {
        auto settings = Settings::create();
        auto host =
            declarative::HostingView::make(makeEditorRoot(settings), {0, 0, kEditorWidth, kEditorHeight});
        for (std::size_t i = 0; i < kParameterCount; ++i) {
            const auto identifier = settings->parameterField(i).get()->identifier();
            // The knob of a dial: its frame image, drawn 16 points above the dial's centre.
            if (auto frame = host->frameOfNode(declarative::Id(identifier))) {
                frames.emplace(identifier,
                               graphics::Rect(frame->midX() - 28, frame->midY() - 16 - 32, 56, 64));
                // Its label (name and value line) is drawn 40 points below the dial's centre.
                frames.emplace(identifier + ".value",
                               graphics::Rect(frame->midX() - 25, frame->midY() + 40 - 20, 50, 40));
            }
        }
        for (const char* button : {"previousPreset", "nextPreset"}) {
            if (auto frame = host->frameOfNode(declarative::Id(std::string(button)))) {
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

graphics::Rect editorValueFrame(std::string_view identifier) {
    return designFrame(std::string(identifier) + ".value").value_or(graphics::Rect{});
}

graphics::Rect editorPreviousPresetFrame() {
    return designFrame("previousPreset").value_or(graphics::Rect{});
}

graphics::Rect editorNextPresetFrame() {
    return designFrame("nextPreset").value_or(graphics::Rect{});
}
