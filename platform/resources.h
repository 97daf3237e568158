#pragma once
// Bitmap resources embedded in a plug-in. Each plug-in links exactly one table of PNG images
// keyed by resource number (19000 and up); the editor's bitmaps are loaded from it.
#include <cstddef>

namespace orv::platform {

// Finds the embedded PNG with resource number `id`. Returns false (and leaves the outputs
// untouched) when the plug-in carries no resource by that number.
bool findResource(int id, const unsigned char*& data, std::size_t& size);

}  // namespace orv::platform
