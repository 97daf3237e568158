#pragma once
// Control descriptions shared by both plug-ins' layouts, and the steps that turn them into
// page decoration, bitmaps and preview placements.
#include <string>
#include <vector>

#include "art_set.h"
#include "knob.h"
#include "page.h"

namespace orv::artgen {

struct KnobDef {
    int id;
    const char* title;   // printed above the knob, where its value readout appears
    Rect area;
    int frames;
    double origin;       // where the value arc starts (0..1)
    KnobScale scale;
    double resetValue;   // shown in the preview
};

enum class ButtonStyle { Lamp, Legend, LowShelf, HighShelf, LowShelf3, HighShelf3, MeterSource };

struct ButtonDef {
    int id;
    const char* use;
    Rect area;
    ButtonStyle style;
    const char* legend = "";  // text on a Legend button (empty: power symbol)
    const char* label = "";   // printed on the page next to the button
    double labelX = 0, labelY = 0;
    int previewFrame = 0;
    double capDrop = 0;  // a lamp button's cap drawn this much lower than centred
};

// The cap a button draws inside its area (window pixels).
Rect capOf(const ButtonDef& b);

// Registers the control areas with the page so labels keep clear of them. Areas of two controls
// may overlap only where the earlier (lower) control draws nothing of its cap: a click there
// reaches the later one, and the art must say so. Anything else is a layout fault.
void registerControls(Page& page, const std::vector<KnobDef>& knobs,
                      const std::vector<ButtonDef>& buttons);
// Prints knob titles (centred at titleY above each knob), knob scales and button labels.
void decorateControls(Page& page, const std::vector<KnobDef>& knobs,
                      const std::vector<ButtonDef>& buttons, const std::vector<double>& titleY);
// Cuts each control's strip from the finished page and places it in `view`.
void addControlBitmaps(ArtSet& set, std::vector<Placement>& view, cairo_surface_t* page,
                       const std::vector<KnobDef>& knobs, const std::vector<ButtonDef>& buttons,
                       const Theme& theme);

}  // namespace orv::artgen
