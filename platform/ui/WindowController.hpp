#pragma once

// Window controllers: own a window, show it, and keep its frame under an autosave name so that the
// next window given the same name opens where the last one was left. Frames are kept one file per
// name in $XDG_CONFIG_HOME/tessaray/window-frames (or ~/.config/tessaray/window-frames).

#include "core/Cancellable.hpp"
#include "graphics/Geometry.hpp"
#include "ui/Responder.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class Window;

class WindowController : public Responder {
public:
    explicit WindowController(std::shared_ptr<Window> window = nullptr);
    ~WindowController() override;

    std::shared_ptr<Window> window() const { return window_; }
    void setWindow(std::shared_ptr<Window> window);

    // Shows the window in front and makes it key.
    virtual void showWindow(const std::shared_ptr<Object>& sender);
    // Closes the window (its frame is saved first when it has an autosave name).
    void close();

    // Giving a name restores the frame saved under it, if any (the size only for resizable windows),
    // then saves the frame whenever the window moves or resizes and when it closes. A restored frame is
    // fitted into its screen's visible area: no larger, and moved back onto it. A window without a
    // screen yet is restored when showWindow gives it one (as saved, if it still has none). An empty
    // name stops autosaving.
    const std::string& windowFrameAutosaveName() const { return autosaveName_; }
    void setWindowFrameAutosaveName(std::string name);

    // The store. Unreadable, malformed, oversized or implausible entries read as absent; names that
    // cannot be stored (empty, longer than 200 bytes) are never saved.
    static std::filesystem::path frameAutosaveDirectory();
    static std::optional<graphics::Rect> savedFrame(const std::string& name);
    static bool saveFrame(const std::string& name, const graphics::Rect& frame);

private:
    void observeWindow();
    void scheduleSave();
    void saveNow();
    void restore(const graphics::Rect& saved);

    std::shared_ptr<Window> window_;
    std::string autosaveName_;
    std::vector<core::Cancellable> observations_;
    // A saved frame waiting for the window's screen; nothing is saved meanwhile.
    std::optional<graphics::Rect> pendingFrame_;
    std::shared_ptr<bool> savePending_ = std::make_shared<bool>(false);
};

} // namespace ui
