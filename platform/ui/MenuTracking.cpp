#include "ui/MenuTracking.hpp"

#include "graphics/AttributedString.hpp"
#include "ui/Application.hpp"
#include "ui/Window.hpp"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>

namespace ui {

using graphics::Point;
using graphics::Rect;
using graphics::Size;

namespace {

constexpr ModifierFlags alternateModifiers =
    Modifier::shift | Modifier::control | Modifier::option | Modifier::command;

double textWidth(const std::string& text, const graphics::FontRef& font) {
    if (text.empty()) {
        return 0;
    }
    graphics::TextAttributes attributes;
    attributes.font = font;
    return std::ceil(graphics::AttributedString(text, attributes).size().width);
}

// Lower-case ASCII; other bytes as they are (type-select compares UTF-8 prefixes).
std::string folded(const std::string& text) {
    std::string out = text;
    for (auto& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

class DetachedPresenter final : public MenuPresenter {
public:
    Rect screenFrame() const override { return Rect(-1e6, -1e6, 2e6, 2e6); }
    Point convertToScreen(const Window& window, Point point) const override {
        return {window.frame().minX() + point.x, window.frame().minY() + point.y};
    }
    void showLevel(MenuTracking&, std::size_t) override {}
    void updateLevel(MenuTracking&, std::size_t) override {}
    void hideLevel(MenuTracking&, std::size_t) override {}
};

} // namespace

std::shared_ptr<MenuPresenter> detachedMenuPresenter() {
    return std::make_shared<DetachedPresenter>();
}

bool alternateIsShown(const MenuItem& alternate, const MenuItem& item, ModifierFlags modifierFlags) {
    const ModifierFlags added =
        alternate.keyEquivalentModifierMask() & ~item.keyEquivalentModifierMask() & alternateModifiers;
    return added != 0 && (modifierFlags & added) == added;
}

std::string keyEquivalentText(const MenuItem& item) {
    const std::string& key = item.keyEquivalent();
    if (key.empty()) {
        return {};
    }
    const ModifierFlags mask = item.keyEquivalentModifierMask();
    std::string text;
    if (mask & Modifier::control) {
        text += "\u2303";
    }
    if (mask & Modifier::option) {
        text += "\u2325";
    }
    const bool upper = key.size() == 1 && std::isupper(static_cast<unsigned char>(key[0]));
    if ((mask & Modifier::shift) || upper) {
        text += "\u21e7";
    }
    if (mask & Modifier::command) {
        text += "\u2318";
    }
    if (key.size() == 1) {
        text += static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
    } else {
        text += key;
    }
    return text;
}

MenuLayout MenuLayout::make(const Menu& menu, ModifierFlags modifierFlags) {
    MenuLayout layout;
    const auto& items = menu.items();
    const auto font = menu.font();
    double titleWidth = 0;
    double keyWidth = 0;
    bool anyImage = false;
    bool anySubmenu = false;
    double y = MenuMetrics::verticalPadding;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto& item = items[i];
        if (item->isHidden()) {
            continue;
        }
        // An item and the alternates that follow it share one row; the shown one is the alternate with
        // the largest mask that is held, else the item itself.
        auto shown = item;
        std::size_t last = i;
        int shownBits = 0;
        while (last + 1 < items.size() && items[last + 1]->isAlternate() && !items[last + 1]->isHidden()) {
            ++last;
            const auto& alternate = items[last];
            const int bits = std::popcount(alternate->keyEquivalentModifierMask() &
                                           ~item->keyEquivalentModifierMask() & alternateModifiers);
            if (alternateIsShown(*alternate, *item, modifierFlags) && bits > shownBits) {
                shown = alternate;
                shownBits = bits;
            }
        }
        i = last;
        const double height =
            shown->isSeparatorItem() ? MenuMetrics::separatorHeight : MenuMetrics::rowHeight;
        layout.rows.push_back({shown, Rect(0, y, 0, height)});
        y += height;
        if (!shown->isSeparatorItem()) {
            titleWidth = std::max(titleWidth, textWidth(shown->title(), font));
            keyWidth = std::max(keyWidth, textWidth(keyEquivalentText(*shown), font));
            anyImage = anyImage || shown->image();
            anySubmenu = anySubmenu || shown->hasSubmenu();
        }
    }
    y += MenuMetrics::verticalPadding;
    double width = (menu.showsStateColumn() ? MenuMetrics::stateColumnWidth : MenuMetrics::leadingPadding) +
                   (anyImage ? MenuMetrics::imageSize + MenuMetrics::imageGap : 0) + titleWidth +
                   (keyWidth > 0 ? MenuMetrics::keyEquivalentGap + keyWidth : 0) +
                   (anySubmenu ? MenuMetrics::submenuArrowWidth : 0) + MenuMetrics::trailingPadding;
    width = std::ceil(std::max(width, menu.minimumWidth()));
    for (auto& row : layout.rows) {
        row.frame.size.width = width;
    }
    layout.size = {width, layout.rows.empty() ? 0 : y};
    return layout;
}

int MenuLayout::rowAt(Point point) const {
    if (point.x < 0 || point.x >= size.width) {
        return -1;
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (point.y >= rows[i].frame.minY() && point.y < rows[i].frame.maxY()) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int MenuLayout::rowOf(const MenuItem& item) const {
    auto menu = item.menu();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].item.get() == &item) {
            return static_cast<int>(i);
        }
    }
    // An alternate not shown right now: the row of its group.
    if (menu) {
        for (auto index = menu->indexOfItem(item); index > 0 && menu->itemAt(index)->isAlternate(); --index) {
            auto base = menu->itemAt(index - 1);
            for (std::size_t i = 0; i < rows.size(); ++i) {
                if (rows[i].item == base) {
                    return static_cast<int>(i);
                }
            }
        }
    }
    return -1;
}

// ---------------------------------------------------------------------------------------------------

std::shared_ptr<MenuTracking> MenuTracking::begin(const std::shared_ptr<Menu>& menu,
                                                  const std::shared_ptr<MenuItem>& positioningItem,
                                                  Point location, std::shared_ptr<MenuPresenter> presenter,
                                                  Completion completion, const Event* openingEvent,
                                                  std::shared_ptr<Window> owner) {
    if (!menu || !presenter) {
        return nullptr;
    }
    auto app = Application::shared();
    if (!owner && openingEvent) {
        owner = openingEvent->window.lock();
    }
    if (owner && owner->isClosed()) {
        return nullptr;
    }
    if (auto previous = owner ? owner->menuTracking() : app->windowlessMenuTracking()) {
        previous->cancel();
    }
    auto tracking = std::shared_ptr<MenuTracking>(new MenuTracking());
    tracking->owner_ = owner;
    tracking->hasOwner_ = owner != nullptr;
    tracking->presenter_ = std::move(presenter);
    tracking->completion_ = std::move(completion);
    tracking->modifierFlags_ = openingEvent ? openingEvent->modifierFlags : app->currentModifierFlags();
    menu->update();
    // The positioning item's row lands on the location.
    Point topLeft = location;
    if (positioningItem) {
        const MenuLayout layout = MenuLayout::make(*menu, tracking->modifierFlags_);
        if (const int row = layout.rowOf(*positioningItem); row >= 0) {
            topLeft.y += layout.rows[static_cast<std::size_t>(row)].frame.minY();
        }
    }
    tracking->active_ = true;
    tracking->store(true);
    tracking->presenter_->beginTracking(*tracking);
    if (!tracking->open(menu, topLeft, 0)) {
        tracking->active_ = false;
        tracking->store(false);
        tracking->presenter_->endTracking(*tracking);
        return nullptr;
    }
    if (positioningItem) {
        const int row = tracking->levels_[0].layout.rowOf(*positioningItem);
        if (tracking->rowIsChoosable(0, row)) {
            tracking->setHighlight(0, row);
        }
    }
    if (openingEvent) {
        tracking->awaitingOpeningRelease_ = true;
        if (auto window = openingEvent->window.lock()) {
            tracking->openingPoint_ =
                tracking->presenter_->convertToScreen(*window, openingEvent->locationInWindow);
        } else {
            tracking->openingPoint_ = openingEvent->locationInWindow;
        }
    }
    return tracking;
}

bool MenuTracking::open(const std::shared_ptr<Menu>& menu, Point topLeft, std::size_t level) {
    if (level > 0) {
        menu->update();
    }
    Level entry;
    entry.menu = menu;
    entry.layout = MenuLayout::make(*menu, modifierFlags_);
    if (entry.layout.rows.empty()) {
        return false;
    }
    const Size size = entry.layout.size;
    // Kept on the screen: pushed up above the bottom edge, left of the right edge.
    const Rect screen = presenter_->screenFrame();
    Rect frame(topLeft.x, topLeft.y - size.height, size.width, size.height);
    if (frame.minY() < screen.minY()) {
        frame.origin.y = screen.minY();
    }
    if (frame.maxY() > screen.maxY()) {
        frame.origin.y = screen.maxY() - size.height;
    }
    if (frame.maxX() > screen.maxX()) {
        frame.origin.x = level > 0
                             ? levels_[level - 1].frame.minX() - size.width + MenuMetrics::submenuOverlap
                             : screen.maxX() - size.width;
    }
    if (frame.minX() < screen.minX()) {
        frame.origin.x = screen.minX();
    }
    entry.frame = frame;
    levels_.resize(level);
    levels_.push_back(std::move(entry));
    if (auto d = menu->delegate()) {
        d->menuWillOpen(menu);
    }
    presenter_->showLevel(*this, level);
    return true;
}

std::shared_ptr<MenuItem> MenuTracking::highlightedItem(std::size_t level) const {
    if (level >= levels_.size()) {
        return nullptr;
    }
    const Level& l = levels_[level];
    if (l.highlighted < 0 || static_cast<std::size_t>(l.highlighted) >= l.layout.rows.size()) {
        return nullptr;
    }
    return l.layout.rows[static_cast<std::size_t>(l.highlighted)].item;
}

std::shared_ptr<MenuItem> MenuTracking::highlightedItem() const {
    for (std::size_t i = levels_.size(); i-- > 0;) {
        if (auto item = highlightedItem(i)) {
            return item;
        }
    }
    return nullptr;
}

bool MenuTracking::rowIsChoosable(std::size_t level, int row) const {
    if (level >= levels_.size() || row < 0 ||
        static_cast<std::size_t>(row) >= levels_[level].layout.rows.size()) {
        return false;
    }
    const auto& item = levels_[level].layout.rows[static_cast<std::size_t>(row)].item;
    return item->isSelectable() && item->isEnabled();
}

void MenuTracking::closeLevelsAbove(std::size_t level) {
    while (levels_.size() > level + 1) {
        const std::size_t last = levels_.size() - 1;
        auto menu = levels_[last].menu;
        presenter_->hideLevel(*this, last);
        levels_.pop_back();
        if (auto d = menu->delegate()) {
            d->menuDidClose(menu);
        }
    }
}

void MenuTracking::setHighlight(std::size_t level, int row) {
    if (level >= levels_.size()) {
        return;
    }
    if (!rowIsChoosable(level, row)) {
        row = -1;
    }
    if (levels_[level].highlighted != row) {
        levels_[level].highlighted = row;
        presenter_->updateLevel(*this, level);
    }
}

void MenuTracking::openSubmenu(std::size_t level, int row, bool highlightFirst) {
    if (!rowIsChoosable(level, row)) {
        return;
    }
    const auto& parent = levels_[level];
    const auto& item = parent.layout.rows[static_cast<std::size_t>(row)].item;
    auto submenu = item->submenu();
    if (!submenu) {
        return;
    }
    if (levels_.size() > level + 1 && levels_[level + 1].menu == submenu) {
        closeLevelsAbove(level + 1);
    } else {
        closeLevelsAbove(level);
        const Rect rowFrame = parent.layout.rows[static_cast<std::size_t>(row)].frame;
        const Point topLeft(parent.frame.maxX() - MenuMetrics::submenuOverlap,
                            parent.frame.maxY() - rowFrame.minY() + MenuMetrics::verticalPadding);
        if (!open(submenu, topLeft, level + 1)) {
            return;
        }
    }
    if (highlightFirst) {
        auto& child = levels_[level + 1];
        for (std::size_t i = 0; i < child.layout.rows.size(); ++i) {
            if (rowIsChoosable(level + 1, static_cast<int>(i))) {
                setHighlight(level + 1, static_cast<int>(i));
                break;
            }
        }
    }
}

std::pair<int, int> MenuTracking::locate(Point p) const {
    for (std::size_t i = levels_.size(); i-- > 0;) {
        const Rect& f = levels_[i].frame;
        if (f.contains(p)) {
            // Level coordinates are flipped: y down from the top edge.
            const Point local(p.x - f.minX(), f.maxY() - p.y);
            return {static_cast<int>(i), levels_[i].layout.rowAt(local)};
        }
    }
    return {-1, -1};
}

void MenuTracking::handleEvent(const Event& event) {
    Point screen = event.locationInWindow;
    if (auto window = event.window.lock()) {
        screen = presenter_->convertToScreen(*window, event.locationInWindow);
    }
    handleEvent(event, screen);
}

void MenuTracking::handleEvent(const Event& event, Point screen) {
    if (!active_) {
        return;
    }
    auto self = shared_from_this(); // a chosen action may drop the last reference
    if (event.isMouseEvent() &&
        (event.modifierFlags & alternateModifiers) != (modifierFlags_ & alternateModifiers)) {
        modifiersChanged(event.modifierFlags);
    }
    switch (event.type) {
    case EventType::mouseMoved:
        mouseMoved(screen, false);
        break;
    case EventType::leftMouseDragged:
    case EventType::rightMouseDragged:
    case EventType::otherMouseDragged:
        mouseMoved(screen, true);
        break;
    case EventType::leftMouseDown:
    case EventType::rightMouseDown:
    case EventType::otherMouseDown:
        mouseDown(screen);
        break;
    case EventType::leftMouseUp:
    case EventType::rightMouseUp:
    case EventType::otherMouseUp:
        mouseUp(screen);
        break;
    case EventType::keyDown:
        keyDown(event);
        break;
    case EventType::flagsChanged:
        modifiersChanged(event.modifierFlags);
        break;
    default:
        break;
    }
}

void MenuTracking::mouseMoved(Point location, bool buttonDown) {
    if (buttonDown && awaitingOpeningRelease_ &&
        (std::fabs(location.x - openingPoint_.x) > MenuMetrics::clickSlop ||
         std::fabs(location.y - openingPoint_.y) > MenuMetrics::clickSlop)) {
        dragged_ = true;
    }
    const auto [level, row] = locate(location);
    if (level < 0) {
        // Outside: the deepest level loses its highlight unless it leads to an open submenu.
        const std::size_t deepest = levels_.size() - 1;
        setHighlight(deepest, -1);
        return;
    }
    const auto l = static_cast<std::size_t>(level);
    if (levels_[l].highlighted != row || !rowIsChoosable(l, row)) {
        closeLevelsAbove(l);
    }
    setHighlight(l, row);
    if (rowIsChoosable(l, row) && levels_[l].layout.rows[static_cast<std::size_t>(row)].item->hasSubmenu()) {
        openSubmenu(l, row, false);
    }
}

void MenuTracking::mouseDown(Point location) {
    const auto [level, row] = locate(location);
    (void)row;
    if (level < 0) {
        cancel(); // a click outside dismisses the menu and is used up
        return;
    }
    awaitingOpeningRelease_ = false;
    mouseMoved(location, false);
}

void MenuTracking::mouseUp(Point location) {
    const bool openingRelease = awaitingOpeningRelease_;
    awaitingOpeningRelease_ = false;
    if (openingRelease && !dragged_) {
        return; // a click opened the menu: it stays open for a second click
    }
    const auto [level, row] = locate(location);
    if (level < 0) {
        if (openingRelease) {
            cancel(); // released outside after dragging
        }
        return;
    }
    const auto l = static_cast<std::size_t>(level);
    if (!rowIsChoosable(l, row)) {
        return;
    }
    const auto& item = levels_[l].layout.rows[static_cast<std::size_t>(row)].item;
    if (!item->hasSubmenu()) {
        choose(item);
    }
}

void MenuTracking::moveHighlight(int direction) {
    const std::size_t level = levels_.size() - 1;
    const auto& rows = levels_[level].layout.rows;
    const int count = static_cast<int>(rows.size());
    int row = levels_[level].highlighted;
    if (row < 0) {
        row = direction > 0 ? -1 : count;
    }
    for (int r = row + direction; r >= 0 && r < count; r += direction) {
        if (rowIsChoosable(level, r)) {
            setHighlight(level, r);
            return;
        }
    }
}

void MenuTracking::typeSelect(const Event& event) {
    if (event.timestamp - lastTypeTime_ > MenuMetrics::typeSelectTimeout || event.timestamp < lastTypeTime_) {
        typeSelectBuffer_.clear();
    }
    lastTypeTime_ = event.timestamp;
    typeSelectBuffer_ += folded(event.characters);
    const std::size_t level = levels_.size() - 1;
    const auto& rows = levels_[level].layout.rows;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rowIsChoosable(level, static_cast<int>(i)) &&
            folded(rows[i].item->title()).starts_with(typeSelectBuffer_)) {
            setHighlight(level, static_cast<int>(i));
            return;
        }
    }
}

