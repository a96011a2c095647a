#pragma once

// The medium dial in four colours, each labelled in the palette colour of the same name.

#include "ZeltoDialsCore/DialSkin.hpp"

namespace zelto {

enum class MediumDialColor { blue, yellow, red, purple };

struct MediumDial {
    MediumDial(std::shared_ptr<AudioParameter> param, MediumDialColor color,
               LabelDisplayOptions labelDisplayOptions,
               std::shared_ptr<const LabelFormatter> formatter = nullptr,
               std::function<void()> onEditingEnded = {});

    std::shared_ptr<AudioParameter> param;
    MediumDialColor color;
    LabelDisplayOptions labelDisplayOptions;
    std::shared_ptr<const LabelFormatter> formatter;
    std::function<void()> onEditingEnded;
    int imageCount;
    double knobMinDrag;
    float knobDragScaleFactor;

    static constexpr std::string_view module = "ZeltoMediumDial";
    static const DialSkinGeometry geometry;

    // The sequences of the module's bundle are in the colours' order.
    static const DialSequence& sequence(MediumDialColor color) {
        return dialSequence(module, static_cast<std::size_t>(color));
    }
    static std::string frameName(MediumDialColor color, int index) {
        return dialFrameName(sequence(color), index);
    }
    static graphics::ColorRef labelColor(MediumDialColor color);
    // The label under the knob: the colour's palette colour, in the options' own font.
    DialLabel label() const;

    declarative::View body(declarative::Context& context) const;
};

} // namespace zelto
