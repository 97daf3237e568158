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
void drawWell(Page& page, const Rect& area, bool light);
// A flat plate that shows a click area switching to the other page.
void drawPagePlate(Page& page, const Rect& area, const std::string& text);
// Light nameplate used as the "back" area of a settings page; black text sits on it.
void drawNameplate(Page& page, const Rect& area, const std::string& title);

}  // namespace orv::artgen
