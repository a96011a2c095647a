#include "ui/Alert.hpp"

#include "graphics/AttributedString.hpp"
#include "graphics/BezierPath.hpp"
#include "graphics/Font.hpp"
#include "ui/Application.hpp"
#include "ui/Button.hpp"
#include "ui/Screen.hpp"

#include <algorithm>
#include <cmath>

namespace ui {

using graphics::Point;
using graphics::Rect;
using graphics::Size;

namespace {

constexpr double margin = 20;
constexpr double iconSize = 32;
constexpr double textGap = 8;
constexpr double buttonGap = 12;
constexpr double buttonHeight = 24;
constexpr double minimumButtonWidth = 84;
constexpr double buttonPadding = 28;
constexpr const char* pressAction = "alertButtonPressed:";

graphics::AttributedString messageString(const std::string& text) {
    graphics::TextAttributes attributes;
    attributes.font = graphics::Font::boldSystemFont(13);
    attributes.foregroundColor = graphics::Color::labelColor();
    return {text, attributes};
}

graphics::AttributedString informativeString(const std::string& text) {
    graphics::TextAttributes attributes;
    attributes.font = graphics::Font::systemFont(11);
    attributes.foregroundColor = graphics::Color::secondaryLabelColor();
    return {text, attributes};
}

double textWidth() {
    return Alert::width - margin * 3 - iconSize;
}

// The icon and the two texts, top-aligned in a flipped view.
class AlertTextView : public View {
public:
    explicit AlertTextView(std::weak_ptr<const Alert> alert) : alert_(std::move(alert)) {}
    bool isFlipped() const override { return true; }

    Size measure() const {
        auto alert = alert_.lock();
        if (!alert) {
            return {};
        }
        return measure(*alert);
    }

    static Size measure(const Alert& a) {
        const double w = textWidth();
        const Size message = messageString(a.messageText()).boundingSize({w, 1e6});
        double height = std::ceil(message.height);
        if (!a.informativeText().empty()) {
            height +=
                textGap + std::ceil(informativeString(a.informativeText()).boundingSize({w, 1e6}).height);
        }
        return {Alert::width - margin * 2, std::max(height, iconSize)};
    }

    void draw(const Rect&) override {
        auto* context = graphics::GraphicsContext::current();
        auto alert = alert_.lock();
        if (!context || !alert) {
            return;
        }
        const Alert& a = *alert;
        drawIcon(*context, a);
        const double x = iconSize + margin;
        const double w = textWidth();
        const auto message = messageString(a.messageText());
        const double mh = std::ceil(message.boundingSize({w, 1e6}).height);
        message.draw(Rect(x, 0, w, mh));
        if (!a.informativeText().empty()) {
            const auto info = informativeString(a.informativeText());
            const double ih = std::ceil(info.boundingSize({w, 1e6}).height);
            info.draw(Rect(x, mh + textGap, w, ih));
        }
    }

private:
    // A rounded badge with an exclamation mark (informational: an "i"), in the style's colour.
    static void drawIcon(graphics::GraphicsContext& context, const Alert& a) {
        graphics::ColorRef colour;
        switch (a.alertStyle()) {
        case Alert::Style::critical:
            colour = graphics::Color::rgba(0.85, 0.25, 0.22);
            break;
        case Alert::Style::informational:
            colour = graphics::Color::rgba(0.22, 0.48, 0.85);
            break;
        case Alert::Style::warning:
            colour = graphics::Color::rgba(0.93, 0.66, 0.16);
            break;
        }
        const Rect badge(0, 0, iconSize, iconSize);
        context.fillPath(graphics::BezierPath::roundedRect(badge, 8, 8), colour,
                         graphics::CompositingOperation::sourceOver);
        graphics::TextAttributes attributes;
        attributes.font = graphics::Font::boldSystemFont(20);
        attributes.foregroundColor = graphics::Color::whiteColor();
        attributes.paragraphStyle.alignment = graphics::TextAlignment::center;
        const graphics::AttributedString mark(a.alertStyle() == Alert::Style::informational ? "i" : "!",
                                              attributes);
        const double h = std::ceil(mark.size().height);
        mark.draw(Rect(0, std::round((iconSize - h) / 2), iconSize, h));
    }

    std::weak_ptr<const Alert> alert_;
};

// The first button, which Return presses, in the accent colour.
class DefaultButtonCell : public ButtonCell {
public:
    using ButtonCell::ButtonCell;
    void drawBezelWithFrame(const Rect& frame, View&) override {
        auto* context = graphics::GraphicsContext::current();
        if (!context) {
            return;
        }
        auto fill = graphics::Color::controlAccentColor();
        auto path = graphics::BezierPath::roundedRect(frame.insetBy(1.5, 1.5), 5, 5);
        context->fillPath(path, isEnabled() ? fill : fill->withAlphaComponent(0.5),
                          graphics::CompositingOperation::sourceOver);
        if (isHighlighted()) {
            context->fillPath(path, graphics::Color::black()->withAlphaComponent(0.25),
                              graphics::CompositingOperation::sourceOver);
        }
    }
};

// The alert's window: Return presses the first button, Escape a "Cancel" button.
class AlertWindow : public Window {
public:
    AlertWindow(const Rect& contentRect, std::weak_ptr<Alert> alert)
        : Window(contentRect, WindowStyle::titled), alert_(std::move(alert)) {}

