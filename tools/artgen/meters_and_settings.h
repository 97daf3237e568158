#pragma once
// The two needle meters of the main page and the meter-settings page, which both plug-ins
// lay out the same way apart from the height of the settings rows.
#include "art_set.h"
#include "page.h"

namespace orv::artgen {

// Marks both meters (face and cover) as controls of the page.
void registerMeters(Page& page);
// Adds faces, covers and over lamps of both meters (19028 to 19033) and places them.
void addMeterBitmaps(ArtSet& set, const Theme& theme);

// Top edges of the settings knobs: the two rows of VU and PPM knobs and the over knob.
struct MeterSettingsLayout {
    double firstRow, secondRow, overRow;
};

void drawMeterSettingsPage(Page& page, const MeterSettingsLayout& layout);
// Adds the settings knob strip (19036) and places the five settings knobs.
void addSettingsKnobBitmap(ArtSet& set, cairo_surface_t* page, const MeterSettingsLayout& layout,
                           const Theme& theme);

}  // namespace orv::artgen
