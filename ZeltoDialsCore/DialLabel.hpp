#pragma once

// The text block under a dial: the parameter's name and its formatted value with an optional unit suffix.
// A click turns the value into a text field; Return applies what was typed, Escape (or focus moving away)
// discards it.

#include "ZeltoCore/AudioParameter.hpp"
#include "ZeltoCore/KitFonts.hpp"
#include "ZeltoDialsCore/LabelFormatter.hpp"
#include "declarative/Declarative.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace zelto {

// Sizes and switches of one label.
struct LabelDisplayOptions {
    graphics::ColorRef valueColor;          // the value line and the editing field's text
    double labelFontSize;                   // the name line
    double valueFontSize;                   // the value line and its suffix
    double editingFontSize;                 // the editing field
    bool showSuffix;                        // append the parameter's unit suffix
    bool showName;                          // show the name line
    double labelWidth;                      // width of the editing field
    CorviFont font;                         // travels with the options; the label draws in its own font
    std::optional<std::string> customTitle; // replaces the parameter's name
};

struct DialLabel {
    // Without a formatter the label shows one decimal after the parameter's save scale.
    DialLabel(std::shared_ptr<AudioParameter> param, graphics::ColorRef color,
              LabelDisplayOptions displayOptions, CorviFont font,
              std::shared_ptr<const LabelFormatter> formatter = nullptr,
              std::function<void()> onEditingEnded = {});

    std::shared_ptr<AudioParameter> param;
    LabelDisplayOptions displayOptions;
    std::shared_ptr<const LabelFormatter> formatter;
    std::function<void()> onEditingEnded; // after Return or Escape, not after focus loss
    graphics::ColorRef color;             // the name line
    CorviFont font;                       // all three texts

    // The height of the value line, shown or editing.
    static constexpr double valueLineHeight = 40;
    static constexpr double lineSpacing = -10;
    static constexpr double suffixSpacing = 4;

    declarative::View body(declarative::Context& context) const;
};

} // namespace zelto
