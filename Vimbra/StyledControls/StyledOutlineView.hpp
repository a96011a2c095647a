#pragma once

// The library's outline view: its background from a fresh OutlineViewStyle, the library's disclosure
// images, the context menu of the clicked item from a delegate of its own protocol, and expansion
// without animation. Main thread only.

#include "Vimbra/Protocols.hpp"
#include "Vimbra/Style.hpp"
#include "ui/Menu.hpp"
#include "ui/OutlineView.hpp"

#include <memory>

namespace vimbra {

class StyledOutlineView;

// Supplies the context menu of an item. The outline's delegate answers it by also deriving from this.
class StyledOutlineViewDelegate {
public:
    virtual ~StyledOutlineViewDelegate() = default;
    virtual std::shared_ptr<ui::Menu> menuForItem(StyledOutlineView& outlineView,
                                                  const ui::OutlineItem& item) = 0;
};

class StyledOutlineView : public ui::OutlineView, public StyledControl, public StyledView<OutlineViewStyle> {
public:
    // The tag of the disclosure buttons.
    static constexpr std::int64_t disclosureButtonTag = 1000;

    explicit StyledOutlineView(const graphics::Rect& frame = {});

    // A new style with its defaults on every call; nothing is shared.
    static std::shared_ptr<OutlineViewStyle> classStyle() { return std::make_shared<OutlineViewStyle>(); }
    std::shared_ptr<OutlineViewStyle> style() const override { return classStyle(); }

    // Default, + disabled when not enabled, + highlighted whenever highlighted.
    StyledControlState controlState() const override;

    // Opens an expandable, collapsed item (its children stay collapsed) in an animation group of
    // duration 0; an open or a leaf item is left alone and no group is opened.
    virtual void expandWithoutAnimation(const ui::OutlineItem& item);

    // The view and the scroll view it leaves (if any) take the style's background colour.
    void viewWillMoveToSuperview(const std::shared_ptr<ui::View>& newSuperview) override;
    // Disclosure buttons show the library's images ("organiser-icon-disclose", and
    // "organiser-icon-disclose-open" while open) and carry the tag 1000.
    std::shared_ptr<ui::View> makeViewWithIdentifier(const std::string& identifier,
                                                     const std::shared_ptr<ui::Object>& owner) override;
    // The menu of the item under the pointer from a StyledOutlineViewDelegate; never the view's own
    // menu. The clicked row is not selected.
    std::shared_ptr<ui::Menu> menuForEvent(const ui::Event& event) override;
};

} // namespace vimbra
