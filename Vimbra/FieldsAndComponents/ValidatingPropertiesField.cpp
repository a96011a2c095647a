#include "Vimbra/FieldsAndComponents/ValidatingPropertiesField.hpp"

#include "Vimbra/Assets.hpp"
#include "Vimbra/LibraryStatics.hpp"
#include "Vimbra/ViewExtensions.hpp"
#include "graphics/BezierPath.hpp"
#include "graphics/GraphicsContext.hpp"
#include "ui/LayoutConstraint.hpp"

namespace vimbra {

using graphics::Rect;

namespace {

const graphics::ImageRef& fieldImage() {
    static const auto image = vimbraImage("qel-textfield");
    return image;
}

const graphics::ImageRef& errorImage() {
    static const auto image = vimbraImage("qel-textfield-error");
    return image;
}

} // namespace

std::shared_ptr<ValidatingPropertiesField> ValidatingPropertiesField::make(graphics::ImageRef iconImage) {
    auto view = std::make_shared<ValidatingPropertiesField>(MakeToken(), std::move(iconImage));
    view->placeSubviews();
    view->configureTextField();
    if (view->icon_) {
        ClickableImageView::makeFirstResponderOnClick({{view->icon_, view->textField_}}, view->cancellables_);
    }
    return view;
}

ValidatingPropertiesField::ValidatingPropertiesField(MakeToken, graphics::ImageRef iconImage)
    : ui::View(Rect()), textField_(std::make_shared<FirstResponderAwareTextField>(Rect())),
      popoverController_(LibraryDefaults::propertiesFieldPopoverController()) {
    requireMainThread();
    if (iconImage) {
        icon_ = TrackingSlider::imageViewWithImage(std::move(iconImage));
        icon_->setContinuous(true);
    }
}

void ValidatingPropertiesField::placeSubviews() {
    if (!icon_) {
        addSubview(textField_);
        anchorToAllSidesOf(textField_, sharedAs<ui::View>());
        return;
    }
    addSubview(icon_);
    addSubview(textField_);
    icon_->setTranslatesAutoresizingMaskIntoConstraints(false);
    textField_->setTranslatesAutoresizingMaskIntoConstraints(false);
    ui::LayoutConstraint::activate({
        icon_->leadingAnchor().constraintEqualTo(leadingAnchor(), 3.0),
        icon_->centerYAnchor().constraintEqualTo(centerYAnchor()),
        icon_->widthAnchor().constraintEqualToConstant(14.0),
        icon_->heightAnchor().constraintEqualToConstant(24.0),
        textField_->leadingAnchor().constraintEqualTo(icon_->trailingAnchor(), 8.0),
        textField_->trailingAnchor().constraintEqualTo(trailingAnchor(), -3.0),
        textField_->centerYAnchor().constraintEqualTo(centerYAnchor()),
    });
}

void ValidatingPropertiesField::configureTextField() {
    textField_->setBordered(false);
    textField_->setBezeled(false);
    textField_->setDrawsBackground(false);
    textField_->setFocusRingType(ui::FocusRingType::none);
    textField_->setFont(graphics::Font::systemFont(10));
    textField_->setTextColor(vimbraColor(valid_ ? "Grey 85%" : "Error"));
    auto weak = std::weak_ptr<ValidatingPropertiesField>(sharedAs<ValidatingPropertiesField>());
    cancellables_.push_back(textField_->firstResponderPublisher().sink([weak](const auto& event) {
        if (auto view = weak.lock()) {
            view->setSelected(event.second);
            view->updateMessagePopover();
            view->setNeedsDisplay(true);
        }
    }));
}

void ValidatingPropertiesField::setValid(bool valid) {
    valid_ = valid;
    textField_->setTextColor(vimbraColor(valid ? "Grey 85%" : "Error"));
}

void ValidatingPropertiesField::setSelected(bool selected) {
    selected_ = selected;
    updateMessagePopover();
    setNeedsDisplay(true);
}

void ValidatingPropertiesField::updateMessagePopover() {
    requireMainThread();
    const auto& popover = popoverController_->popover();
    if (isFirstResponder(*textField_) && message_) {
        if (popover->isShown()) {
            popover->contentTextField()->setStringValue(*message_);
        } else {
            popoverController_->show(message_, sharedAs<ui::View>(), ui::RectEdge::maxY);
        }
    } else if (popover->isShown()) {
        popoverController_->close(sharedAs<ui::View>());
    }
}

Rect ValidatingPropertiesField::backgroundRect() const {
    return bounds().insetBy(-2.0, 0.0);
}

void ValidatingPropertiesField::drawRing(const graphics::ColorRef& stroke, const graphics::ColorRef& fill) {
    auto* context = graphics::GraphicsContext::current();
    if (!context) {
        return;
    }
    auto path = graphics::BezierPath::roundedRect(backgroundRect().insetBy(2.0, 2.0), 3.0, 3.0);
    path.setLineWidth(2.0);
    path.setLineCapStyle(graphics::LineCap::round);
    path.setLineJoinStyle(graphics::LineJoin::round);
    if (fill) {
        context->fillPath(path, fill, context->compositingOperation());
    }
    context->strokePath(path, stroke);
}

void ValidatingPropertiesField::draw(const Rect& dirtyRect) {
    const Rect r = backgroundRect();
    const auto drawImage = [&](const graphics::ImageRef& image) {
        if (image) {
            image->drawInRect(r, {}, graphics::CompositingOperation::sourceOver, 1.0, false);
        }
    };
    if (selected_) {
        const auto ring = vimbraColor(valid_ ? "Highlight/System" : "Error");
        drawImage(fieldImage());
        drawRing(ring, ring->withAlphaComponent(0.3));
    } else {
        drawImage(valid_ ? fieldImage() : errorImage());
    }
    ui::View::draw(dirtyRect);
}

void ValidatingPropertiesField::viewWillMoveToWindow(const std::shared_ptr<ui::Window>& newWindow) {
    ui::View::viewWillMoveToWindow(newWindow);
    if (newWindow != window() && popoverController_->popover()->isShown()) {
        popoverController_->close(sharedAs<ui::View>());
    }
}

} // namespace vimbra
