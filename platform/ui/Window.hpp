#pragma once

// Windows: a content view, a first responder, key status, event dispatch and the display pass.
// A window draws through a WindowBackend; without one it still dispatches events and tracks state,
// which is how most tests use it.

#include "graphics/Color.hpp"
#include "graphics/GraphicsContext.hpp"
#include "ui/Event.hpp"
#include "ui/Responder.hpp"
#include "ui/View.hpp"
#include "ui/WindowBackend.hpp"

#include <memory>
#include <string>
#include <vector>

namespace ui {

class Cursor;
class MenuTracking;

class Window : public Responder {
public:
    // Creates a window (or a subclass) whose content area is contentRect in screen coordinates.
    template <class W = Window, class... Args>
    static std::shared_ptr<W> make(const graphics::Rect& contentRect, Args&&... args) {
        auto window = std::make_shared<W>(contentRect, std::forward<Args>(args)...);
        window->setUp();
        return window;
    }

    explicit Window(const graphics::Rect& contentRect);
    ~Window() override;

    // Content. A new content view fills the content area.
    std::shared_ptr<View> contentView() const { return contentView_; }
    void setContentView(const std::shared_ptr<View>& view);

    // The content area in screen coordinates (y up); the window has no decorations of its own.
    const graphics::Rect& frame() const { return frame_; }
    void setFrame(const graphics::Rect& frame);
    void setFrameOrigin(const graphics::Point& origin);
    void setContentSize(const graphics::Size& size);

    const std::string& title() const { return title_; }
    void setTitle(const std::string& title);

    graphics::ColorRef backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(graphics::ColorRef color);

    // First responder. Null asks for the window itself.
    std::shared_ptr<Responder> firstResponder() const;
    bool makeFirstResponder(const std::shared_ptr<Responder>& responder);

    // Key status: one key window per application; key events go to the key window.
    bool isKeyWindow() const;
    virtual bool canBecomeKeyWindow() const { return true; }
    void makeKeyWindow();
    void makeKeyAndOrderFront();
    // Gives up key status (focus moved to another application).
    void resignKey();
    // Hooks run when the window gains or loses key status.
    virtual void becomeKeyWindow();
    virtual void resignKeyWindow();

    bool isVisible() const { return visible_; }
    void orderFront();
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
    // Marks part of the window (window coordinates) for the next display; unless something marks the
    // whole window, only the union of such rects is drawn again.
    void setNeedsDisplayInRect(const graphics::Rect& rect);
    // What the next display draws: the whole content area, or the union of the marked rects.
    graphics::Rect dirtyRect() const;
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

protected:
    // Second phase of construction (needs shared_from_this); make() calls it.
    virtual void setUp();

private:
    friend class View;
    void viewWillLeaveWindow(View& view);
    void dispatchMouseDown(const Event& event);
    // Tracking areas and cursor rects follow the pointer.
    void updatePointer(const Event& event);
    void resizeContent();

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
    graphics::Rect dirtyRect_ = graphics::Rect::null();
    bool visible_ = false;
    bool closed_ = false;
    bool displaying_ = false;
};

} // namespace ui
