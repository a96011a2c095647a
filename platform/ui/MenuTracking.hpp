#pragma once

// A shown menu and the user's way through it: the open levels (a menu and its open submenus), what is
// highlighted, mouse tracking (press-drag-release and click-then-click), keyboard navigation (arrows,
// Return, Escape, type-select) and alternates switching with the modifier keys. The session works in
// screen coordinates (y up); a MenuPresenter puts its levels on the screen.

#include "graphics/Geometry.hpp"
#include "ui/Event.hpp"
#include "ui/Menu.hpp"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ui {

class MenuTracking;
class View;
class Window;

// Sizes of presented menus, in points.
namespace MenuMetrics {
inline constexpr double verticalPadding = 4;
inline constexpr double rowHeight = 22;
inline constexpr double separatorHeight = 11;
inline constexpr double stateColumnWidth = 22;
inline constexpr double leadingPadding = 10;
inline constexpr double imageSize = 16;
inline constexpr double imageGap = 5;
inline constexpr double keyEquivalentGap = 24;
inline constexpr double submenuArrowWidth = 16;
inline constexpr double trailingPadding = 12;
inline constexpr double fontSize = 13;
// A submenu overlaps its parent by this much horizontally.
inline constexpr double submenuOverlap = 2;
// A press that moves no further than this before its release counts as a click.
inline constexpr double clickSlop = 4;
// Type-select restarts after this many seconds between keys.
inline constexpr double typeSelectTimeout = 1.0;
} // namespace MenuMetrics

// The rows of one presented menu: its visible items (one of each item and its alternates, by the held
// modifiers) with their frames in the level's own flipped coordinates (origin top-left, y down).
struct MenuLayout {
    struct Row {
        std::shared_ptr<MenuItem> item;
        graphics::Rect frame;
    };
    std::vector<Row> rows;
    graphics::Size size;

    static MenuLayout make(const Menu& menu, ModifierFlags modifierFlags);
    // The row under a point in level coordinates, or -1.
    int rowAt(graphics::Point point) const;
    // The row that shows the item (or one of its alternates), or -1.
    int rowOf(const MenuItem& item) const;
};

// Whether an alternate stands in for its item under the held modifiers: the modifiers its mask adds to
// the item's are all held. Of several such alternates the one adding the most is shown.
bool alternateIsShown(const MenuItem& alternate, const MenuItem& item, ModifierFlags modifierFlags);
// The text of an item's key equivalent, with its modifier symbols ("⌥⌘S"); empty without one.
std::string keyEquivalentText(const MenuItem& item);

// Puts a tracking session's levels on a screen.
class MenuPresenter {
public:
    virtual ~MenuPresenter() = default;
    // The area menus are kept inside (screen coordinates, y up).
    virtual graphics::Rect screenFrame() const = 0;
    // A point in a window's coordinates in screen coordinates.
    virtual graphics::Point convertToScreen(const Window& window, graphics::Point point) const = 0;
    // A session starts and ends (grab and release the pointer and keyboard here).
    virtual void beginTracking(MenuTracking& tracking) { (void)tracking; }
    virtual void endTracking(MenuTracking& tracking) { (void)tracking; }
    // A level opened, changed its highlight or rows, or closed.
    virtual void showLevel(MenuTracking& tracking, std::size_t level) = 0;
    virtual void updateLevel(MenuTracking& tracking, std::size_t level) = 0;
    virtual void hideLevel(MenuTracking& tracking, std::size_t level) = 0;
};

class MenuTracking : public std::enable_shared_from_this<MenuTracking> {
public:
    // Runs with the chosen item (null when the menu was dismissed) after every level has closed.
    using Completion = std::function<void(const std::shared_ptr<MenuItem>& chosen)>;

    struct Level {
        std::shared_ptr<Menu> menu;
        graphics::Rect frame; // screen coordinates, y up
        MenuLayout layout;
        int highlighted = -1; // row
    };

    // Opens a menu. location: screen point of the menu's top-left corner, or of the positioning item's
    // top-left corner. openingEvent: the mouse down that opened it, if any (its release may choose).
    // owner: the window the menu is opened from (else the opening event's window); it keeps the session
    // and its events go to the session until it ends. A session the owner (or, without one, the
    // application) is already tracking is cancelled first. Null when the menu has no rows to show.
    static std::shared_ptr<MenuTracking>
    begin(const std::shared_ptr<Menu>& menu, const std::shared_ptr<MenuItem>& positioningItem,
          graphics::Point location, std::shared_ptr<MenuPresenter> presenter, Completion completion,
          const Event* openingEvent = nullptr, std::shared_ptr<Window> owner = nullptr);

    bool isActive() const { return active_; }
    const std::vector<Level>& levels() const { return levels_; }
    std::shared_ptr<Menu> menu() const { return levels_.empty() ? nullptr : levels_.front().menu; }
    std::shared_ptr<MenuPresenter> presenter() const { return presenter_; }
    // The window the menu was opened from (null for a menu shown without one).
    std::shared_ptr<Window> owner() const { return owner_.lock(); }
    ModifierFlags modifierFlags() const { return modifierFlags_; }
    // The highlighted item of the deepest level that has one.
    std::shared_ptr<MenuItem> highlightedItem() const;
    // The highlighted item of one level (null when none).
    std::shared_ptr<MenuItem> highlightedItem(std::size_t level) const;

    // Events in screen coordinates. Mouse, key and modifier events go here while the session is active.
    void handleEvent(const Event& event, graphics::Point screenLocation);
    // Takes an event the application received for a window (or with a screen location, without one).
    void handleEvent(const Event& event);

    // Chooses the item (when it is enabled and selectable) and closes the menu.
    void choose(std::shared_ptr<MenuItem> item);
    // Closes the menu, choosing nothing.
    void cancel();

private:
    MenuTracking() = default;

    bool open(const std::shared_ptr<Menu>& menu, graphics::Point topLeft, std::size_t level);
    void openSubmenu(std::size_t level, int row, bool highlightFirst);
    void closeLevelsAbove(std::size_t level);
    void setHighlight(std::size_t level, int row);
    // Deepest level and row under a screen point; level -1 when outside every level.
    std::pair<int, int> locate(graphics::Point screenLocation) const;
    bool rowIsChoosable(std::size_t level, int row) const;
    void mouseMoved(graphics::Point location, bool buttonDown);
    void mouseDown(graphics::Point location);
    void mouseUp(graphics::Point location);
    void keyDown(const Event& event);
    void moveHighlight(int direction);
    void typeSelect(const Event& event);
    void modifiersChanged(ModifierFlags flags);
    void finish(std::shared_ptr<MenuItem> chosen);

    // Keeps (or, with false, drops) this session where events find it: its owner or the application.
    void store(bool keep);

    std::shared_ptr<MenuPresenter> presenter_;
    std::weak_ptr<Window> owner_;
    bool hasOwner_ = false;
    Completion completion_;
    std::vector<Level> levels_;
    ModifierFlags modifierFlags_ = 0;
    bool active_ = false;
    // The press that opened the menu has not been released yet.
    bool awaitingOpeningRelease_ = false;
    graphics::Point openingPoint_;
    bool dragged_ = false;
    std::string typeSelectBuffer_;
    double lastTypeTime_ = 0;
};

// The presenter used when a window has none of its own: no windows, only the session's logic.
std::shared_ptr<MenuPresenter> detachedMenuPresenter();
// The presenter of the view's window's back end, else a detached one.
std::shared_ptr<MenuPresenter> menuPresenterFor(const std::shared_ptr<View>& view);

} // namespace ui
