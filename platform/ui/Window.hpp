#pragma once

// Windows: a content view, a first responder, key status, event dispatch and the display pass.
// A window draws through a WindowBackend; without one it still dispatches events and tracks state,
// which is how most tests use it.

#include "core/Cancellable.hpp"
#include "graphics/Color.hpp"
#include "graphics/GraphicsContext.hpp"
#include "ui/Event.hpp"
#include "ui/Responder.hpp"
#include "ui/View.hpp"
#include "ui/WindowBackend.hpp"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace core {
class RunLoop;
class Timer;
} // namespace core

namespace ui {

class Animation;
class Cursor;
class MenuTracking;
class Text;
class FrameOriginPlayer;
class GestureRecognizer;
class Screen;
class ViewController;
class WindowAnimator;

// Window style masks, with the toolkit's raw values.
using WindowStyleMask = std::uint64_t;
namespace WindowStyle {
inline constexpr WindowStyleMask borderless = 0;
inline constexpr WindowStyleMask titled = 1 << 0;
inline constexpr WindowStyleMask closable = 1 << 1;
inline constexpr WindowStyleMask miniaturizable = 1 << 2;
inline constexpr WindowStyleMask resizable = 1 << 3;
inline constexpr WindowStyleMask utilityWindow = 1 << 4;
inline constexpr WindowStyleMask docModalWindow = 1 << 6;
inline constexpr WindowStyleMask nonactivatingPanel = 1 << 7;
inline constexpr WindowStyleMask unifiedTitleAndToolbar = 1 << 12;
inline constexpr WindowStyleMask hudWindow = 1 << 13;
inline constexpr WindowStyleMask fullScreen = 1 << 14;
inline constexpr WindowStyleMask fullSizeContentView = 1 << 15;
} // namespace WindowStyle

// How a modal session or a sheet ended. Alerts answer alertFirstButtonReturn + n for their buttons.
using ModalResponse = long;
namespace ModalResponseCode {
inline constexpr ModalResponse ok = 1;
inline constexpr ModalResponse cancel = 0;
inline constexpr ModalResponse stop = -1000;
inline constexpr ModalResponse abort = -1001;
inline constexpr ModalResponse continueSession = -1002;
} // namespace ModalResponseCode

// Posted through core::NotificationCenter::defaultCenter() with the window as the object.
inline constexpr const char* windowDidBecomeKeyNotification = "NSWindowDidBecomeKeyNotification";
inline constexpr const char* windowDidResignKeyNotification = "NSWindowDidResignKeyNotification";
inline constexpr const char* windowDidMoveNotification = "NSWindowDidMoveNotification";
inline constexpr const char* windowDidResizeNotification = "NSWindowDidResizeNotification";
inline constexpr const char* windowWillCloseNotification = "NSWindowWillCloseNotification";

class Window : public Responder {
public:
    // Creates a window (or a subclass) whose content area is contentRect in screen coordinates.
    template <class W = Window, class... Args>
    static std::shared_ptr<W> make(const graphics::Rect& contentRect, Args&&... args) {
        auto window = std::make_shared<W>(contentRect, std::forward<Args>(args)...);
        window->setUp();
        return window;
    }

    // Creates a window sized to the controller's view (its preferred content size when it has one),
    // with the controller as its content view controller.
    template <class W = Window, class... Args>
    static std::shared_ptr<W> makeWithContentViewController(const std::shared_ptr<ViewController>& controller,
                                                            Args&&... args) {
        auto window = std::make_shared<W>(contentRectFor(controller), std::forward<Args>(args)...);
        window->setUp();
        window->setContentViewController(controller);
        return window;
    }

    explicit Window(const graphics::Rect& contentRect, WindowStyleMask styleMask = WindowStyle::borderless);
    ~Window() override;

