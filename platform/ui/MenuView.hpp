#pragma once

// Menus on screen as windows of their own: one borderless window per open level, drawn by a view that
// reads the tracking session. Window-system presenters (headless, X11) give these windows back ends.

#include "ui/MenuTracking.hpp"
#include "ui/View.hpp"
#include "ui/Window.hpp"

#include <memory>
#include <vector>

namespace ui {

// A menu level's window: never key (the keyboard stays with the session). Its events go to the
// session that shows it.
class MenuWindow : public Window {
public:
    using Window::Window;
    bool canBecomeKeyWindow() const override { return false; }

    std::shared_ptr<MenuTracking> tracking() const { return tracking_.lock(); }
    void setTracking(std::weak_ptr<MenuTracking> tracking) { tracking_ = std::move(tracking); }

private:
    std::weak_ptr<MenuTracking> tracking_;
};

// Draws one level of a tracking session: rows, highlight, state marks, images, key equivalents,
// submenu arrows, separators and section titles.
class MenuLevelView : public View {
public:
    MenuLevelView(const graphics::Rect& frame, std::weak_ptr<MenuTracking> tracking, std::size_t level);

    bool isFlipped() const override { return true; }
    void draw(const graphics::Rect& dirtyRect) override;

    // Colours of the menu (the dark appearance, as everywhere in the toolkit).
    static graphics::ColorRef backgroundColor();
    static graphics::ColorRef highlightColor();

private:
    void drawRow(const MenuLayout::Row& row, bool highlighted, const Menu& menu, bool stateColumn);

    std::weak_ptr<MenuTracking> tracking_;
    std::size_t level_;
};

// Shows each level in a MenuWindow; subclasses give the windows their back ends.
class WindowMenuPresenter : public MenuPresenter {
public:
    void showLevel(MenuTracking& tracking, std::size_t level) override;
    void updateLevel(MenuTracking& tracking, std::size_t level) override;
    void hideLevel(MenuTracking& tracking, std::size_t level) override;

    // The window of an open level (null when that level is not shown).
    std::shared_ptr<Window> levelWindow(std::size_t level) const;
    std::size_t levelCount() const { return windows_.size(); }

protected:
    // Gives a new level window (frame in screen coordinates) its back end.
    virtual void attachBackend(const std::shared_ptr<Window>& window) = 0;
    // The window of a level moved on the screen.
    virtual void moveWindow(const std::shared_ptr<Window>& window) { (void)window; }

private:
    std::vector<std::shared_ptr<Window>> windows_;
};

} // namespace ui
