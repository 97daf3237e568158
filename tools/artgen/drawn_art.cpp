#include "drawn_art.h"

#include <cstring>
#include <map>

#include "art_set.h"
#include "paint.h"
#include "platform/resources.h"

namespace orv::artgen {

namespace {

// The scale resource number `id` belongs to (other than 100 %), or 0.
int percentOf(int id) {
    for (const int percent : orv::platform::kEditorScales) {
        if (percent == 100) continue;
        const int base = id - orv::platform::scaledResourceNumber(0, percent);
        if (base >= 19000 && base < 20000) return percent;
    }
    return 0;
}

}  // namespace

bool drawnImage(const char* set, int id, orv::platform::DrawnImage& image) {
    const int percent = percentOf(id);
    if (!percent || !set) return false;
    const bool borealis = std::strcmp(set, "borealis") == 0;
    if (!borealis && std::strcmp(set, "kestrel") != 0) return false;
    // Each scale is drawn once, in whole; its images are kept for the life of the process.
    static std::map<int, std::map<int, Surface>> drawn;
    auto found = drawn.find(percent);
    if (found == drawn.end()) {
        setDrawingScale(percent / 100.0);
        drawingFaults().clear();
        ArtSet art = borealis ? drawBorealis() : drawKestrel();
        setDrawingScale(1.0);
        std::map<int, Surface>& images = drawn[percent];
        // Art with a fault is not shown: the editor then enlarges the 100 % art.
        if (art.faults.empty() && drawingFaults().empty())
            for (Bitmap& b : art.bitmaps)
                images[orv::platform::scaledResourceNumber(b.id, percent)] = std::move(b.image);
        drawingFaults().clear();
        found = drawn.find(percent);
    }
    const auto entry = found->second.find(id);
    if (entry == found->second.end() || !entry->second) return false;
    cairo_surface_t* s = entry->second.get();
    cairo_surface_flush(s);
    image.pixels = cairo_image_surface_get_data(s);
    image.width = cairo_image_surface_get_width(s);
    image.height = cairo_image_surface_get_height(s);
    image.stride = cairo_image_surface_get_stride(s);
    return image.pixels != nullptr;
}

}  // namespace orv::artgen
