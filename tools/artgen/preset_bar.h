#pragma once
// The preset bar along the bottom of the window, drawn on the frame background, and its
// bitmaps. The horizontal layout is the same in both plug-ins; only the bands move.
#include "art_set.h"
#include "page.h"

namespace orv::artgen {

struct PresetBands {
    double mainTop;  // the name field, menu, rocker, load/save and memory buttons
    double kickTop;  // the two default buttons
    static constexpr double mainHeight = 14, kickHeight = 10;
};

// Registers the preset-bar controls on the frame background and draws their surroundings.
void drawPresetBar(Page& frame, const PresetBands& bands, double pageHeight);

// Adds the preset-bar bitmaps (19899, 19990 to 19999) cut from the finished frame background,
// and places them in both previews.
void addPresetBitmaps(ArtSet& set, cairo_surface_t* frameBackground, const PresetBands& bands,
                      const Theme& theme);

}  // namespace orv::artgen
