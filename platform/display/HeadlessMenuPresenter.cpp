#include "display/HeadlessMenuPresenter.hpp"

namespace display {

graphics::Point HeadlessMenuPresenter::convertToScreen(const ui::Window& window,
                                                       graphics::Point point) const {
    return {window.frame().minX() + point.x, window.frame().minY() + point.y};
}

std::shared_ptr<HeadlessBackend> HeadlessMenuPresenter::levelBackend(std::size_t level) const {
    auto window = levelWindow(level);
    return window ? std::dynamic_pointer_cast<HeadlessBackend>(window->backend()) : nullptr;
}

void HeadlessMenuPresenter::showLevel(ui::MenuTracking& tracking, std::size_t level) {
    const auto& entry = tracking.levels()[level];
    Shown shown{level, entry.menu->title(), {}, entry.frame};
    for (const auto& row : entry.layout.rows) {
        shown.rowTitles.push_back(row.item->isSeparatorItem() ? "-" : row.item->title());
    }
    history_.push_back(std::move(shown));
    WindowMenuPresenter::showLevel(tracking, level);
}

void HeadlessMenuPresenter::attachBackend(const std::shared_ptr<ui::Window>& window) {
    HeadlessBackend::attach(window, scale_, true);
}

} // namespace display
