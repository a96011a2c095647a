#include "Vimbra/FieldsAndComponents/SornSegmentedControl.hpp"

#include "Vimbra/Assets.hpp"
#include "core/Log.hpp"
#include "core/MainQueue.hpp"

#include <algorithm>

namespace vimbra {

using declarative::ButtonConfiguration;
using declarative::View;

namespace {

void requireMainThread(const char* what) {
    if (!core::isMainThread()) {
        core::fatal(what);
    }
}

// The segment's text colours and tab images, looked up once.
const graphics::ColorRef& segmentTextColor(bool pressed, bool selected) {
    static const graphics::ColorRef pressedColor = vimbraColor("Grey 50%");
    static const graphics::ColorRef selectedColor = vimbraColor("Grey 85%");
    static const graphics::ColorRef restingColor = vimbraColor("Grey 70%");
    return pressed ? pressedColor : selected ? selectedColor : restingColor;
}

const graphics::ImageRef& segmentTab(bool pressed, bool selected) {
    static const graphics::ImageRef down = vimbraImage("qel-window-tab-down");
    static const graphics::ImageRef selectedTab = vimbraImage("qel-window-tab-selected");
    static const graphics::ImageRef resting = vimbraImage("qel-window-tab");
    return pressed ? down : selected ? selectedTab : resting;
}

} // namespace

bool SameItemIds::same(const std::vector<SornSegmentItemRef>& a, const std::vector<SornSegmentItemRef>& b) {
    return std::equal(
        a.begin(), a.end(), b.begin(), b.end(),
        [](const SornSegmentItemRef& x, const SornSegmentItemRef& y) { return SameItemId::same(x, y); });
}

bool SameItemId::same(const SornSegmentItemRef& a, const SornSegmentItemRef& b) {
    if (!a || !b) {
        return !a && !b;
    }
    return *a == *b;
}

void SornSegmentedControlModel::selectItem(int id) {
    const auto& all = items.peek();
    const auto found =
        std::find_if(all.begin(), all.end(), [id](const auto& item) { return item && item->id() == id; });
    if (found != all.end()) {
        selectedItem.set(*found);
    }
}

void SornSegmentedControlModel::select(const SornSegmentItemRef& item) {
    const auto& current = selectedItem.peek();
    if (!current || !item || current->id() != item->id()) {
        if (hideSelection.peek()) {
            hideSelection.set(false);
        }
        selectedItem.set(item);
    } else if (hideSelection.peek()) {
        hideSelection.set(false);
    } else {
        selectedItem.set(nullptr);
    }
    // A copy: the callback may replace itself.
    if (const auto callback = onSelectionChanged.peek()) {
        callback(selectedItem.peek());
    }
}

View SegmentedButtonStyle::makeBody(const ButtonConfiguration& configuration) const {
    static const graphics::FontRef font = graphics::Font::systemFont(12, graphics::FontWeight::medium);
    const auto& tab = segmentTab(configuration.isPressed, isSelected);
    View background =
        tab ? View(declarative::Image(tab).resizable(tab->capInsets(), tab->resizingMode())) : View();
    return configuration.label.font(font)
        .padding(graphics::EdgeInsets{0, 16, 0, 16})
        .padding(graphics::EdgeInsets{6, 0, 6, 0})
        .foregroundColor(segmentTextColor(configuration.isPressed, isSelected))
        .background(background);
}

View SornSegmentedControl::body(declarative::Context&) const {
    requireMainThread("SornSegmentedControl: bodies are evaluated on the main thread only");
    if (!model) {
        return View();
    }
    const bool hidden = model->hideSelection.get();
    const auto selected = model->selectedItem.get();
    const auto& items = model->items.get();
    const auto segment = [model = model, hidden, selected](const SornSegmentItemRef& item) {
        const bool isSelected = !hidden && selected && item && selected->id() == item->id();
        auto action = [weak = std::weak_ptr(model), item] {
            requireMainThread("SornSegmentedControl: segments act on the main thread only");
            if (auto owner = weak.lock()) {
                owner->select(item);
            }
        };
        return declarative::Button(std::move(action), declarative::Text(item ? item->title() : std::string()))
            .buttonStyle([isSelected](const ButtonConfiguration& configuration) {
                return SegmentedButtonStyle{isSelected}.makeBody(configuration);
            });
    };
    return declarative::HStack(
        {.alignment = declarative::VerticalAlignment::center, .spacing = 0},
        {declarative::ForEach(
            items, [](const SornSegmentItemRef& item) { return std::int64_t{item ? item->id() : 0}; },
            segment)});
}

} // namespace vimbra
