#include "ZeltoDialsCore/ZeltoLargeDialYellow/LargeDialYellow.hpp"

namespace zelto {

declarative::ImageView LargeDialYellow::image(int index) const {
    return dialFrameImage(sequence, index);
}

} // namespace zelto
