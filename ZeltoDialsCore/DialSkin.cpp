#include "ZeltoDialsCore/DialSkin.hpp"

#include "ZeltoCore/KitExtensions.hpp"
#include "ZeltoCore/KitResources.hpp"

namespace zelto {

using namespace declarative;

std::string dialFrameName(const DialSequence& sequence, int index) {
    return std::string(sequence.prefix) + paddedIndexString(index);
}

ImageView dialFrameImage(const DialSequence& sequence, int index) {
    return Image(dialFrameName(sequence, index), moduleBundle(sequence.module));
}

View dialSkinBody(const std::shared_ptr<AudioParameter>& param, double knobMinDrag, float knobDragScaleFactor,
                  int imageCount, std::function<View(int)> frameImage, const DialSkinGeometry& geometry,
                  DialLabel label) {
    auto content = [frameImage = std::move(frameImage), geometry](int index) {
        View image = frameImage(index).frame(geometry.frameWidth, geometry.frameHeight);
        if (geometry.imageOffset) {
            image = image.offset(geometry.imageOffset->x, geometry.imageOffset->y);
        }
        return image;
    };
    return ZStack({KnobControl{param, knobMinDrag, knobDragScaleFactor, imageCount, std::move(content)},
                   View(std::move(label)).offset(geometry.labelOffset.x, geometry.labelOffset.y)});
}

} // namespace zelto
