#pragma once

// Reading a drag: its items as dragging items, or the dragged objects of one class. Main thread only.

#include "ui/DraggingInfo.hpp"

#include <memory>
#include <utility>
#include <variant>
#include <vector>

namespace ui {
class View;
}

namespace vimbra {

// Every item of the drag that can be read as one of the classes, in the drag's order, with its frame
// in the view's coordinates (the window's without a view).
std::vector<ui::DraggingItem> draggingItems(const ui::DraggingInfo& info,
                                            ui::DraggingItemEnumerationOptions options,
                                            const std::shared_ptr<ui::View>& view,
                                            const std::vector<ui::PasteboardReadingClass>& classes);

// The drag's items read as the class, those that are a T: std::string for text, core::URL for URLs.
template <class T>
std::vector<T> draggedObjects(const ui::DraggingInfo& info, ui::PasteboardReadingClass ofClass,
                              ui::DraggingItemEnumerationOptions options = 0,
                              const std::shared_ptr<ui::View>& view = nullptr) {
    std::vector<T> objects;
    for (auto& item : draggingItems(info, options, view, {ofClass})) {
        if (auto* object = std::get_if<T>(&item.item)) {
            objects.push_back(std::move(*object));
        }
    }
    return objects;
}

} // namespace vimbra
