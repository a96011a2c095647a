#include "ZeltoDialsCore/DialSkin.hpp"

#include "ZeltoCore/KitExtensions.hpp"
#include "ZeltoCore/KitResources.hpp"

#include <map>
#include <mutex>
#include <utility>

namespace zelto {

using namespace declarative;

std::string dialFrameName(const DialSequence& sequence, int index) {
    return std::string(sequence.prefix) + paddedIndexString(index);
}

ImageView dialFrameImage(const DialSequence& sequence, int index) {
    // A lookup by name resolves the bundle's directory on disk; a knob turning asks for frames often, so
    // each frame is looked up once. The images themselves are shared, immutable resources.
    static std::mutex mutex;
    static std::map<std::pair<const DialSequence*, int>, graphics::ImageRef> frames;
    const std::pair key{&sequence, index};
    {
        std::lock_guard lock(mutex);
        if (const auto it = frames.find(key); it != frames.end()) {
            return Image(it->second);
        }
    }
    auto image =
        graphics::Image::named(dialFrameName(sequence, index), moduleBundle(sequence.module).resourcePath());
    if (image) {
        std::lock_guard lock(mutex);
        frames.emplace(key, image);
    }
    return Image(std::move(image));
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
