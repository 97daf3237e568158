#pragma once
// What the generator writes: one PNG per bitmap, a C++ source that embeds them, and a preview
// sheet that shows the assembled window and every strip for a person to look at.
#include <string>
#include <vector>

#include "art_set.h"

namespace orv::artgen {

std::vector<unsigned char> encodePng(cairo_surface_t* surface);

// The PNG of bitmap `b` drawn at `percent`: a strip of frames is stored with its rows frame by
// frame interleaved (platform/strip_rows.h), a single image as it stands.
std::vector<unsigned char> encodeBitmap(const Bitmap& b, int percent);

// PNG data by resource number: the art of every scale of one plug-in.
using Resources = std::vector<std::pair<int, std::vector<unsigned char>>>;

// The set's bitmaps, drawn at `percent`, under their resource numbers for that scale
// (orv::platform::scaledResourceNumber).
void addResources(const ArtSet& set, int percent, Resources& resources);

// Writes <folder>/<number>.png for every resource. Returns false when a file cannot be written.
bool writePngs(const Resources& resources, const std::string& folder);

// Writes a C++ source defining orv::platform::findResource over the PNG data.
bool writeEmbeddedSource(const std::string& name, const Resources& resources, const std::string& path);

// Writes the preview sheet: both pages assembled at 100 %, then every bitmap's frames.
bool writePreview(const ArtSet& set, const std::string& path);

}  // namespace orv::artgen
