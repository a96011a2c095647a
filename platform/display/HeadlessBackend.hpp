#pragma once

// A window back end without a screen: the window draws into an image surface at its backing scale.
// Tests and offscreen rendering drive it by injecting input and reading pixels or writing PNG files.

#include "graphics/DrawRecorder.hpp"
#include "ui/Event.hpp"
#include "ui/Window.hpp"
#include "ui/WindowBackend.hpp"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace display {

class HeadlessBackend : public ui::WindowBackend, public std::enable_shared_from_this<HeadlessBackend> {
public:
    // Gives the window a headless back end of its current content size at the given scale.
    static std::shared_ptr<HeadlessBackend> attach(const std::shared_ptr<ui::Window>& window,
                                                   double scale = 1.0, bool record = false);

    HeadlessBackend(graphics::Size size, double scale, bool record);
    ~HeadlessBackend() override;

    // WindowBackend.
    graphics::Size size() const override { return size_; }
    double backingScaleFactor() const override { return scale_; }
    // Schedules one display pass on the main queue, however often it is called before that runs.
    void invalidate() override;
    // Draws the rects into the image surface; presenting counts the frame and keeps the union.
    bool drawRects(const std::vector<graphics::Rect>& rects, const RectDrawer& draw) override;
    void setContentSize(const graphics::Size& size) override;
    void setTitle(const std::string& title) override { title_ = title; }
    void orderFront() override { visible_ = true; }
    void orderOut() override { visible_ = false; }
    void close() override;
    void setFrameOrigin(const graphics::Point& origin) override { origin_ = origin; }
    // A fixed screen: 1920 × 1080 points with a 32-point panel along the top (setScreen replaces it;
    // null leaves the window without a screen).
    std::shared_ptr<ui::Screen> screen() const override { return screen_; }
    void setScreen(std::shared_ptr<ui::Screen> screen) { screen_ = std::move(screen); }
    static std::shared_ptr<ui::Screen> fixedScreen(double scale = 1.0);
    // Another headless back end at this one's scale, recording when this one does, on the same screen.
    std::shared_ptr<ui::WindowBackend> makeBackend(const std::shared_ptr<ui::Window>& window) override;
    ui::WindowBackend* transientFor() const { return transientFor_; }
    void setTransientFor(ui::WindowBackend* parent) override { transientFor_ = parent; }
    // Where the window system was last asked to put the content area (screen coordinates).
    const graphics::Point& frameOrigin() const { return origin_; }
    std::shared_ptr<graphics::DrawRecorder> recorder() const override { return recorder_; }
    // Menus opened from this window show in recorded headless windows at this window's scale.
    std::shared_ptr<ui::MenuPresenter> menuPresenter() override;
    void setCursor(const std::shared_ptr<ui::Cursor>& cursor) override { cursor_ = cursor; }
    // The cursor the window last asked for (null: never set, the arrow).
    std::shared_ptr<ui::Cursor> cursor() const { return cursor_; }

    // Runs a display pass now if the window needs one.
    void displayIfNeeded();
    // Writes the window's pixels as a PNG file (after a display pass if one is due). False on failure.
    bool writePNG(const std::filesystem::path& file);
    // Unpremultiplied RGBA of a device pixel (row 0 at the top); 0 outside the surface.
    std::uint32_t pixelRGBA(int x, int y);
    // The red, green, blue and alpha bytes of a device pixel.
    struct RGBA {
        std::uint8_t r = 0, g = 0, b = 0, a = 0;
    };
    RGBA pixel(int x, int y);

    // Input, as a window system would deliver it. Points are in window coordinates (y up).
    void mouseDown(graphics::Point location, ui::ModifierFlags flags = 0, int clickCount = 1);
    void mouseDragged(graphics::Point location, ui::ModifierFlags flags = 0);
    void mouseUp(graphics::Point location, ui::ModifierFlags flags = 0, int clickCount = 1);
    void rightMouseDown(graphics::Point location, ui::ModifierFlags flags = 0);
    void rightMouseUp(graphics::Point location, ui::ModifierFlags flags = 0);
    void mouseMoved(graphics::Point location, ui::ModifierFlags flags = 0);
    void click(graphics::Point location, ui::ModifierFlags flags = 0);
    void scroll(graphics::Point location, double deltaX, double deltaY, ui::ModifierFlags flags = 0);
    // A key press and release; characters are UTF-8 (function keys use the SpecialKey characters).
    void keyDown(const std::string& characters, ui::ModifierFlags flags = 0, std::uint16_t keyCode = 0);
    void keyUp(const std::string& characters, ui::ModifierFlags flags = 0, std::uint16_t keyCode = 0);
    void typeKey(const std::string& characters, ui::ModifierFlags flags = 0, std::uint16_t keyCode = 0);
    void flagsChanged(ui::ModifierFlags flags);
    // Keyboard focus arriving or leaving: the window becomes or stops being the key window.
    void focusIn();
    void focusOut();
    // The window system resized the window (points).
    void resize(graphics::Size size);
    // The close button.
    void requestClose();

    std::shared_ptr<ui::Window> window() const { return window_.lock(); }
    const std::string& title() const { return title_; }
    bool isVisible() const { return visible_; }
    bool isClosed() const { return closed_; }
    int presentedFrames() const { return presentedFrames_; }
    // What the last display pass presented: the union of its rects (window coordinates) and the rects.
    const graphics::Rect& lastPresentedRect() const { return lastPresented_; }
    const std::vector<graphics::Rect>& lastDrawnRects() const { return lastDrawn_; }
    // The window's pixels: an image surface of size × scale device pixels.
    cairo_surface_t* surface() const { return surface_; }
    void setTimestamp(double seconds) { timestamp_ = seconds; }

private:
    void recreateSurface();
    void post(ui::Event event);

    std::weak_ptr<ui::Window> window_;
    graphics::Size size_;
    double scale_;
    cairo_surface_t* surface_ = nullptr;
    std::shared_ptr<graphics::DrawRecorder> recorder_;
    std::string title_;
    bool visible_ = false;
    bool closed_ = false;
    bool displayQueued_ = false;
    int presentedFrames_ = 0;
    graphics::Rect lastPresented_ = graphics::Rect::null();
    std::vector<graphics::Rect> lastDrawn_;
    double timestamp_ = 0;
    ui::ModifierFlags heldFlags_ = 0;
    std::shared_ptr<ui::MenuPresenter> menuPresenter_;
    std::shared_ptr<ui::Cursor> cursor_;
    std::shared_ptr<ui::Screen> screen_;
    graphics::Point origin_;
    ui::WindowBackend* transientFor_ = nullptr;
};

} // namespace display
