#include "ZeltoDialsCore/DialLabel.hpp"

#include "core/Text.hpp"

namespace zelto {

using namespace declarative;

namespace {

// Keeps the editing text in step with the parameter: on every change of its value, and once at first.
struct ValueTextRefresh {
    std::shared_ptr<AudioParameter> param;
    std::shared_ptr<const LabelFormatter> formatter;
    core::ObservationToken token;
};

// The label's faces, resolved again only when its face or sizes change.
struct LabelFonts {
    std::optional<CorviFont> font;
    double labelSize = 0, valueSize = 0, editingSize = 0;
    graphics::FontRef label, value, editing;

    void update(CorviFont f, const LabelDisplayOptions& o) {
        if (font == f && labelSize == o.labelFontSize && valueSize == o.valueFontSize &&
            editingSize == o.editingFontSize) {
            return;
        }
        font = f;
        labelSize = o.labelFontSize;
        valueSize = o.valueFontSize;
        editingSize = o.editingFontSize;
        label = corviFont(f, labelSize);
        value = corviFont(f, valueSize);
        editing = corviFont(f, editingSize);
    }
};

} // namespace

DialLabel::DialLabel(std::shared_ptr<AudioParameter> param, graphics::ColorRef color,
                     LabelDisplayOptions displayOptions, CorviFont font,
                     std::shared_ptr<const LabelFormatter> formatter, std::function<void()> onEditingEnded)
    : param(std::move(param)), displayOptions(std::move(displayOptions)), formatter(std::move(formatter)),
      onEditingEnded(std::move(onEditingEnded)), color(std::move(color)), font(font) {
    if (!this->formatter && this->param) {
        this->formatter = std::make_shared<DefaultLabelFormatter>(*this->param, 1);
    }
}

View DialLabel::body(Context& context) const {
    auto isEditing = context.state(false);
    auto valueString = context.state(std::string());
    auto fieldFocussed = context.state(false);
    auto& slot = context.nextSlot();
    if (!slot) {
        slot = std::make_shared<ValueTextRefresh>();
    }
    const auto refresh = std::static_pointer_cast<ValueTextRefresh>(slot);
    auto& fontSlot = context.nextSlot();
    if (!fontSlot) {
        fontSlot = std::make_shared<LabelFonts>();
    }
    auto& fonts = *std::static_pointer_cast<LabelFonts>(fontSlot);
    fonts.update(font, displayOptions);
    if (!param || !formatter) {
        return View();
    }
    refresh->formatter = formatter;
    if (refresh->param != param) {
        refresh->param = param;
        std::weak_ptr<ValueTextRefresh> weak = refresh;
        refresh->token = param->observeValue([weak, valueString](float value) {
            if (auto r = weak.lock()) {
                valueString.set(r->formatter->format(value));
            }
        });
        valueString.set(formatter->format(param->value()));
    }

    const auto p = param;
    const auto fmt = formatter;
    const auto ended = onEditingEnded;
    const auto& options = displayOptions;
    auto endEditing = [p, fmt, ended, isEditing, valueString] {
        if (ended) {
            ended();
        }
        valueString.set(fmt->format(p->value()));
        isEditing.set(false);
    };

    View nameLine = Group({});
    if (options.showName) {
        nameLine = Group({Text(core::uppercased(options.customTitle.value_or(p->name())))
                              .font(fonts.label)
                              .foregroundColor(color)});
    }

    View showing;
    View editing;
    if (isEditing.get()) {
        (void)valueString.get(); // the field redraws when its text changes from outside
        // Focus moving away ends editing without applying and without the callback.
        Binding<bool> focus([fieldFocussed] { return fieldFocussed.get(); },
                            [fieldFocussed, isEditing](bool focused) {
                                fieldFocussed.set(focused);
                                if (!focused && isEditing.get()) {
                                    isEditing.set(false);
                                }
                            });
        editing = focusedIf(TextField(valueString.binding()), focus)
                      .onSubmit([p, fmt, valueString, endEditing] {
                          if (const auto parsed = fmt->value(valueString.get())) {
                              const float v = p->clamped(*parsed * p->displayScaleFactor());
                              p->setValue(v, ParameterEditor::ui, ParameterEditorState::change);
                          }
                          endEditing();
                      })
                      .onKeyPress([endEditing](const KeyPressEvent& press) {
                          if (press.specialKey == ui::SpecialKey::escape) {
                              endEditing();
                              return KeyResult::handled;
                          }
                          return KeyResult::ignored;
                      })
                      .font(fonts.editing)
                      .foregroundColor(options.valueColor)
                      .frame(options.labelWidth, valueLineHeight);
    } else {
        std::vector<View> parts{Text(fmt->format(p->value()))};
        if (options.showSuffix) {
            if (auto suffix = p->displayableSuffix(); !suffix.empty()) {
                parts.push_back(Text(std::move(suffix)));
            }
        }
        showing = HStack({.spacing = suffixSpacing}, std::move(parts))
                      .font(fonts.value)
                      .foregroundColor(options.valueColor)
                      .frame(std::nullopt, valueLineHeight);
    }

    return VStack({.spacing = lineSpacing}, {nameLine, If(isEditing.get(), editing, showing)})
        .onTapGesture([isEditing, fieldFocussed] {
            if (!isEditing.get()) {
                isEditing.set(true);
                fieldFocussed.set(true);
            }
        });
}

} // namespace zelto
