#include "ZeltoDialsCore/ZeltoLargeDialBlue/LargeDialBlue.hpp"

namespace zelto {

declarative::ImageView LargeDialBlue::image(int index) const {
    return dialFrameImage(sequence, index);
}

} // namespace zelto
