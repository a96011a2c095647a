#include "ZeltoDialsCore/ZeltoLargeDialRed/LargeDialRed.hpp"

namespace zelto {

declarative::ImageView LargeDialRed::image(int index) const {
    return dialFrameImage(sequence, index);
}

} // namespace zelto
