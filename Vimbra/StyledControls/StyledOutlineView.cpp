#include "Vimbra/StyledControls/StyledOutlineView.hpp"

#include "Vimbra/Assets.hpp"
#include "Vimbra/StyledControls/CellControlState.hpp"
#include "ui/AnimationContext.hpp"
#include "ui/Button.hpp"
#include "ui/ScrollView.hpp"

namespace vimbra {

StyledOutlineView::StyledOutlineView(const graphics::Rect& frame) : OutlineView(frame) {}

StyledControlState StyledOutlineView::controlState() const {
    return tableControlState(isEnabled(), isHighlighted());
}

void StyledOutlineView::viewWillMoveToSuperview(const std::shared_ptr<ui::View>& newSuperview) {
    OutlineView::viewWillMoveToSuperview(newSuperview);
    const auto color = style()->backgroundColor;
    setBackgroundColor(color);
    if (auto scroll = enclosingScrollView()) {
        scroll->setBackgroundColor(color);
    }
}

std::shared_ptr<ui::View>
StyledOutlineView::makeViewWithIdentifier(const std::string& identifier,
                                          const std::shared_ptr<ui::Object>& owner) {
    auto view = OutlineView::makeViewWithIdentifier(identifier, owner);
    auto button = std::dynamic_pointer_cast<ui::Button>(view);
    if (identifier != disclosureButtonKey || !button) {
        return view;
    }
    if (auto cell = button->buttonCell()) {
        cell->setShowsStateBy(ui::CellStyleMask::contents);
    }
    button->setImage(vimbraImage("organiser-icon-disclose"));
    button->setAlternateImage(vimbraImage("organiser-icon-disclose-open"));
    button->setTag(disclosureButtonTag);
    return view;
}

std::shared_ptr<ui::Menu> StyledOutlineView::menuForEvent(const ui::Event& event) {
    const auto point = convertPointFromView(event.locationInWindow, nullptr);
    const auto item = itemAtRow(rowAtPoint(point));
    if (!item) {
        return nullptr;
    }
    auto delegate = std::dynamic_pointer_cast<StyledOutlineViewDelegate>(outlineDelegate());
    return delegate ? delegate->menuForItem(*this, item) : nullptr;
}

void StyledOutlineView::expandWithoutAnimation(const ui::OutlineItem& item) {
    if (isItemExpanded(item) || !isExpandable(item)) {
        return;
    }
    ui::AnimationContext::beginGrouping();
    ui::AnimationContext::current().setDuration(0);
    OutlineView::expandItem(item, false);
    ui::AnimationContext::endGrouping();
}

} // namespace vimbra
