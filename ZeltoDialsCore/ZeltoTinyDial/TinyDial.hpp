#pragma once

// The tiny dial: a small grey knob that starts after half the drag and moves twice as fast, labelled in
// the display face.

#include "ZeltoDialsCore/DialSkin.hpp"

namespace zelto {

enum class TinyDialColor { grey };

struct TinyDial {
    TinyDial(std::shared_ptr<AudioParameter> param, LabelDisplayOptions labelDisplayOptions,
             std::shared_ptr<const LabelFormatter> formatter = nullptr,
             std::function<void()> onEditingEnded = {});

    std::shared_ptr<AudioParameter> param;
    TinyDialColor color;
    LabelDisplayOptions labelDisplayOptions;
    std::shared_ptr<const LabelFormatter> formatter;
    std::function<void()> onEditingEnded;
    double knobMinDrag;
    float knobDragScaleFactor;
    int imageCount;

    static constexpr std::string_view module = "ZeltoTinyDial";
    static constexpr const DialSequence& sequence = dialSequence(module);
    static const DialSkinGeometry geometry;

    static std::string frameName(int index) { return dialFrameName(sequence, index); }
    static declarative::ImageView frameImage(int index) { return dialFrameImage(sequence, index); }
    // The label under the knob: the palette's tiny-dial colour, always in the display face.
    DialLabel label() const;

    declarative::View body(declarative::Context& context) const;
};

} // namespace zelto
