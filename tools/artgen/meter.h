#pragma once
// The needle meter: a cream VU dial whose scale follows the needle law of the meter control,
// the dark strip that hides the needles' pivot, and the over lamp.
#include "art_set.h"

namespace orv::artgen {

// Dial geometry shared by both plug-ins, in face pixels (the face is 146 x 70).
struct MeterGeometry {
    static constexpr int faceWidth = 146, faceHeight = 70, coverHeight = 21, lampSize = 14;
    static constexpr double pivotX = 72, pivotY = 82;  // below the face, hidden by the cover
    static constexpr double lampX = 66, lampY = 51;
    static constexpr double needleOuter = 70;
};

// Needle angle in radians (counter-clockwise from +x, y up) for a linear level v.
double needleAngle(double level);

Surface meterFace();
Surface meterCover(const Theme& theme, const char* channel);
// Three images (lit, held, off) drawn over the face pixels under the lamp.
Surface overLamp(cairo_surface_t* face);

}  // namespace orv::artgen