    // The style mask. Titled windows without a full-size content view have a title bar above their
    // content area (drawn by the window system); changing the mask keeps the frame.
    WindowStyleMask styleMask() const { return styleMask_; }
    // A borderless non-activating panel is a pop-up window (a list, a popover, a tool tip): the window
    // system places it where the program asks, gives it no frame and never the keyboard focus, and it
    // never becomes key. Its back end comes from the window it pops up over (makeBackend).
    bool isPopUp() const {
        return (styleMask_ & WindowStyle::titled) == 0 && (styleMask_ & WindowStyle::nonactivatingPanel) != 0;
    }
    void setStyleMask(WindowStyleMask mask);
    // The height of a title bar.
    static constexpr double standardTitlebarHeight = 28;
    // Frame and content rectangles of a style mask (screen coordinates, y up).
    static graphics::Rect contentRectForFrameRect(const graphics::Rect& frame, WindowStyleMask mask);
    static graphics::Rect frameRectForContentRect(const graphics::Rect& content, WindowStyleMask mask);
    graphics::Rect contentRectForFrameRect(const graphics::Rect& frame) const {
        return contentRectForFrameRect(frame, styleMask_);
    }
    graphics::Rect frameRectForContentRect(const graphics::Rect& content) const {
        return frameRectForContentRect(content, styleMask_);
    }
    // The part of the content view not covered by a title bar (window coordinates).
    graphics::Rect contentLayoutRect() const;

    // The view controller that provides the content view; the window keeps it.
    std::shared_ptr<ViewController> contentViewController() const { return contentViewController_; }
    void setContentViewController(const std::shared_ptr<ViewController>& controller);

    // Content. A new content view fills the content area.
    std::shared_ptr<View> contentView() const { return contentView_; }
    void setContentView(const std::shared_ptr<View>& view);

    // The frame in screen coordinates (y up): the content area plus any title bar above it.
    graphics::Rect frame() const { return frameRectForContentRect(frame_); }
    void setFrame(const graphics::Rect& frame);
    void setFrame(const graphics::Rect& frame, bool display);
    void setFrameOrigin(const graphics::Point& origin);
    void setContentSize(const graphics::Size& size);
    // Limits on the content size the user can resize to (zero: none; the window system enforces them).
    const graphics::Size& contentMinSize() const { return contentMinSize_; }
    const graphics::Size& contentMaxSize() const { return contentMaxSize_; }
    void setContentMinSize(const graphics::Size& size);
    void setContentMaxSize(const graphics::Size& size);
    // The area the content view covers, in screen coordinates.
    const graphics::Rect& contentAreaRect() const { return frame_; }
    // Window coordinates (the content view's frame) to screen coordinates and back.
    graphics::Rect convertRectToScreen(const graphics::Rect& rect) const;
    graphics::Rect convertRectFromScreen(const graphics::Rect& rect) const;
    graphics::Point convertPointToScreen(const graphics::Point& point) const;

    // The screen the window is on: its back end's; null without a back end or screen.
    std::shared_ptr<Screen> screen() const;

    // Sheets. A sheet is placed over the top of its parent's content and takes the keyboard; the
    // parent ignores mouse presses and keys until the sheet ends. A second sheet waits for the first.
    // Ending a sheet orders it out, gives the key back to the parent and calls its completion.
    void beginSheet(const std::shared_ptr<Window>& sheet, std::function<void(ModalResponse)> completion = {});
    void endSheet(const std::shared_ptr<Window>& sheet);
    void endSheet(const std::shared_ptr<Window>& sheet, ModalResponse returnCode);
    std::shared_ptr<Window> attachedSheet() const;
    std::shared_ptr<Window> sheetParent() const { return sheetParent_.lock(); }
    bool isSheet() const { return !sheetParent_.expired(); }
    // Escape: an attached sheet ends itself (with the cancel response); otherwise passed on.
    void cancelOperation(const std::shared_ptr<Object>& sender) override;

    bool preventsApplicationTerminationWhenModal() const { return preventsTermination_; }
    void setPreventsApplicationTerminationWhenModal(bool flag) { preventsTermination_ = flag; }
    // The appearance name (empty: the application's), and the one the window's views draw in.
    const std::string& appearanceName() const { return appearanceName_; }
    void setAppearanceName(std::string name) { appearanceName_ = std::move(name); }
    std::string effectiveAppearanceName() const;

    // Animations by key; "frameOrigin" animates what animator().setFrameOrigin does.
    using AnimationMap = std::map<std::string, std::shared_ptr<Animation>>;
    const AnimationMap& animations() const { return animations_; }
    void setAnimations(AnimationMap animations) { animations_ = std::move(animations); }
    // A proxy whose changes play the window's animation for their key, if any.
    WindowAnimator animator();
    // The run loop that steps animations (the main one unless set; tests pass one with a manual clock).
    core::RunLoop& animationRunLoop() const;
    void setAnimationRunLoop(core::RunLoop* runLoop) { animationRunLoop_ = runLoop; }

