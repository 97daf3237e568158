#pragma once
// Rotary knobs: the scale printed on the page around a knob, and the knob's image strip, whose
// pointer and value arc follow the frame index over a 270 degree sweep.
#include <string>
#include <vector>

#include "art_set.h"
#include "page.h"

namespace orv::artgen {

struct KnobScale {
    int ticks = 11;            // evenly spaced tick marks over the sweep
    std::vector<double> majors;  // positions (0..1) drawn longer and brighter
    std::string minLabel, maxLabel;  // printed under the two ends of the sweep
};

// Prints tick marks and end labels on the page inside the knob's area.
void drawKnobScale(Page& page, const Rect& area, const KnobScale& scale);

// A strip of `frames` knob images over the page background. The value arc grows from `origin`
// (0 for a knob that counts up from its minimum, 0.5 for one centred on a neutral value).
Surface knobStrip(cairo_surface_t* background, const Rect& area, int frames, double origin,
                  const Theme& theme);

}  // namespace orv::artgen
