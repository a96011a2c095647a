#include "ZeltoDialsCore/ZeltoLargeDialGrey/LargeDialGrey.hpp"

namespace zelto {

declarative::ImageView LargeDialGrey::image(int index) const {
    return dialFrameImage(sequence, index);
}

} // namespace zelto
