#include "toolkit/cbitmap.h"

#include <cmath>
#include <cstring>

#include "platform/resources.h"
#include "platform/strip_rows.h"
#include "toolkit/cdrawcontext.h"

// A plug-in that draws no images itself links no definition of its own.
__attribute__((weak)) bool orv::platform::findDrawnImage(int, orv::platform::DrawnImage&) { return false; }

namespace toolkit {
namespace {

struct PngReader {
    const unsigned char* data;
    std::size_t size;
    std::size_t position;
};

cairo_status_t readPng(void* closure, unsigned char* out, unsigned int length) {
    auto* reader = static_cast<PngReader*>(closure);
    if (length > reader->size - reader->position) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, reader->data + reader->position, length);
    reader->position += length;
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

CBitmap::CBitmap(const unsigned char* png, std::size_t size) {
    if (png) decode(png, size);
}

CBitmap::~CBitmap() {
    if (surface) cairo_surface_destroy(surface);
}

bool CBitmap::takeDrawn(int number) {
    orv::platform::DrawnImage image;
    if (!orv::platform::findDrawnImage(number, image) || !image.pixels || image.width <= 0 || image.height <= 0)
        return false;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return false;
    }
    // A copy of our own, in the stride of our own surface.
    cairo_surface_flush(s);
    unsigned char* to = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    const std::size_t row = static_cast<std::size_t>(image.width) * 4;
    for (int y = 0; y < image.height; ++y) std::memcpy(to + y * stride, image.pixels + y * image.stride, row);
    cairo_surface_mark_dirty(s);
    surface = s;
    width = image.width;
    height = image.height;
    return true;
}

void CBitmap::decode(const unsigned char* png, std::size_t size) {
    PngReader reader{png, size, 0};
    cairo_surface_t* s = cairo_image_surface_create_from_png_stream(readPng, &reader);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return;
    }
    surface = s;
    width = cairo_image_surface_get_width(s);
    height = cairo_image_surface_get_height(s);
    const std::vector<int> tops = orv::platform::storedFrameTops(png, size);
    if (!tops.empty()) {
        cairo_surface_flush(s);
        orv::platform::restoreStripOrder(cairo_image_surface_get_data(s), height, static_cast<std::size_t>(width) * 4,
                                         static_cast<std::size_t>(cairo_image_surface_get_stride(s)), tops);
        cairo_surface_mark_dirty(s);
    }
}

void CBitmap::draw(CDrawContext* context, const CRect& dest, const CPoint& offset, float alpha) const {
    if (!surface || !context || dest.isEmpty()) return;
    cairo_t* cr = context->getCairo();
    const double ps = pixelScale;
    // The corners of `dest` on whole device pixels, back in the views' coordinates.
    double x0 = dest.left, y0 = dest.top, x1 = dest.right, y1 = dest.bottom;
    if (context->getScale() != 1.0 || ps != 1.0) {
        cairo_user_to_device(cr, &x0, &y0);
        cairo_user_to_device(cr, &x1, &y1);
        x0 = std::round(x0), y0 = std::round(y0), x1 = std::round(x1), y1 = std::round(y1);
        cairo_device_to_user(cr, &x0, &y0);
        cairo_device_to_user(cr, &x1, &y1);
    }
    cairo_save(cr);
    cairo_rectangle(cr, x0, y0, x1 - x0, y1 - y0);
    cairo_clip(cr);
    // The image's pixel at `offset` (in its own pixels, rounded) meets the area's corner.
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(surface);
    cairo_matrix_t m;
    cairo_matrix_init(&m, ps, 0, 0, ps, std::round(offset.x * ps) - ps * x0, std::round(offset.y * ps) - ps * y0);
    cairo_pattern_set_matrix(pattern, &m);
    // Pixels outside the image stay untouched rather than smeared from its edges.
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_NONE);
    // Art drawn for the context's scale lands pixel for pixel; other art is enlarged smoothly.
    cairo_pattern_set_filter(pattern, ps == context->getScale() ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);
    cairo_set_source(cr, pattern);
    if (alpha >= 1.0f)
        cairo_paint(cr);
    else
        cairo_paint_with_alpha(cr, alpha);
    cairo_pattern_destroy(pattern);
    cairo_restore(cr);
}

bool CBitmap::isTypeOf(const char* name) const {
    return std::strcmp(name, "CBitmap") == 0 || CBaseObject::isTypeOf(name);
}

}  // namespace toolkit
