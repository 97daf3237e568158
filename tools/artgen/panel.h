#pragma once
// Panel furniture shared by both plug-ins' pages: the anodised plate, the header, the meter
// bridge, section titles, display wells and the page-switch plates.
#include <string>

#include "page.h"

namespace orv::artgen {

// Fills the whole page with the anodised plate.
void drawPanel(Page& page);
// Maker and product name across the top of a main page.
void drawHeader(Page& page);
// Recessed windows for the two meters (faces at x = 49 and 256, y = 34, 146 x 91 with cover).
void drawMeterBridge(Page& page);
// A centred section title between x0 and x1 with fine rules on both sides.
void drawSectionTitle(Page& page, const std::string& title, double x0, double x1, double midY);
// A recessed display well around `area` (outset by one pixel); light wells take dark text.
// `tight` keeps the well's rim out of the pixels above `area` and to one pixel below it, for a
// display squeezed between two knobs.
void drawWell(Page& page, const Rect& area, bool light, bool tight = false);
// The two latency displays in one well with a divider, wide enough for the longest texts they
// show ("1660smps") with room to spare; a text that would come closer than 3 pixels to the
// well's ends is a layout fault.
void drawLatencyWell(Page& page, const Rect& ms, const Rect& samples, bool light);
// A flat plate that shows a click area switching to the other page.
void drawPagePlate(Page& page, const Rect& area, const std::string& text);
// Light nameplate used as the "back" area of a settings page; black text sits on it.
void drawNameplate(Page& page, const Rect& area, const std::string& title);

}  // namespace orv::artgen
