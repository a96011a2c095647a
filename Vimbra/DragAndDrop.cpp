#include "Vimbra/DragAndDrop.hpp"

#include "ui/View.hpp"

namespace vimbra {

std::vector<ui::DraggingItem> draggingItems(const ui::DraggingInfo& info,
                                            ui::DraggingItemEnumerationOptions options,
                                            const std::shared_ptr<ui::View>& view,
                                            const std::vector<ui::PasteboardReadingClass>& classes) {
    std::vector<ui::DraggingItem> items;
    info.enumerateDraggingItems(
        options, view.get(), classes, {},
        [&items](ui::DraggingItem& item, std::size_t, bool&) { items.push_back(item); });
    return items;
}

} // namespace vimbra