    const std::string& title() const { return title_; }
    void setTitle(const std::string& title);

    graphics::ColorRef backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(graphics::ColorRef color);

    // First responder. Null asks for the window itself.
    std::shared_ptr<Responder> firstResponder() const;
    bool makeFirstResponder(const std::shared_ptr<Responder>& responder);

    // Observes the first responder: the observer hears it at once and then after every change (the
    // window itself stands for "no responder"), also when the view holding the role leaves the window,
    // until the returned token is cancelled or the window is destroyed. Observers may change the first
    // responder or cancel tokens (their own included) while they run.
    [[nodiscard]] core::Cancellable
    observeFirstResponder(std::function<void(const std::shared_ptr<Responder>& responder)> observer);
    // Event monitors see every event that reaches sendEvent, before it is dispatched, in the order they
    // were added; one that returns true takes the event and nothing else sees it. Until the token is
    // cancelled or the window is destroyed.
    [[nodiscard]] core::Cancellable addEventMonitor(std::function<bool(const Event& event)> monitor);
    // Observers hear the window leave the screen: each time it is ordered out, and when it closes (also
    // if it was never shown). Pop-ups shown over the window's views (popovers, tool tips) close then.
    // Until the token is cancelled or the window is destroyed; observers may cancel tokens meanwhile.
    [[nodiscard]] core::Cancellable observeOrderOut(std::function<void()> observer);

    // Key status: one key window per application; key events go to the key window. makeKeyWindow asks
    // the back end for the system's keyboard focus; where the system answers with focus events, the
    // window becomes key when the focus arrives (the back end then calls makeKeyWindow again).
    bool isKeyWindow() const;
    virtual bool canBecomeKeyWindow() const { return !isPopUp(); }
    void makeKeyWindow();
    void makeKeyAndOrderFront();
    // Gives up key status (focus moved to another application).
    void resignKey();
    // Hooks run when the window gains or loses key status.
    virtual void becomeKeyWindow();
    virtual void resignKeyWindow();

    bool isVisible() const { return visible_; }
    // Shows the window. One without a back end gets one of the same kind as its sheet parent's, the
    // key window's or another window's, when one of those has a back end.
    void orderFront();
    // Hides the window without closing it. A menu opened from it ends, choosing nothing.
    void orderOut();
    // Gives a window without a back end one of the same kind as its sheet parent's, the key
    // window's or another window's (what orderFront does first).
    void ensureBackend();
    // Closes the window: hooks, back end closed, removed from the application.
    void close();
    // The close button: asks windowShouldClose first.
    void performClose();
    virtual bool windowShouldClose() { return true; }
    virtual void windowWillClose() {}
    bool isClosed() const { return closed_; }

    // Device pixels per point: the back end's, else the value set here (1 by default).
    double backingScaleFactor() const;
    void setBackingScaleFactor(double scale);

    // Receives every event for this window and dispatches it: mouse downs to the view under the
    // pointer, drags and ups to the view that took the down, key events to the first responder.
    virtual void sendEvent(const Event& event);

    // Display: views mark the window; the back end calls displayIfNeeded.
    bool viewsNeedDisplay() const { return viewsNeedDisplay_; }
    void setViewsNeedDisplay(bool flag);
    // Marks part of the window (window coordinates) for the next display, rounded outward to whole
    // device pixels; unless something marks the whole window, only the marked rects are drawn again.
    void setNeedsDisplayInRect(const graphics::Rect& rect);
    // What the next display draws: the whole content area, or the marked rects (overlapping ones
    // merged; many collapse into their union), within the content area.
    std::vector<graphics::Rect> dirtyRects() const;
    // The union of dirtyRects().
    graphics::Rect dirtyRect() const;
    // How many separate rects a display pass draws at most before it draws their union instead.
    static constexpr std::size_t maxDirtyRects = 8;
    void displayIfNeeded();
    // Draws everything now.
    void display();
    // Draws the window's background and views into a context whose user space is window coordinates
    // (y up, size of the content area). Used by display() and by tests.
    void drawContent(graphics::GraphicsContext& context);
    void drawContent(graphics::GraphicsContext& context, const graphics::Rect& area);

