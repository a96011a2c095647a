#pragma once

// What a drag tells the view it is over: its pasteboard, where the pointer is, what the source allows
// (copy, move, ...), and its items read from the pasteboard as objects. Main thread only.

#include "graphics/Geometry.hpp"
#include "ui/Pasteboard.hpp"

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace ui {

class Object;
class View;

using DragOperationMask = unsigned;

namespace DragOperation {
inline constexpr DragOperationMask none = 0;
inline constexpr DragOperationMask copy = 1u << 0;
inline constexpr DragOperationMask link = 1u << 1;
inline constexpr DragOperationMask generic = 1u << 2;
inline constexpr DragOperationMask privateOperation = 1u << 3;
inline constexpr DragOperationMask move = 1u << 4;
inline constexpr DragOperationMask deleteOperation = 1u << 5;
inline constexpr DragOperationMask every = ~0u;
} // namespace DragOperation

// How items are enumerated. The model always enumerates in order on the calling thread and keeps no
// drag images, so neither flag changes what it does.
using DraggingItemEnumerationOptions = unsigned;
namespace DraggingItemEnumeration {
inline constexpr DraggingItemEnumerationOptions concurrent = 1u << 0;
inline constexpr DraggingItemEnumerationOptions clearNonenumeratedImages = 1u << 16;
} // namespace DraggingItemEnumeration

// One dragged item: the object read from its pasteboard item, and the frame it is drawn in.
struct DraggingItem {
    PasteboardObject item;
    graphics::Rect draggingFrame;
};

class DraggingInfo {
public:
    // location is in the destination window's coordinates; source is null for drags that come from
    // another program.
    DraggingInfo(std::shared_ptr<Pasteboard> pasteboard, graphics::Point location,
                 DragOperationMask sourceOperationMask, std::weak_ptr<Object> source = {});

    const std::shared_ptr<Pasteboard>& draggingPasteboard() const { return pasteboard_; }
    graphics::Point draggingLocation() const { return location_; }
    void setDraggingLocation(graphics::Point location) { location_ = location; }
    DragOperationMask draggingSourceOperationMask() const { return sourceOperationMask_; }
    std::shared_ptr<Object> draggingSource() const { return source_.lock(); }

    // The frames of the pasteboard's items in window coordinates, by item; an item without one is a
    // point at the dragging location.
    void setItemFrames(std::vector<graphics::Rect> frames) { itemFrames_ = std::move(frames); }

    // Calls the block with each pasteboard item that can be read as one of the classes (the first that
    // fits), in pasteboard order, its frame in the view's coordinates (the window's without a view),
    // and the item's index on the pasteboard. The block ends the enumeration by setting its stop flag.
    using EnumerationBlock = std::function<void(DraggingItem& item, std::size_t index, bool& stop)>;
    void enumerateDraggingItems(DraggingItemEnumerationOptions options, const View* view,
                                const std::vector<PasteboardReadingClass>& classes,
                                const PasteboardReadingOptions& searchOptions,
                                const EnumerationBlock& block) const;

private:
    std::shared_ptr<Pasteboard> pasteboard_;
    graphics::Point location_;
    DragOperationMask sourceOperationMask_;
    std::weak_ptr<Object> source_;
    std::vector<graphics::Rect> itemFrames_;
};

} // namespace ui
