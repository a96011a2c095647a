#include "ZeltoDialsCore/ZeltoLargeDialPurple/LargeDialPurple.hpp"

namespace zelto {

declarative::ImageView LargeDialPurple::image(int index) const {
    return dialFrameImage(sequence, index);
}

} // namespace zelto
