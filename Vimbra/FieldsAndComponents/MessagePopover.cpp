#include "Vimbra/FieldsAndComponents/MessagePopover.hpp"

#include "Vimbra/FieldsAndComponents/FirstResponderAwareTextField.hpp"
#include "Vimbra/ViewExtensions.hpp"
#include "ui/ViewController.hpp"

namespace vimbra {

SimpleTextViewPopover::SimpleTextViewPopover() : contentTextField_(std::make_shared<ui::TextField>()) {
    requireMainThread();
    const auto s = sharedStyle();
    if (s->appearanceName) {
        setAppearanceName(*s->appearanceName);
    }
    setAnimates(true);
    setBehavior(ui::PopoverBehavior::applicationDefined);
    setBackgroundColor(s->backgroundColor);

    contentTextField_->setFont(s->font);
    contentTextField_->setTextColor(s->textColor);
    contentTextField_->setBordered(false);
    contentTextField_->setBezeled(false);
    contentTextField_->setDrawsBackground(false);
    contentTextField_->setEditable(false);
    contentTextField_->setSelectable(false);
    contentTextField_->setFocusRingType(ui::FocusRingType::none);

    // The text sits inside the padding that the controller adds to its size.
    auto content = std::make_shared<ui::View>();
    content->addSubview(contentTextField_);
    anchorToAllSidesOf(contentTextField_, content,
                       {s->padding.height, s->padding.width, s->padding.height, s->padding.width});
    auto controller = std::make_shared<ui::ViewController>();
    controller->setView(content);
    setContentViewController(controller);
}

std::shared_ptr<PopoverStyle> SimpleTextViewPopover::sharedStyle() {
    static const auto shared = std::make_shared<PopoverStyle>();
    return shared;
}

void SimpleTextViewPopover::show(const graphics::Rect& rect, const std::shared_ptr<ui::View>& view,
                                 ui::RectEdge preferredEdge) {
    requireMainThread();
    currentPositioningView_ = view;
    ui::Popover::show(rect, view, preferredEdge);
}

void SimpleTextViewPopover::close() {
    requireMainThread();
    currentPositioningView_.reset();
    ui::Popover::close();
}

SimpleTextViewPopoverController::SimpleTextViewPopoverController()
    : popover_(std::make_shared<SimpleTextViewPopover>()) {}

SimpleTextViewPopoverController::~SimpleTextViewPopoverController() {
    popover_->close();
}

void SimpleTextViewPopoverController::show(const std::optional<std::string>& message,
                                           const std::shared_ptr<ui::View>& view, ui::RectEdge edge) {
    requireMainThread();
    popover_->contentTextField()->setStringValue(message.value_or(""));
    const auto size = popover_->contentTextField()->intrinsicContentSize();
    const auto padding = SimpleTextViewPopover::sharedStyle()->padding;
    popover_->setContentSize({size.width + 2 * padding.width, size.height + 2 * padding.height});
    popover_->setCurrentPositioningView(view);
    if (view) {
        popover_->show(view->bounds(), view, edge);
    }
}

void SimpleTextViewPopoverController::close(const std::shared_ptr<ui::Object>& sender) {
    popover_->performClose(sender);
}

} // namespace vimbra
