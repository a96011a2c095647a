#pragma once

// Menus on an X server: each open level is an override-redirect window of our own, drawn by the same
// views as everywhere else and placed inside the root window's area. While a menu is open the pointer
// and the keyboard are grabbed on its first level's window, so every press, move and key reaches the
// menu's session, also outside the menu (where a click closes it). Without the grab (another client
// holds one) the menu still works with the events its own windows receive.

#include "ui/MenuView.hpp"

#include <memory>

namespace display {

class X11Display;
class X11WindowBackend;

class X11MenuPresenter : public ui::WindowMenuPresenter {
public:
    explicit X11MenuPresenter(std::weak_ptr<X11Display> display);
    ~X11MenuPresenter() override;

    // The root window's area in points (y up).
    graphics::Rect screenFrame() const override;
    // Through the window's real place on the root window (the window manager or an embedding host
    // may have moved it); level windows are where their frames say.
    graphics::Point convertToScreen(const ui::Window& window, graphics::Point point) const override;
    void beginTracking(ui::MenuTracking& tracking) override;
    void endTracking(ui::MenuTracking& tracking) override;
    void showLevel(ui::MenuTracking& tracking, std::size_t level) override;
    void updateLevel(ui::MenuTracking& tracking, std::size_t level) override;

    // The X window of an open level (null when that level is not shown).
    std::shared_ptr<X11WindowBackend> levelBackend(std::size_t level) const;
    bool hasPointerGrab() const { return pointerGrabbed_; }
    bool hasKeyboardGrab() const { return keyboardGrabbed_; }

protected:
    void attachBackend(const std::shared_ptr<ui::Window>& window) override;
    void moveWindow(const std::shared_ptr<ui::Window>& window) override;

private:
    struct RootPoint {
        int x = 0;
        int y = 0;
    };
    // The top-left corner of a screen rect in root pixels.
    RootPoint rootPosition(const graphics::Rect& frame) const;
    // Takes whichever grab is still missing; a failure leaves the menu working without it.
    void grab();
    void ungrab();

    std::weak_ptr<X11Display> display_;
    // Device pixels per point of the level windows, and the root window's size in device pixels.
    double scale_ = 1.0;
    int rootWidth_ = 0;
    int rootHeight_ = 0;
    bool pointerGrabbed_ = false;
    bool keyboardGrabbed_ = false;
};

} // namespace display
