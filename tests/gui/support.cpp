#include "support.h"

#include <cairo.h>

#include <cmath>
#include <map>
#include <string>

#include "platform/resources.h"

namespace guitest {

CColor stripColor(int k) {
    return MakeCColor(static_cast<std::uint8_t>(10 + 20 * k), static_cast<std::uint8_t>(200 - 7 * k),
                      static_cast<std::uint8_t>(40 + 9 * k));
}

CColor lampColor(int k) {
    static const CColor colors[3] = {MakeCColor(255, 60, 0), MakeCColor(150, 20, 90), MakeCColor(40, 40, 40)};
    return colors[k];
}

namespace {

cairo_status_t appendPng(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

void setColor(cairo_t* cr, const CColor& c) { cairo_set_source_rgb(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0); }

template <typename Paint>
std::string makePng(int width, int height, Paint paint) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(s);
    paint(cr);
    cairo_destroy(cr);
    std::string png;
    cairo_surface_write_to_png_stream(s, appendPng, &png);
    cairo_surface_destroy(s);
    return png;
}

std::string makeStrip(int width, int imageHeight, int images, int firstColor) {
    return makePng(width, imageHeight * images, [&](cairo_t* cr) {
        for (int k = 0; k < images; ++k) {
            setColor(cr, stripColor(firstColor + k));
            cairo_rectangle(cr, 0, k * imageHeight, width, imageHeight);
            cairo_fill(cr);
        }
    });
}

// A cream dial face with a scale arc around the pivot the meter tests use (72, 82 on the face).
std::string makeFace() {
    return makePng(150, 90, [](cairo_t* cr) {
        cairo_set_source_rgb(cr, 0.96, 0.93, 0.84);
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
        cairo_set_line_width(cr, 1.0);
        cairo_arc(cr, 72, 82, 64, -5 * M_PI / 6, -M_PI / 6);
        cairo_stroke(cr);
    });
}

std::string makeLamp() {
    return makePng(12, 24, [](cairo_t* cr) {
        for (int k = 0; k < 3; ++k) {
            setColor(cr, lampColor(k));
            cairo_rectangle(cr, 0, k * 8, 12, 8);
            cairo_fill(cr);
        }
    });
}

const std::map<int, std::string>& table() {
    static const std::map<int, std::string> resources = {
        {kStrip3, makeStrip(10, 10, 3, 0)},
        {kStrip5, makeStrip(20, 10, 5, 0)},
        {kOnOff, makeStrip(10, 10, 2, 0)},
        {kKnob11, makeStrip(20, 20, 11, 0)},
        {kBackground, makeStrip(200, 400, 1, 20)},
        {kFace, makeFace()},
        {kCover, makePng(150, 16, [](cairo_t* cr) { cairo_set_source_rgb(cr, 0.15, 0.15, 0.17); cairo_paint(cr); })},
        {kLamp, makeLamp()},
    };
    return resources;
}

}  // namespace

OffscreenFrame::OffscreenFrame() : frame(new CFrame(CRect(0, 0, 200, 400), nullptr, &editor)) {
    CBitmap* background = new CBitmap(kBackground);
    frame->setBackground(background);
    background->forget();
}

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

}  // namespace guitest

// The test binary's embedded resource table.
namespace orv::platform {
bool findResource(int id, const unsigned char*& data, std::size_t& size) {
    const auto& resources = guitest::table();
    auto it = resources.find(id);
    if (it == resources.end()) return false;
    data = reinterpret_cast<const unsigned char*>(it->second.data());
    size = it->second.size();
    return true;
}
}  // namespace orv::platform
