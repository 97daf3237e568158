#include "support.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "platform/resources.h"

namespace tktest {

CColor stripColor(int k) {
    return MakeCColor(static_cast<std::uint8_t>(10 + 20 * k), static_cast<std::uint8_t>(200 - 7 * k),
                      static_cast<std::uint8_t>(40 + 9 * k));
}

namespace {

cairo_status_t appendPng(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

// `images` images of width x imageHeight, image k one solid stripColor(firstColor + k), drawn
// as art for `scale`: image k in the pixel rows from round(k imageHeight scale) on, as the
// toolkit places a strip's images.
std::string makeStrip(int width, int imageHeight, int images, int firstColor, double scale = 1.0) {
    const int w = static_cast<int>(std::round(width * scale));
    const int h = static_cast<int>(std::round(imageHeight * images * scale));
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    for (int k = 0; k < images; ++k) {
        const CColor c = stripColor(firstColor + k);
        const double top = std::round(imageHeight * k * scale), bottom = std::round(imageHeight * (k + 1) * scale);
        cairo_set_source_rgb(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0);
        cairo_rectangle(cr, 0, top, w, bottom - top);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    std::string png;
    cairo_surface_write_to_png_stream(s, appendPng, &png);
    cairo_surface_destroy(s);
    return png;
}

const std::map<int, std::string>& table() {
    static const std::map<int, std::string> resources = {
        {kStrip3, makeStrip(10, 10, 3, 0)},
        {kStrip11, makeStrip(10, 10, 11, 0)},
        {kBackground, makeStrip(100, 80, 1, 20)},
        {kUnreadable, std::string("not a png at all")},
        {scaledResourceNumber(kStrip3, 125), makeStrip(10, 10, 3, 0, 1.25)},
        {scaledResourceNumber(kStrip3, 200), makeStrip(10, 10, 3, 0, 2.0)},
    };
    return resources;
}

}  // namespace

CColor pixelAt(CFrame* frame, int x, int y) {
    cairo_surface_t* s = frame->getSurface();
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    const std::uint32_t p = *reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4);
    return MakeCColor((p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff, (p >> 24) & 0xff);
}

int stripIndexAt(CFrame* frame, int x, int y) {
    const CColor c = pixelAt(frame, x, y);
    for (int k = 0; k < 21; ++k)
        if (stripColor(k) == c) return k;
    return -1;
}

}  // namespace tktest

// The test binary's embedded resource table.
namespace orv::platform {
bool findResource(int id, const unsigned char*& data, std::size_t& size) {
    const auto& resources = tktest::table();
    auto it = resources.find(id);
    if (it == resources.end()) return false;
    data = reinterpret_cast<const unsigned char*>(it->second.data());
    size = it->second.size();
    return true;
}
}  // namespace orv::platform

namespace {
// Releases cairo's and fontconfig's process-wide caches after the last test so that leak
// checking sees only what the toolkit itself leaves behind.
struct ReleaseFontCaches : ::testing::Environment {
    void TearDown() override {
        cairo_debug_reset_static_data();
        FcFini();
    }
};
const auto* releaseFontCaches = ::testing::AddGlobalTestEnvironment(new ReleaseFontCaches);
}  // namespace