void MenuTracking::keyDown(const Event& event) {
    const std::size_t level = levels_.size() - 1;
    const auto special = event.specialKey();
    if (!special) {
        if (!event.characters.empty() && !(event.modifierFlags & (Modifier::command | Modifier::control))) {
            typeSelect(event);
        }
        return;
    }
    switch (*special) {
    case SpecialKey::escape:
        cancel();
        break;
    case SpecialKey::downArrow:
        moveHighlight(1);
        break;
    case SpecialKey::upArrow:
        moveHighlight(-1);
        break;
    case SpecialKey::rightArrow:
        if (auto item = highlightedItem(level); item && item->hasSubmenu()) {
            openSubmenu(level, levels_[level].highlighted, true);
        }
        break;
    case SpecialKey::leftArrow:
        if (level > 0) {
            closeLevelsAbove(level - 1);
        }
        break;
    case SpecialKey::carriageReturn:
    case SpecialKey::enter:
        if (auto item = highlightedItem(level)) {
            if (item->hasSubmenu()) {
                openSubmenu(level, levels_[level].highlighted, true);
            } else {
                choose(item);
            }
        }
        break;
    default:
        break;
    }
}

void MenuTracking::modifiersChanged(ModifierFlags flags) {
    const bool changed = (flags & alternateModifiers) != (modifierFlags_ & alternateModifiers);
    modifierFlags_ = flags;
    if (!changed) {
        return;
    }
    // Rows keep their places: an alternate takes the row of the item it stands in for.
    for (std::size_t i = 0; i < levels_.size(); ++i) {
        Level& level = levels_[i];
        MenuLayout layout = MenuLayout::make(*level.menu, modifierFlags_);
        const Point topLeft(level.frame.minX(), level.frame.maxY());
        level.frame = Rect(topLeft.x, topLeft.y - layout.size.height, layout.size.width, layout.size.height);
        level.layout = std::move(layout);
        if (!rowIsChoosable(i, level.highlighted)) {
            level.highlighted = -1;
        }
        presenter_->updateLevel(*this, i);
    }
}

