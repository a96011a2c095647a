#include "ui/Button.hpp"

#include "graphics/BezierPath.hpp"
#include "graphics/GraphicsContext.hpp"
#include "ui/View.hpp"

#include <algorithm>
#include <cmath>

namespace ui {

using graphics::Rect;
using graphics::Size;

namespace {

// Space between an image and the title beside it.
constexpr double imageTitleGap = 3;

// Height of a bordered button by control size (regular, small, mini, large, extra large).
double borderedHeight(ControlSize size) {
    switch (size) {
    case ControlSize::small:
        return 19;
    case ControlSize::mini:
        return 16;
    case ControlSize::large:
    case ControlSize::extraLarge:
        return 26;
    default:
        return 22;
    }
}

Size scaledImageSize(Size image, Size available, ImageScaling scaling) {
    if (image.width <= 0 || image.height <= 0) {
        return {};
    }
    switch (scaling) {
    case ImageScaling::axesIndependently:
        return available;
    case ImageScaling::none:
        return image;
    case ImageScaling::proportionallyDown:
        if (image.width <= available.width && image.height <= available.height) {
            return image;
        }
        [[fallthrough]];
    case ImageScaling::proportionallyUpOrDown: {
        const double factor =
            std::max(0.0, std::min(available.width / image.width, available.height / image.height));
        return {image.width * factor, image.height * factor};
    }
    }
    return image;
}

} // namespace

ButtonCell::ButtonCell(std::string title) : title_(std::move(title)) {
    setAlignment(graphics::TextAlignment::center);
}

ButtonCell::ButtonCell(graphics::ImageRef image) : ButtonCell(std::string{}) {
    image_ = std::move(image);
    imagePosition_ = ImagePosition::imageOnly;
}

void ButtonCell::setButtonType(ButtonType type) {
    buttonType_ = type;
    using namespace CellStyleMask;
    switch (type) {
    case ButtonType::momentaryLight:
        highlightsBy_ = changeGray | changeBackground;
        showsStateBy_ = 0;
        break;
    case ButtonType::pushOnPushOff:
        highlightsBy_ = pushIn | changeGray;
        showsStateBy_ = changeGray | changeBackground;
        break;
    case ButtonType::toggle:
        highlightsBy_ = pushIn | contents;
        showsStateBy_ = contents;
        break;
    case ButtonType::switchButton:
    case ButtonType::radio:
        highlightsBy_ = contents;
        showsStateBy_ = contents;
        break;
    case ButtonType::momentaryChange:
        highlightsBy_ = contents;
        showsStateBy_ = 0;
        break;
    case ButtonType::onOff:
        highlightsBy_ = changeGray | changeBackground;
        showsStateBy_ = changeGray | changeBackground;
        break;
    case ButtonType::momentaryPushIn:
    case ButtonType::accelerator:
    case ButtonType::multiLevelAccelerator:
        highlightsBy_ = pushIn | changeGray | changeBackground;
        showsStateBy_ = 0;
        break;
    }
    if (type == ButtonType::switchButton || type == ButtonType::radio) {
        imagePosition_ = ImagePosition::imageLeft;
    }
    setAllowsMixedState(false);
}

graphics::ImageRef ButtonCell::displayedImage() const {
    const bool byState = (showsStateBy_ & CellStyleMask::contents) && state() == StateValue::on;
    const bool byHighlight = (highlightsBy_ & CellStyleMask::contents) && isHighlighted();
    if (byState || byHighlight) {
        if (auto alternate = alternateImage()) {
            return alternate;
        }
    }
    return image();
}

std::string ButtonCell::displayedTitle() const {
    if ((showsStateBy_ & CellStyleMask::contents) && state() == StateValue::on && !alternateTitle_.empty()) {
        return alternateTitle_;
    }
    return title();
}

graphics::EdgeInsets ButtonCell::bezelMargins() const {
    if (!isBordered() && !isBezeled()) {
        return {};
    }
    if (bezelStyle_ == BezelStyle::rounded) {
        return {2, 8, 2, 8}; // top, left, bottom, right
    }
    return {2, 2, 2, 2};
}

Rect ButtonCell::drawingRectForBounds(const Rect& bounds) const {
    const auto m = bezelMargins();
    return Rect(bounds.minX() + m.left, bounds.minY() + m.top,
                std::max(0.0, bounds.width() - m.left - m.right),
                std::max(0.0, bounds.height() - m.top - m.bottom));
}

Rect ButtonCell::imageRectForBounds(const Rect& bounds) const {
    auto shown = displayedImage();
    const Rect d = drawingRectForBounds(bounds);
    if (!shown || imagePosition_ == ImagePosition::noImage) {
        return Rect(d.midX(), d.midY(), 0, 0);
    }
    const Size s = scaledImageSize(shown->size(), d.size, imageScaling_);
    const double centredX = d.minX() + std::round((d.width() - s.width) / 2);
    const double centredY = d.minY() + std::round((d.height() - s.height) / 2);
    switch (imagePosition_) {
    case ImagePosition::imageLeft:
    case ImagePosition::imageLeading:
        return Rect(d.minX(), centredY, s.width, s.height);
    case ImagePosition::imageRight:
    case ImagePosition::imageTrailing:
        return Rect(d.maxX() - s.width, centredY, s.width, s.height);
    case ImagePosition::imageAbove: // controls are flipped: above is towards minY
        return Rect(centredX, d.minY(), s.width, s.height);
    case ImagePosition::imageBelow:
        return Rect(centredX, d.maxY() - s.height, s.width, s.height);
    default:
        return Rect(centredX, centredY, s.width, s.height);
    }
}

Rect ButtonCell::titleRectForBounds(const Rect& bounds) const {
    Rect d = drawingRectForBounds(bounds);
    const double lineHeight = std::ceil(font()->lineHeight());
    if (displayedImage() && imagePosition_ != ImagePosition::noImage &&
        imagePosition_ != ImagePosition::imageOverlaps) {
        const Rect image = imageRectForBounds(bounds);
        switch (imagePosition_) {
        case ImagePosition::imageLeft:
        case ImagePosition::imageLeading:
            d = Rect(image.maxX() + imageTitleGap, d.minY(),
                     std::max(0.0, d.maxX() - image.maxX() - imageTitleGap), d.height());
            break;
        case ImagePosition::imageRight:
        case ImagePosition::imageTrailing:
            d.size.width = std::max(0.0, image.minX() - imageTitleGap - d.minX());
            break;
        case ImagePosition::imageAbove:
            return Rect(d.minX(), std::min(d.maxY(), image.maxY() + imageTitleGap), d.width(), lineHeight);
        case ImagePosition::imageBelow:
            return Rect(d.minX(), std::max(d.minY(), image.minY() - imageTitleGap - lineHeight), d.width(),
                        lineHeight);
        default:
            break;
        }
    }
    return Rect(d.minX(), std::round(d.midY() - lineHeight / 2), d.width(), lineHeight);
}

graphics::AttributedString ButtonCell::attributedTitle() const {
    graphics::TextAttributes attributes;
    attributes.font = font();
    attributes.foregroundColor =
        isEnabled() ? graphics::Color::controlTextColor() : graphics::Color::disabledControlTextColor();
    attributes.paragraphStyle.alignment = alignment();
    attributes.paragraphStyle.lineBreakMode = graphics::LineBreakMode::truncatingTail;
    return graphics::AttributedString(displayedTitle(), attributes);
}

Size ButtonCell::cellSize() const {
    Size text = attributedTitle().size();
    text = {std::ceil(text.width), std::ceil(text.height)};
    const bool hasTitle = !displayedTitle().empty() && imagePosition_ != ImagePosition::imageOnly;
    Size content = hasTitle ? text : Size{};
    if (auto shown = displayedImage(); shown && imagePosition_ != ImagePosition::noImage) {
        const Size s = shown->size();
        switch (imagePosition_) {
        case ImagePosition::imageAbove:
        case ImagePosition::imageBelow:
            content = {std::max(content.width, s.width),
                       content.height + s.height + (hasTitle ? imageTitleGap : 0)};
            break;
        case ImagePosition::imageOnly:
        case ImagePosition::imageOverlaps:
            content = {std::max(content.width, s.width), std::max(content.height, s.height)};
            break;
        default:
            content = {content.width + s.width + (hasTitle ? imageTitleGap : 0),
                       std::max(content.height, s.height)};
            break;
        }
    }
    if ((buttonType_ == ButtonType::switchButton || buttonType_ == ButtonType::radio) && !displayedImage() &&
        imagePosition_ != ImagePosition::noImage) {
        content = {content.width + 16, std::max(content.height, 14.0)}; // the drawn mark and its gap
    }
    const auto m = bezelMargins();
    Size size{content.width + m.left + m.right, content.height + m.top + m.bottom};
    if (isBordered() && bezelStyle_ == BezelStyle::rounded) {
        size.width += 12; // room on both sides of a push button's title
        size.height = std::max(size.height, borderedHeight(controlSize()));
    }
    return {std::ceil(size.width), std::ceil(size.height)};
}

void ButtonCell::drawWithFrame(const Rect& frame, View& controlView) {
    if (isBordered() || isBezeled()) {
        drawBezelWithFrame(frame, controlView);
    }
    drawInteriorWithFrame(frame, controlView);
}

void ButtonCell::drawBezelWithFrame(const Rect& frame, View&) {
    auto* context = graphics::GraphicsContext::current();
    if (!context) {
        return;
    }
    using namespace CellStyleMask;
    const bool pressed = isHighlighted() && (highlightsBy_ & (pushIn | changeGray | changeBackground));
    const bool on = state() == StateValue::on && (showsStateBy_ & (changeGray | changeBackground));
    graphics::ColorRef fill = pressed ? graphics::Color::white(0.52)
                              : on    ? graphics::Color::white(0.44)
                                      : graphics::Color::white(0.36);
    const Rect r = frame.insetBy(1.5, 1.5);
    const double radius = bezelStyle_ == BezelStyle::rounded ? 5 : 2;
    auto path = graphics::BezierPath::roundedRect(r, radius, radius);
    context->fillPath(path, isEnabled() ? fill : fill->withAlphaComponent(0.5),
                      graphics::CompositingOperation::sourceOver);
    path.setLineWidth(1);
    context->strokePath(path, graphics::Color::white(0.48));
}

void ButtonCell::drawInteriorWithFrame(const Rect& frame, View& controlView) {
    if (!graphics::GraphicsContext::current()) {
        return;
    }
    if (auto shown = displayedImage(); shown && imagePosition_ != ImagePosition::noImage) {
        drawImage(shown, imageRectForBounds(frame), controlView);
    } else if ((buttonType_ == ButtonType::switchButton || buttonType_ == ButtonType::radio) &&
               imagePosition_ != ImagePosition::noImage) {
        // A check box or radio button without images of its own draws a simple mark.
        auto* context = graphics::GraphicsContext::current();
        const Rect d = drawingRectForBounds(frame);
        const Rect box(d.minX() + 0.5, std::round(d.midY() - 6) + 0.5, 12, 12);
        auto outline = buttonType_ == ButtonType::radio ? graphics::BezierPath::oval(box)
                                                        : graphics::BezierPath::roundedRect(box, 2.5, 2.5);
        const double alpha = isEnabled() ? 1.0 : 0.5;
        context->fillPath(outline, graphics::Color::white(isHighlighted() ? 0.5 : 0.36, alpha),
                          graphics::CompositingOperation::sourceOver);
        outline.setLineWidth(1);
        context->strokePath(outline, graphics::Color::white(0.55, alpha));
        if (state() == StateValue::on) {
            context->fillPath(
                buttonType_ == ButtonType::radio ? graphics::BezierPath::oval(box.insetBy(3.5, 3.5))
                                                 : graphics::BezierPath::rect(box.insetBy(3, 3)),
                graphics::Color::controlTextColor(), graphics::CompositingOperation::sourceOver);
        } else if (state() == StateValue::mixed) {
            context->fillRect(Rect(box.minX() + 3, box.midY() - 1, box.width() - 6, 2),
                              graphics::Color::controlTextColor());
        }
    }
    const std::string title = displayedTitle();
    if (!title.empty() && imagePosition_ != ImagePosition::imageOnly) {
        Rect titleRect = titleRectForBounds(frame);
        if ((buttonType_ == ButtonType::switchButton || buttonType_ == ButtonType::radio) &&
            !displayedImage()) {
            titleRect.origin.x += 16;
            titleRect.size.width = std::max(0.0, titleRect.width() - 16);
        }
        drawTitle(attributedTitle(), titleRect, controlView);
    }
}

void ButtonCell::drawImage(const graphics::ImageRef& image, const Rect& frame, View&) {
    auto* context = graphics::GraphicsContext::current();
    if (!context || !image) {
        return;
    }
    image->drawInRect(frame, {}, graphics::CompositingOperation::sourceOver, isEnabled() ? 1.0 : 0.5, true);
}

Rect ButtonCell::drawTitle(const graphics::AttributedString& title, const Rect& frame, View&) {
    if (!graphics::GraphicsContext::current() || title.empty()) {
        return {};
    }
    const double height = std::min(frame.height(), std::ceil(title.boundingSize({frame.width(), 0}).height));
    const Rect drawn(frame.minX(), std::round(frame.midY() - height / 2), frame.width(), height);
    title.draw(drawn);
    return drawn;
}

// ---------------------------------------------------------------------------------------------------

Button::Button(const Rect& frame, std::shared_ptr<ButtonCell> cell)
    : Control(frame, cell ? std::move(cell) : std::make_shared<ButtonCell>()) {}

std::shared_ptr<Button> Button::make(const std::string& title, const std::shared_ptr<Object>& target,
                                     Selector action) {
    auto cell = std::make_shared<ButtonCell>(title);
    cell->setBordered(true);
    auto button = std::make_shared<Button>(Rect{}, cell);
    button->setTarget(target);
    button->setAction(std::move(action));
    button->sizeToFit();
    return button;
}

std::shared_ptr<Button> Button::makeWithImage(graphics::ImageRef image, const std::shared_ptr<Object>& target,
                                              Selector action) {
    auto cell = std::make_shared<ButtonCell>(std::move(image));
    auto button = std::make_shared<Button>(Rect{}, cell);
    button->setTarget(target);
    button->setAction(std::move(action));
    button->sizeToFit();
    return button;
}

std::shared_ptr<ButtonCell> Button::buttonCell() const {
    return std::static_pointer_cast<ButtonCell>(cell());
}

void Button::setTitle(std::string title) {
    buttonCell()->setTitle(std::move(title));
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void Button::setAlternateTitle(std::string title) {
    buttonCell()->setAlternateTitle(std::move(title));
    setNeedsDisplay();
}

void Button::setImage(graphics::ImageRef image) {
    buttonCell()->setImage(std::move(image));
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void Button::setAlternateImage(graphics::ImageRef image) {
    buttonCell()->setAlternateImage(std::move(image));
    setNeedsDisplay();
}

void Button::setButtonType(ButtonType type) {
    buttonCell()->setButtonType(type);
    setNeedsDisplay();
}

void Button::setBezelStyle(BezelStyle style) {
    buttonCell()->setBezelStyle(style);
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void Button::setBordered(bool bordered) {
    buttonCell()->setBordered(bordered);
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void Button::setImagePosition(ImagePosition position) {
    buttonCell()->setImagePosition(position);
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void Button::setImageScaling(ImageScaling scaling) {
    buttonCell()->setImageScaling(scaling);
    setNeedsDisplay();
}

void Button::didClick() {
    buttonCell()->setNextState();
    setNeedsDisplay();
    sendAction();
}

} // namespace ui
