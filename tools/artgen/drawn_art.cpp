#include "drawn_art.h"

#include <cstring>
#include <map>
#include <vector>

#include "art_set.h"
#include "output.h"
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

bool drawnResource(const char* set, int id, const unsigned char*& data, std::size_t& size) {
    const int percent = percentOf(id);
    if (!percent || !set) return false;
    const bool borealis = std::strcmp(set, "borealis") == 0;
    if (!borealis && std::strcmp(set, "kestrel") != 0) return false;
    // Each scale is drawn once, in whole; its bitmaps are kept for the life of the process.
    static std::map<int, std::map<int, std::vector<unsigned char>>> drawn;
    auto found = drawn.find(percent);
    if (found == drawn.end()) {
        setDrawingScale(percent / 100.0);
        drawingFaults().clear();
        const ArtSet art = borealis ? drawBorealis() : drawKestrel();
        setDrawingScale(1.0);
        std::map<int, std::vector<unsigned char>>& images = drawn[percent];
        // Art with a fault is not shown: the editor then enlarges the 100 % art.
        if (art.faults.empty() && drawingFaults().empty()) {
            Resources resources;
            addResources(art, percent, resources);
            for (auto& [number, png] : resources) images[number] = std::move(png);
        }
        drawingFaults().clear();
        found = drawn.find(percent);
    }
    const auto image = found->second.find(id);
    if (image == found->second.end() || image->second.empty()) return false;
    data = image->second.data();
    size = image->second.size();
    return true;
}

}  // namespace orv::artgen
