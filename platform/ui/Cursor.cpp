#include "ui/Cursor.hpp"

#include "ui/Application.hpp"

namespace ui {

Cursor::Cursor(graphics::ImageRef image, graphics::Point hotSpot)
    : image_(std::move(image)), hotSpot_(hotSpot) {}

std::shared_ptr<Cursor> Cursor::arrowCursor() {
    static const auto arrow = [] {
        auto cursor = std::make_shared<Cursor>(nullptr, graphics::Point(0, 0));
        cursor->systemName_ = "left_ptr";
        return cursor;
    }();
    return arrow;
}

void Cursor::set() {
    Application::shared()->setCursor(shared_from_this());
}

void Cursor::push() {
    Application::shared()->pushCursor(shared_from_this());
}

void Cursor::pop() {
    Application::shared()->popCursor();
}

TrackingArea::TrackingArea(const graphics::Rect& rect, std::uint32_t options,
                           const std::shared_ptr<Responder>& owner, std::any userInfo)
    : rect_(rect), options_(options), owner_(owner), userInfo_(std::move(userInfo)),
      inside_((options & TrackingAreaOptions::assumeInside) != 0) {}

} // namespace ui
