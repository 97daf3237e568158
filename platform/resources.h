#pragma once
// Bitmap resources embedded in a plug-in. Each plug-in links exactly one table of PNG images
// keyed by resource number (19000 and up); the editor's bitmaps are loaded from it.
#include <cstddef>

namespace orv::platform {

// Finds the embedded PNG with resource number `id`. Returns false (and leaves the outputs
// untouched) when the plug-in carries no resource by that number.
bool findResource(int id, const unsigned char*& data, std::size_t& size);

// An image the plug-in draws itself in place of an embedded one: width x height pixels of 32-bit
// premultiplied ARGB in native byte order, rows `stride` bytes apart.
struct DrawnImage {
    const unsigned char* pixels = nullptr;
    int width = 0, height = 0, stride = 0;
};

// Finds the image with resource number `id` that the plug-in draws itself (the editor sizes it
// does not embed), drawing it first if need be. False when it draws none by that number. The
// pixels stay valid for the life of the process.
bool findDrawnImage(int id, DrawnImage& image);

// The scales the editors are drawn at, in per cent.
constexpr int kEditorScales[] = {100, 125, 150, 175, 200};

// Whether `percent` is one of kEditorScales.
constexpr bool isEditorScale(long long percent) {
    for (const int p : kEditorScales)
        if (p == percent) return true;
    return false;
}

// The resource number of bitmap `id` (19000 and up) drawn at `percent` (one of kEditorScales):
// the 100 % art keeps its number, each other scale has a thousand of its own from 21000 on
// (21000 at 125 %, 22000 at 150 % and so on); any other scale answers `id`. Every number stays
// below 65536, as Windows resource numbers must.
constexpr int scaledResourceNumber(int id, int percent) {
    return percent == 125   ? id + 2000
           : percent == 150 ? id + 3000
           : percent == 175 ? id + 4000
           : percent == 200 ? id + 5000
                            : id;
}

}  // namespace orv::platform
