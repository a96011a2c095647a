#include "ZeltoDialsCore/ZeltoLargeDialOrange/LargeDialOrange.hpp"

namespace zelto {

declarative::ImageView LargeDialOrange::image(int index) const {
    return dialFrameImage(sequence, index);
}

} // namespace zelto
