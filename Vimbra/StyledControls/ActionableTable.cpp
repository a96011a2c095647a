#include "Vimbra/StyledControls/ActionableTable.hpp"

#include "Vimbra/LibraryStatics.hpp"
#include "core/NotificationCenter.hpp"

#include <algorithm>

namespace vimbra {

using graphics::Rect;

namespace {

constexpr const char* frameDidChange = "NSViewFrameDidChangeNotification";
constexpr const char* boundsDidChange = "NSViewBoundsDidChangeNotification";

} // namespace

// MARK: - Header

std::shared_ptr<ActionableTableHeaderView> ActionableTableHeaderView::make(const Rect& frame) {
    auto header = std::make_shared<ActionableTableHeaderView>(MakeToken(), frame);
    header->setupButtons();
    return header;
}

ActionableTableHeaderView::ActionableTableHeaderView(MakeToken, const Rect& frame)
    : StyledTableHeaderView(frame), addItemButton_(LibraryDefaults::addHeaderButton()),
      optionButton_(LibraryDefaults::overflowHeaderButton()) {}

void ActionableTableHeaderView::hideAddItemButton() {
    addItemButton_->setHidden(true);
}

void ActionableTableHeaderView::hideOptionButton() {
    optionButton_->setHidden(true);
}

void ActionableTableHeaderView::setupButtons() {
    for (const auto& button : {addItemButton_, optionButton_}) {
        addSubview(button);
        button->sizeToFit();
        for (auto orientation :
             {ui::LayoutConstraintOrientation::horizontal, ui::LayoutConstraintOrientation::vertical}) {
            button->setContentCompressionResistancePriority(ui::layoutPriorityRequired, orientation);
            button->setContentHuggingPriority(ui::layoutPriorityRequired, orientation);
        }
    }
    observeClipViewChanges();
}

std::shared_ptr<ui::ClipView> ActionableTableHeaderView::tableClipView() const {
    auto table = tableView();
    auto scroll = table ? table->enclosingScrollView() : nullptr;
    return scroll ? scroll->contentView() : nullptr;
}

void ActionableTableHeaderView::observeClipViewChanges() {
    cancellables_.clear();
    auto& center = core::NotificationCenter::defaultCenter();
    const std::weak_ptr<ActionableTableHeaderView> weak = sharedAs<ActionableTableHeaderView>();
    cancellables_.push_back(center.publisher(frameDidChange)
                                .merge(center.publisher(boundsDidChange))
                                .filter([weak](const core::Notification& notification) {
                                    const auto self = weak.lock();
                                    const auto clip = self ? self->tableClipView() : nullptr;
                                    return clip && notification.object == clip.get();
                                })
                                .receiveOnMain()
                                .sink([weak](const core::Notification&) {
                                    if (const auto self = weak.lock()) {
                                        self->setNeedsLayout(true);
                                    }
                                }));
}

double ActionableTableHeaderView::visibleTrailingOffset() const {
    const auto clip = tableClipView();
    if (!clip) {
        return 0;
    }
    const double d = bounds().width() - clip->bounds().maxX();
    return d >= 0 ? -d : 0;
}

Rect ActionableTableHeaderView::optionButtonFrame() {
    optionButton_->sizeToFit();
    const Rect b = optionButton_->isHidden() ? Rect::zero() : optionButton_->bounds();
    return Rect(visibleTrailingOffset() + bounds().maxX() - b.width() - 2,
                bounds().midY() - optionButton_->bounds().midY(), b.width(), b.height());
}

Rect ActionableTableHeaderView::addItemButtonFrame() {
    addItemButton_->sizeToFit();
    const Rect option = optionButtonFrame();
    const Rect b = addItemButton_->isHidden() ? Rect::zero() : addItemButton_->bounds();
    return Rect(option.minX() - b.width(), bounds().midY() - addItemButton_->bounds().midY(), b.width(),
                b.height());
}

void ActionableTableHeaderView::watchTableClipView() {
    if (auto clip = tableClipView()) {
        clip->setPostsBoundsChangedNotifications(true);
        clip->setPostsFrameChangedNotifications(true);
    }
}

void ActionableTableHeaderView::setTableView(const std::shared_ptr<ui::TableView>& tableView) {
    StyledTableHeaderView::setTableView(tableView);
    watchTableClipView();
}

void ActionableTableHeaderView::viewDidMoveToSuperview() {
    StyledTableHeaderView::viewDidMoveToSuperview();
    watchTableClipView();
}

void ActionableTableHeaderView::layout() {
    StyledTableHeaderView::layout();
    const Rect option = optionButtonFrame();
    if (option != optionButton_->frame()) {
        optionButton_->setFrame(option);
    }
    const Rect add = addItemButtonFrame();
    if (add != addItemButton_->frame()) {
        addItemButton_->setFrame(add);
    }
}

// MARK: - Keyboard action table

KeyboardActionTableView::KeyboardActionTableView(const Rect& frame)
    : TableView(frame), keyboardActionTriggers_(LibraryDefaults::keyboardActionTriggers()) {}

void KeyboardActionTableView::keyUp(const ui::Event& event) {
    TableView::keyUp(event);
    const auto key = event.specialKey();
    if (!key) {
        return;
    }
    const auto& triggers = keyboardActionTriggers_;
    if (std::find(triggers.begin(), triggers.end(), *key) == triggers.end()) {
        return;
    }
    if (const auto action = keyboardAction()) {
        sendAction(*action, target());
    }
}

} // namespace vimbra
