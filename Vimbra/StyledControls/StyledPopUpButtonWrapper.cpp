#include "Vimbra/StyledControls/StyledPopUpButtonWrapper.hpp"

namespace vimbra::detail {

void flattenMenu(const ui::Menu& menu, std::vector<std::shared_ptr<ui::MenuItem>>& into) {
    for (const auto& item : menu.items()) {
        into.push_back(item);
        if (auto submenu = item->submenu()) {
            flattenMenu(*submenu, into);
        }
    }
}

void showItem(StyledPopUpButton& button, const std::shared_ptr<ui::MenuItem>& item) {
    auto cell = button.popUpCell();
    auto menu = button.menu();
    if (item && item->menu() != menu) {
        // Selecting by title would pick the first top-level item of that title, or add one: the cell
        // shows the sub-menu's item itself instead.
        button.selectItem(nullptr);
        cell->setMenuItem(item);
        cell->setUsesItemFromMenu(false);
        button.setNeedsDisplay();
        return;
    }
    cell->setUsesItemFromMenu(true);
    cell->setMenuItem(nullptr);
    if (item) {
        button.selectItem(item);
    } else {
        button.selectItemAt(menu->numberOfItems() > 0 ? 0 : -1);
    }
}

} // namespace vimbra::detail
