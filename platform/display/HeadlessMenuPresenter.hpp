#pragma once

// Menus without a screen: each open level becomes a window with a recording headless back end, placed
// on a fixed screen. Tests drive the menu by sending events to the level windows (or to the window
// that opened it) and read what was shown from the record.

#include "display/HeadlessBackend.hpp"
#include "ui/MenuView.hpp"

#include <memory>
#include <string>
#include <vector>

namespace display {

class HeadlessMenuPresenter : public ui::WindowMenuPresenter {
public:
    // The fixed screen of headless windows (screen coordinates, y up).
    static constexpr graphics::Rect screen{0, 0, 1920, 1080};

    explicit HeadlessMenuPresenter(double scale = 1.0) : scale_(scale) {}

    graphics::Rect screenFrame() const override { return screen; }
    // Window coordinates plus the window's frame origin.
    graphics::Point convertToScreen(const ui::Window& window, graphics::Point point) const override;

    // The back end of an open level's window.
    std::shared_ptr<HeadlessBackend> levelBackend(std::size_t level) const;

    // Every level shown so far, in order.
    struct Shown {
        std::size_t level = 0;
        std::string menuTitle;
        std::vector<std::string> rowTitles;
        graphics::Rect frame;
    };
    const std::vector<Shown>& history() const { return history_; }

    void showLevel(ui::MenuTracking& tracking, std::size_t level) override;

protected:
    void attachBackend(const std::shared_ptr<ui::Window>& window) override;

private:
    double scale_;
    std::vector<std::shared_ptr<HeadlessBackend>> backends_;
    std::vector<Shown> history_;
};

} // namespace display
