#pragma once
// What the generator writes: one PNG per bitmap, a C++ source that embeds them, and a preview
// sheet that shows the assembled window and every strip for a person to look at.
#include <string>
#include <vector>

#include "art_set.h"

namespace orv::artgen {

std::vector<unsigned char> encodePng(cairo_surface_t* surface);

// Writes <folder>/<id>.png for every bitmap. Returns false when a file cannot be written.
bool writePngs(const ArtSet& set, const std::string& folder);

// Writes a C++ source defining orv::platform::findResource over the set's PNG data.
bool writeEmbeddedSource(const ArtSet& set, const std::string& path);

// Writes the preview sheet: both pages assembled at 100 %, then every bitmap's frames.
bool writePreview(const ArtSet& set, const std::string& path);

}  // namespace orv::artgen
