#pragma once

// The application object: its windows, the key window, the current event and action dispatch.

#include "core/Cancellable.hpp"
#include "ui/Event.hpp"
#include "ui/Responder.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

class Cursor;
class Menu;
class MenuTracking;
class Window;

// The appearances by name: the system's light one, and the dark one.
inline constexpr const char* appearanceNameAqua = "NSAppearanceNameAqua";
inline constexpr const char* appearanceNameDarkAqua = "NSAppearanceNameDarkAqua";

class Application : public Responder {
public:
    // The process's application object (main thread only).
    static std::shared_ptr<Application> shared();

    // Open windows in the order they were opened (closed and destroyed windows drop out). The
    // application does not own its windows: whoever opened one keeps it.
    std::vector<std::shared_ptr<Window>> windows() const;
    std::shared_ptr<Window> keyWindow() const { return keyWindow_.lock(); }
    // Makes window the key window (null: no key window), running the resign/become hooks and posting
    // the did-resign-key and did-become-key notifications.
    void setKeyWindow(const std::shared_ptr<Window>& window);

    // Modal windows. runModal shows the window, makes it key and runs until stopModal: by default in
    // a nested session of the main run loop (which delivers the window system's events, also when
    // runModal is called while one of them is being handled, from an action); a modal runner,
    // when set, runs the session instead (headless programs and tests answer it). While a modal window
    // is up, presses and keys for other windows are dropped. A session the runner leaves without
    // stopModal ends with ModalResponseCode::abort.
    long runModal(const std::shared_ptr<Window>& window);
    void stopModal(long response);
    void abortModal();
    std::shared_ptr<Window> modalWindow() const {
        return modalSessions_.empty() ? nullptr : modalSessions_.back().window.lock();
    }
    using ModalRunner = std::function<void(const std::shared_ptr<Window>& window)>;
    void setModalRunner(ModalRunner runner) { modalRunner_ = std::move(runner); }

    // The appearance windows take unless they set their own (empty: the system's, Aqua).
    const std::string& appearanceName() const { return appearanceName_; }
    void setAppearanceName(std::string name) { appearanceName_ = std::move(name); }
    std::string effectiveAppearanceName() const;

    // Sends an action. With a target: to the target when it answers the action. Without one: to the
    // first object that answers it among the key window's first responder and its chain, the key window,
    // the window's delegate, the application and the application's delegate. False when nobody answered.
    bool sendAction(std::string_view action, const std::shared_ptr<Object>& target,
                    const std::shared_ptr<Object>& sender);
    // The object that sendAction would send the action to, or null.
    std::shared_ptr<Object> targetForAction(std::string_view action, const std::shared_ptr<Object>& target,
                                            const std::shared_ptr<Object>& sender) const;

    // Routes an event to its window.
    void sendEvent(const Event& event);

    // Local event monitors: each sees the events of the types in its mask (eventMask bits) that the
    // application routes, before anything else does (shown menus included), in the order they were
    // added; a monitor that answers false drops the event. A pop-up list closes itself on a press outside
    // it this way. The monitor stays until the token is cancelled or destroyed.
    using EventMonitor = std::function<bool(const Event& event)>;
    [[nodiscard]] core::Cancellable addLocalMonitorForEvents(std::uint64_t mask, EventMonitor monitor);

    // The event being dispatched, or null between events.
    const Event* currentEvent() const { return currentEvent_ ? &*currentEvent_ : nullptr; }
    // Modifier keys held at the last event (AppKit's NSEvent.modifierFlags).
    ModifierFlags currentModifierFlags() const { return modifierFlags_; }
    // Mouse buttons held at the last event: bit 0 left, bit 1 right, bit 2 and up other buttons.
    unsigned pressedMouseButtons() const { return pressedButtons_; }

    std::shared_ptr<Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<Object>& delegate) { delegate_ = delegate; }

    // Shown menus. Each window keeps the session of the menus opened from it (Window::menuTracking), so
    // two windows (two editors in one process) never share one; a menu shown without a window is kept
    // here. While a session is active it receives the mouse, key and modifier events of its own windows
    // (the one that opened it and its level windows) and of no others.
    // The key window's shown menu, else the first window's, else the one shown without a window.
    std::shared_ptr<MenuTracking> menuTracking() const;
    // Every active session.
    std::vector<std::shared_ptr<MenuTracking>> menuTrackings() const;
    // The session an event belongs to (active or not), or null.
    std::shared_ptr<MenuTracking> menuTrackingForEvent(const Event& event) const;
    // The session of a menu shown without a window.
    std::shared_ptr<MenuTracking> windowlessMenuTracking() const { return windowlessTracking_; }
    void setWindowlessMenuTracking(const std::shared_ptr<MenuTracking>& tracking) {
        windowlessTracking_ = tracking;
    }
    // The services menu is kept in the model only: the X11 desktop has no services to offer.
    std::shared_ptr<Menu> servicesMenu() const { return servicesMenu_; }
    void setServicesMenu(std::shared_ptr<Menu> menu) { servicesMenu_ = std::move(menu); }

    // Cursors: the window the pointer was last reported in gets the cursor that is set. Pushed cursors go
    // on that window's stack (Window::pushCursor), and a pop takes from the pointer window's stack, else
    // the key window's; without windows a stack of the application's own is used. The last change wins
    // over the windows' cursor rects until the pointer crosses into another rect.
    std::shared_ptr<Window> pointerWindow() const { return pointerWindow_.lock(); }
    void setCursor(const std::shared_ptr<Cursor>& cursor);
    std::shared_ptr<Cursor> currentCursor() const;
    void pushCursor(const std::shared_ptr<Cursor>& cursor);
    void popCursor();

    // Makes `event` the current one for the lifetime of the scope (windows do this while dispatching).
    class CurrentEventScope {
    public:
        CurrentEventScope(Application& app, const Event& event);
        ~CurrentEventScope();
        CurrentEventScope(const CurrentEventScope&) = delete;
        CurrentEventScope& operator=(const CurrentEventScope&) = delete;

    private:
        Application& app_;
        std::optional<Event> previous_;
    };

private:
    friend class Window;
    void addWindow(const std::shared_ptr<Window>& window);
    void removeWindow(const Window& window);
    void noteEvent(const Event& event);

    std::vector<std::weak_ptr<Window>> windows_;
    std::weak_ptr<Window> keyWindow_;
    struct ModalSession {
        std::weak_ptr<Window> window;
        std::optional<long> response;
    };
    std::vector<ModalSession> modalSessions_;
    ModalRunner modalRunner_;
    std::string appearanceName_;
    std::weak_ptr<Object> delegate_;
    std::optional<Event> currentEvent_;
    std::shared_ptr<MenuTracking> windowlessTracking_;
    std::shared_ptr<Menu> servicesMenu_;
    std::weak_ptr<Window> pointerWindow_;
    std::vector<std::shared_ptr<Cursor>> cursorStack_;
    struct Monitor {
        std::uint64_t id;
        std::uint64_t mask;
        std::shared_ptr<EventMonitor> monitor;
    };
    std::vector<Monitor> monitors_;
    std::uint64_t nextMonitorId_ = 1;
    ModifierFlags modifierFlags_ = 0;
    unsigned pressedButtons_ = 0;
};

} // namespace ui
