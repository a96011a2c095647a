#include "ZeltoDialsCore/ZeltoChaosDial/ChaosDial.hpp"

#include "ZeltoCore/KitExtensions.hpp"
#include "ZeltoCore/KitResources.hpp"

namespace zelto {

const DialSkinGeometry ChaosDial::geometry{sequence.width, sequence.height, graphics::Point{0, -16},
                                           graphics::Point{0, 40}};

ChaosDial::ChaosDial(std::shared_ptr<AudioParameter> param, ModernDialColor color,
                     LabelDisplayOptions labelDisplayOptions, std::shared_ptr<const LabelFormatter> formatter,
                     std::function<void()> onEditingEnded)
    : param(std::move(param)), color(color), labelDisplayOptions(std::move(labelDisplayOptions)),
      formatter(std::move(formatter)), onEditingEnded(std::move(onEditingEnded)), imageCount(dialFrameCount),
      knobMinDrag(6.0), knobDragScaleFactor(0.005f) {}

DialLabel ChaosDial::label() const {
    return DialLabel(param, zeltoPluginGrey(), labelDisplayOptions, CorviFont::dosisMedium, formatter,
                     onEditingEnded);
}

declarative::View ChaosDial::body(declarative::Context&) const {
    return dialSkinBody(param, knobMinDrag, knobDragScaleFactor, imageCount, &ChaosDial::frameImage, geometry,
                        label());
}

} // namespace zelto
