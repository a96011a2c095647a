#include "declarative/TextField.hpp"

#include "declarative/Focus.hpp"
#include "declarative/Hosting.hpp"
#include "declarative/Modifier.hpp"
#include "display/Clipboard.hpp"
#include "graphics/AttributedString.hpp"
#include "ui/TextEditing.hpp"

#include <algorithm>

namespace declarative {

namespace detail {
void submit(Node& node);
}

namespace {

constexpr double horizontalInset = 6;
constexpr double verticalInset = 3;

struct TextFieldParams {
    Binding<std::string> text;
    std::string placeholder;
};

class TextFieldNode final : public FocusableNode {
public:
    using DescriptionType = detail::ParamsDescription<TextFieldParams, TextFieldNode>;
    const TextFieldParams& params() const { return descriptionAs<DescriptionType>().params; }

    bool hitsSelf(Point local) const override { return frame_.contains(local); }

    void focusChanged(bool focused) override {
        focused_ = focused;
        if (focused) {
            // Focus arrives with everything selected, as in a form.
            const auto text = current();
            anchor_ = 0;
            caret_ = text.size();
        }
    }

    KeyResult keyPress(const KeyPressEvent& press) override {
        if (press.phase == KeyPhase::up || !environment_.isEnabled) {
            return KeyResult::ignored;
        }
        // The shared single-line editing model does the work; the binding holds the text.
        ui::TextEditingModel model(current());
        model.setSelection(anchor_, caret_);
        ui::TextClipboardAccess clipboard;
        if (auto* board = host() ? &host()->clipboard() : nullptr) {
            clipboard.read = [board] { return board->text(); };
            clipboard.write = [board](const std::string& text) { board->setText(text); };
        }
        const auto result = model.handleKey(press.characters, press.specialKey, press.modifiers, clipboard);
        anchor_ = model.anchor();
        caret_ = model.caret();
        switch (result) {
        case ui::TextKeyResult::edited:
            commit(model.text());
            break;
        case ui::TextKeyResult::moved:
            break;
        case ui::TextKeyResult::submit:
            detail::submit(*this);
            break;
        default:
            return KeyResult::ignored;
        }
        invalidate();
        return KeyResult::handled;
    }

    void draw(graphics::GraphicsContext& context) override {
        const auto text = current();
        const auto font = environment_.resolvedFont();
        const Rect box = frame_;
        auto border = graphics::BezierPath::roundedRect(box.insetBy(0.5, 0.5), 4, 4);
        context.fillPath(border, graphics::Color::textBackgroundColor(),
                         graphics::CompositingOperation::sourceOver);
        border.setLineWidth(1);
        context.strokePath(border, focused_ ? graphics::Color::keyboardFocusIndicatorColor()
                                            : graphics::Color::separatorColor());
        const auto& measurer = host() ? host()->textMeasurer() : fallbackMeasurer();
        const bool showPlaceholder = text.empty() && !params().placeholder.empty();
        const std::string& shown = showPlaceholder ? params().placeholder : text;
        const Size textSize = measurer.measure(shown, font);
        const double textX = box.x() + std::max(horizontalInset, (box.width() - textSize.width) / 2);
        const double textY = box.y() + (box.height() - textSize.height) / 2;
        graphics::GraphicsContext::StateGuard guard(context);
        context.clipToRect(box.insetBy(2, 1));
        // By value: the selection may lie past a text the model shortened while the field had focus.
        const std::size_t anchor = std::min(anchor_, text.size());
        const std::size_t caret = std::min(caret_, text.size());
        const std::size_t lo = std::min(anchor, caret);
        const std::size_t hi = std::max(anchor, caret);
        if (focused_ && lo != hi) {
            const double x0 = textX + measurer.offsetOfByte(text, font, lo);
            const double x1 = textX + measurer.offsetOfByte(text, font, hi);
            context.fillRect(Rect(x0, textY, x1 - x0, textSize.height),
                             graphics::Color::selectedTextBackgroundColor());
        }
        if (!shown.empty()) {
            graphics::TextAttributes attributes;
            attributes.font = font;
            attributes.foregroundColor = showPlaceholder ? graphics::Color::tertiaryLabelColor()
                                                         : environment_.resolvedForegroundColor();
            attributes.paragraphStyle.lineBreakMode = graphics::LineBreakMode::clipping;
            context.drawText(graphics::AttributedString(shown, attributes),
                             Rect(textX, textY, textSize.width + 1, textSize.height));
        }
        if (focused_ && lo == hi) {
            const double x = textX + measurer.offsetOfByte(text, font, caret);
            context.fillRect(Rect(std::round(x), textY, 1, textSize.height),
                             environment_.resolvedForegroundColor());
        }
    }

    // For tests: the selection as byte offsets (anchor, caret).
    std::pair<std::size_t, std::size_t> selection() const { return {anchor_, caret_}; }

protected:
    std::vector<View> childViews() override { return {}; }
    Size sizeThatFits(const Proposal& p) override {
        const auto& measurer = host() ? host()->textMeasurer() : fallbackMeasurer();
        const double line = measurer.measure("Xg", environment_.resolvedFont()).height;
        return {p.width.value_or(100), line + 2 * verticalInset};
    }

private:
    static const TextMeasurer& fallbackMeasurer() {
        static const PangoTextMeasurer measurer;
        return measurer;
    }
    std::string current() const {
        // Reads in event handlers are not tracked.
        std::string value;
        core::withObservationTracking([&] { value = params().text.get(); }, [] {}).cancel();
        return value;
    }
    void commit(const std::string& text) { params().text.set(text); }

    std::size_t anchor_ = 0;
    std::size_t caret_ = 0;
    bool focused_ = false;
};

} // namespace

View TextField(Binding<std::string> text, std::string placeholder) {
    return detail::make<TextFieldNode>({}, TextFieldParams{std::move(text), std::move(placeholder)});
}

} // namespace declarative
