#include "toolkit/cbitmap.h"

#include <cstring>

#include "platform/resources.h"
#include "toolkit/cdrawcontext.h"

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

CBitmap::CBitmap(int number) : resourceNumber(number) {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    if (orv::platform::findResource(number, data, size) && data) decode(data, size);
}

CBitmap::CBitmap(const unsigned char* png, std::size_t size) {
    if (png) decode(png, size);
}

CBitmap::~CBitmap() {
    if (surface) cairo_surface_destroy(surface);
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
}

void CBitmap::draw(CDrawContext* context, const CRect& dest, const CPoint& offset, float alpha) const {
    if (!surface || !context || dest.isEmpty()) return;
    cairo_t* cr = context->getCairo();
    cairo_save(cr);
    cairo_rectangle(cr, dest.left, dest.top, dest.getWidth(), dest.getHeight());
    cairo_clip(cr);
    cairo_set_source_surface(cr, surface, dest.left - offset.x, dest.top - offset.y);
    // Pixels outside the image stay untouched rather than smeared from its edges.
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_NONE);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    if (alpha >= 1.0f)
        cairo_paint(cr);
    else
        cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
}

bool CBitmap::isTypeOf(const char* name) const {
    return std::strcmp(name, "CBitmap") == 0 || CBaseObject::isTypeOf(name);
}

}  // namespace toolkit
