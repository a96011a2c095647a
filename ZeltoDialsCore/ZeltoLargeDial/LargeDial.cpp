#include "ZeltoDialsCore/ZeltoLargeDial/LargeDial.hpp"

#include "ZeltoCore/KitExtensions.hpp"
#include "ZeltoCore/KitResources.hpp"

namespace zelto {

std::string largeDialIndexString(int index) {
    return paddedIndexString(index);
}

// Every large colour has the same frame size; the blue one stands for them all.
const DialSkinGeometry largeDialGeometry{dialSequence("ZeltoLargeDialBlue").width,
                                         dialSequence("ZeltoLargeDialBlue").height, graphics::Point{0, -16},
                                         graphics::Point{0, 44}};

} // namespace zelto
