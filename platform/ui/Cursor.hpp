#pragma once

// Pointer shapes and the areas of a view that want to hear the pointer come, go and move.
// A cursor is an image with a hot spot (in image points from the top-left corner) or the system arrow;
// window back ends turn it into the native pointer shape.

#include "graphics/Geometry.hpp"
#include "graphics/Image.hpp"
#include "ui/Responder.hpp"

#include <any>
#include <cstdint>
#include <memory>
#include <string>

namespace ui {

class Cursor : public std::enable_shared_from_this<Cursor> {
public:
    Cursor(graphics::ImageRef image, graphics::Point hotSpot);
    static std::shared_ptr<Cursor> make(graphics::ImageRef image, graphics::Point hotSpot) {
        return std::make_shared<Cursor>(std::move(image), hotSpot);
    }
    // The system's arrow (one shared object).
    static std::shared_ptr<Cursor> arrowCursor();

    graphics::ImageRef image() const { return image_; }
    graphics::Point hotSpot() const { return hotSpot_; }
    // The name of the system cursor it stands for ("left_ptr" for the arrow); empty for image cursors.
    const std::string& systemName() const { return systemName_; }

    // Makes this the cursor of the window under the pointer.
    void set();
    // Pushes onto (or pops off) the application's cursor stack, showing the new top.
    void push();
    static void pop();

private:
    graphics::ImageRef image_;
    graphics::Point hotSpot_;
    std::string systemName_;
};

// Tracking-area options (AppKit raw values).
namespace TrackingAreaOptions {
inline constexpr std::uint32_t mouseEnteredAndExited = 0x01;
inline constexpr std::uint32_t mouseMoved = 0x02;
inline constexpr std::uint32_t cursorUpdate = 0x04;
inline constexpr std::uint32_t activeWhenFirstResponder = 0x10;
inline constexpr std::uint32_t activeInKeyWindow = 0x20;
inline constexpr std::uint32_t activeInActiveApp = 0x40;
inline constexpr std::uint32_t activeAlways = 0x80;
inline constexpr std::uint32_t assumeInside = 0x100;
inline constexpr std::uint32_t inVisibleRect = 0x200;
inline constexpr std::uint32_t enabledDuringMouseDrag = 0x400;
} // namespace TrackingAreaOptions

// A rect of a view (in its coordinates) whose owner hears mouseEntered/mouseExited and, when asked,
// mouseMoved while the pointer is inside. With inVisibleRect the rect is the view's bounds, whatever
// they are at the time.
class TrackingArea {
public:
    TrackingArea(const graphics::Rect& rect, std::uint32_t options, const std::shared_ptr<Responder>& owner,
                 std::any userInfo = {});
    static std::shared_ptr<TrackingArea> make(const graphics::Rect& rect, std::uint32_t options,
                                              const std::shared_ptr<Responder>& owner,
                                              std::any userInfo = {}) {
        return std::make_shared<TrackingArea>(rect, options, owner, std::move(userInfo));
    }

    const graphics::Rect& rect() const { return rect_; }
    std::uint32_t options() const { return options_; }
    std::shared_ptr<Responder> owner() const { return owner_.lock(); }
    const std::any& userInfo() const { return userInfo_; }
    // Whether the pointer was inside at the last event the window saw.
    bool isInside() const { return inside_; }
    void setInside(bool inside) { inside_ = inside; }

private:
    graphics::Rect rect_;
    std::uint32_t options_;
    std::weak_ptr<Responder> owner_;
    std::any userInfo_;
    bool inside_;
};

} // namespace ui
