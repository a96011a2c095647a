#pragma once

// The library's declarative segmented control: a row of text segments on tab images, at most one of them
// selected. The items and the selection live in a model the caller keeps; a click on a segment selects
// it, a click on the selected one clears the selection, and the model tells its owner through
// onSelectionChanged. The model can hide the selection look without losing the selected item.

#include "core/Observation.hpp"
#include "declarative/Declarative.hpp"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vimbra {

// One segment. Two items are equal when their ids are.
class SornSegmentItem {
public:
    SornSegmentItem(int id, std::string title) : id_(id), title_(std::move(title)) {}
    virtual ~SornSegmentItem() = default;

    int id() const { return id_; }
    const std::string& title() const { return title_; }
    // Kept for the owner; the control does not read it.
    virtual bool isHidden() const { return isHidden_; }
    virtual void setHidden(bool hidden) { isHidden_ = hidden; }

    friend bool operator==(const SornSegmentItem& a, const SornSegmentItem& b) { return a.id_ == b.id_; }

private:
    const int id_;
    const std::string title_;
    bool isHidden_ = false;
};

using SornSegmentItemRef = std::shared_ptr<SornSegmentItem>;

// Items lists are the same when they have the same ids in the same order.
struct SameItemIds {
    static bool same(const std::vector<SornSegmentItemRef>& a, const std::vector<SornSegmentItemRef>& b);
};
// Selections are the same when both are empty or both hold items of the same id.
struct SameItemId {
    static bool same(const SornSegmentItemRef& a, const SornSegmentItemRef& b);
};

class SornSegmentedControlModel {
public:
    using SelectionCallback = std::function<void(const SornSegmentItemRef&)>;

    explicit SornSegmentedControlModel(std::vector<SornSegmentItemRef> items) : items(std::move(items)) {}
    virtual ~SornSegmentedControlModel() = default;
    SornSegmentedControlModel(const SornSegmentedControlModel&) = delete;
    SornSegmentedControlModel& operator=(const SornSegmentedControlModel&) = delete;

    // The segments, left to right.
    core::Observed<std::vector<SornSegmentItemRef>, SameItemIds> items;
    // While true no segment is drawn selected, though selectedItem stays.
    core::Observed<bool> hideSelection{false};
    core::Observed<SornSegmentItemRef, SameItemId> selectedItem;
    // Called after every click on a segment with the resulting selection (null after a deselection).
    core::Observed<SelectionCallback, core::NotifyAlways> onSelectionChanged;

    // Selects the first item with the id; nothing changes when none has it. No callback.
    virtual void selectItem(int id);
    // A click on the item's segment: selects it (showing the selection again), or, when it is the
    // selected one, shows a hidden selection or else clears it; then calls onSelectionChanged.
    virtual void select(const SornSegmentItemRef& item);
};

// A segment's look: the label in the system font of 12 points, medium, 16 points in from each side and 6
// from top and bottom, on the tab image of its state, stretched to the segment; "Grey 50%" text while
// pressed, else "Grey 85%" when selected, else "Grey 70%".
struct SegmentedButtonStyle {
    bool isSelected = false;
    declarative::View makeBody(const declarative::ButtonConfiguration& configuration) const;
};

// The row of segments, one button per item, identified by the item's id, with no space between them.
struct SornSegmentedControl {
    std::shared_ptr<SornSegmentedControlModel> model;
    declarative::View body(declarative::Context& context) const;
};

} // namespace vimbra