    std::shared_ptr<WindowBackend> backend() const { return backend_; }
    void setBackend(std::shared_ptr<WindowBackend> backend);
    // Back ends report changes of the native window here.
    void backendDidResize(const graphics::Size& size);
    // The window system moved the window (the content area's new origin on screen).
    void backendDidMove(const graphics::Point& origin);
    void backendDidChangeScale(double scale);

    std::shared_ptr<Object> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<Object>& delegate) { delegate_ = delegate; }

    // The pointer's shape over the window (the arrow unless something set another).
    std::shared_ptr<Cursor> cursor() const;
    void setCursor(const std::shared_ptr<Cursor>& cursor);
    // Asks every view for its cursor rects again at the next pointer event.
    void invalidateCursorRects();
    // This window's stack of pushed cursors: a push shows the cursor, a pop shows the one below (the
    // arrow when none is left). Outside cursor rects the window shows the stack's top.
    void pushCursor(const std::shared_ptr<Cursor>& cursor);
    void popCursor();
    std::size_t cursorStackDepth() const { return cursorStack_.size(); }

    // The session of the menu opened from this window, kept until it ends (null when none).
    std::shared_ptr<MenuTracking> menuTracking() const { return menuTracking_; }
    void setMenuTracking(std::shared_ptr<MenuTracking> tracking) { menuTracking_ = std::move(tracking); }

    // The view that took the current mouse down (drags and up go to it), if any.
    std::shared_ptr<View> mouseTrackingView() const { return trackingView_.lock(); }

    // Press-and-hold, for a view handling a left mouse-down: waits up to Event::doubleClickInterval()
    // (a timer on animationRunLoop()) for the press's mouse-up, holding the press's drags and up back
    // from the view meanwhile. When the up comes in time the timer is cancelled, onRelease runs (the
    // view's handling of an ordinary press, say) and then the held drags and the up reach the view as
    // usual. When the time runs out first, onHold runs, the held drags are dropped, and the press's
    // later events reach the view as usual. A new press, or the window losing key status (the view
    // hears mouseTrackingCancelled), ends the wait with neither.
    void waitForMouseUp(const std::shared_ptr<View>& view, std::function<void()> onRelease,
                        std::function<void()> onHold);
    bool isWaitingForMouseUp() const { return mouseHold_ != nullptr; }

    // The view with keyboard focus: the first responder, or the control whose text the field editor
    // is editing when the field editor is first responder; null when the window itself is. Its focus
    // ring (View::drawFocusRingMask) is drawn while the window is key.
    std::shared_ptr<View> keyboardFocusView() const;

    // Key-view loop. Tab and Shift-Tab that no view handled move the first responder to the next or
    // previous valid key view of the current one (of the field being edited while its field editor is
    // first responder). Without any loop in the window, or with autorecalculation on, the loop is
    // rebuilt first from the views' positions: top to bottom, then left to right.
    void selectNextKeyView(const std::shared_ptr<Object>& sender = nullptr);
    void selectPreviousKeyView(const std::shared_ptr<Object>& sender = nullptr);
    void selectKeyViewFollowingView(const std::shared_ptr<View>& view);
    void selectKeyViewPrecedingView(const std::shared_ptr<View>& view);
    void recalculateKeyViewLoop();
    bool autorecalculatesKeyViewLoop() const { return autorecalculatesKeyViewLoop_; }
    void setAutorecalculatesKeyViewLoop(bool flag) { autorecalculatesKeyViewLoop_ = flag; }
    // Where Tab starts when nothing in the window has keyboard focus.
    std::shared_ptr<View> initialFirstResponder() const { return initialFirstResponder_.lock(); }
    void setInitialFirstResponder(const std::shared_ptr<View>& view) { initialFirstResponder_ = view; }
    void keyDown(const Event& event) override;

