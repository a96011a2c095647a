#pragma once

// The dial skins' frame sequences, drawn with Cairo: hardware-style dials whose indicator and value arc
// turn clockwise from -135 degrees (first frame) to +135 degrees (last frame), and the writer of the
// nine frame bundles "Zelto_<module>.bundle".

#include "ZeltoDialsCore/DialCatalog.hpp"

#include <filesystem>
#include <string>

typedef struct _cairo cairo_t;

namespace artwork {

// The indicator's angle for a frame (1 ... dialFrameCount) in degrees, 0 pointing up, clockwise positive.
double dialAngleDegrees(int frame);

// Where a sequence's dial lies in its frames, in points from the top left: the centre of its circle,
// the radius of the track and value arc, and the radius at which the indicator is most visible.
struct DialLayout {
    double centreX = 0, centreY = 0;
    double trackRadius = 0;
    double indicatorRadius = 0;
};
DialLayout dialLayout(const zelto::DialSequence& sequence);

// Draws one frame of a sequence in points (the image is sequence.width x sequence.height).
void drawDialFrame(cairo_t* cr, const zelto::DialSequence& sequence, int frame);

// The file name of a frame inside Resources, without the ".png" / "@2x.png" ending.
std::string dialFrameName(const zelto::DialSequence& sequence, int frame);

// Writes every frame bundle into bundlesDirectory: Info.json and Resources/<prefix><NN>.png + @2x.
// False (with a message on stderr) on failure.
bool writeDialBundles(const std::filesystem::path& bundlesDirectory);

} // namespace artwork