    void keyDown(const Event& event) override {
        auto alert = alert_.lock();
        const auto key = event.specialKey();
        if (alert && (key == SpecialKey::carriageReturn || key == SpecialKey::enter) &&
            !alert->buttons().empty()) {
            alert->buttons().front()->performClick();
            return;
        }
        Window::keyDown(event);
    }

    void cancelOperation(const std::shared_ptr<Object>&) override {
        if (auto alert = alert_.lock()) {
            for (const auto& button : alert->buttons()) {
                if (button->title() == "Cancel") {
                    button->performClick();
                    return;
                }
            }
        }
        // Without a Cancel button Escape does nothing (nor does it end the alert's sheet).
    }

private:
    std::weak_ptr<Alert> alert_;
};

} // namespace

Alert::Alert() {
    setActionHandler(pressAction, [this](const std::shared_ptr<Object>& sender) { buttonPressed(sender); });
}

Alert::~Alert() {
    if (window_) {
        window_->close();
    }
}

void Alert::setMessageText(std::string text) {
    messageText_ = std::move(text);
    if (window_) {
        layout();
    }
}

void Alert::setInformativeText(std::string text) {
    informativeText_ = std::move(text);
    if (window_) {
        layout();
    }
}

void Alert::setAlertStyle(Style style) {
    style_ = style;
    if (textView_) {
        textView_->setNeedsDisplay();
    }
}

std::shared_ptr<Button> Alert::addButton(const std::string& title) {
    std::shared_ptr<Button> button;
    if (buttons_.empty()) {
        auto cell = std::make_shared<DefaultButtonCell>(title);
        cell->setBordered(true);
        button = std::make_shared<Button>(Rect{}, cell);
        button->setTarget(sharedAs<Object>());
        button->setAction(pressAction);
        button->sizeToFit();
    } else {
        button = Button::make(title, sharedAs<Object>(), pressAction);
    }
    button->setTag(alertFirstButtonReturn + static_cast<ModalResponse>(buttons_.size()));
    buttons_.push_back(button);
    if (window_) {
        layout();
    }
    return button;
}

void Alert::ensureButton() {
    if (buttons_.empty()) {
        addButton("OK");
    }
}

std::shared_ptr<Window> Alert::window() {
    if (!window_) {
        window_ = Window::make<AlertWindow>(Rect(0, 0, width, 120), std::weak_ptr<Alert>(sharedAs<Alert>()));
        textView_ = std::make_shared<AlertTextView>(std::weak_ptr<const Alert>(sharedAs<Alert>()));
        layout();
    }
    return window_;
}

void Alert::layout() {
    if (!window_) {
        return;
    }
    auto content = window_->contentView();
    const Size text = static_cast<AlertTextView&>(*textView_).measure();
    const double height = std::ceil(margin + text.height + margin + buttonHeight + margin);
    window_->setContentSize({width, height});
    content = window_->contentView();
    if (textView_->superview() != content) {
        content->addSubview(textView_);
    }
    textView_->setFrame(Rect(margin, height - margin - text.height, text.width, text.height));
    // Buttons from the right edge leftwards, in the order they were added.
    double right = width - margin;
    for (const auto& button : buttons_) {
        const double w =
            std::max(minimumButtonWidth, std::ceil(button->intrinsicContentSize().width) + buttonPadding);
        button->setFrame(Rect(right - w, margin, w, buttonHeight));
        if (button->superview() != content) {
            content->addSubview(button);
        }
        right -= w + buttonGap;
    }
    content->setNeedsDisplay();
}

ModalResponse Alert::runModal() {
    ensureButton();
    auto w = window();
    auto self = sharedAs<Alert>(); // alive through the session
    // Centred on the screen's visible area, a little above the middle.
    w->ensureBackend();
    if (auto screen = w->screen()) {
        const Rect visible = screen->visibleFrame();
        const Rect frame = w->frame();
        w->setFrameOrigin({std::round(visible.midX() - frame.size.width / 2),
                           std::round(visible.minY() + (visible.size.height - frame.size.height) * 2 / 3)});
    }
    return Application::shared()->runModal(w);
}

void Alert::beginSheetModal(const std::shared_ptr<Window>& parent,
                            std::function<void(ModalResponse)> completion) {
    ensureButton();
    auto w = window();
    if (!parent) {
        return;
    }
    // The sheet holds the alert until it ends.
    parent->beginSheet(w, [self = sharedAs<Alert>(), completion = std::move(completion)](ModalResponse r) {
        if (completion) {
            completion(r);
        }
    });
}

void Alert::buttonPressed(const std::shared_ptr<Object>& sender) {
    auto it = std::find(buttons_.begin(), buttons_.end(), sender);
    if (it == buttons_.end()) {
        return;
    }
    const ModalResponse response = alertFirstButtonReturn + (it - buttons_.begin());
    if (auto parent = window_ ? window_->sheetParent() : nullptr) {
        parent->endSheet(window_, response);
        return;
    }
    auto app = Application::shared();
    if (app->modalWindow() == window_) {
        app->stopModal(response);
    }
}

} // namespace ui