    // The window's field editor, the one text object that edits whichever text field has focus; made
    // on first request when createFlag is set. forObject is the field that asks (one editor serves all).
    std::shared_ptr<Text> fieldEditor(bool createFlag, const std::shared_ptr<Object>& forObject);
    // Ends the current editing session: asks the field editor to give up first responder (which
    // commits the text) and, when it refuses, tears the session down anyway.
    void endEditingFor(const std::shared_ptr<Object>& object);

protected:
    // Second phase of construction (needs shared_from_this); make() calls it.
    virtual void setUp();

private:
    bool changeFirstResponder(const std::shared_ptr<Responder>& responder);
    // Observers and monitors (WindowObservers.cpp): tells the first responder's observers when it is not
    // the one they heard last; runs the monitors, answering whether one took the event.
    struct Observers;
    void ensureObservers();
    void announceFirstResponder();
    bool runEventMonitors(const Event& event);
    void announceOrderOut();
    friend class View;
    friend class Application;
    friend class FrameOriginPlayer;
    static graphics::Rect contentRectFor(const std::shared_ptr<ViewController>& controller);
    void startSheet(const std::shared_ptr<Window>& sheet);
    void notifyFrameChange(bool moved, bool resized);
    void viewWillLeaveWindow(View& view);
    // Builds the key-view loop when the window has none (or always, with autorecalculation).
    void ensureKeyViewLoop();
    void dispatchMouseDown(const Event& event);
    // Gesture recognisers of the current press (GestureRecognizer.cpp).
    void beginPressGestures(const std::shared_ptr<View>& hit, const Event& event);
    void feedPressGestures(const Event& event);
    void endPressGestures();
    void cancelPressGestures();
    // Press-and-hold (MouseHold.cpp): whether the pending wait took the event; the timer ran out.
    bool holdMouseEvent(const Event& event);
    void mouseHoldTimedOut();
    void cancelMouseHold();
    // The ring around the keyboard focus view's focus-ring mask (FocusRing.cpp).
    void drawKeyboardFocusRing(graphics::GraphicsContext& context);
    // Tracking areas and cursor rects follow the pointer.
    void updatePointer(const Event& event);
    void resizeContent();
    // Gives the field editor the back end's clipboard: always when replace is set, else only when the
    // editor has none.
    void giveFieldEditorClipboard(bool replace);

    graphics::Rect frame_;
    std::string title_;
    std::shared_ptr<View> contentView_;
    std::weak_ptr<Responder> firstResponder_;
    std::weak_ptr<View> trackingView_;
    EventType trackingButtonDown_ = EventType::leftMouseDown;
    std::shared_ptr<WindowBackend> backend_;
    std::shared_ptr<Cursor> cursor_;
    // The cursor rect the pointer was last in (its cursor), so a rect applies its cursor on entry only.
    std::shared_ptr<Cursor> rectCursor_;
    std::vector<std::shared_ptr<Cursor>> cursorStack_;
    std::shared_ptr<MenuTracking> menuTracking_;
    std::weak_ptr<Object> delegate_;
    graphics::ColorRef backgroundColor_;
    double scale_ = 1.0;
    bool viewsNeedDisplay_ = true;
    bool wholeWindowDirty_ = true;
    std::vector<graphics::Rect> dirtyRects_;
    bool visible_ = false;
    bool closed_ = false;
    bool displaying_ = false;
    bool autorecalculatesKeyViewLoop_ = false;
    std::weak_ptr<View> initialFirstResponder_;
    std::shared_ptr<Text> fieldEditor_;
    WindowStyleMask styleMask_ = WindowStyle::borderless;
    graphics::Size contentMinSize_;
    graphics::Size contentMaxSize_;
    std::shared_ptr<ViewController> contentViewController_;
    bool controllerAppeared_ = false;
    std::weak_ptr<Window> sheetParent_;
    struct SheetEntry {
        std::shared_ptr<Window> sheet;
        std::function<void(ModalResponse)> completion;
    };
    // The attached sheet first, then those waiting.
    std::vector<SheetEntry> sheets_;
    bool preventsTermination_ = true;
    std::string appearanceName_;
    AnimationMap animations_;
    core::RunLoop* animationRunLoop_ = nullptr;
    std::shared_ptr<FrameOriginPlayer> originPlayer_;
    std::vector<std::shared_ptr<GestureRecognizer>> pressRecognizers_;
    struct MouseHold {
        std::weak_ptr<View> view;
        std::function<void()> onRelease;
        std::function<void()> onHold;
        std::shared_ptr<core::Timer> timer;
        std::vector<Event> heldDrags;
    };
    std::unique_ptr<MouseHold> mouseHold_;
    std::shared_ptr<Observers> observers_;
};

} // namespace ui
