#include "ui/DraggingInfo.hpp"

#include "ui/View.hpp"

namespace ui {

DraggingInfo::DraggingInfo(std::shared_ptr<Pasteboard> pasteboard, graphics::Point location,
                           DragOperationMask sourceOperationMask, std::weak_ptr<Object> source)
    : pasteboard_(pasteboard ? std::move(pasteboard) : std::make_shared<Pasteboard>()), location_(location),
      sourceOperationMask_(sourceOperationMask), source_(std::move(source)) {}

void DraggingInfo::enumerateDraggingItems(DraggingItemEnumerationOptions options, const View* view,
                                          const std::vector<PasteboardReadingClass>& classes,
                                          const PasteboardReadingOptions& searchOptions,
                                          const EnumerationBlock& block) const {
    (void)options;
    if (!block) {
        return;
    }
    const auto& items = pasteboard_->pasteboardItems();
    for (std::size_t index = 0; index < items.size(); ++index) {
        auto object = items[index]->read(classes, searchOptions);
        if (!object) {
            continue;
        }
        const graphics::Rect frame =
            index < itemFrames_.size() ? itemFrames_[index] : graphics::Rect(location_, graphics::Size());
        DraggingItem item{std::move(*object), view ? view->convertRectFromView(frame, nullptr) : frame};
        bool stop = false;
        block(item, index, stop);
        if (stop) {
            return;
        }
    }
}

} // namespace ui
