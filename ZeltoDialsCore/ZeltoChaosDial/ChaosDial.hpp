#pragma once

// The chaos dial: the grey hardware knob of the plug-in's editor with its label.

#include "ZeltoDialsCore/DialSkin.hpp"

namespace zelto {

enum class ModernDialColor { grey };

struct ChaosDial {
    ChaosDial(std::shared_ptr<AudioParameter> param, ModernDialColor color,
              LabelDisplayOptions labelDisplayOptions,
              std::shared_ptr<const LabelFormatter> formatter = nullptr,
              std::function<void()> onEditingEnded = {});

    std::shared_ptr<AudioParameter> param;
    ModernDialColor color;
    LabelDisplayOptions labelDisplayOptions;
    std::shared_ptr<const LabelFormatter> formatter;
    std::function<void()> onEditingEnded;
    int imageCount;
    double knobMinDrag;
    float knobDragScaleFactor;

    static constexpr std::string_view module = "ZeltoChaosDial";
    static constexpr const DialSequence& sequence = dialSequence(module);
    static const DialSkinGeometry geometry;

    static std::string frameName(int index) { return dialFrameName(sequence, index); }
    static declarative::ImageView frameImage(int index) { return dialFrameImage(sequence, index); }
    // The label under the knob: the palette's grey, always in Dosis Medium.
    DialLabel label() const;

    declarative::View body(declarative::Context& context) const;
};

} // namespace zelto