void MenuTracking::choose(std::shared_ptr<MenuItem> item) {
    // Held by value: the item may live only in a row that closing the levels drops.
    if (!active_ || !item || !item->isSelectable() || !item->isEnabled()) {
        return;
    }
    finish(item);
}

void MenuTracking::cancel() {
    if (active_) {
        finish(nullptr);
    }
}

void MenuTracking::store(bool keep) {
    auto self = shared_from_this();
    if (hasOwner_) {
        auto owner = owner_.lock();
        if (owner && (keep || owner->menuTracking() == self)) {
            owner->setMenuTracking(keep ? self : nullptr);
        }
        return;
    }
    auto app = Application::shared();
    if (keep || app->windowlessMenuTracking() == self) {
        app->setWindowlessMenuTracking(keep ? self : nullptr);
    }
}

void MenuTracking::finish(std::shared_ptr<MenuItem> chosen) {
    auto self = shared_from_this();
    active_ = false;
    closeLevelsAbove(0);
    if (!levels_.empty()) {
        auto menu = levels_[0].menu;
        presenter_->hideLevel(*this, 0);
        if (auto d = menu->delegate()) {
            d->menuDidClose(menu);
        }
    }
    presenter_->endTracking(*this);
    store(false);
    auto completion = std::move(completion_);
    completion_ = nullptr;
    if (completion) {
        completion(chosen);
    }
}

} // namespace ui
