// What both drawing back ends share of bitmaps drawn for a scale: which resource to load and
// the size of the image in the views' coordinates.
#include "toolkit/cbitmap.h"

#include <cmath>

#include "platform/resources.h"

namespace toolkit {

CBitmap::CBitmap(int number) : CBitmap(number, 1.0) {}

CBitmap::CBitmap(int number, double scale) : resourceNumber(number) {
    const int percent = static_cast<int>(std::lround(scale * 100.0));
    const int scaled = scaledResourceNumber(number, percent);
    if (scaled == number || !load(scaled, percent / 100.0)) load(number, 1.0);
}

bool CBitmap::load(int number, double scale) {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    if (orv::platform::findResource(number, data, size) && data)
        decode(data, size);
    else if (scale == 1.0 || !takeDrawn(number))
        return false;
    if (!isLoaded()) return false;
    pixelScale = scale;
    // The 100 % size: the drawn size rounded, so back to the nearest whole unit.
    width = std::round(width / scale);
    height = std::round(height / scale);
    return true;
}

}  // namespace toolkit
